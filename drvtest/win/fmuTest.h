#pragma once
// Page "Проверка связи": the connection check sent over and over on the
// window thread, with live counters, until "Прервать", the first error when
// asked, or the program's end.
#include <cstdint>

#include "untCommandClock.h"
#include "untConnTest.h"
#include "untPages.h"

class TfmTest : public TPage {
 public:
  TfmTest();
  void btnStartClick();
  void btnStopClick();

  TBevel* bvlCounters;
  TLabel* lblRepCount2;
  TLabel* lblRepCount;
  TLabel* lblErrCount2;
  TLabel* lblErrCount;
  TLabel* lblSpeed;
  TLabel* lblTxSpeed;
  TLabel* Label2;
  TLabel* lblCommandTime;
  TLabel* Label1;
  TLabel* lblErrRate;
  TLabel* lblTimeLeft2;
  TLabel* lblTimeLeft;
  TButton* btnStart;
  TButton* btnStop;
  TCheckBox* chbStopOnError;
  // Below the counters: what the averages hide.
  TBevel* bvlTimes;
  TLabel* lblFastest;
  TLabel* lblAverage;
  TLabel* lblSlowest;
  TLabel* lblPercentile95;
  TLabel* lblPercentile99;
  TLabel* lblFailures;

  bool StopRequested = false;

  // The counters are put on screen at most this often while the test runs,
  // and once more at its end.
  static constexpr uint32_t kShowInterval = 40;  // milliseconds

 private:
  void ShowFigures(const TConnectionTexts& texts);
  void PutFigures();

  TConnectionTexts FTexts;
  TConnectionStats FStats;
  TCommandClock FClock;
  bool FTextsPending = false;
  uint32_t FLastPut = 0;
};
