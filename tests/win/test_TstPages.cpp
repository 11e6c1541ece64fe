// The pages of PloverTst whose work runs on the window thread (date and time,
// rest registers, connection test, the two table pages), driven through their
// controls against PloverDrv.dll: each page's main path, the stop buttons,
// refusals and errors, and the buttons and the focus given back after each.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>

#include "ScopedCom.h"
#include "fmuDate.h"
#include "fmuMain.h"
#include "fmuRestReg.h"
#include "fmuTable.h"
#include "fmuTables.h"
#include "fmuTest.h"
#include "test_CommonControls6.h"
#include "test_TstShots.h"
#include "test_TstSupport.h"
#include "untDateTime.h"
#include "untFile.h"
#include "untRestReg.h"
#include "untText.h"

namespace fs = std::filesystem;

namespace {

const TCommonControls6 GControls6;

const std::wstring kDashes(45, L'-');

class TstPages : public ::testing::Test {
 protected:
  TComInit Com;
  TErrorRecorder Errors;
  std::unique_ptr<TfmMain> Main;

  void SetUp() override {
    ASSERT_TRUE(GControls6.Active());
    ASSERT_EQ(RegisterDriverBesideUs(), S_OK);
    Application().Initialize();
    Application().Title = L"Тест драйвера ККМ";
    Start();
  }
  void TearDown() override {
    Main.reset();
    SetFileDialogHook(nullptr);
  }
  void Start(TPages::TDriverFactory factory = {}) {
    Main.reset();
    Main = std::make_unique<TfmMain>(std::move(factory));
    Main->Show();
    Pump();
  }
  // Known device settings, whatever the user saved.
  TDriver& Device() {
    TDriver& d = Main->Driver();
    d.SetProperty(L"BusKind", TVariant::FromInt(0));
    d.SetProperty(L"VirtualEcr", TVariant::FromBool(true));
    d.SetProperty(L"LinkLatency", TVariant::FromInt(0));
    d.SetProperty(L"DeviceNotAnswering", TVariant::FromBool(false));
    NoFault();
    return d;
  }
  void Fault(const wchar_t* method, int code, int every) {
    TDriver& d = Main->Driver();
    d.SetProperty(L"FaultMethod", TVariant::FromStr(method));
    d.SetProperty(L"FaultCode", TVariant::FromInt(code));
    d.SetProperty(L"FaultEvery", TVariant::FromInt(every));
  }
  void NoFault() { Fault(L"", 0, 0); }
  void Latency(int ms) { Main->Driver().SetProperty(L"LinkLatency", TVariant::FromInt(ms)); }

  template <class P>
  P* Page() {
    for (int i = 0; i < Main->Pages().Count(); ++i)
      if (auto* p = dynamic_cast<P*>(Main->Pages().Items(i))) {
        Main->SelectPage(i);
        Pump();
        return p;
      }
    return nullptr;
  }
  // A click as the mouse gives it: the button takes the focus, then its
  // handler runs (a loop of the page to its end).
  static void Press(TButton* b) {
    b->SetFocus();
    b->Perform(BM_CLICK);
    Pump();
  }
  // A click that waits in the queue until a running loop lets events run.
  static void ClickLater(TButton* b) { PostMessageW(b->Handle(), BM_CLICK, 0, 0); }

