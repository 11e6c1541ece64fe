// The commands page and the receipt page of PloverTst against PloverDrv.dll:
// the receipt page counting the virtual cash desk's receipts, and PloverCmd in
// a second process on the UDP bus, answered by the commands page only while
// that page is shown. Pictures of both pages are kept in the build tree's
// screenshots folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "BigIni.h"
#include "ScopedCom.h"
#include "TopWindows.h"
#include "fmuCommands.h"
#include "fmuFlags.h"
#include "fmuMain.h"
#include "fmuReceipt.h"
#include "fmuStatus.h"
#include "test_CommonControls6.h"
#include "test_TstShots.h"
#include "test_TstSupport.h"
#include "untComDriver.h"
#include "untCommandAnswer.h"
#include "untEcrCmd.h"
#include "untError.h"
#include "untFile.h"
#include "untText.h"
#include "test_DrvSettings.h"

namespace fs = std::filesystem;

namespace {

// The common controls the program's manifest asks for, so that the pages look
// as they do in the program (the picture button's glyph included).
const TCommonControls6 GControls6;

// A port of this test's own, so that no other program's bus answers.
constexpr DWORD kTestPort = 47437;

std::wstring BinDir() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path);
  return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

std::wstring ClassOf(HWND wnd) {
  wchar_t cls[64] = {};
  GetClassNameW(wnd, cls, 64);
  std::wstring c(cls);
  for (auto& ch : c) ch = towlower(ch);
  return c;
}

// The text of another process's control, without waiting on a window thread
// that may itself be waiting for this one.
std::wstring RemoteText(HWND wnd) {
  wchar_t buf[512] = {};
  DWORD_PTR ignored = 0;
  if (!SendMessageTimeoutW(wnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buf), SMTO_NORMAL, 100, &ignored))
    return L"?";
  return buf;
}

class TstNetPages : public ::testing::Test {
 protected:
  TComInit Com;
  TErrorRecorder Errors;
  std::unique_ptr<TfmMain> Main;

  void SetUp() override {
    ASSERT_EQ(RegisterDriverBesideUs(), S_OK);
    Application().Initialize();
    Application().Title = L"Тест драйвера ККМ";
    // As the program does: an error out of a page's event goes to the display.
    SetComEventErrorHandler([](const std::exception& e) { Application().ShowException(e); });
    Main = std::make_unique<TfmMain>();
    Main->Show();
    Pump();
  }
  void TearDown() override {
    Main.reset();
    SetComEventErrorHandler(nullptr);
  }
  // The driver with known settings, whatever the registry holds.
  TDriver& Driver(int busKind) {
    TDriver& d = Main->Driver();
    d.SetProperty(L"BusKind", TVariant::FromInt(busKind));
    d.SetProperty(L"BusPort", TVariant::FromInt(static_cast<int32_t>(kTestPort)));
    d.SetProperty(L"VirtualDesk", TVariant::FromBool(false));
    d.SetProperty(L"FaultMethod", TVariant::FromStr(L""));
    d.SetProperty(L"FaultEvery", TVariant::FromInt(0));
    d.SetProperty(L"LinkLatency", TVariant::FromInt(0));
    d.SetProperty(L"BusFault", TVariant::FromStr(L""));
    d.SetProperty(L"BusFaultEvery", TVariant::FromInt(0));
    return d;
  }
  template <class P>
  P* Page() {
    for (int i = 0; i < Main->Pages().Count(); ++i)
      if (auto* p = dynamic_cast<P*>(Main->Pages().Items(i))) {
        Main->SelectPage(i);
        return p;
      }
    return nullptr;
  }
  void Shot(const wchar_t* name) {
    const std::wstring dir = BinDir() + L"..\\screenshots\\";
    CreateDirectoryW(dir.c_str(), nullptr);
    RedrawWindow(Main->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpUntil([] { return false; }, 300);
    EXPECT_FALSE(shots::SaveWindow(Main->Handle(), dir + name).empty());
  }
};

}  // namespace

