#pragma once
// Page "Значения регистров": reads every register of one kind in a worker
// and lists number and value.
#include <memory>

#include "untPages.h"
#include "untReg.h"

class TfmReg : public TPage {
 public:
  TfmReg();
  ~TfmReg() override;
  void btnReadClick();

  TLabel* lblRegType;
  TComboBox* cbRegType;
  TButton* btnRead;
  TLabel* lblInfo;
  TMemo* Memo;

  // The messages the worker posts to the page's window.
  static constexpr UINT WM_REG_STARTED = WM_USER + 1;
  static constexpr UINT WM_REG_READ = WM_USER + 2;
  static constexpr UINT WM_REG_DONE = WM_USER + 3;

  TRegReader* Reader() const { return FReader.get(); }

 private:
  TRegReader& GetReader();
  TECRRegisters& Registers(int kind);
  void RegStarted();
  void RegRead(int position);
  void RegDone();
  void ShowReadLines();
  void EnableRead(bool enabled);

  int RegType = 0;
  TFocusKeeper FFocus;
  int FShown = 0;  // registers of the current walk listed so far
  uint64_t FLastShown = 0;
  static constexpr uint64_t kShowInterval = 50;  // milliseconds
  std::unique_ptr<TRegReader> FReader;
  std::unique_ptr<TECRRegisters> FRegisters[3];
};