  int32_t Rest(int32_t number) {
    TDriver& d = Main->Driver();
    d.set_RegisterNumber(number);
    EXPECT_EQ(d.GetRestRegister(), 0) << number;
    return d.get_RestRegister();
  }
  void SetRest(int32_t number, int32_t value) {
    TDriver& d = Main->Driver();
    d.set_RegisterNumber(number);
    d.set_RestRegister(value);
    EXPECT_EQ(d.WriteRestRegister(), 0) << number;
  }
  // With PLOVER_PAGE_SHOTS naming a folder, the main window as the page
  // shows it now is saved there as NAME.png (for looking at the pages).
  void Shot(const wchar_t* name) {
    wchar_t dir[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"PLOVER_PAGE_SHOTS", dir, MAX_PATH)) return;
    SetForegroundWindow(Main->Handle());
    RedrawWindow(Main->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump();
    EXPECT_FALSE(shots::SaveWindow(Main->Handle(), std::wstring(dir) + L"\\" + name).empty()) << WideToUtf8(name);
  }
  static std::vector<std::wstring> Lines(TMemo* memo) { return SplitLines(memo->Text()); }
  // The memo's longest line can be read to its end: the memo has a bar to
  // scroll sideways with, and scrolled to the right the line's last
  // character lies inside the memo.
  static void ExpectLongestLineReachable(TMemo* memo) {
    HWND h = memo->Handle();
    EXPECT_NE(GetWindowLongW(h, GWL_STYLE) & WS_HSCROLL, 0) << "no bar to scroll sideways with";
    const auto lines = Lines(memo);
    size_t longest = 0;
    for (size_t i = 1; i < lines.size(); ++i)
      if (lines[i].size() > lines[longest].size()) longest = i;
    const LRESULT start = SendMessageW(h, EM_LINEINDEX, longest, 0);
    const LRESULT last = start + static_cast<LRESULT>(lines[longest].size()) - 1;
    SendMessageW(h, WM_HSCROLL, SB_RIGHT, 0);
    Pump();
    const LRESULT pos = SendMessageW(h, EM_POSFROMCHAR, static_cast<WPARAM>(last), 0);
    RECT client{};
    GetClientRect(h, &client);
    const int x = static_cast<short>(LOWORD(pos));
    EXPECT_GE(x, 0) << WideToUtf8(lines[longest]);
    EXPECT_LT(x, client.right) << WideToUtf8(lines[longest]);
    SendMessageW(h, WM_HSCROLL, SB_LEFT, 0);
  }
  // The page's push buttons are all enabled again, the stop button aside.
  static void ExpectButtonsBack(TPage* page, TButton* focused, TButton* stop = nullptr) {
    for (int i = 0; i < page->ControlCount(); ++i) {
      if (auto* b = dynamic_cast<TButton*>(page->Controls(i))) {
        EXPECT_EQ(b->Enabled(), b != stop) << WideToUtf8(b->Name());
      }
    }
    EXPECT_TRUE(focused->Focused()) << WideToUtf8(focused->Name());
  }
};

// ---------------------------------------------------------------- date page

TEST_F(TstPages, TheDatePageWritesThePickersValuesAndTheComputersClock) {
  const TDateTime before = Time();
  Start();
  const TDateTime after = Time();
  TDriver& d = Device();
  auto* page = Page<TfmDate>();
  ASSERT_NE(page, nullptr);
  // The time picker holds the moment the page was made, to the second.
  const TDateTime shown = page->dtpTime->DateTime();
  EXPECT_GE(shown, std::floor(before * 86400) / 86400 - 1e-9);
  EXPECT_LE(shown, after + 1.0 / 86400);
  EXPECT_DOUBLE_EQ(page->dtpDate->DateTime(), Date());

  page->dtpDate->SetDateTime(EncodeDate(2024, 3, 15));
  Press(page->btnSetDate);
  page->dtpTime->SetDateTime(EncodeTime(10, 20, 30, 0));
  Press(page->btnSetTime);
  ASSERT_EQ(d.GetECRStatus(), 0);
  EXPECT_DOUBLE_EQ(std::floor(d.get_ECRDate()), EncodeDate(2024, 3, 15));
  EXPECT_NEAR(d.get_ECRTime() * 86400, EncodeTime(10, 20, 30, 0) * 86400, 5);
  ExpectButtonsBack(page, page->btnSetTime);
  Shot(L"PloverTst-date");

  // A refused date stops before the time: the clock still runs from 10:20:30.
  Fault(L"SetDate", 5, 1);
  Press(page->btnSetDateTime);
  EXPECT_EQ(Errors.Texts, (std::vector<std::wstring>{L"Неверная дата"}));
  ExpectButtonsBack(page, page->btnSetDateTime);
  NoFault();
  ASSERT_EQ(d.GetECRStatus(), 0);
  EXPECT_DOUBLE_EQ(std::floor(d.get_ECRDate()), EncodeDate(2024, 3, 15));
  EXPECT_NEAR(d.get_ECRTime() * 86400, EncodeTime(10, 20, 30, 0) * 86400, 5);

  Press(page->btnSetDateTime);
  ASSERT_EQ(d.GetECRStatus(), 0);
  EXPECT_DOUBLE_EQ(std::floor(d.get_ECRDate()), Date());
  EXPECT_NEAR(d.get_ECRTime() * 86400, Time() * 86400, 5);
  EXPECT_EQ(Errors.Texts.size(), 1u);
}

// The device needs 2.5 s for its tables: with the time-out of 1000 the call
// alone would fail, so no error proves the page raised it for the call.
TEST_F(TstPages, TableInitialisationRaisesTheTimeoutForTheCallOnly) {
  TDriver& d = Device();
  auto* page = Page<TfmDate>();
  d.set_Timeout(1000);
  Press(page->btnInitTables);
  EXPECT_TRUE(Errors.Texts.empty()) << WideToUtf8(Errors.Texts.front());
  EXPECT_EQ(d.get_Timeout(), 1000);
  ExpectButtonsBack(page, page->btnInitTables);

  Fault(L"InitTable", 7, 1);
  Press(page->btnInitTables);
  EXPECT_EQ(Errors.Texts, (std::vector<std::wstring>{L"Неверное значение параметра"}));
  EXPECT_EQ(d.get_Timeout(), 1000);
  ExpectButtonsBack(page, page->btnInitTables);

  // The table page's own button ignores the result, the time-out failure too.
  NoFault();
  auto* table = Page<TfmTable>();
  Press(table->btnInitTable);
  EXPECT_EQ(Errors.Texts.size(), 1u);
  EXPECT_TRUE(Lines(table->Memo).empty());
  ExpectButtonsBack(table, table->btnInitTable);
}

// ---------------------------------------------------------------- connection test

TEST_F(TstPages, TheConnectionTestStopsAtTheFirstErrorWhenAsked) {
  Device();
  auto* page = Page<TfmTest>();
  ASSERT_NE(page, nullptr);
  EXPECT_FALSE(page->btnStop->Enabled());
  // Commands without latency: the 500th may come before the first tick, and
  // then the test goes on to the next failure.
  Fault(L"CheckConnection", 1, 500);
  page->chbStopOnError->SetChecked(true);
  Press(page->btnStart);
  const int64_t count = std::stoll(page->lblRepCount->Text());
  EXPECT_GT(count, 0);
  EXPECT_EQ(count % 500, 0);
  EXPECT_EQ(page->lblErrCount->Text(), IntToStr(count / 500));
  EXPECT_EQ(page->lblErrRate->Text(), L"0.20");
  EXPECT_GT(std::stoll(page->lblTxSpeed->Text()), 0);
  ExpectButtonsBack(page, page->btnStart, page->btnStop);
  EXPECT_TRUE(Errors.Texts.empty());
  // Beside them, shown with them: the command times in order and the
  // failures by their code.
  auto us = [](TLabel* l) { return std::stod(l->Text()); };
  const double fastest = us(page->lblFastest), average = us(page->lblAverage), slowest = us(page->lblSlowest);
  EXPECT_LE(fastest, average);
  EXPECT_LE(average, slowest);
  EXPECT_GT(slowest, 0.0);
  EXPECT_LE(us(page->lblPercentile95), us(page->lblPercentile99));
  EXPECT_LE(us(page->lblPercentile99), slowest * 1.04);
  EXPECT_EQ(page->lblFailures->Text(), L"код 1: " + page->lblErrCount->Text());
  Shot(L"PloverTst-conntest");
  // "Начать" starts them again.
  NoFault();
  page->chbStopOnError->SetChecked(false);
  ClickLater(page->btnStop);
  Press(page->btnStart);
  EXPECT_EQ(page->lblFailures->Text(), L"нет");
}

// A driver whose connection checks take 20 ms each, longer than a step of
// the tick count, so that every command has figures; OnCheck runs inside
// each one, as what the user does meanwhile.
class TSlowDriver : public TScriptDriver {
 public:
  std::function<void(int check)> OnCheck;
  int32_t CallById(int32_t id) override {
    if (id == dispid::CheckConnection) {
      Sleep(20);
      if (OnCheck) OnCheck(++Checks);
    }
    return TScriptDriver::CallById(id);
  }
  int Checks = 0;
};

TEST_F(TstPages, StopClosingAndErrorsEndTheTestAfterTheCommandUnderWay) {
  TSlowDriver* driver = nullptr;
  Start([&driver] {
    auto d = std::make_unique<TSlowDriver>();
    driver = d.get();
    return d;
  });
  auto* page = Page<TfmTest>();
  Main->Driver();
  ASSERT_NE(driver, nullptr);
  // "Прервать" clicked while the third command runs: that one is counted.
  driver->OnCheck = [page](int check) {
    if (check == 3) PostMessageW(page->btnStop->Handle(), BM_CLICK, 0, 0);
  };
  Press(page->btnStart);
  EXPECT_EQ(page->lblRepCount->Text(), L"3");
  EXPECT_EQ(page->lblErrCount->Text(), L"0");
  ExpectButtonsBack(page, page->btnStart, page->btnStop);

  // The page closed meanwhile; a new run counts from 0.
  driver->Checks = 0;
  driver->OnCheck = [page](int check) {
    if (check == 2) PostMessageW(page->Handle(), WM_CLOSE, 0, 0);
  };
  Press(page->btnStart);
  EXPECT_EQ(page->lblRepCount->Text(), L"2");
  EXPECT_FALSE(page->btnStop->Enabled());
  EXPECT_TRUE(page->btnStart->Enabled());
  page->Show();

  // An error raised by the call itself ends the run and is shown; the
  // counters end on the last command that had figures.
  driver->Checks = 0;
  driver->OnCheck = [](int check) {
    if (check == 5) throw Exception(L"Связь оборвалась");
  };
  Press(page->btnStart);
  EXPECT_EQ(Errors.Texts, (std::vector<std::wstring>{L"Связь оборвалась"}));
  EXPECT_EQ(page->lblRepCount->Text(), L"4");
  ExpectButtonsBack(page, page->btnStart, page->btnStop);

  // A failure counts and stops the run when asked to.
  driver->Checks = 0;
  driver->OnCheck = {};
  driver->Results[dispid::CheckConnection] = -1;
  page->chbStopOnError->SetChecked(true);
  Press(page->btnStart);
  EXPECT_EQ(page->lblRepCount->Text(), L"1");
  EXPECT_EQ(page->lblErrCount->Text(), L"1");
  EXPECT_EQ(page->lblErrRate->Text(), L"100.00");
  EXPECT_EQ(page->lblTxSpeed->Text(), IntToStr(1000 / std::stoll(page->lblCommandTime->Text())));
}

// ---------------------------------------------------------------- rest registers

TEST_F(TstPages, RestRegistersAreReadWhollyOrInARange) {
  Device();
  auto* page = Page<TfmRestReg>();
  ASSERT_NE(page, nullptr);
  EXPECT_FALSE(page->edtStartNum->Enabled());
  EXPECT_EQ(page->edtStartNum->Color(), clBtnFace);
  Press(page->btnRead);
  std::vector<std::wstring> lines = Lines(page->Memo);
  ASSERT_EQ(lines.size(), 120u);  // 0..119, then the device refuses
  EXPECT_EQ(std::vector<std::wstring>(lines.begin(), lines.begin() + 5),
            (std::vector<std::wstring>{L"0000: 0", L"0001: 12.345", L"0002: 2", L"0003: 0.005", L"0004: -1.5"}));
  EXPECT_EQ(lines.back().substr(0, 6), L"0119: ");
  EXPECT_TRUE(Errors.Texts.empty());
  EXPECT_FALSE(page->ProgressBar->Visible());
  EXPECT_FALSE(page->lblRegisterNumber->Visible());
  EXPECT_EQ(page->lblRegisterNumber->Text(), L"120");
  ExpectButtonsBack(page, page->btnRead, page->btnBreak);
  Shot(L"PloverTst-restreg");

  page->rbSel->SetChecked(true);
  EXPECT_TRUE(page->edtStartNum->Enabled());
  EXPECT_TRUE(page->edtEndNum->Enabled());
  EXPECT_EQ(page->edtEndNum->Color(), clWindow);
  page->edtStartNum->SetText(L"5");
  page->edtEndNum->SetText(L"3");
  Press(page->btnRead);
  EXPECT_EQ(Lines(page->Memo), (std::vector<std::wstring>{L"0005: -0.007"}));

  // A number that is none stops the read before the list is cleared.
  page->edtEndNum->SetText(L"1O");
  Press(page->btnRead);
  ASSERT_EQ(Errors.Texts.size(), 1u);
  EXPECT_NE(Errors.Texts[0].find(L"1O"), std::wstring::npos) << WideToUtf8(Errors.Texts[0]);
  EXPECT_EQ(Lines(page->Memo), (std::vector<std::wstring>{L"0005: -0.007"}));
  ExpectButtonsBack(page, page->btnRead, page->btnBreak);

  page->rbAll->SetChecked(true);
  EXPECT_FALSE(page->edtEndNum->Enabled());
  EXPECT_EQ(page->edtEndNum->Color(), clBtnFace);
}

TEST_F(TstPages, EditedLinesAreWrittenBackUntilALineIsNoNumber) {
  Device();
  auto* page = Page<TfmRestReg>();
  page->Memo->SetText(L"0001: 12.345\r\n0003: 7\r\n0004: -0.0015\r\n");
  Press(page->btnWrite);
  EXPECT_TRUE(Errors.Texts.empty());
  EXPECT_EQ(Rest(1), 12345);
  EXPECT_EQ(Rest(3), 7000);
  EXPECT_EQ(Rest(4), -1);
  EXPECT_EQ(page->lblRegisterNumber->Text(), L"3");
  ExpectButtonsBack(page, page->btnWrite, page->btnBreak);

  page->Memo->SetText(L"0002: 1.5\r\n0003: 7 кг\r\n0004: 9\r\n");
  Press(page->btnWrite);
  ASSERT_EQ(Errors.Texts.size(), 1u);
  EXPECT_NE(Errors.Texts[0].find(L"7 кг"), std::wstring::npos) << WideToUtf8(Errors.Texts[0]);
  EXPECT_EQ(Rest(2), 1500);
  EXPECT_EQ(Rest(3), 7000);
  EXPECT_EQ(Rest(4), -1);
  EXPECT_FALSE(page->ProgressBar->Visible());
  ExpectButtonsBack(page, page->btnWrite, page->btnBreak);

  // A refusal ends the write silently; an empty list writes nothing.
  Fault(L"WriteRestRegister", 129, 2);
  page->Memo->SetText(L"0002: 2\r\n0003: 0.005\r\n0004: -1.5\r\n");
  Press(page->btnWrite);
  NoFault();
  EXPECT_EQ(Errors.Texts.size(), 1u);
  EXPECT_EQ(Rest(2), 2000);
  EXPECT_EQ(Rest(3), 7000);
  page->Memo->Clear();
  Press(page->btnWrite);
  EXPECT_EQ(Errors.Texts.size(), 1u);
  EXPECT_FALSE(page->ProgressBar->Visible());

  SetRest(3, 5);
  SetRest(4, -1500);
}

TEST_F(TstPages, StopDuringAWriteEndsAfterTheRegisterBeingWritten) {
  Device();
  auto* page = Page<TfmRestReg>();
  std::vector<int32_t> old;
  std::vector<std::wstring> lines;
  for (int32_t n = 10; n < 110; ++n) {
    old.push_back(Rest(n));
    lines.push_back(RestRegisterLine(n, 77000));
  }
  page->Memo->SetText(JoinLines(lines));
  Latency(1);
  ClickLater(page->btnBreak);
  Press(page->btnWrite);
  Latency(0);
  const int written = std::stoi(page->lblRegisterNumber->Text());
  EXPECT_GE(written, 1);
  EXPECT_LT(written, 100);
  for (int32_t n = 10; n < 110; ++n) EXPECT_EQ(Rest(n), n - 10 < written ? 77000 : old[n - 10]) << n;
  ExpectButtonsBack(page, page->btnWrite, page->btnBreak);
  EXPECT_TRUE(Errors.Texts.empty());
  for (int32_t n = 10; n < 110; ++n) SetRest(n, old[n - 10]);

  // The same for a read of every register, stopped a little later (the page
  // is looked at while it reads).
  Latency(1);
  page->StartTimer(77, 50, [&] {
    page->StopTimer(77);
    Shot(L"PloverTst-restreg-reading");
    ClickLater(page->btnBreak);
  });
  Press(page->btnRead);
  Latency(0);
  const size_t read = Lines(page->Memo).size();
  EXPECT_GE(read, 1u);
  EXPECT_LT(read, 120u);
  EXPECT_EQ(page->lblRegisterNumber->Text(), IntToStr(static_cast<long long>(read)));
  ExpectButtonsBack(page, page->btnRead, page->btnBreak);
}

TEST_F(TstPages, TheListIsSavedToAFileAndLoadedBackAsItWas) {
  auto* page = Page<TfmRestReg>();
  const fs::path dir = fs::temp_directory_path() / (L"tst-rest-" + std::to_wstring(GetCurrentProcessId()));
  fs::create_directories(dir);
  const std::wstring file = (dir / L"rest.txt").wstring();
  std::vector<TFileDialogArgs> asked;
  std::wstring answer = file;
  SetFileDialogHook([&](bool, TFileDialogArgs& args) {
    asked.push_back(args);
    args.FileName = answer;
    return !answer.empty();
  });
  page->Memo->SetText(L"0001: 12.345\r\n0002: 2\r\n\r\n0003: кг\r\n");
  Press(page->btnSaveToFile);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].FileName, L"РегистрыОстатков");
  EXPECT_EQ(asked[0].DefaultExt, L"txt");
  EXPECT_EQ(asked[0].Filter, L"Текстовые файлы (*.txt)|*.txt|Все файлы (*.*)|*.*");
  EXPECT_TRUE(asked[0].OverwritePrompt);
  EXPECT_EQ(asked[0].InitialDir, ProgramFolder());
  EXPECT_EQ(ReadWholeFile(file), "0001: 12.345\r\n0002: 2\r\n\r\n0003: \xEA\xE3\r\n");

  const std::vector<std::wstring> saved = Lines(page->Memo);
  Press(page->btnClear);
  EXPECT_TRUE(Lines(page->Memo).empty());
  Press(page->btnLoadFromFile);
  EXPECT_EQ(Lines(page->Memo), saved);
  EXPECT_EQ(asked.back().InitialDir, ProgramFolder());

  // A file that cannot be read leaves the list; a cancelled dialog does nothing.
  answer = (dir / L"missing.txt").wstring();
  Press(page->btnLoadFromFile);
  ASSERT_EQ(Errors.Texts.size(), 1u);
  EXPECT_NE(Errors.Texts[0].find(L"missing.txt"), std::wstring::npos) << WideToUtf8(Errors.Texts[0]);
  EXPECT_EQ(Lines(page->Memo), saved);
  ExpectButtonsBack(page, page->btnLoadFromFile, page->btnBreak);
  answer.clear();
  Press(page->btnLoadFromFile);
  EXPECT_EQ(Lines(page->Memo), saved);
  EXPECT_EQ(Errors.Texts.size(), 1u);

  // Each dialog proposes what was chosen in it last, a cancel changes nothing.
  Press(page->btnSaveToFile);
  EXPECT_EQ(asked.back().FileName, file);
  EXPECT_EQ(asked.back().InitialDir, dir.wstring());
  Press(page->btnLoadFromFile);
  EXPECT_EQ(asked.back().FileName, (dir / L"missing.txt").wstring());
  EXPECT_EQ(asked.back().DefaultExt, L"txt");
  fs::remove_all(dir);
}