TEST_F(TstNetPages, PagesTakeTheirPlacesAndTheLogStartsWithItsHeader) {
  std::vector<std::wstring> items;
  for (int i = 0; i < Main->ListBox->Count(); ++i) items.push_back(Main->ListBox->Item(i));
  EXPECT_NE(std::find(items.begin(), items.end(), L"8. Команды"), items.end());
  EXPECT_NE(std::find(items.begin(), items.end(), L"9. Чеки"), items.end());

  auto* page = Page<TfmCommands>();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->Memo->Lines(), CommandsLogHeader());
  EXPECT_FALSE(page->Memo->ReadOnly()) << "the user may write notes into the log";
  EXPECT_TRUE(page->btnClear->GlyphShown());
  page->Memo->SetText(page->Memo->Text() + L"заметка без конца строки");
  page->btnClear->Perform(BM_CLICK);
  Pump();
  EXPECT_EQ(page->Memo->Lines(), CommandsLogHeader());
  EXPECT_TRUE(page->Answerer().IsBound());
  Page<TfmReceipt>();
  EXPECT_FALSE(page->Answerer().IsBound());
  EXPECT_TRUE(Errors.Texts.empty());
}

TEST_F(TstNetPages, BothPagesComeUpWhenTheDriverCannotBeMade) {
  int attempts = 0;
  Main = std::make_unique<TfmMain>([&]() -> std::unique_ptr<TDriver> {
    ++attempts;
    throw Exception(L"Драйвер не зарегистрирован");
  });
  Main->Show();
  // Each showing reports the failure once and tries again the next time.
  auto* commands = Page<TfmCommands>();
  auto* receipts = Page<TfmReceipt>();
  EXPECT_TRUE(receipts->Visible());
  EXPECT_FALSE(commands->Visible());
  EXPECT_EQ(receipts->edtRecCount->Text(), L"0");
  Page<TfmCommands>();
  EXPECT_TRUE(commands->Visible());
  EXPECT_FALSE(receipts->Visible());
  EXPECT_EQ(attempts, 3);
  EXPECT_EQ(Errors.Texts, std::vector<std::wstring>(3, L"Драйвер не зарегистрирован"));
}

TEST_F(TstNetPages, TheReceiptPageCountsTheDesksTwoReceiptsOnlyWhileShown) {
  TDriver& d = Driver(0);
  auto* page = Page<TfmReceipt>();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->edtTotalSum->Text(), L"0");
  EXPECT_EQ(page->edtRecCount->Text(), L"0");
  EXPECT_EQ(page->edtRecSum->Text(), L"0");
  EXPECT_TRUE(page->edtTotalSum->ReadOnly());

  // The desk waits Timeout for each answer: long enough for this thread to
  // answer, short enough for the one lost answer to be repeated quickly.
  d.set_Timeout(300);
  d.SetProperty(L"DeskInterval", TVariant::FromInt(400));
  d.SetProperty(L"VirtualDesk", TVariant::FromBool(true));
  ASSERT_TRUE(PumpUntil([&] { return page->edtRecCount->Text() == L"1"; }, 20000));
  EXPECT_EQ(page->edtTotalSum->Text(), L"24.25");
  EXPECT_EQ(page->edtRecSum->Text(), L"24.25");
  ASSERT_TRUE(PumpUntil([&] { return page->edtRecCount->Text() == L"2"; }, 20000));
  EXPECT_EQ(page->edtTotalSum->Text(), L"24.583");
  EXPECT_EQ(page->edtRecSum->Text(), L"0.333");

  // The desk goes on with its next receipt (a sale of 50) while another page
  // is shown: it is neither answered nor counted. The desk stops, and its
  // last repeats go by, before the page is shown again.
  Page<TfmStatus>();
  PumpUntil([] { return false; }, 1500);
  d.SetProperty(L"VirtualDesk", TVariant::FromBool(false));
  PumpUntil([] { return false; }, 1000);
  Page<TfmReceipt>();
  EXPECT_EQ(page->edtRecCount->Text(), L"2");
  EXPECT_EQ(page->edtTotalSum->Text(), L"24.583");
  EXPECT_EQ(page->edtRecSum->Text(), L"0.333");
  Shot(L"PloverTst-receipts");

  page->btnResetSum->Perform(BM_CLICK);
  Pump();
  EXPECT_EQ(page->edtTotalSum->Text(), L"0");
  EXPECT_EQ(page->edtRecCount->Text(), L"0");
  EXPECT_EQ(page->edtRecSum->Text(), L"0");
  EXPECT_TRUE(Errors.Texts.empty()) << WideToUtf8(Errors.Texts.empty() ? L"" : Errors.Texts[0]);
}

