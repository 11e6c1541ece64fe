#pragma once
// Page "Чеки": while it is shown, this program answers every request from the
// network and totals the free-price sales and receipt closings among them.
// The totals stay while the page is hidden.
#include "untPages.h"
#include "untReceiptMonitor.h"

class TfmReceipt : public TPage {
 public:
  TfmReceipt();
  void btnResetSumClick();
  // The three figures from the monitor's state.
  void Refresh();

  TLabel* lblTotalSum;
  TEdit* edtTotalSum;
  TLabel* lblRecCount;
  TEdit* edtRecCount;
  TLabel* lblRecSum;
  TEdit* edtRecSum;
  TButton* btnResetSum;

  const TReceiptMonitor& Monitor() const { return FMonitor; }

 private:
  void FormShow();
  void FormHide();
  TReceiptMonitor FMonitor;
};