// ---------------------------------------------------------------- table pages

TEST_F(TstPages, TheTableListingRunsFromDashToDash) {
  Device();
  auto* page = Page<TfmTables>();
  ASSERT_NE(page, nullptr);
  Press(page->btnRead);
  const std::vector<std::wstring> lines = Lines(page->Memo);
  ASSERT_GT(lines.size(), 10u);
  EXPECT_EQ(lines.front(), kDashes);
  EXPECT_EQ(lines.back(), kDashes);
  EXPECT_EQ(lines[1], L"  1. Тип и режим кассы, рядов    1, полей  7");
  // Table 13 has no fields: its line between two dash lines, then table 14.
  auto t13 = std::find(lines.begin(), lines.end(), L" 13. Резерв, рядов    1, полей  0");
  ASSERT_NE(t13, lines.end());
  EXPECT_EQ(*(t13 + 1), kDashes);
  EXPECT_EQ(*(t13 + 2), kDashes);
  EXPECT_EQ(*(t13 + 3), L" 14. Региональные настройки, рядов    1, полей  5");
  EXPECT_NE(std::find(lines.begin(), lines.end(), L"  5. Кодовая страница     2,  2"), lines.end());
  // A name longer than 20 characters is printed whole, and can be read whole.
  EXPECT_EQ(lines[4], L"  2. Автоматическое обнуление денежной наличности число,  1");
  ExpectLongestLineReachable(page->Memo);
  ExpectButtonsBack(page, page->btnRead);
  EXPECT_TRUE(Errors.Texts.empty());
  Shot(L"PloverTst-tables");

  Fault(L"GetTableStruct", 130, 1);
  Press(page->btnRead);
  EXPECT_EQ(Lines(page->Memo), (std::vector<std::wstring>{kDashes}));

  // A refusal at table 2: table 1 stays, no closing dash line.
  Fault(L"GetTableStruct", 3, 2);
  Press(page->btnRead);
  EXPECT_EQ(Errors.Texts, (std::vector<std::wstring>{L"Неверный номер блока данных"}));
  const std::vector<std::wstring> partial = Lines(page->Memo);
  ASSERT_EQ(partial.size(), 3u + 7u);
  EXPECT_EQ(partial[1], lines[1]);
  EXPECT_NE(partial.back(), kDashes);
  ExpectButtonsBack(page, page->btnRead);
}

