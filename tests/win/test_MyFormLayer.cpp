// The window layer under the forms: anchors and alignment, keyboard roles,
// the error guard, modal forms, graphic controls and posted messages.
#include <gtest/gtest.h>

#include <memory>

#include "MyForm.h"
#include "WinDialogs.h"
#include "test_TstSupport.h"

namespace {

TFormDef FormDef(int w = 300, int h = 200) {
  TFormDef d;
  d.Caption = L"Слой окон";
  d.ClientWidth = w;
  d.ClientHeight = h;
  d.BorderStyle = bsSingle;
  return d;
}

class TProbeForm : public TMyForm {
 public:
  using TMyForm::TMyForm;
  std::vector<std::wstring> Log;
  void btnOkClick() { Log.push_back(L"ok"); }
  void btnCancelClick() { Log.push_back(L"cancel"); }
  void btnOtherClick() { Log.push_back(L"other"); }
  void btnFailClick() { throw Exception(L"Сбой в обработчике"); }
  void lblLinkClick() { Log.push_back(L"link"); }
  void rbClick() { Log.push_back(L"radio"); }
};

}  // namespace

TEST(Layout, AnchorsKeepTheirEdgesWhenTheFormGrows) {
  const TCtlDef layout[] = {
      {TKind::Button, L"lt", L"", 10, 10, 50, 20, akLeft | akTop},
      {TKind::Button, L"rb", L"", 200, 150, 50, 20, akRight | akBottom},
      {TKind::Edit, L"lr", L"", 10, 50, 280, 21, akLeft | akTop | akRight},
      {TKind::Memo, L"all", L"", 10, 80, 100, 60, akAll},
      {TKind::Button, L"none", L"", 120, 90, 40, 20, 0},
      {TKind::Label, L"lbl", L"Текст", 240, 10, 0, 0, akTop | akRight},
  };
  TProbeForm form(FormDef(), layout);
  const int labelWidth = form.FindControl(L"lbl")->Width();
  form.SetClientSize(400, 260);
  Pump();
  struct TCase {
    const wchar_t* Name;
    RECT Expected;
  } cases[] = {
      {L"lt", {10, 10, 60, 30}},       {L"rb", {300, 210, 350, 230}},
      {L"lr", {10, 50, 390, 71}},      {L"all", {10, 80, 210, 200}},
      {L"none", {170, 120, 210, 140}}, {L"lbl", {340, 10, 340 + labelWidth, 10 + form.FindControl(L"lbl")->Height()}},
  };
  for (const auto& c : cases) {
    const RECT r = form.FindControl(c.Name)->BoundsRect();
    EXPECT_TRUE(EqualRect(&r, &c.Expected)) << c.Name << ": " << r.left << "," << r.top << "," << r.right << ","
                                            << r.bottom;
  }
  // The windows really moved, not just the numbers.
  RECT real;
  GetWindowRect(form.FindControl(L"rb")->Handle(), &real);
  MapWindowPoints(HWND_DESKTOP, form.Handle(), reinterpret_cast<POINT*>(&real), 2);
  EXPECT_EQ(real.left, 300);
  EXPECT_EQ(real.top, 210);
}

TEST(Layout, AlignedPanelsShareTheClientArea) {
  const TCtlDef layout[] = {
      {TKind::Panel, L"top", L"", 0, 0, 10, 30, akLeftTop, {.Align = alTop}},
      {TKind::Panel, L"bottom", L"", 0, 0, 10, 40, akLeftTop, {.Align = alBottom}},
      {TKind::Panel, L"left", L"", 0, 0, 50, 10, akLeftTop, {.Align = alLeft}},
      {TKind::Panel, L"client", L"", 0, 0, 10, 10, akLeftTop, {.Align = alClient}},
  };
  TProbeForm form(FormDef(300, 200), layout);
  const RECT client = form.FindControl(L"client")->BoundsRect();
  EXPECT_EQ(client.left, 50);
  EXPECT_EQ(client.top, 30);
  EXPECT_EQ(client.right, 300);
  EXPECT_EQ(client.bottom, 160);
  EXPECT_EQ(form.FindControl(L"bottom")->Top(), 160);
}

