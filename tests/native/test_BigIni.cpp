#include "BigIni.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include "FileFaults.h"
#include "untError.h"
#include "untText.h"

namespace fs = std::filesystem;

namespace {

std::string Ansi(const std::wstring& text) { return WideToAnsi(text); }

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// What a file reads as once the store has rewritten it.
std::string Normalised(const std::string& input, size_t chunkSize = 0) {
  TBigIniFile ini(L"");
  ini.LoadText(input, chunkSize);
  return ini.SaveText();
}

class BigIniFile : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    // Other trees may run this suite at the same time.
    FDir = fs::temp_directory_path() /
           ("plover_ini_" + std::to_string(getpid()) + "_" + info->name());
    fs::remove_all(FDir);
    fs::create_directories(FDir);
    FPath = FDir / "test.ini";
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(FDir, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(FDir, ec);
  }
  std::wstring Name() const { return FPath.wstring(); }

  fs::path FDir, FPath;
};

// ---------------------------------------------------------------- file format

struct FormatCase {
  const char* what;
  std::string input;
  std::string written;
};

const std::string kLong(300, 'v');

const FormatCase kFormatCases[] = {
    {"sections once, blank line after each", "[A]\r\nk=1\r\n[B]\r\nk=2\r\n", "[A]\r\nk=1\r\n\r\n[B]\r\nk=2\r\n\r\n"},
    {"lines before the first header dropped", "x=1\r\n;note\r\n[A]\r\nk=1\r\n", "[A]\r\nk=1\r\n\r\n"},
    {"blank lines dropped, comments and key-less lines kept",
     "[A]\r\n\r\n;comment\r\n\r\nplain text\r\n k = v \r\n", "[A]\r\n;comment\r\nplain text\r\n k = v \r\n\r\n"},
    {"blank-looking line of spaces is kept", "[A]\r\n   \r\n", "[A]\r\n   \r\n\r\n"},
    {"header needs ] as last character", "[A]\r\n[B] ;c\r\n", "[A]\r\n[B] ;c\r\n\r\n"},
    {"empty section name", "[]\r\nk=1\r\n", "[]\r\nk=1\r\n\r\n"},
    {"lone bracket is no header", "[A]\r\n[\r\n]\r\n", "[A]\r\n[\r\n]\r\n\r\n"},
    {"section without lines not written", "[A]\r\n[B]\r\nk=1\r\n[C]\r\n", "[B]\r\nk=1\r\n\r\n"},
    {"duplicate sections: first survives with its lines",
     "[A]\r\nk=1\r\n[b]\r\nx=1\r\n[a]\r\nk=2\r\nj=2\r\n[B]\r\ny=2\r\n", "[A]\r\nk=1\r\n\r\n[b]\r\nx=1\r\n\r\n"},
    {"an empty first section still hides a later one", "[A]\r\n[a]\r\nk=1\r\n", ""},
    {"bare LF and bare CR end lines", "[A]\nk=1\rj=2\r\n\n\r[B]\rz=3", "[A]\r\nk=1\r\nj=2\r\n\r\n[B]\r\nz=3\r\n\r\n"},
    {"final Ctrl-Z line ignored", "[A]\r\nk=1\r\n\x1A", "[A]\r\nk=1\r\n\r\n"},
    {"reading goes on after a Ctrl-Z line", "[A]\r\nk=1\r\n\x1A\r\n[B]\r\nj=2\r\n", "[A]\r\nk=1\r\n\r\n[B]\r\nj=2\r\n\r\n"},
    {"Ctrl-Z inside a line is a character", "[A]\r\nk=1\x1A\r\n", "[A]\r\nk=1\x1A\r\n\r\n"},
    {"long line cut to 255", "[A]\r\nk=" + kLong + "\r\nj=1\r\n", "[A]\r\nk=" + kLong.substr(0, 253) + "\r\nj=1\r\n\r\n"},
    {"overlong header is an ordinary line", "[A]\r\n[" + kLong + "]\r\n", "[A]\r\n[" + kLong.substr(0, 254) + "\r\n\r\n"},
    {"no line end at the end of the file", "[A]\r\nk=1", "[A]\r\nk=1\r\n\r\n"},
    {"empty file", "", ""},
};

