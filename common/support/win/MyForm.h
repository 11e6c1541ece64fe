#pragma once
// TMyForm: the base of every window of both programs. It gives the window the
// font the user chose (read from the registry), corrects the stored size of
// windows with a sizeable border for the running system's frame metrics, and
// disables or re-enables a window's buttons while keeping track of the focus.
#include <span>

#include "WinUi.h"

// The registry key of the saved font, under HKEY_CURRENT_USER. The leading
// backslash makes it absolute under that root (HKCU\.DEFAULT\...).
inline constexpr wchar_t kSavedFontKey[] = L"\\.DEFAULT\\SOFTWARE\\Tervald\\Font";

// Resets the font to "MS Sans Serif", 8 points, black, Cyrillic, no style,
// then applies what the key holds. Never writes the registry.
void LoadSavedFont(TFontDef& font);

class TMyForm : public TForm {
 public:
  TMyForm(const TFormDef& def, std::span<const TCtlDef> layout);

  // The stored state as it is read: a form stored with a sizeable border
  // grows by the difference between this system's caption and frame metrics
  // and those it was designed with; any other border keeps its size.
  static TFormDef ReadState(const TFormDef& stored);

  // Enables or disables the push buttons placed directly on the form. When
  // disabling, a button that has the focus becomes the remembered button;
  // when enabling, the remembered button gets the focus back.
  void SetButtonsEnabled(bool enabled, TButton*& focusedButton);
};
