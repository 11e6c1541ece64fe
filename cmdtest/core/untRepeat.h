#pragma once
// A command sent over and over ("Повторить..."): how many went, how many
// failed, the fastest and slowest exchange and the last result, and when the
// run is over (the count reached, or the first failure when asked).
#include <cstdint>
#include <string>

#include "untAppParams.h"

struct TRepeatTexts {
  std::wstring Sent, Failed, Fastest, Slowest, LastResult;
};

class TRepeatRun {
 public:
  explicit TRepeatRun(const TRepeatParams& params) : FParams(params) {}

  // One exchange done; false once the run should end.
  bool Done(int32_t result, const std::wstring& resultText, int64_t microseconds);
  bool Over() const { return FOver; }
  // Ends the run after the exchange under way ("Прервать").
  void Stop() { FOver = true; }

  int64_t Sent() const { return FSent; }
  int64_t Failed() const { return FFailed; }
  // Milliseconds with three decimals; the result as the result line shows it.
  TRepeatTexts Texts() const;

 private:
  TRepeatParams FParams;
  int64_t FSent = 0, FFailed = 0;
  int64_t FFastest = 0, FSlowest = 0;
  int32_t FLastResult = 0;
  std::wstring FLastText;
  bool FOver = false;
};
