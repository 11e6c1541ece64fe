#pragma once
// Page "Состояние": the cash register's or the fiscal memory's status.
#include "untPages.h"

class TfmStatus : public TPage {
 public:
  TfmStatus();
  void btnGetECRStatusClick();
  void btnGetFMStatusClick();

  TMemo* Memo;
  TButton* btnGetECRStatus;
  TButton* btnGetFMStatus;
};

// The fixed-pitch font of the status and flags listings.
extern const TFontDef kListingFont;
