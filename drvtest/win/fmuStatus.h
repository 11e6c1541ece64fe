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