TEST(BigIniFormat, LoadedFileIsRewrittenInCanonicalForm) {
  for (const auto& c : kFormatCases) {
    EXPECT_EQ(Normalised(c.input), c.written) << c.what;
    // Whatever the store writes it reads back unchanged.
    EXPECT_EQ(Normalised(c.written), c.written) << c.what;
  }
}

TEST(BigIniFormat, LineEndsAcrossBufferBoundariesReadTheSame) {
  std::string input = "junk\r\n[A]\r\nk=1\r\n\r\n\x1A\r\n[b]\rv=" + kLong + "\n\r\n[B]\nw=2\r\r\n;c\r";
  const std::string whole = Normalised(input);
  for (size_t chunk = 1; chunk <= 9; ++chunk) EXPECT_EQ(Normalised(input, chunk), whole) << "chunk " << chunk;
}

TEST_F(BigIniFile, ReadsThroughTheFileBufferLikeFromMemory) {
  // Put a CR LF pair and a long line across the 28672-byte buffer edges.
  std::string text = "[S]\r\n";
  int n = 0;
  while (text.size() < 28672 - 1) text += "key" + std::to_string(n++) + "=value\r\n";
  text.resize(28672 - 1);
  text += "\r\n[T]\r\nk=" + std::string(40000, 'x') + "\r\nlast=1\r\n";
  WriteBytes(FPath, text);
  TBigIniFile ini(Name());
  EXPECT_EQ(ini.SaveText(), Normalised(text));
  EXPECT_EQ(ini.ReadString(L"T", L"last", L""), L"1");
  EXPECT_EQ(ini.TextBufferSize(), 28672);
}

TEST_F(BigIniFile, ValuesRoundTripThroughTheFileInTheAnsiCodePage) {
  {
    TBigIniFile ini(Name());
    ini.WriteString(L"Параметры", L"Порт", L"COM1 ёЁ");
    ini.WriteInteger(L"Параметры", L"Скорость", -19200);
    ini.WriteBool(L"Команда", L"Ответ", true);
    ini.UpdateFile();
    EXPECT_FALSE(ini.Modified());
  }
  EXPECT_EQ(ReadBytes(FPath), Ansi(L"[Параметры]\r\nПорт=COM1 ёЁ\r\nСкорость=-19200\r\n\r\n[Команда]\r\nОтвет=1\r\n\r\n"));
  EXPECT_EQ(FolderNames(FDir), std::set<std::string>{FPath.filename().string()}) << "no temporary file is left";
  TBigIniFile ini(Name());
  EXPECT_EQ(ini.ReadString(L"параметры", L"ПОРТ", L""), L"COM1 ёЁ");
  EXPECT_EQ(ini.ReadInteger(L"Параметры", L"Скорость", 0), -19200);
  EXPECT_TRUE(ini.ReadBool(L"Команда", L"Ответ", false));
}

// ---------------------------------------------------------------- reading and writing keys