namespace {

// PloverCmd.exe from a folder of its own, so that its settings file is this
// test's; ended at the end if it is still running.
class TCmdProgram {
 public:
  TCmdProgram() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    FDir = fs::path(temp) / (L"tst-net-" + std::to_wstring(GetCurrentProcessId()));
    std::error_code ec;
    fs::remove_all(FDir, ec);
    fs::create_directories(FDir);
    fs::copy_file(fs::path(BinDir()) / L"PloverCmd.exe", FDir / L"PloverCmd.exe");
  }
  ~TCmdProgram() {
    if (FInfo.hProcess) {
      if (WaitForSingleObject(FInfo.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(FInfo.hProcess, 1);
      CloseHandle(FInfo.hProcess);
      CloseHandle(FInfo.hThread);
    }
    std::error_code ec;
    fs::remove_all(FDir, ec);
  }
  std::wstring IniFile() const { return (FDir / L"PloverCmd.ini").wstring(); }
  HWND Start() {
    std::wstring cmd = L"\"" + (FDir / L"PloverCmd.exe").wstring() + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, FDir.c_str(), &si, &FInfo))
      return nullptr;
    HWND window = nullptr;
    PumpUntil([&] { return (window = TopWindowOf(FInfo.dwProcessId, L"Тест команд")) != nullptr; }, 20000);
    return window;
  }
  HANDLE Process() const { return FInfo.hProcess; }

 private:
  fs::path FDir;
  PROCESS_INFORMATION FInfo{};
};

