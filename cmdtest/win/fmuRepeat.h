#pragma once
// "Повтор команды": the selected command sent N times (or until stopped)
// every T milliseconds, optionally up to the first non-zero result, with the
// figures of the run. The steps run from the window's timer between window
// events, so "Прервать" ends the run after the exchange under way.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "MyForm.h"
#include "untCmdSession.h"
#include "untRepeat.h"

namespace cmdtest {

class TfmRepeat : public TMyForm {
 public:
  // `running(true)` when a run starts: the main window's command buttons go
  // off, as during Execute; `running(false)` when it ends. `canStart` says
  // whether an exchange may begin now (no Execute under way).
  TfmRepeat(TCmdSession& session, std::function<void(bool running)> running, std::function<bool()> canStart);
  ~TfmRepeat() override;

  // The settings into the controls (before the window is shown).
  void ParamsToControls();
  bool Running() const { return FRun.has_value(); }
  void btnStartClick();
  void btnStopClick();
  void btnCloseClick();

  TEdit* edtCount;
  TEdit* edtInterval;
  TCheckBox* chbStopOnError;
  TLabel* lblSent;
  TLabel* lblFailed;
  TLabel* lblFastest;
  TLabel* lblSlowest;
  TLabel* lblResult;
  TButton* btnStart;
  TButton* btnStop;
  TButton* btnClose;

 private:
  void Step();
  void ScheduleNext();
  void Finish();
  void ShowFigures();

  TCmdSession& FSession;
  std::function<void(bool)> FRunning;
  std::function<bool()> FCanStart;
  std::optional<TRepeatRun> FRun;
  uint32_t FStepStart = 0;
  bool FInStep = false;
  TFocusKeeper FFocus;
};

}  // namespace cmdtest