TEST(BigIniKeys, ReadStringFindsFirstMatchIgnoringCaseWithBlanksSignificant) {
  TBigIniFile ini(L"");
  ini.LoadText("[Sec]\r\nKey=first\r\nkey=second\r\na = b\r\nempty=\r\nnokey\r\n=anon\r\n");
  struct {
    const wchar_t *section, *key, *expected;
  } cases[] = {
      {L"sec", L"KEY", L"first"},   {L"SEC", L"a", L"dflt"},     {L"Sec", L"a ", L" b"},
      {L"Sec", L"empty", L""},      {L"Sec", L"nokey", L"dflt"}, {L"Other", L"Key", L"dflt"},
      {L"Sec", L"missing", L"dflt"}, {L" Sec", L"Key", L"dflt"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ini.ReadString(c.section, c.key, L"dflt"), c.expected) << c.section << "/" << c.key;
}

TEST(BigIniKeys, WriteStringReplacesOnlyWhenTheLineChanges) {
  TBigIniFile ini(L"");
  ini.LoadText("[Sec]\r\nKey=1\r\nkey=2\r\n");
  EXPECT_FALSE(ini.Modified());
  ini.WriteString(L"SEC", L"Key", L"1");  // identical line
  EXPECT_FALSE(ini.Modified());
  ini.WriteString(L"sec", L"KEY", L"1");  // same value, other letter case of the key
  EXPECT_TRUE(ini.Modified());
  EXPECT_EQ(ini.SaveText(), "[Sec]\r\nKEY=1\r\nkey=2\r\n\r\n");
  ini.WriteString(L"Sec", L"new", L"3");
  ini.WriteString(L"Neu", L"k", L"4");
  EXPECT_EQ(ini.SaveText(), "[Sec]\r\nKEY=1\r\nkey=2\r\nnew=3\r\n\r\n[Neu]\r\nk=4\r\n\r\n");
}

TEST(BigIniKeys, TextsAreCutSoThatTheyReadBack) {
  TBigIniFile ini(L"");
  const std::wstring v254(254, L'v'), long300(300, L'n');
  ini.WriteString(L"S", L"k", v254);
  EXPECT_EQ(ini.ReadString(L"S", L"k", L""), v254.substr(0, 253));
  ini.WriteString(L"S", L"j", long300);
  EXPECT_EQ(ini.ReadString(L"S", L"j", L""), long300.substr(0, 253));
  EXPECT_EQ(ini.ReadString(L"S", L"none", long300), long300.substr(0, 255));
  // A key or section name too long for a line is cut so that it still reads
  // back, from memory and from the rewritten text alike.
  ini.WriteString(long300, long300, L"x");
  ini.WriteString(long300, long300, L"y");
  EXPECT_EQ(ini.ReadString(long300, long300, L"dflt"), L"");
  TBigIniFile again(L"");
  again.LoadText(ini.SaveText());
  std::vector<std::wstring> names, lines;
  again.ReadSections(names);
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[1], long300.substr(0, 253));
  again.ReadSectionValues(long300, lines);
  EXPECT_EQ(lines, std::vector<std::wstring>{long300.substr(0, 254) + L"="});
}

TEST(BigIniKeys, ReadIntegerAcceptsDecimalAndHexOnly) {
  struct {
    const wchar_t* text;
    int32_t expected;
  } cases[] = {
      {L"42", 42},           {L"-42", -42},          {L"+7", 7},
      {L" 5", 5},            {L"5 ", -1},            {L"", -1},
      {L"12a", -1},          {L"0x1F", 31},          {L"0X1f", 31},
      {L"$ff", 255},         {L"-$10", -16},         {L"0x", -1},
      {L"$", -1},            {L"-", -1},             {L"x10", -1},
      {L"2147483647", 2147483647}, {L"2147483648", -1}, {L"-2147483648", INT32_MIN},
      {L"$FFFFFFFF", -1},    {L"0x80000000", INT32_MIN}, {L"$100000000", -1},
      {L"99999999999999999999", -1}, {L"1.5", -1},   {L"0x-1", -1},
  };
  TBigIniFile ini(L"");
  for (const auto& c : cases) {
    ini.WriteString(L"S", L"n", c.text);
    EXPECT_EQ(ini.ReadInteger(L"S", L"n", -1), c.expected) << "\"" << WideToUtf8(c.text) << "\"";
  }
  EXPECT_EQ(ini.ReadInteger(L"S", L"missing", 17), 17);
}

