#pragma once
// Page "Регистры остатков": the cash register's rest registers read into an
// editable list, written back from it, saved to and loaded from a text file.
// The read and write loops run on the window thread.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "WinDialogs.h"
#include "untPages.h"

class TfmRestReg : public TPage {
 public:
  TfmRestReg();
  void rbAllClick();
  void rbSelClick();
  void btnReadClick();
  void btnWriteClick();
  void btnBreakClick();
  void btnClearClick();
  void btnLoadFromFileClick();
  void btnSaveToFileClick();

  TBevel* bvlRead;
  TLabel* Label1;
  TRadioButton* rbAll;
  TRadioButton* rbSel;
  TEdit* edtStartNum;
  TLabel* lblEndNum;
  TEdit* edtEndNum;
  TMemo* Memo;
  TProgressBar* ProgressBar;
  TLabel* lblRegisterNumber;
  TButton* btnRead;
  TButton* btnWrite;
  TButton* btnBreak;
  TButton* btnClear;
  TButton* btnLoadFromFile;
  TButton* btnSaveToFile;

  bool StopRequested = false;

  // The dialogs' file type, name and filter.
  static constexpr const wchar_t* kDefaultExt = L"txt";
  static constexpr const wchar_t* kDefaultFileName = L"РегистрыОстатков";
  static constexpr const wchar_t* kFilter = L"Текстовые файлы (*.txt)|*.txt|Все файлы (*.*)|*.*";

 private:
  void FormCreate();
  void UpdateRange();
  void StartProgress(int max);
  void ShowProgress(int steps, int64_t counter);
  void EndLoop();
  std::optional<std::wstring> LineAt(int index);

  // Kept for the page's life: each proposes the file chosen in it last.
  std::unique_ptr<TFileDialog> FOpenDialog, FSaveDialog;
  // The list's lines as a write reads them; read again after an edit.
  std::vector<std::wstring> FLines;
  bool FMemoChanged = false;
};
