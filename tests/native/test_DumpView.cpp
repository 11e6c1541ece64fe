// The dump viewer's table and comparison, and files replaced whole or not at all.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "FileFaults.h"
#include "untDumpView.h"
#include "untError.h"
#include "untFile.h"

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