TEST(BigIniKeys, BooleansAreIntegers) {
  TBigIniFile ini(L"");
  ini.LoadText("[S]\r\nzero=0\r\ntwo=2\r\nword=yes\r\n");
  EXPECT_FALSE(ini.ReadBool(L"S", L"zero", true));
  EXPECT_TRUE(ini.ReadBool(L"S", L"two", false));
  EXPECT_TRUE(ini.ReadBool(L"S", L"word", true));
  EXPECT_FALSE(ini.ReadBool(L"S", L"word", false));
  EXPECT_TRUE(ini.ReadBool(L"S", L"missing", true));
  ini.WriteBool(L"S", L"zero", true);
  ini.WriteBool(L"S", L"two", false);
  ini.WriteInteger(L"S", L"word", INT32_MIN);
  EXPECT_EQ(ini.SaveText(), "[S]\r\nzero=1\r\ntwo=0\r\nword=-2147483648\r\n\r\n");
}

// ---------------------------------------------------------------- lists and removal

TEST(BigIniLists, ReadOperationsListKeysLinesAndSections) {
  TBigIniFile ini(L"");
  ini.LoadText("[A]\r\nk=1\r\n;c\r\n=v\r\n[B]\r\nj=2\r\n");
  std::vector<std::wstring> list{L"old"};
  ini.ReadSection(L"a", list);
  EXPECT_EQ(list, (std::vector<std::wstring>{L"old", L"k", L"", L""}));
  list = {L"old"};
  ini.ReadSectionValues(L"A", list);
  EXPECT_EQ(list, (std::vector<std::wstring>{L"old", L"k=1", L";c", L"=v"}));
  ini.ReadSection(L"none", list);
  ini.ReadSectionValues(L"none", list);
  EXPECT_EQ(list.size(), 4u);
  ini.ReadSections(list);
  EXPECT_EQ(list, (std::vector<std::wstring>{L"A", L"B"}));
  ini.WriteString(L"C", L"x", L"1");
  ini.DeleteKey(L"C", L"x");  // leaves C without lines
  list = {L"old"};
  ini.ReadAll(list);
  EXPECT_EQ(list, (std::vector<std::wstring>{L"old", L"[A]", L"k=1", L";c", L"=v", L"", L"[B]", L"j=2", L""}));
}

TEST(BigIniLists, EraseAndDeleteMarkTheStoreModified) {
  TBigIniFile ini(L"");
  ini.LoadText("[A]\r\nk=1\r\nk=2\r\n[B]\r\nj=2\r\n[C]\r\nc=3\r\n");
  ini.DeleteKey(L"A", L"missing");
  ini.EraseSection(L"missing");
  EXPECT_FALSE(ini.Modified());
  ini.DeleteKey(L"a", L"K");
  EXPECT_TRUE(ini.Modified());
  EXPECT_EQ(ini.ReadString(L"A", L"k", L""), L"2");
  ini.ReadString(L"C", L"c", L"");  // the search now starts at C
  EXPECT_EQ(ini.CurrentSection(), 2);
  ini.EraseSection(L"c");
  EXPECT_EQ(ini.CurrentSection(), 0);
  EXPECT_EQ(ini.Sections().PrevIndex(), 0);
  ini.WriteString(L"b", L"", L"");  // empty key erases the section
  EXPECT_EQ(ini.SaveText(), "[A]\r\nk=2\r\n\r\n");
  ini.WriteString(L"", L"", L"value");  // ... and with only a value: the section ""
  EXPECT_EQ(ini.Sections().Count(), 1);
}

TEST_F(BigIniFile, AllEmptyWriteFlushesToDisk) {
  TBigIniFile ini(Name());
  ini.WriteString(L"S", L"k", L"v");
  EXPECT_FALSE(fs::exists(FPath));
  ini.WriteString(L"", L"", L"");
  EXPECT_FALSE(ini.Modified());
  EXPECT_EQ(ReadBytes(FPath), "[S]\r\nk=v\r\n\r\n");
}

