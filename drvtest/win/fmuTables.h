#pragma once
// Page "Структура таблиц": every table of the cash register with its fields.
#include "untPages.h"

class TfmTables : public TPage {
 public:
  TfmTables();
  void btnReadClick();

  TMemo* Memo;
  TButton* btnRead;
};
