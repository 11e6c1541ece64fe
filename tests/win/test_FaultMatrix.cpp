// Every driver method that a page of PloverTst or PloverCmd's window calls,
// made to fail, and then the device silent altogether, through the real
// windows against PloverDrv.dll: each action reports the driver's text
// through the error display, or ends quietly, or shows the result line,
// as that window is meant to; its buttons and the focus come back; nothing
// hangs.
//
// Each action is run first with no fault, which records the methods it
// calls; the list of the table below must be exactly that, so a page that
// starts calling another method fails here until the table (and with it the
// matrix) has it. Then one row per method failing, one with the device
// silent.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ScopedCom.h"
#include "TopWindows.h"
#include "cmdtest/win/fmuMain.h"
#include "fmuCommands.h"
#include "fmuDate.h"
#include "fmuDump.h"
#include "fmuFlags.h"
#include "fmuMain.h"
#include "fmuReceipt.h"
#include "fmuReg.h"
#include "fmuRestReg.h"
#include "fmuStatus.h"
#include "fmuTable.h"
#include "fmuTables.h"
#include "fmuTest.h"
#include "test_CommonControls6.h"
#include "test_DriverRecorder.h"
#include "test_TstSupport.h"
#include "untComDriver.h"
#include "untCommandAnswer.h"
#include "untDateTime.h"
#include "untEcrCmd.h"
#include "untText.h"

namespace fs = std::filesystem;