class Keys : public ::testing::Test {
 protected:
  const TCtlDef FLayout[6] = {
      {TKind::Edit, L"edt", L"", 8, 8, 100, 21},
      {TKind::Memo, L"memo", L"", 8, 40, 100, 50, akLeftTop, {.Flags = cfReadOnly}},
      {TKind::Panel, L"pnl", L"", 120, 8, 100, 60},
      {TKind::Button, L"btnOther", L"Другая", 8, 8, 75, 25, akLeftTop, &TProbeForm::btnOtherClick, {.Parent = L"pnl"}},
      {TKind::Button, L"btnOk", L"OK", 120, 150, 75, 25, akLeftTop, &TProbeForm::btnOkClick, {.Flags = cfDefault}},
      {TKind::Button, L"btnCancel", L"Отмена", 200, 150, 75, 25, akLeftTop, &TProbeForm::btnCancelClick,
       {.Flags = cfCancel}},
  };
  TProbeForm FForm{FormDef(), FLayout};
  void SetUp() override {
    FForm.Show();
    Pump();
  }
  TWinControl* W(const wchar_t* name) { return FForm.Ctl<TWinControl>(name); }
};

TEST_F(Keys, EnterPressesTheDefaultButtonAndEscTheCancelButton) {
  W(L"edt")->SetFocus();
  PressKey(VK_RETURN);
  W(L"memo")->SetFocus();
  PressKey(VK_RETURN);  // a read-only memo leaves Enter to the form
  PressKey(VK_ESCAPE);  // and Esc as well
  EXPECT_EQ(FForm.Log, (std::vector<std::wstring>{L"ok", L"ok", L"cancel"}));
}

TEST_F(Keys, EnterPressesTheFocusedButtonEvenInsideAPanel) {
  W(L"btnOther")->SetFocus();
  PressKey(VK_RETURN);
  EXPECT_EQ(FForm.Log, (std::vector<std::wstring>{L"other"}));
}

TEST_F(Keys, TabWalksTheTabStopsIntoPanels) {
  W(L"edt")->SetFocus();
  std::vector<std::wstring> order;
  for (int i = 0; i < 4; ++i) {
    PressKey(VK_TAB);
    TWinControl* focused = TWinControl::FromHandle(GetFocus());
    order.push_back(focused ? focused->Name() : L"?");
  }
  EXPECT_EQ(order, (std::vector<std::wstring>{L"memo", L"btnOther", L"btnOk", L"btnCancel"}));
}

TEST_F(Keys, ADisabledCancelButtonIsNotPressed) {
  W(L"btnCancel")->SetEnabled(false);
  W(L"edt")->SetFocus();
  PressKey(VK_ESCAPE);
  EXPECT_TRUE(FForm.Log.empty());
}

TEST(Guard, AnErrorInAHandlerIsShownAndTheProgramGoesOn) {
  TErrorRecorder errors;
  const TCtlDef layout[] = {
      {TKind::Button, L"btnFail", L"Сбой", 8, 8, 75, 25, akLeftTop, &TProbeForm::btnFailClick},
      {TKind::Button, L"btnOk", L"OK", 8, 40, 75, 25, akLeftTop, &TProbeForm::btnOkClick},
  };
  TProbeForm form(FormDef(), layout);
  form.Show();
  form.Ctl<TButton>(L"btnFail")->Perform(BM_CLICK);
  form.Ctl<TButton>(L"btnFail")->Perform(BM_CLICK);
  form.Ctl<TButton>(L"btnOk")->Perform(BM_CLICK);
  EXPECT_EQ(errors.Texts, (std::vector<std::wstring>{L"Сбой в обработчике", L"Сбой в обработчике"}));
  EXPECT_EQ(form.Log, (std::vector<std::wstring>{L"ok"}));
  // Called from code, the error reaches the caller instead.
  EXPECT_THROW(form.Ctl<TButton>(L"btnFail")->Click(), Exception);
  // Posted messages run under the same guard.
  form.SetMessageHandler(WM_USER + 1, [&](WPARAM wp, LPARAM) -> LRESULT {
    if (wp == 0) throw Exception(L"Сбой в сообщении");
    form.Log.push_back(L"msg " + std::to_wstring(wp));
    return 0;
  });
  PostMessageW(form.Handle(), WM_USER + 1, 0, 0);
  PostMessageW(form.Handle(), WM_USER + 1, 7, 0);
  Pump();
  EXPECT_EQ(errors.Texts.back(), L"Сбой в сообщении");
  EXPECT_EQ(form.Log.back(), L"msg 7");
}

