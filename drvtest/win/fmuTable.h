#pragma once
// Page "Таблицы": one driver operation on the table, row and field typed in.
#include "untPages.h"
#include "untTables.h"

class TfmTable : public TPage {
 public:
  TfmTable();
  void btnGetTableStructClick();
  void btnGetFieldStructClick();
  void btnReadTableClick();
  void btnWriteTableClick();
  void btnInitTableClick();

  TLabel* lblTableNumber;
  TEdit* edtTableNumber;
  TUpDown* udTableNumber;
  TLabel* lblRowNumber;
  TEdit* edtRowNumber;
  TUpDown* udRowNumber;
  TLabel* lblFieldNumber;
  TEdit* edtFieldNumber;
  TUpDown* udFieldNumber;
  TLabel* lblValue;
  TEdit* edtValue;
  TMemo* Memo;
  TButton* btnGetTableStruct;
  TButton* btnGetFieldStruct;
  TButton* btnReadTable;
  TButton* btnWriteTable;
  TButton* btnInitTable;

 private:
  void Run(TTableOp op);
};
