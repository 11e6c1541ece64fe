#include "WinStdCtrls.h"

#include <commctrl.h>

#include <algorithm>

#include "WinApp.h"
#include "WinForm.h"
#include "WinGlyphs.h"

// ---------------------------------------------------------------- TButton

TButton::TButton(const TCreateArgs& args) : TWinControl(args) {
  CreateHandle(L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, false);
}

TButton::~TButton() = default;

void TButton::SetGlyph(TButtonGlyph glyph) {
  std::unique_ptr<TImageList> images = glyph == bgNone ? nullptr : CreateButtonGlyphImages(glyph);
  BUTTON_IMAGELIST list{};
  list.himl = images ? images->Handle() : nullptr;
  list.margin = RECT{4, 0, 0, 0};
  list.uAlign = BUTTON_IMAGELIST_ALIGN_LEFT;
  Perform(BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&list));
  // The control lets go of the old pictures only now.
  FGlyphImages = std::move(images);
  FGlyph = glyph;
  Invalidate();
}

bool TButton::GlyphShown() const {
  BUTTON_IMAGELIST list{};
  return Perform(BCM_GETIMAGELIST, 0, reinterpret_cast<LPARAM>(&list)) && list.himl && FGlyphImages &&
         list.himl == FGlyphImages->Handle();
}

void TButton::SetDefault(bool value) {
  FDefault = value;
  Perform(BM_SETSTYLE, value ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::Click() {
  if (ModalResult != mrNone)
    if (TForm* form = ParentForm()) form->SetModalResult(ModalResult);
  TWinControl::Click();
}

bool TButton::Reflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED) {
    Application().Guard([&] { Click(); });
    result = 0;
    return true;
  }
  return TWinControl::Reflect(msg, wp, lp, result);
}

HBRUSH TButton::CtlColor(HDC) { return nullptr; }

// ---------------------------------------------------------------- TCheckBox

TCheckBox::TCheckBox(const TCreateArgs& args, bool radio) : TWinControl(args), FRadio(radio) {
  CreateHandle(L"BUTTON", (radio ? BS_RADIOBUTTON : BS_CHECKBOX) | WS_TABSTOP, 0, false);
}

bool TCheckBox::Checked() const { return Perform(BM_GETCHECK) == BST_CHECKED; }

void TCheckBox::SetChecked(bool value) {
  if (Checked() == value) return;
  Perform(BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED);
  if (FRadio) {
    if (!value) return;
    if (TContainer* parent = Parent())
      for (int i = 0; i < parent->ControlCount(); ++i)
        if (auto* other = dynamic_cast<TRadioButton*>(parent->Controls(i)); other && other != this)
          other->Perform(BM_SETCHECK, BST_UNCHECKED);
  }
  Click();
}

bool TCheckBox::Reflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED) {
    Application().Guard([&] { SetChecked(FRadio ? true : !Checked()); });
    result = 0;
    return true;
  }
  return TWinControl::Reflect(msg, wp, lp, result);
}

HBRUSH TCheckBox::CtlColor(HDC dc) {
  HBRUSH brush = TWinControl::CtlColor(dc);
  SetBkMode(dc, TRANSPARENT);
  return brush;
}

// ---------------------------------------------------------------- TEdit

TEdit::TEdit(const TCreateArgs& args) : TEdit(args, ES_AUTOHSCROLL) {}

TEdit::TEdit(const TCreateArgs& args, DWORD style) : TWinControl(args) {
  CreateHandle(L"EDIT", style | WS_TABSTOP, WS_EX_CLIENTEDGE, false);
}

void TEdit::SetReadOnly(bool value) {
  FReadOnly = value;
  Perform(EM_SETREADONLY, value);
}

void TEdit::SetMaxLength(int length) { Perform(EM_SETLIMITTEXT, static_cast<WPARAM>(length)); }

void TEdit::SelectAll() { Perform(EM_SETSEL, 0, -1); }

