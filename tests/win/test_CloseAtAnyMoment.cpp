// PloverTst closed while it works: during a dump, a register walk, a
// connection test and a rest-register read or write, thirty times each,
// at moments spread over the first tenth of a second of the work. The close
// goes the way the user's does (the close box or "Закрыть"): the main window
// ends the message loop and hides, a loop running on the window thread stops,
// and the pages' workers end when the window is destroyed, before the driver
// is released. Every close must end within 2 s, with no error and no crash.
//
// Most runs are in this process, through the program's own message loop;
// a few start PloverTst.exe, drive its window from here and wait for the
// process to end.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ScopedCom.h"
#include "WinHandles.h"
#include "fmuDump.h"
#include "fmuMain.h"
#include "fmuReg.h"
#include "fmuRestReg.h"
#include "fmuTest.h"
#include "TopWindows.h"
#include "test_DriverRecorder.h"
#include "test_TstSupport.h"
#include "untComDriver.h"
#include "untText.h"
#include "test_DrvSettings.h"

namespace {

using TSteady = std::chrono::steady_clock;

constexpr int kRuns = 30;          // closes of each kind of work
constexpr int kProcessRuns = 3;    // of them, with the program as a process
constexpr double kCloseLimit = 2;  // seconds

std::wstring BinDir() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path);
  return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

double Since(TSteady::time_point t) { return std::chrono::duration<double>(TSteady::now() - t).count(); }

enum class TWork { Dump, Walk, ConnectionTest, RestRead, RestWrite };

const char* WorkName(TWork w) {
  switch (w) {
    case TWork::Dump: return "dump";
    case TWork::Walk: return "register walk";
    case TWork::ConnectionTest: return "connection test";
    case TWork::RestRead: return "rest-register read";
    default: return "rest-register write";
  }
}

// The driver's link latency while the work runs, in milliseconds: the
// shortest walk (64 registers) then outlasts the latest close, also when a
// busy machine makes the close's timer late.
int LatencyOf(TWork w) { return w == TWork::ConnectionTest ? 0 : 5; }

// Where the close falls: right behind the start in the queue, or after a
// delay of up to 100 ms.
UINT CloseDelay(int run) { return run % 5 == 0 ? 0 : static_cast<UINT>(1 + (run * 37) % 100); }

struct TResult {
  int Runs = 0, During = 0;
  double Slowest = 0;
  void Add(double seconds, bool during) {
    ++Runs;
    During += during;
    Slowest = std::max(Slowest, seconds);
  }
};

// ---------------------------------------------------------------- in this process

// The close the timer makes, as the user makes it: the close box or "Закрыть",
// two runs each in turn.
struct TCloser {
  TfmMain* Main = nullptr;
  bool ByButton = false;
  TSteady::time_point Posted{};
  static TCloser*& Current() {
    static TCloser* current = nullptr;
    return current;
  }
  void Post() {
    Posted = TSteady::now();
    if (ByButton)
      PostMessageW(Main->btnClose->Handle(), BM_CLICK, 0, 0);
    else
      PostMessageW(Main->Handle(), WM_CLOSE, 0, 0);
  }
  static void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (Current()) Current()->Post();
  }
};

// A close that does not end the work would keep Run from returning: after
// a while the run gives up, stops the work itself and fails.
struct TGiveUp {
  std::function<void()> StopWork;
  bool GaveUp = false;
  static TGiveUp*& Current() {
    static TGiveUp* current = nullptr;
    return current;
  }
  static void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (TGiveUp* g = Current()) {
      g->GaveUp = true;
      g->StopWork();
    }
    PostQuitMessage(1);
  }
};

class CloseAtAnyMoment : public ::testing::Test {
 protected:
  TComInit Com;
  TErrorRecorder Errors;
  std::vector<std::wstring> Boxes;

  void SetUp() override {
    ASSERT_EQ(RegisterDriverBesideUs(), S_OK);
    Application().Initialize();
    Application().Title = L"Тест драйвера ККМ";
    Application().SetMessageBoxHook([this](const std::wstring& text, UINT) {
      Boxes.push_back(text);
      return IDNO;
    });
  }
  void TearDown() override { Application().SetMessageBoxHook(nullptr); }