// Selects a command in PloverCmd's list, runs Execute and returns the result
// line once it reads as expected (or whatever it read when the time is up).
// The click is posted: PloverCmd then waits for an answer that this thread
// must be free to send.
std::wstring Execute(HWND wnd, int index, const std::wstring& expectedPrefix) {
  HWND list = nullptr, execute = nullptr, result = nullptr;
  for (HWND c = GetWindow(wnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    const std::wstring cls = ClassOf(c);
    if (!list && cls.find(L"listbox") != std::wstring::npos) list = c;
    if (!execute && cls.find(L"button") != std::wstring::npos && RemoteText(c) == L"Выполнить") execute = c;
    if (!result && cls.find(L"edit") != std::wstring::npos) result = c;
  }
  if (!list || !execute || !result) return L"PloverCmd's controls not found";
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageW(wnd, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  SendMessageW(result, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
  PostMessageW(execute, BM_CLICK, 0, 0);
  std::wstring text;
  PumpUntil(
      [&] {
        text = RemoteText(result);
        return text.rfind(expectedPrefix, 0) == 0;
      },
      10000);
  PumpUntil([] { return false; }, 100);  // the driver events of the exchange
  return RemoteText(result);
}

}  // namespace

// The desk in a control of its own, so that PloverTst's line loses or doubles
// only the requests that reach the page, while the desk's answers come back
// whole. A request lost is sent again by the desk and arrives as new; one
// doubled arrives a second time as a repeat, which replaces the sale it
// repeats. Every third request lost: among them the second sale's repeat, a
// discount and the first closing. Every third doubled: the second sale's
// repeat, a payment and a sale by barcode. Either way the first receipt
// closes once at 24.25, and the second begins with its 0.333.
TEST_F(TstNetPages, TheReceiptPageKeepsItsTotalsWhenRequestsAreLostOrDoubled) {
  struct TCase {
    const wchar_t* Fault;
    const wchar_t* Journaled;  // what the journal says of each faulted request
  } cases[] = {{L"drop", L"потерян"}, {L"duplicate", L"пришёл дважды"}};
  const std::wstring journal = BinDir() + L"receipt-busfault.log";
  for (const auto& c : cases) {
    SCOPED_TRACE(WideToUtf8(c.Fault));
    DeleteFileW(journal.c_str());
    TDriver& d = Driver(0);
    auto* page = Page<TfmReceipt>();
    ASSERT_NE(page, nullptr);
    page->btnResetSum->Perform(BM_CLICK);
    Pump();
    d.SetProperty(L"JournalFile", TVariant::FromStr(journal));
    d.SetProperty(L"BusFault", TVariant::FromStr(c.Fault));
    d.SetProperty(L"BusFaultEvery", TVariant::FromInt(3));

    std::unique_ptr<TDriver> desk = CreateComDriver();
    desk->SetProperty(L"VirtualDesk", TVariant::FromBool(false));
    desk->SetProperty(L"BusKind", TVariant::FromInt(0));
    desk->SetProperty(L"VirtualEcr", TVariant::FromBool(false));
    desk->SetProperty(L"BusFaultEvery", TVariant::FromInt(0));
    desk->SetProperty(L"SrcAddress", TVariant::FromInt(5));
    desk->SetProperty(L"DeskAddress", TVariant::FromInt(d.get_SrcAddress()));
    // Room for a request and its two repeats before the next one.
    desk->set_Timeout(300);
    desk->SetProperty(L"DeskInterval", TVariant::FromInt(700));
    desk->SetProperty(L"VirtualDesk", TVariant::FromBool(true));
    ASSERT_TRUE(PumpUntil([&] { return page->edtRecSum->Text() == L"0.333"; }, 20000))
        << WideToUtf8(page->edtRecSum->Text());
    EXPECT_EQ(page->edtRecCount->Text(), L"1");
    EXPECT_EQ(page->edtTotalSum->Text(), L"24.25");
    desk->SetProperty(L"VirtualDesk", TVariant::FromBool(false));
    desk.reset();
    // The line did misbehave: three requests met the fault before the sale.
    d.SetProperty(L"JournalFile", TVariant::FromStr(L""));
    const std::string text = ReadWholeFile(journal);
    const std::string faulted = WideToUtf8(c.Journaled);
    int count = 0;
    for (size_t at = text.find(faulted); at != std::string::npos; at = text.find(faulted, at + 1)) ++count;
    EXPECT_GE(count, 3) << text;
    DeleteFileW(journal.c_str());
  }
  EXPECT_TRUE(Errors.Texts.empty()) << WideToUtf8(Errors.Texts.empty() ? L"" : Errors.Texts[0]);
}

TEST_F(TstNetPages, PloverCmdIsAnsweredByTheCommandsPageOnlyWhileItIsShown) {
  TCmdProgram cmd;
  {
    TBigIniFile ini(cmd.IniFile());
    ini.WriteBool(L"Параметры", L"WaitAnswer", true);
    ini.WriteInteger(L"Параметры", L"Timeout", 1500);
    ini.UpdateFile();
  }
  // PloverCmd, station 1, sends to station 7, which nobody is; this program is
  // station 4 and answers in its own name.
  TDrvSettingsOverride settings({{L"BusKind", 1}, {L"BusPort", kTestPort}, {L"SrcAddress", 1}, {L"DstAddress", 7}});
  TDriver& d = Driver(1);
  d.set_SrcAddress(4);
  Page<TfmStatus>();
  HWND wnd = cmd.Start();
  ASSERT_NE(wnd, nullptr) << "PloverCmd did not show its window";
  WaitForInputIdle(cmd.Process(), 10000);
  PumpUntil([] { return false; }, 1500);  // both ends of the bus know each other

  TCommands catalogue;
  CreateCommands(catalogue);
  const int status = catalogue.ItemByCode(0x11)->Index();

  const std::wstring unanswered = Execute(wnd, status, L"(-");
  EXPECT_EQ(unanswered.rfind(L"(-4) ", 0), 0u) << WideToUtf8(unanswered);

  auto* page = Page<TfmCommands>();
  const std::wstring answered = Execute(wnd, status, L"(0) ");
  EXPECT_EQ(answered.rfind(L"(0) ", 0), 0u) << WideToUtf8(answered);
  std::vector<std::wstring> log = CommandsLogHeader();
  log.push_back(CommandsLogLine(0x11, 0, false));
  EXPECT_EQ(page->Memo->Lines(), log);

  // Hidden again: the page lets go of the event.
  Page<TfmFlags>();
  const std::wstring again = Execute(wnd, status, L"(-");
  EXPECT_EQ(again.rfind(L"(-4) ", 0), 0u) << WideToUtf8(again);
  EXPECT_EQ(page->Memo->Lines(), log);

  // The receipt page answers every request, whoever it is meant for, and
  // counts only sales and closings.
  auto* receipts = Page<TfmReceipt>();
  const std::wstring byReceipts = Execute(wnd, status, L"(0) ");
  EXPECT_EQ(byReceipts.rfind(L"(0) ", 0), 0u) << WideToUtf8(byReceipts);
  EXPECT_EQ(receipts->edtRecCount->Text(), L"0");
  EXPECT_EQ(receipts->edtRecSum->Text(), L"0");

  PostMessageW(wnd, WM_CLOSE, 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return WaitForSingleObject(cmd.Process(), 0) == WAIT_OBJECT_0; }, 20000));
  Page<TfmCommands>();
  Shot(L"PloverTst-commands");
  EXPECT_TRUE(Errors.Texts.empty()) << WideToUtf8(Errors.Texts.empty() ? L"" : Errors.Texts[0]);
}