bool TEdit::Reflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  if (msg == WM_COMMAND && HIWORD(wp) == EN_CHANGE) {
    if (OnChange) Application().Guard([&] { OnChange(); });
    result = 0;
    return true;
  }
  return TWinControl::Reflect(msg, wp, lp, result);
}

// ---------------------------------------------------------------- TMemo

TMemo::TMemo(const TCreateArgs& args, bool scrollBars, bool wordWrap)
    : TEdit(args, ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL |
                      (scrollBars ? (WS_HSCROLL | ES_AUTOHSCROLL) : 0) | (wordWrap ? 0 : ES_AUTOHSCROLL)) {
  Perform(EM_SETLIMITTEXT, 0);
}

void TMemo::Clear() { SetText(L""); }

void TMemo::Add(const std::wstring& line) { AddLines(&line, 1); }

void TMemo::AddLines(const std::wstring* lines, size_t count) {
  if (count == 0) return;
  const int length = GetWindowTextLengthW(Handle());
  std::wstring text;
  // Only the last line is looked at: reading the whole text for every line
  // added would make a long listing quadratic.
  if (length > 0) {
    const LRESULT last = Perform(EM_GETLINECOUNT) - 1;
    const LRESULT start = Perform(EM_LINEINDEX, static_cast<WPARAM>(last));
    if (start >= 0 && Perform(EM_LINELENGTH, static_cast<WPARAM>(start)) > 0) text = L"\r\n";
  }
  for (size_t i = 0; i < count; ++i) {
    text += lines[i];
    text += L"\r\n";
  }
  Perform(EM_SETSEL, static_cast<WPARAM>(length), length);
  Perform(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

std::vector<std::wstring> TMemo::Lines() const {
  std::vector<std::wstring> lines;
  const std::wstring text = Text();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L"\r\n", start);
    if (end == std::wstring::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

void TMemo::SetLines(const std::vector<std::wstring>& lines) {
  std::wstring text;
  for (const auto& line : lines) text += line + L"\r\n";
  SetText(text);
}

LRESULT TMemo::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_GETDLGCODE) {
    LRESULT code = TEdit::WndProc(msg, wp, lp) & ~static_cast<LRESULT>(DLGC_WANTALLKEYS);
    const auto* m = reinterpret_cast<const MSG*>(lp);
    if (m && m->message == WM_KEYDOWN && m->wParam == VK_RETURN && !ReadOnly()) code |= DLGC_WANTMESSAGE;
    return code;
  }
  return TEdit::WndProc(msg, wp, lp);
}

// ---------------------------------------------------------------- TListBox

TListBox::TListBox(const TCreateArgs& args, int ownerDrawItemHeight) : TWinControl(args) {
  DWORD style = LBS_NOTIFY | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | WS_TABSTOP;
  if (ownerDrawItemHeight > 0) style |= LBS_OWNERDRAWFIXED | LBS_HASSTRINGS;
  CreateHandle(L"LISTBOX", style, WS_EX_CLIENTEDGE, false);
  if (ownerDrawItemHeight > 0) Perform(LB_SETITEMHEIGHT, 0, ownerDrawItemHeight);
}

int TListBox::Count() const { return static_cast<int>(Perform(LB_GETCOUNT)); }

std::wstring TListBox::Item(int index) const {
  const LRESULT length = Perform(LB_GETTEXTLEN, static_cast<WPARAM>(index));
  if (length == LB_ERR) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(Perform(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()))));
  return text;
}

void TListBox::Add(const std::wstring& text) { Perform(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())); }

void TListBox::Clear() { Perform(LB_RESETCONTENT); }

int TListBox::ItemIndex() const { return static_cast<int>(Perform(LB_GETCURSEL)); }

void TListBox::SetItemIndex(int index) { Perform(LB_SETCURSEL, static_cast<WPARAM>(index)); }

int TListBox::ItemHeight() const { return static_cast<int>(Perform(LB_GETITEMHEIGHT)); }

