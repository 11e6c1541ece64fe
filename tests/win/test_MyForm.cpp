// The base form: saved font from the registry, size correction for sizeable
// borders, and the buttons' enabled state with the remembered focus.
#include <gtest/gtest.h>

#include "MyForm.h"
#include "test_TstSupport.h"

namespace {

// HKEY_CURRENT_USER redirected to a scratch key, so the tests neither see
// nor change the real user's font setting.
class TScratchUser {
 public:
  TScratchUser() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
    RegCreateKeyExW(HKEY_CURRENT_USER, kScratch, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, FRoot.Put(), nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, FRoot.Get());
  }
  ~TScratchUser() {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    FRoot.Reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\PloverTests");
  }
  HKEY FontKey() {
    if (!FFont)
      RegCreateKeyExW(FRoot.Get(), L".DEFAULT\\SOFTWARE\\Tervald\\Font", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      FFont.Put(), nullptr);
    return FFont.Get();
  }
  void SetInt(const wchar_t* name, DWORD value) {
    RegSetValueExW(FontKey(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  }
  void SetText(const wchar_t* name, const std::wstring& value) {
    RegSetValueExW(FontKey(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }

 private:
  static constexpr const wchar_t* kScratch = L"Software\\PloverTests\\User";
  TRegKey FRoot, FFont;
};

TFontDef StoredFont() {
  TFontDef f;  // what a form might have stored: to be replaced entirely
  f.Name = L"Arial";
  f.Height = -20;
  f.Color = clRed;
  f.CharSet = ANSI_CHARSET;
  f.Style = fsItalic | fsUnderline;
  return f;
}

}  // namespace

TEST(SavedFont, WithoutTheKeyTheDefaultsStay) {
  TScratchUser user;
  TFontDef f = StoredFont();
  LoadSavedFont(f);
  EXPECT_EQ(f.Name, L"MS Sans Serif");
  EXPECT_EQ(f.Size(), 8);
  EXPECT_EQ(f.Color, 0u);
  EXPECT_EQ(f.CharSet, 204);
  EXPECT_EQ(f.Style, 0u);
}

TEST(SavedFont, EachValueChangesItsOwnPart) {
  struct TCase {
    const wchar_t* Value;
    DWORD Data;
    unsigned Style;
  } cases[] = {
      {L"FontIsBold", 1, fsBold},
      {L"FontIsItalic", 7, fsItalic},
      {L"FontIsUnderlined", 1, fsUnderline},
      {L"FontIsStriledOut", 1, fsStrikeOut},
      // Present and false adds nothing; near-miss names are not read.
      {L"FontIsBold", 0, 0},
      {L"FontIsStrikedOut", 1, 0},
      {L"FontIsStrikeOut", 1, 0},
  };
  for (const auto& c : cases) {
    TScratchUser user;
    user.SetInt(c.Value, c.Data);
    TFontDef f = StoredFont();
    LoadSavedFont(f);
    EXPECT_EQ(f.Style, c.Style) << c.Value << "=" << c.Data;
    EXPECT_EQ(f.Name, L"MS Sans Serif") << c.Value;
    EXPECT_EQ(f.Size(), 8) << c.Value;
  }
}

TEST(SavedFont, NameSizeColourAndCharSetAreTaken) {
  TScratchUser user;
  user.SetText(L"FontName", L"Tahoma");
  user.SetInt(L"FontSize", 12);
  user.SetInt(L"FontColor", 0x00123456);
  user.SetInt(L"FontCharSet", 0);
  user.SetInt(L"FontIsBold", 1);
  user.SetInt(L"FontIsStriledOut", 1);
  TFontDef f = StoredFont();
  LoadSavedFont(f);
  EXPECT_EQ(f.Name, L"Tahoma");
  EXPECT_EQ(f.Size(), 12);
  EXPECT_EQ(f.Color, 0x00123456u);
  EXPECT_EQ(f.CharSet, 0);
  EXPECT_EQ(f.Style, static_cast<unsigned>(fsBold | fsStrikeOut));
}

TEST(SavedFont, AValueOfTheWrongTypeIsSkipped) {
  TScratchUser user;
  user.SetText(L"FontSize", L"12");
  user.SetInt(L"FontName", 5);
  TFontDef f = StoredFont();
  LoadSavedFont(f);
  EXPECT_EQ(f.Name, L"MS Sans Serif");
  EXPECT_EQ(f.Size(), 8);
}

namespace {

class TTestForm : public TMyForm {
 public:
  TTestForm(const TFormDef& def, std::span<const TCtlDef> layout) : TMyForm(def, layout) {}
};

TFormDef Def(TFormBorderStyle border, int w = 300, int h = 200) {
  TFormDef d;
  d.Caption = L"Проба";
  d.BorderStyle = border;
  d.ClientWidth = w;
  d.ClientHeight = h;
  d.Font = StoredFont();
  return d;
}

const TFontDef kOwnFont = [] {
  TFontDef f;
  f.Name = L"Courier New";
  f.Height = -13;
  return f;
}();

}  // namespace

TEST(MyForm, TheSavedFontReplacesTheStoredOneAndReachesChildren) {
  TScratchUser user;
  user.SetInt(L"FontIsBold", 1);
  const TCtlDef layout[] = {
      {TKind::Edit, L"edtFollows", L"", 8, 8, 100, 21},
      {TKind::Memo, L"memOwn", L"", 8, 40, 100, 50, akLeftTop, {.Font = &kOwnFont}},
  };
  TTestForm form(Def(bsSingle), layout);
  EXPECT_EQ(form.Font().Name, L"MS Sans Serif");
  EXPECT_EQ(form.Font().Style, static_cast<unsigned>(fsBold));
  auto* edit = form.Ctl<TEdit>(L"edtFollows");
  auto* memo = form.Ctl<TMemo>(L"memOwn");
  EXPECT_EQ(reinterpret_cast<HFONT>(edit->Perform(WM_GETFONT)), form.FontHandle());
  EXPECT_EQ(memo->Font().Name, L"Courier New");
  EXPECT_NE(reinterpret_cast<HFONT>(memo->Perform(WM_GETFONT)), form.FontHandle());
}

TEST(MyForm, OnlyASizeableBorderCorrectsTheStoredSize) {
  const int dw = 2 * (GetSystemMetrics(SM_CXSIZEFRAME) - GetSystemMetrics(SM_CXEDGE) - 1);
  const int dh = (GetSystemMetrics(SM_CYCAPTION) - 19) +
                 2 * (GetSystemMetrics(SM_CYSIZEFRAME) - GetSystemMetrics(SM_CYEDGE) - 1);
  struct TCase {
    TFormBorderStyle Border;
    int Width, Height;
  } cases[] = {{bsSingle, 300, 200}, {bsDialog, 300, 200}, {bsNone, 300, 200}, {bsSizeable, 300 + dw, 200 + dh}};
  for (const auto& c : cases) {
    TTestForm form(Def(c.Border), {});
    EXPECT_EQ(form.ClientWidth(), c.Width) << "border " << c.Border;
    EXPECT_EQ(form.ClientHeight(), c.Height) << "border " << c.Border;
  }
  // A stored outer size is corrected the same way.
  TFormDef outer = Def(bsSizeable, 0, 0);
  outer.Width = 400;
  outer.Height = 300;
  EXPECT_EQ(TMyForm::ReadState(outer).Width, 400 + dw);
  EXPECT_EQ(TMyForm::ReadState(outer).Height, 300 + dh);
}

class ButtonsEnabled : public ::testing::Test {
 protected:
  const TCtlDef FLayout[5] = {
      {TKind::Button, L"btnA", L"A", 8, 8, 75, 25},
      {TKind::Edit, L"edtText", L"", 8, 40, 75, 21},
      {TKind::Button, L"btnB", L"B", 8, 70, 75, 25},
      {TKind::Panel, L"pnlInner", L"", 100, 8, 150, 100},
      {TKind::Button, L"btnInner", L"C", 8, 8, 75, 25, akLeftTop, {.Parent = L"pnlInner"}},
  };
  TTestForm FForm{Def(bsSingle), FLayout};
  TButton* A = FForm.Ctl<TButton>(L"btnA");
  TButton* B = FForm.Ctl<TButton>(L"btnB");
  TButton* Inner = FForm.Ctl<TButton>(L"btnInner");
  TEdit* Edit = FForm.Ctl<TEdit>(L"edtText");
  TButton* Remembered = nullptr;

  void SetUp() override {
    FForm.Show();
    Pump();
  }
};

TEST_F(ButtonsEnabled, DisablingRemembersTheFocusedButtonAndEnablingGivesItBack) {
  B->SetFocus();
  FForm.SetButtonsEnabled(false, Remembered);
  EXPECT_EQ(Remembered, B);
  EXPECT_FALSE(A->Enabled());
  EXPECT_FALSE(B->Enabled());
  EXPECT_TRUE(Inner->Enabled()) << "buttons inside a panel are not the form's own";
  A->SetEnabled(true);
  A->SetFocus();
  A->SetEnabled(false);
  FForm.SetButtonsEnabled(true, Remembered);
  EXPECT_TRUE(A->Enabled());
  EXPECT_TRUE(B->Enabled());
  EXPECT_TRUE(B->Focused());
}

TEST_F(ButtonsEnabled, FocusInAnEditLeavesTheRememberedButton) {
  A->SetFocus();
  FForm.SetButtonsEnabled(false, Remembered);
  FForm.SetButtonsEnabled(true, Remembered);
  ASSERT_EQ(Remembered, A);
  Edit->SetFocus();
  FForm.SetButtonsEnabled(false, Remembered);
  EXPECT_EQ(Remembered, A);
  FForm.SetButtonsEnabled(true, Remembered);
  EXPECT_TRUE(A->Focused()) << "the button remembered before gets the focus";
}

TEST_F(ButtonsEnabled, NothingRememberedLeavesTheFocusAlone) {
  Edit->SetFocus();
  FForm.SetButtonsEnabled(false, Remembered);
  FForm.SetButtonsEnabled(true, Remembered);
  EXPECT_EQ(Remembered, nullptr);
  EXPECT_TRUE(Edit->Focused());
}