TEST_F(TstPages, TheTablePageShowsWhatEachOperationGot) {
  Device();
  auto* page = Page<TfmTable>();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->edtTableNumber->Hint(), L"TableNumber");
  EXPECT_EQ(page->edtRowNumber->Hint(), L"RowNumber");
  EXPECT_EQ(page->edtFieldNumber->Hint(), L"FieldNumber");
  EXPECT_EQ(page->edtValue->Hint(), L"Значение");
  EXPECT_EQ(page->btnWriteTable->Hint(), L"WriteTable");
  EXPECT_EQ(page->edtTableNumber->Perform(EM_GETLIMITTEXT), 3);
  EXPECT_EQ(page->udRowNumber->Max(), 255);
  for (TButton* b : {page->btnGetTableStruct, page->btnGetFieldStruct, page->btnReadTable, page->btnWriteTable,
                     page->btnInitTable})
    EXPECT_TRUE(b->GlyphShown()) << WideToUtf8(b->Name());

  page->edtTableNumber->SetText(L"2");
  Press(page->btnGetTableStruct);
  EXPECT_EQ(Lines(page->Memo), (std::vector<std::wstring>{L"Название таблицы: Пароли кассиров и администраторов",
                                                           L"Количество рядов: 30", L"Количество полей: 2"}));
  // The longest field name, read to its end.
  page->edtTableNumber->SetText(L"1");
  page->edtFieldNumber->SetText(L"2");
  Press(page->btnGetFieldStruct);
  ASSERT_FALSE(Lines(page->Memo).empty());
  EXPECT_EQ(Lines(page->Memo)[0], L" Название поля : Автоматическое обнуление денежной наличности");
  ExpectLongestLineReachable(page->Memo);
  page->edtTableNumber->SetText(L"2");

  // A string field: no range, and the value goes into the edit.
  page->edtFieldNumber->SetText(L"2");
  page->edtRowNumber->SetText(L"1");
  page->edtValue->SetText(L"");
  Press(page->btnReadTable);
  EXPECT_EQ(Lines(page->Memo),
            (std::vector<std::wstring>{L"Название поля: Имя", L"Тип поля: строка", L"Размер поля: 21"}));
  EXPECT_FALSE(page->edtValue->Text().empty());
  ExpectButtonsBack(page, page->btnReadTable);
  Shot(L"PloverTst-table");

  // A value the device refuses: nothing shown, the typed text stays.
  page->edtFieldNumber->SetText(L"1");
  page->edtValue->SetText(L"123456789");
  Press(page->btnWriteTable);
  EXPECT_TRUE(Lines(page->Memo).empty());
  EXPECT_EQ(page->edtValue->Text(), L"123456789");
  EXPECT_TRUE(Errors.Texts.empty());
  ExpectButtonsBack(page, page->btnWriteTable);

  page->edtValue->SetText(L"4321");
  Press(page->btnWriteTable);
  EXPECT_EQ(Lines(page->Memo),
            (std::vector<std::wstring>{L"Структура поля:", L"    Название поля: Пароль", L"    Тип поля: число",
                                       L"    Размер поля: 4", L"    Мини. значение: 0",
                                       L"    Макс. значение: 99999999"}));
  EXPECT_EQ(page->edtValue->Text(), L"4321");

  // The binary field: its type as a number, read as "число" without a range.
  page->edtTableNumber->SetText(L"14");
  page->edtFieldNumber->SetText(L"5");
  Press(page->btnGetFieldStruct);
  EXPECT_EQ(Lines(page->Memo), (std::vector<std::wstring>{L" Название поля : Кодовая страница",
                                                           L" Тип поля      : 2", L" Размер поля   : 2"}));
  Press(page->btnReadTable);
  EXPECT_EQ(Lines(page->Memo), (std::vector<std::wstring>{L"Название поля: Кодовая страница", L"Тип поля: число",
                                                           L"Размер поля: 2"}));
  EXPECT_EQ(page->edtValue->Text(), L"04E3");

  // A number that is none: the conversion error, the memo empty.
  page->edtRowNumber->SetText(L"один");
  Press(page->btnReadTable);
  ASSERT_EQ(Errors.Texts.size(), 1u);
  EXPECT_NE(Errors.Texts[0].find(L"один"), std::wstring::npos) << WideToUtf8(Errors.Texts[0]);
  EXPECT_TRUE(Lines(page->Memo).empty());
  ExpectButtonsBack(page, page->btnReadTable);

  // Restore the password of cashier 1 to the device's own value.
  page->edtTableNumber->SetText(L"2");
  page->edtRowNumber->SetText(L"1");
  Main->Driver().InitTable();
}

