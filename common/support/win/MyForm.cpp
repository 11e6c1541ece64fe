#include "MyForm.h"

#include <vector>

namespace {

// Typed reads: a value of another type than expected is skipped, so a damaged
// setting leaves the default in place instead of stopping every window.
bool ReadString(HKEY key, const wchar_t* name, std::wstring& value) {
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  if ((type != REG_SZ && type != REG_EXPAND_SZ) || size > 64 * 1024) return false;
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
  DWORD got = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &got) != ERROR_SUCCESS)
    return false;
  value = buffer.data();
  return true;
}

bool ReadInteger(HKEY key, const wchar_t* name, int& value) {
  DWORD type = 0, data = 0, size = sizeof data;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS)
    return false;
  if (type != REG_DWORD || size != sizeof data) return false;
  value = static_cast<int>(data);
  return true;
}

}  // namespace

void LoadSavedFont(TFontDef& font) {
  font.Style = 0;
  font.Name = L"MS Sans Serif";
  font.SetSize(8);
  font.Color = 0;
  font.CharSet = 204;
  TRegKey key;
  // RegOpenKeyEx wants the path without the root's backslash.
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kSavedFontKey + 1, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return;
  std::wstring name;
  int value = 0;
  if (ReadString(key.Get(), L"FontName", name)) font.Name = name;
  if (ReadInteger(key.Get(), L"FontSize", value)) font.SetSize(value);
  if (ReadInteger(key.Get(), L"FontColor", value)) font.Color = static_cast<TColor>(value);
  if (ReadInteger(key.Get(), L"FontCharSet", value)) font.CharSet = value;
  static const struct {
    const wchar_t* Name;
    TFontStyle Style;
  } kStyles[] = {{L"FontIsBold", fsBold},
                 {L"FontIsItalic", fsItalic},
                 {L"FontIsUnderlined", fsUnderline},
                 {L"FontIsStriledOut", fsStrikeOut}};
  for (const auto& s : kStyles)
    if (ReadInteger(key.Get(), s.Name, value) && value != 0) font.Style |= s.Style;
}

TFormDef TMyForm::ReadState(const TFormDef& stored) {
  TFormDef state = stored;
  if (state.BorderStyle != bsSizeable) return state;
  const int dh = (GetSystemMetrics(SM_CYCAPTION) - 19) +
                 2 * (GetSystemMetrics(SM_CYSIZEFRAME) - GetSystemMetrics(SM_CYEDGE) - 1);
  const int dw = 2 * (GetSystemMetrics(SM_CXSIZEFRAME) - GetSystemMetrics(SM_CXEDGE) - 1);
  if (state.Width > 0) {
    state.Width += dw;
    state.Height += dh;
  } else {
    state.ClientWidth += dw;
    state.ClientHeight += dh;
  }
  return state;
}

namespace {

TFontDef SavedFontOf(const TFormDef& def) {
  TFontDef font = TForm::ScreenFont(def);
  LoadSavedFont(font);
  return font;
}

}  // namespace

TMyForm::TMyForm(const TFormDef& def, std::span<const TCtlDef> layout) : TForm(def, layout, SavedFontOf(def)) {
  // The controls were laid out for the stored size; correcting it afterwards
  // lets the anchored ones follow, so they keep their designed margins.
  const TFormDef state = ReadState(def);
  const int dw = state.Width > 0 ? state.Width - def.Width : state.ClientWidth - def.ClientWidth;
  const int dh = state.Width > 0 ? state.Height - def.Height : state.ClientHeight - def.ClientHeight;
  if (dw != 0 || dh != 0) SetClientSize(ClientWidth() + dw, ClientHeight() + dh);
}

void TMyForm::SetButtonsEnabled(bool enabled, TButton*& focusedButton) {
  for (int i = 0; i < ControlCount(); ++i) {
    auto* button = dynamic_cast<TButton*>(Controls(i));
    if (!button) continue;
    if (!enabled && button->Focused()) focusedButton = button;
    button->SetEnabled(enabled);
  }
  if (enabled && focusedButton) focusedButton->SetFocus();
}
