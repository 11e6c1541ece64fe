#pragma once
// The dump viewer: a byte stream as a hex table of 16 bytes a row, with a
// tool bar to open a dump file, save the bytes, compare them with a file and
// list every difference from a file. F6 and Shift+F6 step through the
// differences, Ctrl+C copies the selected bytes as hex, Ctrl+G goes to an offset.
#include <cstdint>
#include <memory>
#include <string>

#include "MyForm.h"

class TfmDiff;

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
  void tbDiffClick();

  // Lists every difference of Data and the file in the list window.
  void ShowDifferences(const std::wstring& fileName);
  // The list window, once a list was made (nullptr before).
  TfmDiff* Differences() const { return FDiffs.get(); }
  // Shows difference `index`: its bytes selected in the table, scrolled to.
  void SelectDifference(size_t index);
  // F6 and Shift+F6: the next and the previous difference from the current cell.
  void StepDifference(bool back);
  // The selected bytes as the programs write hex, a line a row (Ctrl+C
  // puts them on the clipboard).
  std::wstring SelectedHex() const;
  // Ctrl+G: the cell of the offset becomes the current one.
  void GoToOffset(uint64_t offset);

  TPanel* pnlLeft;
  TToolBar* tbLeft;
  TToolButton* tbOpen;
  TToolButton* tbSave;
  TToolButton* tbCompare;
  TStringGrid* Grid;
  TToolButton* tbDiff;

 private:
  TFileDialogArgs DialogArgs(const std::wstring& initialDir) const;
  class TSource;
  std::unique_ptr<TSource> FSource;
  bool ShortCut(WORD key, TShiftState shift);
  std::wstring FOpenDir, FSaveDir;
  std::unique_ptr<TfmDiff> FDiffs;
  // The difference shown last and the cell it left current: F6 goes on from
  // it while the user has not moved elsewhere.
  size_t FDiffIndex = 0;
  int FDiffCol = -1, FDiffRow = -1;
};
