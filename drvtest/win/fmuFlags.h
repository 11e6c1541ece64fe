#pragma once
// Page "Флаги ККМ": the sixteen status flags with their names.
#include "untPages.h"

class TfmFlags : public TPage {
 public:
  TfmFlags();
  void btnGetECRFlagsClick();

  TMemo* Memo;
  TButton* btnGetECRFlags;
};