void TListBox::BeginUpdate() {
  if (FUpdateCount++ == 0) Perform(WM_SETREDRAW, FALSE);
}

void TListBox::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0) {
    Perform(WM_SETREDRAW, TRUE);
    Invalidate();
  }
}

bool TListBox::Reflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case WM_COMMAND:
      if (HIWORD(wp) == LBN_SELCHANGE) Application().Guard([&] { Click(); });
      result = 0;
      return true;
    case WM_DRAWITEM:
      Application().Guard([&] { DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp)); });
      result = TRUE;
      return true;
  }
  return TWinControl::Reflect(msg, wp, lp, result);
}

void TListBox::DrawItem(const DRAWITEMSTRUCT& item) {
  RECT rect = item.rcItem;
  if (item.itemID != static_cast<UINT>(-1)) {
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    TBrushHandle owner;
    FillRect(item.hDC, &rect, ColorBrush(selected ? clHighlight : EffectiveColor(), owner));
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, ColorToRGB(selected ? clHighlightText : Font().Color));
    TSelectObject font(item.hDC, FontHandle());
    const std::wstring text = Item(static_cast<int>(item.itemID));
    RECT textRect = rect;
    textRect.left += 2;
    DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &textRect,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  }
  if (item.itemState & ODS_FOCUS) DrawFocusRect(item.hDC, &rect);
}

// ---------------------------------------------------------------- TComboBox

namespace {
constexpr int kDropDownHeight = 200;
}

TComboBox::TComboBox(const TCreateArgs& args) : TWinControl(args) {
  CreateHandle(L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0, false);
  ApplyBounds();
}

int TComboBox::Count() const { return static_cast<int>(Perform(CB_GETCOUNT)); }

std::wstring TComboBox::Item(int index) const {
  const LRESULT length = Perform(CB_GETLBTEXTLEN, static_cast<WPARAM>(index));
  if (length == CB_ERR) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(Perform(CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()))));
  return text;
}

void TComboBox::Add(const std::wstring& text) { Perform(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())); }

void TComboBox::Clear() { Perform(CB_RESETCONTENT); }

int TComboBox::ItemIndex() const { return static_cast<int>(Perform(CB_GETCURSEL)); }

void TComboBox::SetItemIndex(int index) { Perform(CB_SETCURSEL, static_cast<WPARAM>(index)); }

bool TComboBox::Reflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  if (msg == WM_COMMAND) {
    if (HIWORD(wp) == CBN_SELCHANGE && OnChange) Application().Guard([&] { OnChange(); });
    result = 0;
    return true;
  }
  return TWinControl::Reflect(msg, wp, lp, result);
}

void TComboBox::ApplyBounds() {
  if (Handle())
    SetWindowPos(Handle(), nullptr, Left(), Top(), Width(), Height() + kDropDownHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void TComboBox::SyncBounds(const RECT& r) {
  // The system reports the closed box; the stored height stays the one asked for.
  RECT kept = r;
  kept.bottom = r.top + Height();
  TWinControl::SyncBounds(kept);
}

// ---------------------------------------------------------------- TFocusKeeper

void TFocusKeeper::Note(std::initializer_list<TButton*> buttons) {
  for (TButton* b : buttons) {
    FNoted.push_back(b);
    if (b->Focused()) FHadFocus = b;
  }
}

void TFocusKeeper::GiveBack(TButton* to) {
  TButton* target = to ? to : FHadFocus;
  const bool had = FHadFocus != nullptr;
  std::vector<TButton*> noted;
  noted.swap(FNoted);
  FHadFocus = nullptr;
  if (!had || !target || !target->Handle() || !target->Enabled()) return;
  HWND focus = GetFocus();
  const bool onNoted = std::any_of(noted.begin(), noted.end(), [focus](TButton* b) { return b->Handle() == focus; });
  if ((focus && !onNoted) || GetActiveWindow() != GetAncestor(target->Handle(), GA_ROOT)) return;
  target->SetFocus();
}