namespace {

const TCommonControls6 GControls6;

// The code a failing method returns, and the driver's text for it.
constexpr int32_t kFaultCode = 7;
const std::wstring kFaultText = L"Неверное значение параметра";
// What a silent device gives: no link on a device call, and the device left
// disabled when enabling it found no link.
const std::wstring kNoLinkText = L"Нет связи с ККМ";
const std::wstring kNotEnabledText = L"Устройство не включено (DeviceEnabled = False)";
// The driver's time-out in every row: a silent device makes each call wait this long.
constexpr int32_t kTimeout = 40;
// Table initialisation raises the time-out to 30 s; with the device silent the
// control is given this instead (the page still sees its own value).
constexpr int32_t kSilentTimeoutCap = 60;

void ShortPump() { PumpUntil([] { return false; }, 15); }

// A click as the mouse gives it: the button takes the focus, then its
// handler runs (a loop on the window thread runs to its end inside it).
void Press(TButton* b) {
  b->SetFocus();
  b->Perform(BM_CLICK);
  ShortPump();
}

// A selection in a list box as the user makes it (the list tells its parent).
void SelectListItem(TListBox* list, int index) {
  HWND wnd = list->Handle();
  SendMessageW(wnd, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageW(GetParent(wnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(wnd), LBN_SELCHANGE), reinterpret_cast<LPARAM>(wnd));
  ShortPump();
}

// Ends a loop on the window thread that runs past its time; the row then
// fails as a hang instead of holding up the whole run.
class TWatchdog {
 public:
  TWatchdog(UINT ms, std::function<void()> stop) : FStop(std::move(stop)) {
    Current() = this;
    FTimer = SetTimer(nullptr, 0, ms, Fire);
  }
  ~TWatchdog() {
    KillTimer(nullptr, FTimer);
    Current() = nullptr;
  }
  bool Fired() const { return FFired; }

 private:
  static TWatchdog*& Current() {
    static TWatchdog* current = nullptr;
    return current;
  }
  static void CALLBACK Fire(HWND, UINT, UINT_PTR, DWORD) {
    if (TWatchdog* w = Current(); w && !w->FFired) {
      w->FFired = true;
      w->FStop();
    }
  }
  std::function<void()> FStop;
  UINT_PTR FTimer = 0;
  bool FFired = false;
};

// "Прервать" clicked by the user a moment after the start.
void CALLBACK ClickButton(HWND wnd, UINT, UINT_PTR id, DWORD) {
  KillTimer(wnd, id);
  PostMessageW(wnd, BM_CLICK, 0, 0);
}

// The user cancels the driver's settings dialog once it shows.
class TDialogCanceller {
 public:
  TDialogCanceller()
      : FThread([this] {
          for (int i = 0; i < 500 && !FCancelled; ++i) {
            if (HWND dlg = DialogOf(GetCurrentProcessId())) {
              PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
              FCancelled = true;
            }
            Sleep(10);
          }
        }) {}
  ~TDialogCanceller() {
    if (FThread.joinable()) FThread.join();
  }
  bool Cancelled() {
    if (FThread.joinable()) FThread.join();
    return FCancelled;
  }

 private:
  std::atomic<bool> FCancelled{false};
  std::thread FThread;
};

// Another station of the in-process network, with a control of its own on a
// thread of its own, sends one request and waits a little for its answer:
// 0 when it was answered, -4 when not.
int32_t SendFromStation(int code, int dst, const std::vector<std::pair<std::wstring, TVariant>>& put = {}) {
  std::atomic<bool> done{false};
  int32_t result = -1000;
  std::thread worker([&] {
    TComInit com(COINIT_MULTITHREADED);
    try {
      auto d = CreateComDriver();
      d->SetProperty(L"BusKind", TVariant::FromInt(0));
      d->SetProperty(L"VirtualDesk", TVariant::FromBool(false));
      d->SetProperty(L"FaultEvery", TVariant::FromInt(0));
      d->SetProperty(L"DeviceNotAnswering", TVariant::FromBool(false));
      d->set_SrcAddress(5);
      for (auto& [name, value] : put) d->SetProperty(name, value);
      d->set_CommandType(0);
      d->set_CommandCode(code);
      d->set_CommandSrcAddress(5);
      d->set_CommandDstAddress(dst);
      d->set_Timeout(1000);
      d->set_WaitAnswer(true);
      result = d->SendCommand();
    } catch (...) {
      result = -1001;
    }
    done = true;
  });
  PumpUntil([&] { return done.load(); }, 5000);
  worker.join();
  ShortPump();
  return result;
}

enum class TReaction { Report, Quiet, ResultLine };
enum class TFaultKind { None, Method, Silent };

struct TFault {
  TFaultKind Kind = TFaultKind::None;
  std::wstring Method;
  bool None() const { return Kind == TFaultKind::None; }
  bool Fails(const wchar_t* method) const { return Kind == TFaultKind::Method && Method == method; }
  std::string Name() const {
    switch (Kind) {
      case TFaultKind::None: return "no fault";
      case TFaultKind::Method: return WideToUtf8(Method) + " failing";
      default: return "device silent";
    }
  }
};

// What an action leaves to look at once it has run.
struct TRun {
  bool Ended = true;
  TForm* Form = nullptr;    // its buttons must all be enabled again...
  TButton* Stop = nullptr;  // ...but this one, disabled at rest
  TButton* Focus = nullptr;  // has the focus again
};

template <class Bench>
struct TAction {
  const char* Name;
  const wchar_t* Page;  // the PloverTst page it belongs to, or nullptr
  std::vector<std::wstring> Methods;
  TReaction Reaction;
  // Runs the action through the window's controls and waits for its end.
  std::function<TRun(Bench&)> Run;
  // Its own checks afterwards (optional).
  std::function<void(Bench&, const TFault&)> Check = {};
  // Before the fault is set (optional): what the action needs of the device.
  std::function<void(Bench&)> Prepare = {};
};

class FaultMatrix : public ::testing::Test {
 protected:
  TComInit Com;
  TErrorRecorder Errors;
  std::vector<std::wstring> Boxes;
  TRecordingDriver* Rec = nullptr;

  struct TTally {
    int Actions = 0, MethodRows = 0, SilentRows = 0, BaseRows = 0, Passed = 0;
    std::set<std::wstring> Windows;
    std::set<std::pair<std::wstring, std::wstring>> PageMethods;
  } Tally;

  void SetUp() override {
    ASSERT_TRUE(GControls6.Active());
    ASSERT_EQ(RegisterDriverBesideUs(), S_OK);
    Application().Initialize();
    Application().SetMessageBoxHook([this](const std::wstring& text, UINT) {
      Boxes.push_back(text);
      return IDNO;
    });
    SetComEventErrorHandler([](const std::exception& e) { Application().ShowException(e); });
  }
  void TearDown() override {
    Application().SetMessageBoxHook(nullptr);
    SetComEventErrorHandler(nullptr);
  }

  std::unique_ptr<TDriver> RecordedDriver() {
    auto r = std::make_unique<TRecordingDriver>(CreateComDriver());
    Rec = r.get();
    return r;
  }

  // Known device settings, whatever the registry holds, and no fault.
  void Reset(TDriver& d) {
    d.SetProperty(L"BusKind", TVariant::FromInt(0));
    d.SetProperty(L"VirtualEcr", TVariant::FromBool(true));
    d.SetProperty(L"VirtualDesk", TVariant::FromBool(false));
    d.SetProperty(L"LinkLatency", TVariant::FromInt(0));
    d.SetProperty(L"FaultMethod", TVariant::FromStr(L""));
    d.SetProperty(L"FaultCode", TVariant::FromInt(0));
    d.SetProperty(L"FaultEvery", TVariant::FromInt(0));
    d.SetProperty(L"DeviceNotAnswering", TVariant::FromBool(false));
    Rec->SetTimeoutCap(0);
    d.set_Timeout(kTimeout);
    // A silent device left the control disabled.
    d.set_DeviceEnabled(true);
  }
  void Apply(TDriver& d, const TFault& f) {
    if (f.Kind == TFaultKind::Method) {
      d.SetProperty(L"FaultMethod", TVariant::FromStr(f.Method));
      d.SetProperty(L"FaultCode", TVariant::FromInt(kFaultCode));
      d.SetProperty(L"FaultEvery", TVariant::FromInt(1));
    } else if (f.Kind == TFaultKind::Silent) {
      d.SetProperty(L"DeviceNotAnswering", TVariant::FromBool(true));
      Rec->SetTimeoutCap(kSilentTimeoutCap);
    }
  }

  static int FailedParts() {
    const testing::TestResult* r = testing::UnitTest::GetInstance()->current_test_info()->result();
    int n = 0;
    for (int i = 0; i < r->total_part_count(); ++i) n += r->GetTestPartResult(i).failed();
    return n;
  }

  static void ExpectButtonsBack(TForm* form, TButton* stop) {
    for (int i = 0; i < form->ControlCount(); ++i)
      if (auto* b = dynamic_cast<TButton*>(form->Controls(i))) {
        EXPECT_EQ(b->Enabled(), b != stop) << WideToUtf8(b->Name());
      }
  }

  // One row: the action under one fault, and what every row must show.
  template <class Bench>
  std::vector<std::wstring> Row(Bench& bench, const TAction<Bench>& a, const TFault& f,
                                const std::vector<TForm*>& alsoBack) {
    SCOPED_TRACE(std::string(a.Name) + ", " + f.Name());
    const int failedBefore = FailedParts();
    TDriver& d = bench.Driver();
    Reset(d);
    if (a.Prepare) a.Prepare(bench);
    Apply(d, f);
    Rec->ClearCalls();
    Errors.Texts.clear();
    Boxes.clear();

    const TRun run = a.Run(bench);
    const std::vector<std::wstring> called = Rec->Methods();
    const std::wstring lastDescription = Rec->LastDescription();
    Reset(d);

    EXPECT_TRUE(run.Ended) << "the action did not end";
    for (const std::wstring& m : called) {
      EXPECT_NE(std::find(a.Methods.begin(), a.Methods.end(), m), a.Methods.end())
          << "calls " << WideToUtf8(m) << ", which the table does not list";
    }
    if (f.Kind == TFaultKind::Method) {
      EXPECT_NE(std::find(called.begin(), called.end(), f.Method), called.end()) << "the failing method was not called";
    }

    switch (a.Reaction) {
      case TReaction::Report:
        if (f.None()) {
          EXPECT_TRUE(Errors.Texts.empty()) << WideToUtf8(Errors.Texts.front());
        } else {
          EXPECT_EQ(Errors.Texts.size(), 1u);
          const std::wstring text = Errors.Texts.empty() ? L"" : Errors.Texts[0];
          if (f.Kind == TFaultKind::Method) {
            EXPECT_EQ(text, kFaultText);
          } else {
            EXPECT_TRUE(text == kNoLinkText || text == kNotEnabledText) << WideToUtf8(text);
          }
          EXPECT_EQ(text, lastDescription) << "not the driver's text of the failing call";
        }
        break;
      case TReaction::Quiet:
      case TReaction::ResultLine:
        EXPECT_TRUE(Errors.Texts.empty()) << WideToUtf8(Errors.Texts.front());
        break;
    }
    EXPECT_TRUE(Boxes.empty()) << WideToUtf8(Boxes.front());
    if (run.Form) ExpectButtonsBack(run.Form, run.Stop);
    for (TForm* form : alsoBack) ExpectButtonsBack(form, nullptr);
    if (run.Focus) {
      EXPECT_TRUE(run.Focus->Focused()) << "the focus is not on " << WideToUtf8(run.Focus->Name());
    }
    if (a.Check) a.Check(bench, f);

    if (FailedParts() == failedBefore) ++Tally.Passed;
    return called;
  }

  // The action with no fault (its calls must be the table's), then with each
  // of its methods failing, then with the device silent.
  template <class Bench>
  void RunMatrix(Bench& bench, const std::vector<TAction<Bench>>& actions, const std::vector<TForm*>& alsoBack) {
    for (const auto& a : actions) {
      ++Tally.Actions;
      ++Tally.BaseRows;
      const std::wstring window = a.Page ? a.Page : L"main window";
      Tally.Windows.insert(window);
      const std::vector<std::wstring> called = Row(bench, a, TFault{}, alsoBack);
      const std::set<std::wstring> seen(called.begin(), called.end());
      const std::set<std::wstring> listed(a.Methods.begin(), a.Methods.end());
      EXPECT_EQ(seen, listed) << a.Name << ": the table's methods are not what the action calls";
      for (const std::wstring& m : a.Methods) {
        ++Tally.MethodRows;
        Tally.PageMethods.insert({window, m});
        Row(bench, a, TFault{TFaultKind::Method, m}, alsoBack);
      }
      ++Tally.SilentRows;
      Row(bench, a, TFault{TFaultKind::Silent, {}}, alsoBack);
    }
    const int rows = Tally.BaseRows + Tally.MethodRows + Tally.SilentRows;
    std::printf("[ MATRIX   ] %d windows, %d actions, %d (window, method) pairs, %d (action, method) pairs; "
                "%d rows with a method failing + %d with the device silent = %d fault rows, and %d rows "
                "without a fault; %d of %d rows passed\n",
                static_cast<int>(Tally.Windows.size()), Tally.Actions, static_cast<int>(Tally.PageMethods.size()),
                Tally.MethodRows, Tally.MethodRows, Tally.SilentRows, Tally.MethodRows + Tally.SilentRows,
                Tally.BaseRows, Tally.Passed, rows);
  }
};

// ---------------------------------------------------------------- PloverTst

struct TTst {
  std::unique_ptr<TfmMain> Main;
  int32_t Answered = -1000;
  std::vector<std::wstring> RestLines;
  std::wstring FieldValue;

  TDriver& Driver() { return Main->Driver(); }
  template <class P>
  P* Page() {
    for (int i = 0; i < Main->Pages().Count(); ++i)
      if (auto* p = dynamic_cast<P*>(Main->Pages().Items(i))) return p;
    return nullptr;
  }
  // Selected in the page list, as the user does.
  template <class P>
  P* Show() {
    for (int i = 0; i < Main->Pages().Count(); ++i)
      if (auto* p = dynamic_cast<P*>(Main->Pages().Items(i))) {
        if (Main->Pages().ActiveIndex() != i) SelectListItem(Main->ListBox, i);
        return p;
      }
    return nullptr;
  }
};

using TTstAction = TAction<TTst>;

TRun PressOn(TPage* page, TButton* b, TButton* stop = nullptr) {
  Press(b);
  return {true, page, stop, b};
}

TTstAction StatusAction(const char* name, bool fm) {
  std::vector<std::wstring> methods = fm ? std::vector<std::wstring>{L"GetFMStatus"}
                                         : std::vector<std::wstring>{L"GetECRFlags", L"GetECRStatus"};
  return {name, L"Состояние", methods, TReaction::Report,
          [fm](TTst& t) {
            auto* p = t.Show<TfmStatus>();
            return PressOn(p, fm ? p->btnGetFMStatus : p->btnGetECRStatus);
          },
          [](TTst& t, const TFault& f) { EXPECT_EQ(t.Page<TfmStatus>()->Memo->Lines().size(), f.None() ? 11u : 0u); }};
}

TTstAction RegisterAction(const char* name, int kind, const wchar_t* method) {
  return {name, L"Значения регистров", {method}, TReaction::Report,
          [kind](TTst& t) {
            auto* p = t.Show<TfmReg>();
            p->cbRegType->SetItemIndex(kind);
            Press(p->btnRead);
            const bool ended = PumpUntil(
                [p] { return p->Reader() && !p->Reader()->Active() && p->btnRead->Enabled(); }, 10000);
            return TRun{ended, p, nullptr, p->btnRead};
          },
          [](TTst& t, const TFault& f) {
            auto* p = t.Page<TfmReg>();
            EXPECT_EQ(p->btnRead->Text(), L"Начать");
            EXPECT_FALSE(p->lblInfo->Visible());
            if (f.None()) {
              EXPECT_GT(p->Memo->Lines().size(), 10u);
            } else {
              EXPECT_TRUE(p->Memo->Lines().empty());
            }
          }};
}

TTstAction TableAction(const char* name, const wchar_t* method, TButton* TfmTable::*button) {
  return {name, L"Таблицы", {method}, TReaction::Quiet,
          [button](TTst& t) {
            auto* p = t.Show<TfmTable>();
            p->edtTableNumber->SetText(L"2");
            p->edtRowNumber->SetText(L"1");
            p->edtFieldNumber->SetText(L"1");
            p->edtValue->SetText(t.FieldValue);
            return PressOn(p, p->*button);
          },
          [](TTst& t, const TFault& f) {
            auto* p = t.Page<TfmTable>();
            // A failing call shows nothing and leaves the value as typed.
            EXPECT_EQ(p->Memo->Lines().empty(), !f.None());
            if (!f.None()) {
              EXPECT_EQ(p->edtValue->Text(), t.FieldValue);
            }
          },
          [](TTst& t) {
            // The device's own value of the field, so that writing it back changes nothing.
            TDriver& d = t.Driver();
            d.set_TableNumber(2);
            d.set_RowNumber(1);
            d.set_FieldNumber(1);
            ASSERT_EQ(d.ReadTable(), 0);
            t.FieldValue = d.get_FieldValue();
          }};
}

std::vector<TTstAction> TstActions() {
  std::vector<TTstAction> a;
  a.push_back(StatusAction("Состояние: ККМ", false));
  a.push_back(StatusAction("Состояние: ФП", true));

  a.push_back({"Дополнительно: дата", L"Дополнительно", {L"SetDate"}, TReaction::Report, [](TTst& t) {
                 auto* p = t.Show<TfmDate>();
                 p->dtpDate->SetDateTime(Date());
                 return PressOn(p, p->btnSetDate);
               }});
  a.push_back({"Дополнительно: время", L"Дополнительно", {L"SetTime"}, TReaction::Report, [](TTst& t) {
                 auto* p = t.Show<TfmDate>();
                 p->dtpTime->SetDateTime(Time());
                 return PressOn(p, p->btnSetTime);
               }});
  a.push_back({"Дополнительно: дата и время", L"Дополнительно", {L"SetDate", L"SetTime"}, TReaction::Report,
               [](TTst& t) {
                 auto* p = t.Show<TfmDate>();
                 return PressOn(p, p->btnSetDateTime);
               }});
  a.push_back({"Дополнительно: инициализация таблиц", L"Дополнительно", {L"InitTable"}, TReaction::Report,
               [](TTst& t) {
                 auto* p = t.Show<TfmDate>();
                 return PressOn(p, p->btnInitTables);
               },
               // The time-out comes back whatever happened.
               [](TTst& t, const TFault&) { EXPECT_EQ(t.Driver().get_Timeout(), kTimeout); }});

  a.push_back(RegisterAction("Значения регистров: денежные", 0, L"GetCashRegister"));
  a.push_back(RegisterAction("Значения регистров: операционные", 1, L"GetOperationRegister"));
  a.push_back(RegisterAction("Значения регистров: остатков", 2, L"GetRestRegister"));

  a.push_back({"Регистры остатков: чтение", L"Регистры остатков", {L"GetRestRegister"}, TReaction::Quiet,
               [](TTst& t) {
                 auto* p = t.Show<TfmRestReg>();
                 p->rbAll->SetChecked(true);
                 TWatchdog hang(8000, [p] { p->StopRequested = true; });
                 TRun run = PressOn(p, p->btnRead, p->btnBreak);
                 run.Ended = !hang.Fired();
                 return run;
               },
               [](TTst& t, const TFault& f) {
                 auto* p = t.Page<TfmRestReg>();
                 EXPECT_EQ(p->Memo->Lines(), f.None() ? t.RestLines : std::vector<std::wstring>{});
                 EXPECT_FALSE(p->ProgressBar->Visible());
               }});
  a.push_back({"Регистры остатков: запись", L"Регистры остатков", {L"WriteRestRegister"}, TReaction::Quiet,
               [](TTst& t) {
                 auto* p = t.Show<TfmRestReg>();
                 // The device's own values written back: nothing changes.
                 std::wstring text;
                 for (size_t i = 0; i < 5; ++i) text += t.RestLines[i] + L"\r\n";
                 p->Memo->SetText(text);
                 TWatchdog hang(8000, [p] { p->StopRequested = true; });
                 TRun run = PressOn(p, p->btnWrite, p->btnBreak);
                 run.Ended = !hang.Fired();
                 return run;
               },
               [](TTst& t, const TFault& f) {
                 auto* p = t.Page<TfmRestReg>();
                 if (f.None()) {
                   EXPECT_EQ(p->lblRegisterNumber->Text(), L"5");
                 }
                 EXPECT_FALSE(p->ProgressBar->Visible());
               }});

  a.push_back({"Дамп", L"Дамп", {L"RequestDump"}, TReaction::Report,
               [](TTst& t) {
                 auto* p = t.Show<TfmDump>();
                 p->cbDevice->SetItemIndex(1);  // "Часы": four blocks
                 p->rbAll->SetChecked(true);
                 Press(p->btnStart);
                 const bool ended = PumpUntil(
                     [p] {
                       return (!p->Reader() || !p->Reader()->Active()) && p->btnStart->Enabled() &&
                              p->btnStart->Text() == L"Начать";
                     },
                     10000);
                 return TRun{ended, p, nullptr, p->btnStart};
               },
               [](TTst& t, const TFault& f) {
                 auto* p = t.Page<TfmDump>();
                 EXPECT_FALSE(p->IsBusy());
                 if (f.None()) {
                   ASSERT_NE(p->Reader(), nullptr);
                   EXPECT_EQ(p->Reader()->DataSize(), 64u);
                 }
               }});

  a.push_back({"Флаги ККМ", L"Флаги ККМ", {L"GetFlagName", L"GetECRFlags"}, TReaction::Report,
               [](TTst& t) {
                 auto* p = t.Show<TfmFlags>();
                 return PressOn(p, p->btnGetECRFlags);
               },
               [](TTst& t, const TFault& f) {
                 EXPECT_EQ(t.Page<TfmFlags>()->Memo->Lines().size(), f.None() ? 16u : 0u);
               }});

  a.push_back({"Проверка связи", L"Проверка связи", {L"CheckConnection"}, TReaction::Quiet,
               [](TTst& t) {
                 auto* p = t.Show<TfmTest>();
                 p->chbStopOnError->SetChecked(true);
                 // Without a failure the test runs until "Прервать".
                 SetTimer(p->btnStop->Handle(), 1, 150, ClickButton);
                 TWatchdog hang(8000, [p] { p->StopRequested = true; });
                 TRun run = PressOn(p, p->btnStart, p->btnStop);
                 KillTimer(p->btnStop->Handle(), 1);
                 run.Ended = !hang.Fired();
                 return run;
               },
               [](TTst& t, const TFault& f) {
                 auto* p = t.Page<TfmTest>();
                 EXPECT_GT(std::stoll(p->lblRepCount->Text()), 0);
                 // Failures are only counted: every command failed, and the
                 // first one after the clock moved ended the test.
                 EXPECT_EQ(p->lblErrCount->Text(), f.None() ? L"0" : p->lblRepCount->Text());
               }});

  a.push_back({"Команды: запрос из сети", L"Команды", {L"GetCommand", L"ParseCommand", L"SendCommand"},
               TReaction::Quiet,
               [](TTst& t) {
                 auto* p = t.Show<TfmCommands>();
                 p->btnClear->Perform(BM_CLICK);
                 p->btnClear->SetFocus();
                 // Status request 11h from station 5 to station 7, which nobody
                 // is: the page answers it in its own name.
                 t.Answered = SendFromStation(0x11, 7);
                 return TRun{true, p, nullptr, p->btnClear};
               },
               [](TTst& t, const TFault& f) {
                 auto* p = t.Page<TfmCommands>();
                 std::vector<std::wstring> log = CommandsLogHeader();
                 if (f.None() || f.Kind == TFaultKind::Silent) {
                   EXPECT_EQ(t.Answered, 0);
                   log.push_back(CommandsLogLine(0x11, 0, false));
                   EXPECT_EQ(p->Memo->Lines(), log);
                 } else if (f.Fails(L"GetCommand")) {
                   EXPECT_EQ(t.Answered, -4);
                   EXPECT_EQ(p->Memo->Lines(), log);
                 } else if (f.Fails(L"SendCommand")) {
                   EXPECT_EQ(t.Answered, -4);
                   log.push_back(CommandsLogLine(0x11, kFaultCode, false));
                   EXPECT_EQ(p->Memo->Lines(), log);
                 }
               }});

  a.push_back({"Чеки: продажа из сети", L"Чеки", {L"GetCommand", L"ParseCommand", L"SendCommand"},
               TReaction::Quiet,
               [](TTst& t) {
                 auto* p = t.Show<TfmReceipt>();
                 p->btnResetSum->Perform(BM_CLICK);
                 p->btnResetSum->SetFocus();
                 t.Answered = SendFromStation(
                     0x80, 7, {{L"Price", TVariant::FromCurrency(105000)}, {L"Quantity", TVariant::FromDouble(1)}});
                 return TRun{true, p, nullptr, p->btnResetSum};
               },
               [](TTst& t, const TFault& f) {
                 auto* p = t.Page<TfmReceipt>();
                 if (f.None() || f.Kind == TFaultKind::Silent) {
                   EXPECT_EQ(t.Answered, 0);
                   EXPECT_EQ(p->edtRecSum->Text(), L"10.5");
                 } else if (f.Fails(L"GetCommand")) {
                   EXPECT_EQ(t.Answered, -4);
                   EXPECT_EQ(p->edtRecSum->Text(), L"0");
                 } else if (f.Fails(L"SendCommand")) {
                   // Counted before the answer went wrong.
                   EXPECT_EQ(t.Answered, -4);
                   EXPECT_EQ(p->edtRecSum->Text(), L"10.5");
                 }
               }});

  a.push_back({"Структура таблиц", L"Структура таблиц", {L"GetTableStruct", L"GetFieldStruct"}, TReaction::Report,
               [](TTst& t) {
                 auto* p = t.Show<TfmTables>();
                 return PressOn(p, p->btnRead);
               },
               [](TTst& t, const TFault& f) {
                 const auto lines = t.Page<TfmTables>()->Memo->Lines();
                 const std::wstring dashes(45, L'-');
                 if (f.None()) {
                   EXPECT_GT(lines.size(), 10u);
                   EXPECT_EQ(lines.back(), dashes);
                 } else if (f.Fails(L"GetFieldStruct")) {
                   // Table 1's line stays; its first field ended the listing.
                   ASSERT_EQ(lines.size(), 3u);
                   EXPECT_EQ(lines[0], dashes);
                   EXPECT_EQ(lines[2], dashes);
                 } else {
                   EXPECT_TRUE(lines.empty());
                 }
               }});

  a.push_back(TableAction("Таблицы: структура таблицы", L"GetTableStruct", &TfmTable::btnGetTableStruct));
  a.push_back(TableAction("Таблицы: структура поля", L"GetFieldStruct", &TfmTable::btnGetFieldStruct));
  a.push_back(TableAction("Таблицы: чтение", L"ReadTable", &TfmTable::btnReadTable));
  a.push_back(TableAction("Таблицы: запись", L"WriteTable", &TfmTable::btnWriteTable));
  a.push_back({"Таблицы: инициализация", L"Таблицы", {L"InitTable"}, TReaction::Quiet, [](TTst& t) {
                 auto* p = t.Show<TfmTable>();
                 return PressOn(p, p->btnInitTable);
               }});

  a.push_back({"Главное окно: Настройка...", nullptr, {L"ShowProperties"}, TReaction::Quiet, [](TTst& t) {
                 TDialogCanceller user;
                 Press(t.Main->btnProperties);
                 return TRun{user.Cancelled(), t.Main.get(), nullptr, t.Main->btnProperties};
               }});
  return a;
}

TEST_F(FaultMatrix, EveryMethodOfEveryPageOfPloverTst) {
  Application().Title = L"Тест драйвера ККМ";
  TTst t;
  t.Main = std::make_unique<TfmMain>([this] { return RecordedDriver(); });
  t.Main->Show();
  ShortPump();
  Reset(t.Driver());
  // The rest registers as the page lists them: the device's own values.
  {
    auto* p = t.Show<TfmRestReg>();
    Press(p->btnRead);
    t.RestLines = p->Memo->Lines();
  }
  ASSERT_GT(t.RestLines.size(), 5u);
  ASSERT_TRUE(Errors.Texts.empty());

  const std::vector<TTstAction> actions = TstActions();
  // Every page is in the table.
  for (int i = 0; i < t.Main->Pages().Count(); ++i) {
    const std::wstring caption = t.Main->Pages().Items(i)->Caption();
    EXPECT_TRUE(std::any_of(actions.begin(), actions.end(), [&](const TTstAction& a) { return a.Page && caption == a.Page; }))
        << "no action of page " << WideToUtf8(caption);
  }
  RunMatrix(t, actions, {t.Main.get()});
  t.Main.reset();
}

// ---------------------------------------------------------------- PloverCmd

struct TCmd {
  std::unique_ptr<cmdtest::TfmMain> Form;
  int32_t Answered = -1000;
  TDriver& Driver() { return Form->Driver(); }
};

using TCmdAction = TAction<TCmd>;

std::vector<TCmdAction> CmdActions() {
  std::vector<TCmdAction> a;
  a.push_back({"PloverCmd: Выполнить", nullptr, {L"SendCommand"}, TReaction::ResultLine,
               [](TCmd& c) {
                 Press(c.Form->btnExecute);
                 return TRun{true, c.Form.get(), nullptr, c.Form->btnExecute};
               },
               [](TCmd& c, const TFault& f) {
                 const std::wstring result = c.Form->edtResult->Text();
                 if (f.None()) {
                   EXPECT_EQ(result.rfind(L"(0) ", 0), 0u) << WideToUtf8(result);
                   EXPECT_FALSE(c.Form->edtOutput->Text().empty());
                 } else {
                   EXPECT_EQ(result, f.Kind == TFaultKind::Method ? Format(L"(%d) %ls", kFaultCode, kFaultText.c_str())
                                                                 : L"(-1) " + kNoLinkText);
                   EXPECT_TRUE(c.Form->edtOutput->Text().empty());
                 }
               },
               [](TCmd& c) {
                 // The status request to the virtual cash register, waiting for its answer.
                 TCommands catalogue;
                 CreateCommands(catalogue);
                 SelectListItem(c.Form->lbCommands, catalogue.ItemByCode(0x11)->Index());
               }});
  a.push_back({"PloverCmd: запрос из сети", nullptr, {L"GetCommand", L"ParseCommand", L"SendCommand"},
               TReaction::Quiet,
               [](TCmd& c) {
                 c.Form->btnReset->SetFocus();
                 // Station 5 asks this program's station 1 for its status.
                 c.Answered = SendFromStation(0x11, 1);
                 return TRun{true, c.Form.get(), nullptr, c.Form->btnReset};
               },
               [](TCmd& c, const TFault& f) {
                 if (f.None() || f.Kind == TFaultKind::Silent) {
                   EXPECT_EQ(c.Answered, 0);
                 } else if (f.Fails(L"GetCommand") || f.Fails(L"SendCommand")) {
                   EXPECT_EQ(c.Answered, -4);
                 }
               }});
  a.push_back({"PloverCmd: Драйвер...", nullptr, {L"ShowProperties"}, TReaction::Quiet, [](TCmd& c) {
                 TDialogCanceller user;
                 Press(c.Form->btnDriver);
                 return TRun{user.Cancelled(), c.Form.get(), nullptr, c.Form->btnDriver};
               }});
  return a;
}

TEST_F(FaultMatrix, EveryMethodOfPloverCmd) {
  Application().Title = L"Тест команд";
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const fs::path dir = fs::path(temp) / (L"fault-matrix-" + std::to_wstring(GetCurrentProcessId()));
  fs::create_directories(dir);
  TCmd c;
  c.Form = std::make_unique<cmdtest::TfmMain>((dir / L"PloverCmd.ini").wstring(), [this] { return RecordedDriver(); });
  c.Form->Show();
  ShortPump();
  c.Form->Params().WaitAnswer = true;
  c.Form->Params().SendAnswer = true;
  c.Form->Params().Timeout = 1000;
  RunMatrix(c, CmdActions(), {});
  c.Form.reset();
  std::error_code ec;
  fs::remove_all(dir, ec);
}

}  // namespace