  static void Configure(TDriver& d, int latency) {
    d.SetProperty(L"BusKind", TVariant::FromInt(0));
    d.SetProperty(L"VirtualEcr", TVariant::FromBool(true));
    d.SetProperty(L"VirtualDesk", TVariant::FromBool(false));
    d.SetProperty(L"FaultEvery", TVariant::FromInt(0));
    d.SetProperty(L"DeviceNotAnswering", TVariant::FromBool(false));
    d.SetProperty(L"LinkLatency", TVariant::FromInt(latency));
  }

  template <class P>
  static P* Show(TfmMain& main) {
    for (int i = 0; i < main.Pages().Count(); ++i)
      if (auto* p = dynamic_cast<P*>(main.Pages().Items(i))) {
        main.SelectPage(i);
        return p;
      }
    return nullptr;
  }

  // The rest registers as the page lists them, to be written back unchanged.
  const std::wstring& RestText() {
    if (FRestText.empty()) {
      TfmMain main;
      Configure(main.Driver(), 0);
      auto* p = Show<TfmRestReg>(main);
      p->btnRead->Perform(BM_CLICK);
      for (const auto& line : p->Memo->Lines()) FRestText += line + L"\r\n";
    }
    return FRestText;
  }

  // One close in this process: the work started through the page's button,
  // the close posted at the run's moment, the program's loop run until it
  // ends; then the window is destroyed, as the program does after its loop.
  // False when the close did not end the work (the runs after it would only wait as long).
  bool CloseInProcess(TWork work, int run, TResult& result) {
    SCOPED_TRACE(std::string(WorkName(work)) + ", run " + std::to_string(run));
    TPages* pages = nullptr;
    bool released = false, pagesGoneFirst = false;
    int underWay = -1;
    auto main = std::make_unique<TfmMain>([&] {
      auto d = std::make_unique<TRecordingDriver>(CreateComDriver());
      d->OnRelease = [&](TRecordingDriver& r) {
        released = true;
        pagesGoneFirst = pages && pages->Count() == 0;
        underWay = r.InFlight();
      };
      return d;
    });
    pages = &main->Pages();
    Configure(main->Driver(), LatencyOf(work));

    TButton* start = nullptr;
    std::function<bool()> busy;
    TGiveUp giveUp;
    switch (work) {
      case TWork::Dump: {
        auto* p = Show<TfmDump>(*main);
        p->cbDevice->SetItemIndex(4);  // "Память программ ККМ", the longest
        start = p->btnStart;
        busy = [p] { return p->IsBusy(); };
        giveUp.StopWork = [p] { p->Reader()->Stop(); };
        break;
      }
      case TWork::Walk: {
        auto* p = Show<TfmReg>(*main);
        p->cbRegType->SetItemIndex(run % 3);
        start = p->btnRead;
        busy = [p] { return p->Reader() && p->Reader()->Active(); };
        giveUp.StopWork = [p] { p->Reader()->Stop(); };
        break;
      }
      case TWork::ConnectionTest: {
        auto* p = Show<TfmTest>(*main);
        start = p->btnStart;
        busy = [p] { return p->btnStop->Enabled(); };
        giveUp.StopWork = [p] { p->StopRequested = true; };
        break;
      }
      case TWork::RestRead:
      case TWork::RestWrite: {
        auto* p = Show<TfmRestReg>(*main);
        if (work == TWork::RestWrite) p->Memo->SetText(RestText());
        start = work == TWork::RestWrite ? p->btnWrite : p->btnRead;
        busy = [p] { return p->btnBreak->Enabled(); };
        giveUp.StopWork = [p] { p->StopRequested = true; };
        break;
      }
    }

    bool during = false;
    TSteady::time_point closed{};
    main->OnClose = [&](TCloseAction&) {
      during = busy();
      closed = TSteady::now();
    };
    TCloser closer{main.get(), run / 2 % 2 == 1};
    TCloser::Current() = &closer;
    PostMessageW(start->Handle(), BM_CLICK, 0, 0);
    if (const UINT delay = CloseDelay(run))
      SetTimer(nullptr, 0, delay, TCloser::Fire);
    else
      closer.Post();
    TGiveUp::Current() = &giveUp;
    const UINT_PTR giveUpTimer = SetTimer(nullptr, 0, 10000, TGiveUp::Fire);
    Application().Run(*main);
    KillTimer(nullptr, giveUpTimer);
    TGiveUp::Current() = nullptr;
    TCloser::Current() = nullptr;
    main.reset();
    const double seconds = Since(closer.Posted);

    EXPECT_FALSE(giveUp.GaveUp) << "the close did not end the program's loop";
    EXPECT_NE(closed, TSteady::time_point{}) << "the window was not closed";
    EXPECT_TRUE(during) << "the work was not under way when the window closed";
    EXPECT_LT(seconds, kCloseLimit);
    EXPECT_TRUE(released) << "the driver was not released";
    EXPECT_TRUE(pagesGoneFirst) << "the driver was released before the pages";
    EXPECT_EQ(underWay, 0) << "driver calls were under way when it was released";
    EXPECT_TRUE(Errors.Texts.empty()) << WideToUtf8(Errors.Texts.front());
    EXPECT_TRUE(Boxes.empty()) << WideToUtf8(Boxes.front());
    Errors.Texts.clear();
    Boxes.clear();
    result.Add(seconds, during);
    return !giveUp.GaveUp;
  }