TEST(Layout, AControlMovedToAPanelTakesItsWindowAlong) {
  const TCtlDef layout[] = {
      {TKind::Panel, L"pnl", L"", 100, 10, 150, 100},
      {TKind::Edit, L"edt", L"", 10, 10, 80, 21},
  };
  TProbeForm form(FormDef(), layout);
  auto* panel = form.Ctl<TPanel>(L"pnl");
  auto* edit = form.Ctl<TEdit>(L"edt");
  EXPECT_EQ(form.ControlCount(), 2);
  edit->SetParent(panel);
  EXPECT_EQ(GetParent(edit->Handle()), panel->Handle());
  EXPECT_EQ(form.ControlCount(), 1);
  ASSERT_EQ(panel->ControlCount(), 1);
  EXPECT_EQ(panel->Controls(0), edit);
  panel->SetBounds(100, 10, 250, 100);  // the edit keeps its place in the panel
  EXPECT_EQ(edit->Left(), 10);
}

TEST(Timers, ATimerRunsUntilStopped) {
  TProbeForm form(FormDef(), {});
  int ticks = 0;
  form.StartTimer(1, 10, [&] {
    if (++ticks == 3) form.StopTimer(1);
  });
  EXPECT_TRUE(PumpUntil([&] { return ticks >= 3; }, 5000));
  Pump();
  Pump();
  EXPECT_EQ(ticks, 3);
}

TEST(Modal, TheButtonsResultEndsTheLoopAndCloseCancels) {
  const TCtlDef layout[] = {
      {TKind::Button, L"btnOk", L"OK", 8, 8, 75, 25, akLeftTop, {.Button = {.ModalResult = mrOk}}},
  };
  TProbeForm form(FormDef(), layout);
  Application().OnModalStart = [&](TForm& f) { f.Ctl<TButton>(L"btnOk")->Perform(BM_CLICK); };
  EXPECT_EQ(form.ShowModal(), mrOk);
  EXPECT_FALSE(form.Visible());
  Application().OnModalStart = [&](TForm& f) { PostMessageW(f.Handle(), WM_CLOSE, 0, 0); };
  EXPECT_EQ(form.ShowModal(), mrCancel);
  // OnClose may keep the form open; the next request closes it.
  int asked = 0;
  form.OnClose = [&](TCloseAction& action) {
    if (++asked == 1) action = caNone;
  };
  Application().OnModalStart = [&](TForm& f) {
    PostMessageW(f.Handle(), WM_CLOSE, 0, 0);
    PostMessageW(f.Handle(), WM_CLOSE, 0, 0);
  };
  EXPECT_EQ(form.ShowModal(), mrCancel);
  EXPECT_EQ(asked, 2);
  Application().OnModalStart = nullptr;
  form.Show();
  EXPECT_THROW(form.ShowModal(), Exception) << "a visible form cannot become modal";
}

TEST(Modal, AnErrorOnClosingKeepsTheWindowOpen) {
  TErrorRecorder errors;
  TProbeForm form(FormDef(), {});
  form.Show();
  form.OnClose = [](TCloseAction&) { throw Exception(L"Не удалось сохранить"); };
  SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(form.Visible());
  EXPECT_EQ(errors.Texts, (std::vector<std::wstring>{L"Не удалось сохранить"}));
}