// ---------------------------------------------------------------- section search

TEST(BigIniSearch, LookupsStartAtTheSectionFoundLast) {
  for (int count : {3, 8, 9, 40}) {  // both sides of the name index
    TBigIniFile ini(L"");
    std::string text;
    for (int i = 0; i < count; ++i) text += "[S" + std::to_string(i) + "]\r\nk=" + std::to_string(i) + "\r\n";
    ini.LoadText(text);
    SCOPED_TRACE(count);
    EXPECT_EQ(ini.CurrentSection(), 0);
    for (int i = count - 1; i >= 0; i -= 2) {
      EXPECT_EQ(ini.ReadInteger(L"s" + std::to_wstring(i), L"K", -1), i);
      EXPECT_EQ(ini.CurrentSection(), i);
    }
    // A miss ends the walk on the entry before its start.
    ini.ReadString(L"S1", L"k", L"");
    ini.ReadString(L"absent", L"k", L"");
    EXPECT_EQ(ini.CurrentSection(), 0);
    ini.ReadString(L"absent", L"k", L"");
    EXPECT_EQ(ini.CurrentSection(), count - 1);
    ini.WriteString(L"new", L"k", L"v");
    EXPECT_EQ(ini.CurrentSection(), count);
    EXPECT_EQ(ini.Sections().IndexOf(L"S2"), 2);
    EXPECT_EQ(ini.Sections().PrevIndex(), 2);
    EXPECT_EQ(ini.Sections().IndexOf(L"nothing"), -1);
    EXPECT_EQ(ini.Sections().PrevIndex(), 2);
    // Erasing shifts the entries after the gap; every name is still found.
    ini.EraseSection(L"S1");
    for (int i = 0; i < count; ++i)
      EXPECT_EQ(ini.ReadInteger(L"S" + std::to_wstring(i), L"k", -1), i == 1 ? -1 : i);
  }
}

TEST(BigIniSearch, EqualNamesAreFoundNearestTheStartOfTheWalk) {
  // Equal names exist only until RemoveDuplicates; a lookup meanwhile takes
  // the first one the circular walk meets.
  TSectionList list;
  for (int i = 0; i < 12; ++i) list.Add(i % 4 == 0 ? L"Dup" : L"S" + std::to_wstring(i));
  EXPECT_EQ(list.IndexOf(L"dup"), 0);
  EXPECT_EQ(list.IndexOf(L"S5"), 5);
  EXPECT_EQ(list.IndexOf(L"DUP"), 8);
  EXPECT_EQ(list.IndexOf(L"S9"), 9);
  EXPECT_EQ(list.IndexOf(L"Dup"), 0);
  EXPECT_TRUE(list.RemoveDuplicates());
  EXPECT_EQ(list.Count(), 10);
  EXPECT_EQ(list.IndexOf(L"S11"), 9);
  EXPECT_FALSE(list.RemoveDuplicates());
}

// ---------------------------------------------------------------- file life cycle

TEST_F(BigIniFile, ReadingAloneNeverTouchesTheFile) {
  const std::string odd = "\r\nbefore\r\n[A]\r\n\r\nk=1\n[a]\r\nj=2\r\n";
  WriteBytes(FPath, odd);
  {
    TBigIniFile ini(Name());
    EXPECT_EQ(ini.ReadString(L"A", L"k", L""), L"1");
    EXPECT_FALSE(ini.Modified());
    ini.WriteString(L"A", L"k", L"1");
  }
  EXPECT_EQ(ReadBytes(FPath), odd);
  {
    TBigIniFile missing((FDir / "none.ini").wstring());
    EXPECT_EQ(missing.Sections().Count(), 0);
  }
  EXPECT_FALSE(fs::exists(FDir / "none.ini"));
}