  void Report(const std::string& what, const TResult& inProcess, const TResult& program,
              TSteady::time_point started) {
    std::printf("[ CLOSES   ] %s: %d in this process (%d while the work ran), slowest %.3f s; %d as a process "
                "(%d while the work ran), slowest %.3f s; %.1f s in all\n",
                what.c_str(), inProcess.Runs, inProcess.During, inProcess.Slowest, program.Runs, program.During,
                program.Slowest, Since(started));
  }

  void CloseProgram(TWork work, TResult& result);

  void RunAll(std::vector<TWork> works) {
    const auto started = TSteady::now();
    TResult inProcess, program;
    for (int run = 0; run < kRuns - kProcessRuns; ++run)
      if (!CloseInProcess(works[run % works.size()], run, inProcess)) return;
    for (int run = 0; run < kProcessRuns; ++run) CloseProgram(works[run % works.size()], program);
    EXPECT_EQ(inProcess.Runs + program.Runs, kRuns);
    std::string what;
    for (TWork w : works) what += (what.empty() ? "" : " or ") + std::string(WorkName(w));
    Report(what, inProcess, program, started);
  }

 private:
  std::wstring FRestText;
};

// ---------------------------------------------------------------- as a process

// Another process's window text, without waiting long on a busy window thread.
std::wstring RemoteText(HWND wnd) {
  wchar_t buf[128] = {};
  DWORD_PTR ignored = 0;
  if (!SendMessageTimeoutW(wnd, WM_GETTEXT, 128, reinterpret_cast<LPARAM>(buf), SMTO_NORMAL, 200, &ignored))
    return L"?";
  return buf;
}

std::wstring ClassOf(HWND wnd) {
  wchar_t cls[64] = {};
  GetClassNameW(wnd, cls, 64);
  std::wstring c(cls);
  for (auto& ch : c) ch = towlower(ch);
  return c;
}

struct TFindChild {
  const wchar_t* Class;  // part of the class name
  const wchar_t* Text;   // the window's text, or nullptr for any
  HWND Found;
};

// The shown page's control: the hidden pages' controls are not visible.
BOOL CALLBACK FindVisibleChild(HWND wnd, LPARAM p) {
  auto* f = reinterpret_cast<TFindChild*>(p);
  if (!IsWindowVisible(wnd) || ClassOf(wnd).find(f->Class) == std::wstring::npos) return TRUE;
  if (f->Text && RemoteText(wnd) != f->Text) return TRUE;
  f->Found = wnd;
  return FALSE;
}

// The shown page's list: its one multi-line edit.
BOOL CALLBACK FindVisibleMemo(HWND wnd, LPARAM p) {
  if (!IsWindowVisible(wnd) || ClassOf(wnd).find(L"edit") == std::wstring::npos ||
      !(GetWindowLongW(wnd, GWL_STYLE) & ES_MULTILINE))
    return TRUE;
  *reinterpret_cast<HWND*>(p) = wnd;
  return FALSE;
}