TEST(Controls, LabelsSizeThemselvesAndTakeClicks) {
  const TCtlDef layout[] = {
      {TKind::Label, L"lblLink", L"ссылка", 20, 30, 0, 0, akLeftTop, &TProbeForm::lblLinkClick,
       {.Flags = cfHandPoint}},
  };
  TProbeForm form(FormDef(), layout);
  form.Show();
  auto* label = form.Ctl<TLabel>(L"lblLink");
  EXPECT_GT(label->Width(), 10);
  EXPECT_GT(label->Height(), 5);
  const int before = label->Width();
  label->SetText(L"ссылка подлиннее");
  EXPECT_GT(label->Width(), before);
  ClickAt(form.Handle(), 22, 32);
  ClickAt(form.Handle(), 5, 5);  // beside it: nothing
  EXPECT_EQ(form.Log, (std::vector<std::wstring>{L"link"}));
}

TEST(Controls, RadioButtonsOfOneContainerExcludeEachOther) {
  const TCtlDef layout[] = {
      {TKind::RadioButton, L"rb1", L"Один", 8, 8, 80, 17, akLeftTop, &TProbeForm::rbClick, {.Flags = cfChecked}},
      {TKind::RadioButton, L"rb2", L"Два", 8, 28, 80, 17, akLeftTop, &TProbeForm::rbClick},
      {TKind::Panel, L"grp", L"", 100, 8, 150, 60},
      {TKind::RadioButton, L"rb3", L"Три", 8, 20, 80, 17, akLeftTop, &TProbeForm::rbClick,
       {.Flags = cfChecked, .Parent = L"grp"}},
      {TKind::CheckBox, L"chb", L"Флажок", 8, 60, 80, 17},
  };
  TProbeForm form(FormDef(), layout);
  form.Show();
  EXPECT_TRUE(form.Ctl<TRadioButton>(L"rb1")->Checked());
  EXPECT_TRUE(form.Log.empty()) << "the stored state is no click";
  form.Ctl<TRadioButton>(L"rb2")->Perform(BM_CLICK);
  EXPECT_FALSE(form.Ctl<TRadioButton>(L"rb1")->Checked());
  EXPECT_TRUE(form.Ctl<TRadioButton>(L"rb2")->Checked());
  EXPECT_TRUE(form.Ctl<TRadioButton>(L"rb3")->Checked()) << "another container is another group";
  form.Ctl<TRadioButton>(L"rb2")->Perform(BM_CLICK);  // already checked: no click
  EXPECT_EQ(form.Log.size(), 1u);
  auto* chb = form.Ctl<TCheckBox>(L"chb");
  chb->Perform(BM_CLICK);
  EXPECT_TRUE(chb->Checked());
  chb->Perform(BM_CLICK);
  EXPECT_FALSE(chb->Checked());
}