TEST_F(BigIniFile, DestructorAndRebindingWritePendingChanges) {
  {
    TBigIniFile ini(Name());
    ini.WriteString(L"S", L"k", L"1");
  }
  EXPECT_EQ(ReadBytes(FPath), "[S]\r\nk=1\r\n\r\n");
  TBigIniFile ini(Name());
  ini.WriteString(L"S", L"k", L"2");
  const fs::path other = FDir / "other.ini";
  WriteBytes(other, "[O]\r\no=1\r\n");
  ini.SetFileName(other.wstring());
  EXPECT_EQ(ReadBytes(FPath), "[S]\r\nk=2\r\n\r\n");
  EXPECT_EQ(ini.ReadString(L"S", L"k", L"none"), L"none");
  EXPECT_EQ(ini.ReadString(L"O", L"o", L""), L"1");
  EXPECT_FALSE(ini.Modified());
  ini.SetFileName(L"");  // memory only: flushing just forgets the changes
  ini.WriteString(L"M", L"m", L"1");
  ini.UpdateFile();
  EXPECT_FALSE(ini.Modified());
}

TEST_F(BigIniFile, FailedWriteKeepsTheOldFileAndTheChanges) {
  WriteBytes(FPath, "[S]\r\nk=old\r\n");
  TBigIniFile ini(Name());
  ini.WriteString(L"S", L"k", L"new");
  // A file of the user's named the way temporary files once were survives
  // the failed write and the good one.
  WriteBytes(FPath.string() + ".tmp", "mine");
  try {
    TFileSizeLimit full(8);  // the new file cannot be written whole
    ini.UpdateFile();
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode, EFBIG);
    EXPECT_NE(e.Message().find(L"Ошибка записи файла \"" + Name() + L"\""), std::wstring::npos) << e.what();
  }
  EXPECT_EQ(ReadBytes(FPath), "[S]\r\nk=old\r\n");
  EXPECT_TRUE(ini.Modified());
  EXPECT_EQ(FolderNames(FDir).size(), 2u) << "the failed write removed what it made, and only that";
  ini.UpdateFile();  // a second attempt still has the changes
  EXPECT_EQ(ReadBytes(FPath.string() + ".tmp"), "mine");
  EXPECT_EQ(ReadBytes(FPath), "[S]\r\nk=new\r\n\r\n");
}

TEST_F(BigIniFile, WriteErrorsCarryThePlatformCode) {
  const fs::path noDir = FDir / "no" / "such.ini";
  TBigIniFile ini(noDir.wstring());
  ini.WriteString(L"S", L"k", L"v");
  try {
    ini.UpdateFile();
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode, ENOENT);
  }
  // Freeing a store whose write fails must not throw.
  EXPECT_NO_THROW({
    TBigIniFile doomed(noDir.wstring());
    doomed.WriteString(L"S", L"k", L"v");
  });
}

TEST_F(BigIniFile, WriteProtectedFileRefusesTheRewrite) {
  WriteBytes(FPath, "[S]\r\nk=old\r\n");
  fs::permissions(FPath, fs::perms::owner_read);
  TBigIniFile ini(Name());
  ini.WriteString(L"S", L"k", L"new");
  EXPECT_THROW(ini.UpdateFile(), EInOutError);
  EXPECT_EQ(ReadBytes(FPath), "[S]\r\nk=old\r\n");
}

TEST_F(BigIniFile, UnreadableFileIsAnErrorAndLeavesTheStoreUnbound) {
  fs::create_directory(FPath);  // exists, but cannot be read as a file
  try {
    TBigIniFile ini(Name());
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode, EISDIR);
    EXPECT_EQ(e.Message().rfind(L"Ошибка чтения файла", 0), 0u);
  }
  TBigIniFile ini(L"");
  ini.WriteString(L"S", L"k", L"v");
  EXPECT_THROW(ini.SetFileName(Name()), EInOutError);
  EXPECT_EQ(ini.FileName(), L"");
  EXPECT_EQ(ini.Sections().Count(), 0);
}

}  // namespace
