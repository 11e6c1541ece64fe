#include "untRepeat.h"

#include "untExchangeLog.h"
#include "untText.h"

bool TRepeatRun::Done(int32_t result, const std::wstring& resultText, int64_t microseconds) {
  if (FSent == 0 || microseconds < FFastest) FFastest = microseconds;
  if (FSent == 0 || microseconds > FSlowest) FSlowest = microseconds;
  ++FSent;
  if (result != 0) ++FFailed;
  FLastResult = result;
  FLastText = resultText;
  if ((result != 0 && FParams.StopOnError) || (FParams.Count != 0 && FSent >= FParams.Count)) FOver = true;
  return !FOver;
}

TRepeatTexts TRepeatRun::Texts() const {
  if (FSent == 0) return {L"0", L"0", L"", L"", L""};
  return {IntToStr(FSent), IntToStr(FFailed), MillisecondsText(FFastest), MillisecondsText(FSlowest),
          Format(L"(%d) %ls", FLastResult, FLastText.c_str())};
}