TEST(Controls, ListsComboUpDownAndDatePickerKeepTheirValues) {
  const TCtlDef layout[] = {
      {TKind::ComboBox, L"cb", L"", 8, 8, 120, 21, akLeftTop, {.List = {.Items = L"ККМ\nФП\nЭКЛЗ"}}},
      {TKind::Edit, L"edtCount", L"", 8, 40, 60, 21},
      {TKind::UpDown, L"udCount", L"", 68, 40, 16, 21, akLeftTop, {.Range = {.Min = 1, .Max = 50, .Position = 5,
                                                                             .Associate = L"edtCount"}}},
      {TKind::DateTimePicker, L"dtpDate", L"", 8, 70, 120, 21},
      {TKind::DateTimePicker, L"dtpTime", L"", 140, 70, 100, 21, akLeftTop, {.Flags = cfTimeKind}},
      {TKind::ListBox, L"lb", L"", 140, 100, 100, 60, akLeftTop, {.Flags = cfOwnerDraw, .List = {.ItemHeight = 18}}},
  };
  TProbeForm form(FormDef(), layout);
  auto* cb = form.Ctl<TComboBox>(L"cb");
  EXPECT_EQ(cb->Count(), 3);
  EXPECT_EQ(cb->Item(2), L"ЭКЛЗ");
  EXPECT_EQ(cb->Height(), 21);
  cb->SetItemIndex(1);
  EXPECT_EQ(cb->Text(), L"ФП");
  auto* ud = form.Ctl<TUpDown>(L"udCount");
  EXPECT_EQ(ud->Position(), 5);
  EXPECT_EQ(form.Ctl<TEdit>(L"edtCount")->Text(), L"5");
  ud->SetPosition(99);
  EXPECT_EQ(ud->Position(), 50);
  auto* date = form.Ctl<TDateTimePicker>(L"dtpDate");
  date->SetDateTime(46000.0);  // 07.12.2025
  EXPECT_DOUBLE_EQ(date->DateTime(), 46000.0);
  auto* time = form.Ctl<TDateTimePicker>(L"dtpTime");
  time->SetDateTime(46000.5);
  EXPECT_DOUBLE_EQ(time->DateTime() - static_cast<int>(time->DateTime()), 0.5);
  auto* lb = form.Ctl<TListBox>(L"lb");
  EXPECT_EQ(lb->ItemHeight(), 18);
}

namespace {

WNDPROC GPreviousProc = nullptr;
int GForeignNcDestroys = 0;

LRESULT CALLBACK ForeignProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCDESTROY) ++GForeignNcDestroys;
  return CallWindowProcW(GPreviousProc, wnd, msg, wp, lp);
}

}  // namespace

// Another party may subclass one of our controls on top of us: clicks still
// reach the handler, and the control lets go when it goes without cutting the
// chain, so the window still dies through the other party's procedure.
TEST(Controls, AControlSubclassedByAnotherPartyStillWorksAndLetsGo) {
  const TCtlDef layout[] = {
      {TKind::Button, L"btnOk", L"OK", 10, 10, 75, 25, akLeftTop, &TProbeForm::btnOkClick},
  };
  HWND button = nullptr;
  {
    TProbeForm form(FormDef(), layout);
    form.Show();
    button = form.Ctl<TButton>(L"btnOk")->Handle();
    EXPECT_EQ(TWinControl::FromHandle(button), form.Ctl<TButton>(L"btnOk"));
    EXPECT_EQ(TWinControl::FromHandle(GetDesktopWindow()), nullptr);
    GForeignNcDestroys = 0;
    GPreviousProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ForeignProc)));
    SendMessageW(button, BM_CLICK, 0, 0);
    EXPECT_EQ(form.Log, (std::vector<std::wstring>{L"ok"}));
  }
  EXPECT_EQ(GForeignNcDestroys, 1);
  EXPECT_FALSE(IsWindow(button));
  EXPECT_EQ(TWinControl::FromHandle(button), nullptr);
}

// The file dialogs come from the system's dialog library, loaded when the
// first one is shown: the real one comes up, and cancelled it chooses nothing.
TEST(Dialogs, TheSystemsFileDialogComesUpAndCancelledChoosesNothing) {
  static bool seen = false;
  seen = false;
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM) -> BOOL {
          wchar_t cls[16] = {};
          GetClassNameW(w, cls, 16);
          if (wcscmp(cls, L"#32770") != 0 || !IsWindowVisible(w)) return TRUE;
          seen = true;
          PostMessageW(w, WM_COMMAND, IDCANCEL, 0);
          return FALSE;
        },
        0);
  });
  TFileDialogArgs args;
  args.Title = L"Открыть файл";
  args.Filter = L"Все файлы (*.*)|*.*";
  args.FileName = L"проба.bin";
  EXPECT_FALSE(OpenFileDialog(args));
  KillTimer(nullptr, timer);
  EXPECT_TRUE(seen);
  EXPECT_EQ(args.FileName, L"проба.bin");
}
