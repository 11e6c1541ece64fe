#pragma once
// The dump viewer: a byte stream as a hex table of 16 bytes a row, with a
// tool bar to open a dump file, save the bytes and compare them with a file.
#include <string>

#include "MyForm.h"

class TfmView : public TMyForm {
 public:
  TfmView();
  ~TfmView() override;

  // The bytes shown after the next ShowData.
  std::string Data;
  void ShowData();
  // Compares Data with the file and says so in a message box.
  void CompareWithFile(const std::wstring& fileName);

  void tbOpenClick();
  void tbSaveClick();
  void tbCompareClick();

  TPanel* pnlLeft;
  TToolBar* tbLeft;
  TToolButton* tbOpen;
  TToolButton* tbSave;
  TToolButton* tbCompare;
  TStringGrid* Grid;

 private:
  TFileDialogArgs DialogArgs(const std::wstring& initialDir) const;
  class TSource;
  std::unique_ptr<TSource> FSource;
  std::wstring FOpenDir, FSaveDir;
};