// ---------------------------------------------------------------- picture buttons

// Every glyph draws something of its own, and its disabled image is grey.
TEST_F(TstPages, EachGlyphHasItsOwnPictureAndAGreyDisabledOne) {
  auto pixels = [](const TImageList& images, int index) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kGlyphSize;
    info.bmiHeader.biHeight = -kGlyphSize;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    TBitmapHandle bmp(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    TMemDC dc(CreateCompatibleDC(nullptr));
    TSelectObject sel(dc.Get(), bmp.Get());
    TBrushHandle back(CreateSolidBrush(RGB(0, 255, 0)));
    RECT all{0, 0, kGlyphSize, kGlyphSize};
    FillRect(dc.Get(), &all, back.Get());
    ImageList_Draw(images.Handle(), index, dc.Get(), 0, 0, ILD_TRANSPARENT);
    GdiFlush();
    const auto* p = static_cast<const uint32_t*>(bits);
    return std::vector<uint32_t>(p, p + kGlyphSize * kGlyphSize);
  };
  constexpr uint32_t kBack = 0x00FF00;
  std::vector<std::vector<uint32_t>> normals;
  for (TButtonGlyph g : {bgOpen, bgSave, bgCompare, bgRead, bgWrite, bgClear, bgTable, bgField, bgInit, bgDifferences}) {
    const auto images = CreateButtonGlyphImages(g);
    ASSERT_EQ(images->Count(), 6) << g;
    const auto normal = pixels(*images, 0);
    const auto disabled = pixels(*images, 3);
    int drawn = 0;
    for (size_t i = 0; i < normal.size(); ++i) {
      const uint32_t n = normal[i] & 0xFFFFFF, d = disabled[i] & 0xFFFFFF;
      drawn += n != kBack;
      EXPECT_EQ(n == kBack, d == kBack) << g << " " << i;
      if (d != kBack) {
        EXPECT_TRUE((d & 0xFF) == ((d >> 8) & 0xFF) && (d & 0xFF) == (d >> 16)) << g << " " << i;
      }
    }
    EXPECT_GT(drawn, 20) << g;
    EXPECT_EQ(pixels(*images, 1), normal) << g;
    for (const auto& other : normals) EXPECT_NE(other, normal) << g;
    normals.push_back(normal);
  }
  auto* page = Page<TfmRestReg>();
  EXPECT_TRUE(page->btnLoadFromFile->GlyphShown());
  EXPECT_TRUE(page->btnSaveToFile->GlyphShown());
  EXPECT_FALSE(page->btnRead->GlyphShown());
}

}  // namespace
