// The dump viewer's table and comparison, and files replaced whole or not at all.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "FileFaults.h"
#include "untDumpDiff.h"
#include "untDumpView.h"
#include "untError.h"
#include "untFile.h"
#include "untText.h"

namespace fs = std::filesystem;

namespace {

class TempDir {
 public:
  TempDir() : Path(fs::temp_directory_path() / ("dumpview-" + std::to_string(::getpid()))) {
    fs::remove_all(Path);
    fs::create_directories(Path);
  }
  ~TempDir() {
    std::error_code ec;
    fs::permissions(Path, fs::perms::owner_all, ec);
    fs::remove_all(Path, ec);
  }
  std::wstring File(const char* name) const { return (Path / name).wstring(); }
  fs::path Path;
};

std::string Slurp(const std::wstring& name) {
  std::ifstream in(fs::path(name), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(DumpView, SixteenBytesARowUnderAHeader) {
  std::string data(17, '\0');
  for (int i = 0; i < 17; ++i) data[static_cast<size_t>(i)] = static_cast<char>(0xF0 + i);
  EXPECT_EQ(DumpViewRows(data.size()), 2);
  EXPECT_EQ(DumpViewCell(data, 0, 0), L"");
  EXPECT_EQ(DumpViewCell(data, 1, 0), L"00");
  EXPECT_EQ(DumpViewCell(data, 16, 0), L"0F");
  EXPECT_EQ(DumpViewCell(data, 0, 1), L"000000");
  EXPECT_EQ(DumpViewCell(data, 1, 1), L"F0");
  EXPECT_EQ(DumpViewCell(data, 16, 1), L"FF");
  EXPECT_EQ(DumpViewCell(data, 0, 2), L"000010");
  EXPECT_EQ(DumpViewCell(data, 1, 2), L"00") << "byte 16 wraps to 0x00";
  for (int col = 2; col <= 16; ++col) EXPECT_EQ(DumpViewCell(data, col, 2), L"") << col;
  EXPECT_EQ(DumpViewCell(data, 17, 1), L"");
}

TEST(DumpView, EmptyDataShowsOneEmptyRowAndLongOffsetsGrow) {
  EXPECT_EQ(DumpViewRows(0), 1);
  EXPECT_EQ(DumpViewCell("", 0, 1), L"000000");
  EXPECT_EQ(DumpViewCell("", 1, 1), L"");
  EXPECT_EQ(DumpViewRows(16), 1);
  EXPECT_EQ(DumpViewRows(64u << 20), 4 << 20);
  EXPECT_EQ(DumpViewCell("", 0, (1 << 20) + 1), L"1000000");
}

TEST(DumpView, ComparesWithAFile) {
  TempDir dir;
  const std::string data = "\x01\x02\x03";
  WriteWholeFile(dir.File("same.dmp"), data);
  EXPECT_EQ(CompareWithFile(data, dir.File("same.dmp")), TCompareResult::Equal);
  WriteWholeFile(dir.File("other.dmp"), "\x01\x09\x03");
  EXPECT_EQ(CompareWithFile(data, dir.File("other.dmp")), TCompareResult::Different);
  WriteWholeFile(dir.File("longer.dmp"), data + "x");
  try {
    CompareWithFile(data, dir.File("longer.dmp"));
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), L"Размеры файлов отличаются.");
  }
  WriteWholeFile(dir.File("empty.dmp"), "");
  EXPECT_EQ(CompareWithFile("", dir.File("empty.dmp")), TCompareResult::Equal);
  EXPECT_THROW(CompareWithFile(data, dir.File("missing.dmp")), EInOutError);
}

// Every difference, as ranges of the common part and the longer side's rest.
TEST(DumpDiff, ListsEveryRangeAndTheRestOfTheLongerSide) {
  struct Case {
    const char* name;
    std::string file;  // against the data "0123456789ABCDEFGHIJ" (20 bytes)
    std::vector<std::pair<uint64_t, uint64_t>> ranges;
    TDiffSide tail;  // of the last range
  };
  const std::string data = "0123456789ABCDEFGHIJ";
  const std::vector<Case> cases = {
      {"equal", data, {}, TDiffSide::Both},
      {"first byte", "x123456789ABCDEFGHIJ", {{0, 1}}, TDiffSide::Both},
      {"last byte", "0123456789ABCDEFGHIx", {{19, 1}}, TDiffSide::Both},
      // Within and across the eight-byte steps of the scan.
      {"several", "0xx3456789AyyyyyyyyJ", {{1, 2}, {11, 8}}, TDiffSide::Both},
      {"every byte", std::string(20, '.'), {{0, 20}}, TDiffSide::Both},
      {"file longer", data + "KL", {{20, 2}}, TDiffSide::FileOnly},
      {"file shorter", "0123456789ABCDEFGH", {{18, 2}}, TDiffSide::DataOnly},
      {"shorter and different", "x12", {{0, 1}, {3, 17}}, TDiffSide::DataOnly},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TDumpDiff diff(data, c.file);
    ASSERT_EQ(diff.Count(), c.ranges.size());
    uint64_t bytes = 0;
    for (size_t i = 0; i < c.ranges.size(); ++i) {
      EXPECT_EQ(diff.Range(i).Offset, c.ranges[i].first) << i;
      EXPECT_EQ(diff.Range(i).Length, c.ranges[i].second) << i;
      bytes += c.ranges[i].second;
    }
    EXPECT_EQ(diff.DifferentBytes(), bytes);
    if (!c.ranges.empty()) {
      EXPECT_EQ(diff.Side(c.ranges.size() - 1), c.tail);
    }
  }
  EXPECT_TRUE(TDumpDiff("", "").Empty());
}

// The list's rows, and the steps to the next and previous difference from
// wherever the user is.
TEST(DumpDiff, RowsShowOffsetLengthAndTheFirstBytesOfEachSide) {
  std::string data(0x1000020, '\0'), file = data.substr(0, 0x1000010);
  file[2] = '\x01';
  for (int i = 0; i < 9; ++i) file[0x1000000 + i] = static_cast<char>(0xF0 + i);
  const TDumpDiff diff(data, file);
  ASSERT_EQ(diff.Count(), 3u);
  auto row = [&](int r) {
    std::vector<std::wstring> cells;
    for (int c = 0; c < kDumpDiffColumns; ++c) cells.push_back(DumpDiffCell(diff, data, file, c, r));
    return cells;
  };
  using Row = std::vector<std::wstring>;
  EXPECT_EQ(row(0), (Row{L"Смещение", L"Длина", L"Данные", L"Файл"}));
  EXPECT_EQ(row(1), (Row{L"000002", L"1", L"00", L"01"}));
  EXPECT_EQ(row(2), (Row{L"1000000", L"9", L"00 00 00 00 00 00 00 00 ...", L"F0 F1 F2 F3 F4 F5 F6 F7 ..."}));
  EXPECT_EQ(row(3), (Row{L"1000010", L"16", L"00 00 00 00 00 00 00 00 ...", L"только в данных"}));
  EXPECT_EQ(row(4), (Row{L"", L"", L"", L""}));
  EXPECT_EQ(DumpDiffCell(TDumpDiff("", "ab"), "", "ab", 2, 1), L"только в файле");

  EXPECT_EQ(diff.NextAfter(0), 0u);
  EXPECT_EQ(diff.NextAfter(2), 1u);
  EXPECT_EQ(diff.NextAfter(0x1000010), 3u) << "none after the last";
  EXPECT_EQ(diff.PreviousBefore(2), 3u) << "none before the first";
  EXPECT_EQ(diff.PreviousBefore(0x1000000), 0u);
  EXPECT_EQ(diff.PreviousBefore(0xFFFFFFFF), 2u);
}

// What Ctrl+C copies and Ctrl+G reads.
TEST(DumpView, SelectedCellsAsHexAndOffsetsTyped) {
  std::string data(40, '\0');
  for (int i = 0; i < 40; ++i) data[static_cast<size_t>(i)] = static_cast<char>(i);
  EXPECT_EQ(DumpCellsHex(data, 14, 17), L"0E 0F \r\n10 11 ") << "a run across rows";
  EXPECT_EQ(DumpCellsHex(data, DumpOffsetOf(2, 1), DumpOffsetOf(3, 3), 2, 3), L"01 02 \r\n11 12 \r\n21 22 ")
      << "a block of columns 2..3";
  EXPECT_EQ(DumpCellsHex(data, 38, 100), L"26 27 ") << "nothing past the end";
  EXPECT_EQ(DumpCellsHex("", 0, 0), L"");
  EXPECT_EQ(DumpCellOf(0x12).Col, 3);
  EXPECT_EQ(DumpCellOf(0x12).Row, 2);

  for (auto [text, value] : std::vector<std::pair<std::wstring, uint64_t>>{
           {L"1f", 0x1F}, {L" $10 ", 0x10}, {L"0x1000000", 0x1000000}, {L"0", 0}}) {
    EXPECT_EQ(ParseDumpOffset(text), value) << WideToUtf8(text);
  }
  for (const wchar_t* bad : {L"", L"$", L"0x", L"12g", L"-1", L"11111111111111111"}) {
    EXPECT_THROW(ParseDumpOffset(bad), EConvertError) << WideToUtf8(bad);
  }
}

TEST(Files, AFileIsReplacedWholeOrNotAtAll) {
  TempDir dir;
  // Cyrillic names go through the functions' own path conversion.
  const std::wstring cyrillic = dir.File("") + L"Часы.dmp";
  WriteWholeFile(cyrillic, "old");
  WriteWholeFile(cyrillic, std::string(3 << 20, 'n'));
  EXPECT_EQ(ReadWholeFile(cyrillic).size(), 3u << 20);
  EXPECT_EQ(FolderNames(fs::path(dir.File(""))).size(), 1u) << "no temporary file is left";

  const std::wstring name = dir.File("clock.dmp");
  // A file the user protected refuses the rewrite and keeps its bytes.
  WriteWholeFile(name, "kept");
  fs::permissions(fs::path(name), fs::perms::owner_read);
  EXPECT_THROW(WriteWholeFile(name, "lost"), EInOutError);
  EXPECT_EQ(Slurp(name), "kept");
  fs::permissions(fs::path(name), fs::perms::owner_read | fs::perms::owner_write);

  // A folder that cannot take the new file: the old one stays as it was.
  fs::permissions(dir.Path, fs::perms::owner_read | fs::perms::owner_exec);
  if (::geteuid() != 0) {
    try {
      WriteWholeFile(name, "lost");
      FAIL();
    } catch (const EInOutError& e) {
      EXPECT_NE(e.Message().find(L"Ошибка записи файла"), std::wstring::npos);
    }
    EXPECT_EQ(Slurp(name), "kept");
  }
  fs::permissions(dir.Path, fs::perms::owner_all);
  EXPECT_THROW(ReadWholeFile(dir.File("missing")), EInOutError);

  // A file of the user's named the way temporary files once were survives a
  // save and a save that fails part-way; the failed one leaves nothing.
  const std::wstring mine = name + L".tmp";
  std::ofstream(fs::path(mine), std::ios::binary) << "mine";
  WriteWholeFile(name, "saved");
  {
    TFileSizeLimit full(2);
    EXPECT_THROW(WriteWholeFile(name, "lost in the middle"), EInOutError);
  }
  EXPECT_EQ(Slurp(name), "saved");
  EXPECT_EQ(Slurp(mine), "mine");
  EXPECT_EQ(FolderNames(dir.Path).size(), 3u);
  // The new file cannot take the old one's place (a folder is there).
  const std::wstring folder = dir.File("folder.dmp");
  fs::create_directory(fs::path(folder));
  EXPECT_THROW(WriteWholeFile(folder, "x"), EInOutError);
  EXPECT_EQ(FolderNames(dir.Path).size(), 4u);
}