HWND VisibleChild(HWND main, const wchar_t* cls, const wchar_t* text = nullptr) {
  TFindChild f{cls, text, nullptr};
  EnumChildWindows(main, FindVisibleChild, reinterpret_cast<LPARAM>(&f));
  return f.Found;
}

// PloverTst.exe started, the work begun through its window, the window
// closed, the process's end awaited.
void CloseAtAnyMoment::CloseProgram(TWork work, TResult& result) {
  SCOPED_TRACE(std::string(WorkName(work)) + ", as a process");
  TDrvSettingsOverride settings({{L"BusKind", 0},
                         {L"VirtualEcr", 1},
                         {L"VirtualDesk", 0},
                         {L"FaultEvery", 0},
                         {L"DeviceNotAnswering", 0},
                         {L"LinkLatency", static_cast<DWORD>(LatencyOf(work))}});
  const std::wstring exe = BinDir() + L"PloverTst.exe";
  std::wstring cmd = L"\"" + exe + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, BinDir().c_str(), &si, &pi));
  TKernelHandle process(pi.hProcess), thread(pi.hThread);
  struct TKillOnFailure {
    HANDLE Process;
    ~TKillOnFailure() {
      if (WaitForSingleObject(Process, 0) == WAIT_TIMEOUT) TerminateProcess(Process, 99);
    }
  } kill{pi.hProcess};

  HWND main = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (main = TopWindowOf(pi.dwProcessId, L"Тест ККМ")) != nullptr; }, 20000))
      << "PloverTst did not show its window";
  WaitForInputIdle(pi.hProcess, 10000);
  HWND list = VisibleChild(main, L"listbox");
  ASSERT_NE(list, nullptr);
  const int page = work == TWork::Dump ? 4 : work == TWork::Walk ? 2 : work == TWork::ConnectionTest ? 6 : 3;
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(page), 0);
  SendMessageW(main, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));

  const wchar_t* startText = work == TWork::Dump || work == TWork::ConnectionTest ? L"Начать"
                             : work == TWork::RestWrite                         ? L"Записать"
                                                                                : L"Прочитать";
  HWND start = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (start = VisibleChild(main, L"button", startText)) != nullptr; }, 5000))
      << "no button " << WideToUtf8(startText);
  if (work == TWork::Dump || work == TWork::Walk) {
    HWND combo = VisibleChild(main, L"combobox");
    ASSERT_NE(combo, nullptr);
    SendMessageW(combo, CB_SETCURSEL, work == TWork::Dump ? 4 : 2, 0);
  }
  if (work == TWork::RestWrite) {
    HWND memo = nullptr;
    EnumChildWindows(main, FindVisibleMemo, reinterpret_cast<LPARAM>(&memo));
    ASSERT_NE(memo, nullptr);
    SendMessageW(memo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(RestText().c_str()));
  }
  PostMessageW(start, BM_CLICK, 0, 0);
  // Under way: the start button now reads "Прервать", or the stop button is enabled.
  const bool running = PumpUntil(
      [&] {
        if (work == TWork::Dump || work == TWork::Walk) return RemoteText(start) == L"Прервать";
        HWND stop = VisibleChild(main, L"button", L"Прервать");
        return stop && IsWindowEnabled(stop);
      },
      5000);
  const auto posted = TSteady::now();
  PostMessageW(main, WM_CLOSE, 0, 0);
  const DWORD waited = WaitForSingleObject(pi.hProcess, 10000);
  const double seconds = Since(posted);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_TRUE(running) << "the work did not start";
  EXPECT_EQ(waited, WAIT_OBJECT_0) << "PloverTst did not end";
  EXPECT_EQ(code, 0u) << "PloverTst ended with " << code;
  EXPECT_LT(seconds, kCloseLimit);
  result.Add(seconds, running);
}

}  // namespace

TEST_F(CloseAtAnyMoment, DuringADump) { RunAll({TWork::Dump}); }

TEST_F(CloseAtAnyMoment, DuringARegisterWalk) { RunAll({TWork::Walk}); }

TEST_F(CloseAtAnyMoment, DuringAConnectionTest) { RunAll({TWork::ConnectionTest}); }

TEST_F(CloseAtAnyMoment, DuringARestRegisterReadOrWrite) { RunAll({TWork::RestRead, TWork::RestWrite}); }
