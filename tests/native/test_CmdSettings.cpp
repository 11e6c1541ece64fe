// The command test program's settings and its settings file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "BigIni.h"
#include "FileFaults.h"
#include "test_CmdFakes.h"
#include "untAppParams.h"
#include "untCmdSession.h"
#include "untText.h"

namespace fs = std::filesystem;

namespace {

TAppParams LoadParams(const std::string& iniText) {
  TBigIniFile ini(L"");
  ini.LoadText(WideToAnsi(Utf8ToWide(iniText)));
  TAppParams params;
  params.LoadFromIni(ini);
  return params;
}

TEST(AppParams, DefaultsOnConstructionAndAfterSetDefaults) {
  TAppParams params;
  EXPECT_EQ(params.Timeout, 1000u);
  EXPECT_TRUE(params.SendAnswer);
  EXPECT_FALSE(params.WaitAnswer);
  params = {};
  params.Timeout = 5;
  params.SendAnswer = false;
  params.WaitAnswer = true;
  params.SetDefaults();
  EXPECT_EQ(params.Timeout, 1000u);
  EXPECT_TRUE(params.SendAnswer);
  EXPECT_FALSE(params.WaitAnswer);
}

TEST(AppParams, ReadsWhatTheStoreParses) {
  struct Case {
    const char* ini;
    uint32_t timeout;
    bool sendAnswer;
    bool waitAnswer;
  };
  const Case cases[] = {
      {"", 1000, true, false},
      {"[Параметры]\nTimeout=0x10\n", 16, true, false},
      {"[Параметры]\nTimeout=$20\n", 32, true, false},
      {"[Параметры]\nTimeout=abc\n", 1000, true, false},
      {"[Параметры]\nTimeout=\n", 1000, true, false},
      {"[Параметры]\nTimeout=-1\n", 0xFFFFFFFFu, true, false},
      {"[Параметры]\nSendAnswer=5\nWaitAnswer=5\n", 1000, true, true},
      {"[Параметры]\nSendAnswer=0\nWaitAnswer=1\n", 1000, false, true},
      {"[Параметры]\nSendAnswer=yes\nWaitAnswer=yes\n", 1000, true, false},
      {"[параметры]\ntimeout=7\n", 7, true, false},
      {"[Other]\nTimeout=7\n", 1000, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ini);
    TAppParams p = LoadParams(c.ini);
    EXPECT_EQ(p.Timeout, c.timeout);
    EXPECT_EQ(p.SendAnswer, c.sendAnswer);
    EXPECT_EQ(p.WaitAnswer, c.waitAnswer);
  }
}

TEST(AppParams, WritesTheSignedTimeoutAndTheFlagsInOrder) {
  TBigIniFile ini(L"");
  TAppParams params;
  params.Timeout = 0xFFFFFFFFu;
  params.WaitAnswer = true;
  params.SaveToIni(ini);
  EXPECT_EQ(AnsiToWide(ini.SaveText()), L"[Параметры]\r\nTimeout=-1\r\nSendAnswer=1\r\nWaitAnswer=1\r\n\r\n");
  EXPECT_EQ(LoadParams(WideToUtf8(AnsiToWide(ini.SaveText()))).Timeout, 0xFFFFFFFFu);
}

// The repeat's settings sit beside the three under keys of their own: a file
// without them reads the defaults, and only values changed from the defaults
// are written, so a file saved without touching them is as it always was.
TEST(AppParams, RepeatSettingsAreWrittenOnlyWhenChangedAndReadBack) {
  EXPECT_EQ(LoadParams("[Параметры]\nTimeout=5\n").Repeat, TRepeatParams{});
  const TRepeatParams read = LoadParams("[Параметры]\nRepeatCount=0\nRepeatInterval=$10\nRepeatStopOnError=1\n").Repeat;
  EXPECT_EQ(read, (TRepeatParams{0, 16, true}));
  EXPECT_EQ(LoadParams("[Параметры]\nRepeatCount=x\nRepeatInterval=\n").Repeat, TRepeatParams{});

  TBigIniFile ini(L"");
  TAppParams params;
  params.Repeat.Interval = 250;
  params.SaveToIni(ini);
  EXPECT_EQ(AnsiToWide(ini.SaveText()),
            L"[Параметры]\r\nTimeout=1000\r\nSendAnswer=1\r\nWaitAnswer=0\r\nRepeatInterval=250\r\n\r\n");
  params.Repeat = {0, 0, true};
  TBigIniFile all(L"");
  params.SaveToIni(all);
  EXPECT_EQ(LoadParams(WideToUtf8(AnsiToWide(all.SaveText()))).Repeat, params.Repeat);
}

TEST(AppParams, TimeoutTextIsUnsignedShownAndSignedRead) {
  EXPECT_EQ(TimeoutToText(1000), L"1000");
  EXPECT_EQ(TimeoutToText(0xFFFFFFFFu), L"4294967295");
  EXPECT_EQ(TimeoutFromText(L"-1"), 0xFFFFFFFFu);
  EXPECT_EQ(TimeoutFromText(L"$10"), 16u);
  EXPECT_EQ(TimeoutFromText(L"2147483647"), 2147483647u);
  // The dialog reads what the INI store writes, no more: an unsigned value
  // beyond 31 bits must be typed as its signed or "$" form.
  // Nothing may follow the number, not even a blank.
  EXPECT_EQ(TimeoutFromText(L" 10"), 10u);
  for (const wchar_t* bad : {L"", L"abc", L"4294967295", L"1.5", L"0x10", L"10 "})
    EXPECT_THROW(TimeoutFromText(bad), EConvertError) << WideToUtf8(bad);
}

// ---------------------------------------------------------------- the settings file

class CmdSettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() /
          ("cmd-settings-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(Dir);
    fs::create_directories(Dir);
    Path = Dir / "PloverCmd.ini";
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(Dir, ec);
  }
  std::unique_ptr<TCmdSession> Open(TFakeCmdView& view) {
    auto session = std::make_unique<TCmdSession>(view, std::make_unique<TFakeDriver>(), Path.wstring());
    session->ShowGridHeader();
    session->LoadSettings();
    session->FillCommandList();
    return session;
  }
  std::string Read() const {
    std::ifstream in(Path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void Write(const std::string& bytes) const { std::ofstream(Path, std::ios::binary) << bytes; }

  fs::path Dir, Path;
};

TEST_F(CmdSettingsFile, MissingFileKeepsEveryDefault) {
  TFakeCmdView view;
  auto session = Open(view);
  EXPECT_EQ(session->Params().Timeout, 1000u);
  EXPECT_EQ(view.ValueOf(L"[ in] Код устройства"), L"0");
  EXPECT_FALSE(fs::exists(Path));  // loading writes nothing
}

TEST_F(CmdSettingsFile, ValuesAndSettingsSurviveARestart) {
  {
    TFakeCmdView view;
    auto session = Open(view);
    session->Params().Timeout = 250;
    session->Params().SendAnswer = false;
    view.ValueOf(L"[ in] Код устройства") = L"4";
    view.ValueOf(L"[out] Данные блока") = L"";  // emptied: comes back as the default
    session->SelectCommand(20);
    view.ValueOf(L"[out] Название устройства") = L"Виртуальная ККМ";
    session->StoreGrid();
    session->SaveSettings();
  }
  TFakeCmdView view;
  auto session = Open(view);
  EXPECT_EQ(session->Params().Timeout, 250u);
  EXPECT_FALSE(session->Params().SendAnswer);
  EXPECT_EQ(view.ValueOf(L"[ in] Код устройства"), L"4");
  EXPECT_EQ(view.ValueOf(L"[out] Данные блока"), L"0");
  session->SelectCommand(20);
  EXPECT_EQ(view.ValueOf(L"[out] Название устройства"), L"Виртуальная ККМ");
}

TEST_F(CmdSettingsFile, FileHoldsTheSettingsThenEveryCommandAndNothingElse) {
  Write("; old comment\r\n[Old]\r\nx=1\r\n[01]\r\nDeviceNumber=9\r\nJunk=1\r\n");
  TFakeCmdView view;
  auto session = Open(view);
  EXPECT_EQ(view.ValueOf(L"[ in] Код устройства"), L"9");
  session->SaveSettings();

  TBigIniFile ini(Path.wstring());
  std::vector<std::wstring> sections;
  ini.ReadSections(sections);
  ASSERT_EQ(sections.size(), 38u);
  EXPECT_EQ(sections[0], L"Параметры");
  EXPECT_EQ(sections[1], L"01");
  EXPECT_EQ(sections[37], L"92");
  std::vector<std::wstring> keys;
  ini.ReadSection(L"01", keys);
  const std::vector<std::wstring> expected = {L"Название",        L"DeviceNumber",
                                              L"DataBlockNumber", L"DataBlockCount",
                                              L"DataBlock",       L"CommandResultCode",
                                              L"CommandResultDescription"};
  EXPECT_EQ(keys, expected);
  EXPECT_EQ(ini.ReadString(L"01", L"DeviceNumber", L""), L"9");
  EXPECT_EQ(FolderNames(Dir), std::set<std::string>{"PloverCmd.ini"}) << "no temporary file is left";
}

TEST_F(CmdSettingsFile, FailedWriteKeepsTheOldFileAndReportsIt) {
  const std::string old = "[Параметры]\r\nTimeout=5\r\n";
  Write(old);
  TFakeCmdView view;
  auto session = Open(view);
  session->Params().Timeout = 6;
  // The disk is full: the write cannot complete.
  {
    TFileSizeLimit full(4);
    EXPECT_THROW(session->SaveSettings(), EInOutError);
  }
  EXPECT_EQ(Read(), old);
  // Once there is room the same session saves.
  session->SaveSettings();
  TBigIniFile ini(Path.wstring());
  EXPECT_EQ(ini.ReadInteger(L"Параметры", L"Timeout", 0), 6);
}

TEST_F(CmdSettingsFile, UnreadableOldFileDoesNotKeepTheUserFromSaving) {
  // A directory where the file should be cannot be read as one; saving
  // replaces nothing it has not written completely, and reports the failure.
  fs::create_directory(Path);
  TFakeCmdView view;
  TCmdSession session(view, std::make_unique<TFakeDriver>(), Path.wstring());
  EXPECT_THROW(session.LoadSettings(), EInOutError);
  EXPECT_THROW(session.SaveSettings(), EInOutError);
  EXPECT_TRUE(fs::is_directory(Path));
  fs::remove(Path);
  session.SaveSettings();
  EXPECT_TRUE(fs::is_regular_file(Path));
}

}  // namespace

namespace {

TEST(CmdSettingsLongPath, PathTheStoreWouldCutIsNeitherReadNorWritten) {
  // A cut name would be another file: it must be refused, not shortened.
  const std::wstring longName = L"/tmp/" + std::wstring(260, L'x') + L".ini";
  TFakeCmdView view;
  TCmdSession session(view, std::make_unique<TFakeDriver>(), longName);
  session.LoadSettings();
  EXPECT_EQ(session.Params().Timeout, 1000u);
  try {
    session.SaveSettings();
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_NE(e.Message().find(L"255"), std::wstring::npos) << e.what();
  }
  EXPECT_FALSE(fs::exists(fs::path(longName.substr(0, 255))));
}

}  // namespace
