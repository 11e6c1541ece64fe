#pragma once
// Ctrl+G in the dump viewer: the offset to go to, typed in hexadecimal.
#include <cstdint>

#include "MyForm.h"

class TfmGoTo : public TMyForm {
 public:
  TfmGoTo();

  // Asks above `owner`; false when cancelled. A text that is no hexadecimal
  // number raises EConvertError after the dialog closed.
  static bool Ask(HWND owner, uint64_t& offset);

  TEdit* edtOffset;
  TButton* btnOK;
  TButton* btnCancel;
};
