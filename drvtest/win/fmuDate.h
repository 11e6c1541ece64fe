#pragma once
// Page "Дополнительно": writes a chosen date or time into the cash register,
// sets its clock to the computer's, and starts the initialisation of its
// tables.
#include "untPages.h"

class TfmDate : public TPage {
 public:
  TfmDate();
  void btnSetDateClick();
  void btnSetTimeClick();
  void btnSetDateTimeClick();
  void btnInitTablesClick();

  TLabel* lblECRDate;
  TDateTimePicker* dtpDate;
  TButton* btnSetDate;
  TLabel* lblECRTime;
  TDateTimePicker* dtpTime;
  TButton* btnSetTime;
  TLabel* lblDateTime;
  TButton* btnSetDateTime;
  TBevel* Bevel1;
  TLabel* lblInitTables;
  TButton* btnInitTables;

 private:
  void FormCreate();
};
