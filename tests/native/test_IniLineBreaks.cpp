// Values that hold line breaks must not change the settings file's
// structure: each stays one key of its own section, and files without such
// values read and write exactly as before.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

#include "BigIni.h"
#include "untCommand.h"
#include "untEcrCmd.h"
#include "untText.h"

namespace fs = std::filesystem;

namespace {

const std::wstring kInjected = L"x\r\n[FC]\r\nUDescription=Подмена\r\nUModel=99";

std::wstring ReadBack(const std::string& text, const std::wstring& section, const std::wstring& key) {
  TBigIniFile ini(L"");
  ini.LoadText(text);
  return ini.ReadString(section, key, L"<none>");
}

TEST(IniLineBreaks, ValuesWithLineBreaksReadBackExactlyAsOneLine) {
  const std::wstring values[] = {
      kInjected, L"\n", L"\r", L"\r\n\r\n", L"a\nb", L"100%\r\n", L"%0D%0A as text\n",
      L"ends with a break\r\n", L"\r\n[Параметры]\r\nTimeout=1", L"%", L"a\x1A\nb",
  };
  for (const std::wstring& value : values) {
    TBigIniFile ini(L"");
    ini.WriteString(L"S", L"Before", L"1");
    ini.WriteString(L"S", L"Key", value);
    ini.WriteString(L"S", L"After", L"2");
    const std::string text = ini.SaveText();
    // One header, three lines, the blank line after the section.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5) << text;
    EXPECT_EQ(text.find("\n["), std::string::npos) << text;
    EXPECT_EQ(ReadBack(text, L"S", L"Key"), value) << text;
    EXPECT_EQ(ReadBack(text, L"S", L"After"), L"2") << text;
    TBigIniFile again(L"");
    again.LoadText(text);
    std::vector<std::wstring> sections, keys;
    again.ReadSections(sections);
    again.ReadSection(L"S", keys);
    EXPECT_EQ(sections, std::vector<std::wstring>{L"S"});
    EXPECT_EQ(keys, (std::vector<std::wstring>{L"Before", L"Key", L"After"}));
  }
}

TEST(IniLineBreaks, PlainValuesKeepTheirOldForm) {
  // Percent signs, stars and backslashes were always stored as they are, and
  // files holding them must read the same.
  const std::wstring values[] = {L"50%", L"%0D%0A", L"a*b", L"*", L"C:\\new\\table", L"=", L""};
  for (const std::wstring& value : values) {
    TBigIniFile ini(L"");
    ini.WriteString(L"S", L"Key", value);
    EXPECT_EQ(ini.SaveText(), "[S]\r\nKey=" + WideToAnsi(value) + "\r\n\r\n");
    EXPECT_EQ(ReadBack(ini.SaveText(), L"S", L"Key"), value);
  }
  EXPECT_EQ(ReadBack("[S]\r\nKey=%0D%0A\r\n", L"S", L"Key"), L"%0D%0A");
}

TEST(IniLineBreaks, KeysEndingInTheMarkReadBackUnderTheirOwnName) {
  TBigIniFile ini(L"");
  ini.WriteString(L"S", L"A", L"plain");
  ini.WriteString(L"S", L"A*", L"starred");
  const std::string text = ini.SaveText();
  EXPECT_EQ(ReadBack(text, L"S", L"A"), L"plain");
  EXPECT_EQ(ReadBack(text, L"S", L"A*"), L"starred");
  // A hand-made encoded line with a stray "%" still reads.
  EXPECT_EQ(ReadBack("[S]\r\nK*=50%%0Ax%4\r\n", L"S", L"K"), L"50%\nx%4");
  EXPECT_EQ(ReadBack("[S]\r\nk*=a%0d%0ab\r\n", L"S", L"K"), L"a\r\nb");
}

// A line "Key*=..." as a person or an older program writes it: its key is
// "Key*", as it always was, and it hides no "Key" line after it. Only the
// two forms the writer makes are the encoded kind.
TEST(IniLineBreaks, AHandWrittenKeyEndingInTheMarkKeepsItsName) {
  const std::string file = "[S]\r\nKey*=hand%25\r\nKey=plain\r\n*=star\r\nA**=b%0Ac\r\nB*=d%0Ae\r\n";
  struct {
    const wchar_t* key;
    const wchar_t* value;
  } cases[] = {
      {L"Key*", L"hand%25"}, {L"Key", L"plain"}, {L"*", L"star"}, {L"A*", L"b\nc"}, {L"B", L"d\ne"},
      {L"A**", L"<none>"},   {L"B*", L"<none>"},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadBack(file, L"S", c.key), c.value) << WideToUtf8(c.key);
  TBigIniFile ini(L"");
  ini.LoadText(file);
  std::vector<std::wstring> keys;
  ini.ReadSection(L"S", keys);
  EXPECT_EQ(keys, (std::vector<std::wstring>{L"Key*", L"Key", L"*", L"A*", L"B"}));
}

// The longest keys that end in the mark read back and are replaced in place:
// no write appends a second line.
TEST(IniLineBreaks, LongestKeysEndingInTheMarkReadBack) {
  const std::wstring keys[] = {std::wstring(253, L'k') + L"*", std::wstring(252, L'k') + L"**",
                               std::wstring(252, L'k') + L"*", std::wstring(300, L'*')};
  for (const std::wstring& key : keys) {
    TBigIniFile ini(L"");
    for (const wchar_t* value : {L"", L"1", L"a\nb", L""}) {
      ini.WriteString(L"S", key, value);
      TBigIniFile back(L"");
      back.LoadText(ini.SaveText());
      const std::wstring read = back.ReadString(L"S", key, L"<none>");
      EXPECT_NE(read, L"<none>") << key.size();
      EXPECT_EQ(std::wstring(value).compare(0, read.size(), read), 0) << key.size();
    }
    std::vector<std::wstring> lines;
    ini.ReadSectionValues(L"S", lines);
    EXPECT_EQ(lines.size(), 1u) << key.size();
  }
}

TEST(IniLineBreaks, RewritingSwitchesFormInPlaceAndOnlyWhenTheValueChanged) {
  TBigIniFile ini(L"");
  ini.WriteString(L"S", L"First", L"1");
  ini.WriteString(L"S", L"Key", L"plain");
  ini.WriteString(L"S", L"Last", L"2");
  ini.WriteString(L"S", L"key", L"two\nlines");
  EXPECT_EQ(ini.SaveText(), "[S]\r\nFirst=1\r\nkey*=two%0Alines\r\nLast=2\r\n\r\n");
  ini.UpdateFile();
  ini.WriteString(L"S", L"key", L"two\nlines");
  EXPECT_FALSE(ini.Modified());
  ini.WriteString(L"S", L"Key", L"plain again");
  EXPECT_EQ(ini.SaveText(), "[S]\r\nFirst=1\r\nKey=plain again\r\nLast=2\r\n\r\n");
  ini.DeleteKey(L"S", L"KEY");
  EXPECT_EQ(ini.SaveText(), "[S]\r\nFirst=1\r\nLast=2\r\n\r\n");
}

TEST(IniLineBreaks, LongValuesAreCutBetweenEscapes) {
  for (size_t pad = 240; pad < 250; ++pad) {
    const std::wstring value = std::wstring(pad, L'v') + L"\r\n\r\n%%%%";
    TBigIniFile ini(L"");
    ini.WriteString(L"S", L"K", value);
    const std::string text = ini.SaveText();
    const std::string line = text.substr(5, text.find('\r', 5) - 5);
    EXPECT_LE(line.size(), 255u);
    const std::wstring back = ReadBack(text, L"S", L"K");
    EXPECT_EQ(value.compare(0, back.size(), back), 0) << line;
    // What fits of the value comes back whole: no escape is cut in half.
    EXPECT_GT(line.size(), 252u) << line;
  }
  // Under the longest key there is no room for the mark: the breaks become
  // blanks, but the line stays one line.
  const std::wstring key(254, L'k');
  TBigIniFile ini(L"");
  ini.WriteString(L"S", key, L"a\r\nb");
  const std::string text = ini.SaveText();
  EXPECT_EQ(ReadBack(text, L"S", key), L"");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
}

class IniLineBreaksFile : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    FDir = fs::temp_directory_path() / ("plover_inibreaks_" + std::to_string(getpid()) + "_" + info->name());
    fs::remove_all(FDir);
    fs::create_directories(FDir);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(FDir, ec);
  }
  std::wstring Name() const { return (FDir / "PloverCmd.ini").wstring(); }
  fs::path FDir;
};

