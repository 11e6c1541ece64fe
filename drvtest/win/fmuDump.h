#pragma once
// Page "Дамп": reads the memory of one of the cash register's devices block
// by block in a worker, saves it as a dump file or shows it in the viewer.
#include <memory>

#include "fmuView.h"
#include "untDump.h"
#include "untPages.h"

class TfmDump : public TPage {
 public:
  TfmDump();
  ~TfmDump() override;
  bool IsBusy() override;

  void rbRangeClick();
  void btnStartClick();
  void btnViewClick();
  void btnSaveClick();

  TLabel* lblDevice;
  TComboBox* cbDevice;
  TLabel* Label1;
  TRadioButton* rbAll;
  TRadioButton* rbRange;
  TLabel* lblStartBlock;
  TEdit* edtStartBlock;
  TLabel* lblEndBlock;
  TEdit* edtEndBlock;
  TButton* btnStart;
  TButton* btnView;
  TButton* btnSave;
  TLabel* lblInfo;
  TLabel* lblTime;
  TProgressBar* ProgressBar;

  static constexpr UINT WM_DUMP_STARTED = WM_USER + 1;
  static constexpr UINT WM_DUMP_PROGRESS = WM_USER + 2;
  static constexpr UINT WM_DUMP_COMPLETE = WM_USER + 3;

  // The viewer, made (hidden) on first need.
  TfmView& View();
  TDumpReader* Reader() const { return FReader.get(); }

 private:
  void FormCreate();
  TDumpReader& GetReader();
  void PrepareParams();
  void UpdateViewCaption();
  void DumpStarted();
  void DumpProgress(int count);
  void ShowProgress();
  void DumpComplete();
  void EnableStart(bool enabled);

  // Progress is shown at most this often (milliseconds), the last block's always.
  static constexpr uint64_t kShowInterval = 40;

  std::unique_ptr<TfmView> FView;
  uint64_t FStartTime = 0;  // milliseconds of a steady clock
  TDumpParams FParams;
  std::unique_ptr<TDumpReader> FReader;
  int32_t FBlockCount = 0;
  std::wstring FSaveDir;
  TFocusKeeper FFocus;
  int FLastCount = 0;   // blocks read, as the last progress message said
  int FShownCount = 0;  // blocks read, as the page shows
  uint64_t FLastShown = 0;
};