TCmdParam& ParamOf(TCommands& commands, int code, const std::wstring& name) {
  TCommand* command = commands.ItemByCode(code);
  for (TCmdParams* list : {&command->InParams, &command->OutParams})
    for (int i = 0; i < list->Count(); ++i)
      if (list->Items(i).Name == name) return list->Items(i);
  throw std::runtime_error("no parameter");
}

TEST_F(IniLineBreaksFile, ADriverTextCannotReplaceAnotherCommandsSection) {
  {
    TCommands commands;
    CreateCommands(commands);
    // A text the register sent back, and the values of the command it mimics.
    ParamOf(commands, 0x11, L"ECRSoftVersion").Value = kInjected;
    ParamOf(commands, 0xFC, L"UDescription").Value = L"Настоящая";
    ParamOf(commands, 0xFC, L"UModel").Value = L"7";
    TBigIniFile ini(Name());
    commands.SaveParams(ini);
    ini.UpdateFile();
  }
  TCommands commands;
  CreateCommands(commands);
  TBigIniFile ini(Name());
  commands.LoadParams(ini);
  EXPECT_EQ(ParamOf(commands, 0x11, L"ECRSoftVersion").Value, kInjected);
  EXPECT_EQ(ParamOf(commands, 0xFC, L"UDescription").Value, L"Настоящая");
  EXPECT_EQ(ParamOf(commands, 0xFC, L"UModel").Value, L"7");
  std::vector<std::wstring> sections;
  ini.ReadSections(sections);
  EXPECT_EQ(std::count(sections.begin(), sections.end(), L"FC"), 1);
  EXPECT_EQ(sections.size(), static_cast<size_t>(commands.Count()));
}

}  // namespace
