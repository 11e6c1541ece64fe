#include "untAppParams.h"

#include "BigIni.h"
#include "untInteger.h"
#include "untText.h"

const wchar_t* const kAppParamsSection = L"Параметры";

void TAppParams::SetDefaults() {
  Timeout = 1000;
  SendAnswer = true;
  WaitAnswer = false;
  Repeat = {};
}

void TAppParams::LoadFromIni(TBigIniFile& ini) {
  Timeout = static_cast<uint32_t>(ini.ReadInteger(kAppParamsSection, L"Timeout", 1000));
  SendAnswer = ini.ReadBool(kAppParamsSection, L"SendAnswer", true);
  WaitAnswer = ini.ReadBool(kAppParamsSection, L"WaitAnswer", false);
  const TRepeatParams defaults;
  Repeat.Count = static_cast<uint32_t>(ini.ReadInteger(kAppParamsSection, L"RepeatCount", static_cast<int32_t>(defaults.Count)));
  Repeat.Interval =
      static_cast<uint32_t>(ini.ReadInteger(kAppParamsSection, L"RepeatInterval", static_cast<int32_t>(defaults.Interval)));
  Repeat.StopOnError = ini.ReadBool(kAppParamsSection, L"RepeatStopOnError", defaults.StopOnError);
}

void TAppParams::SaveToIni(TBigIniFile& ini) const {
  // The file keeps the signed text, which is what the reader parses back to
  // the same bit pattern.
  ini.WriteInteger(kAppParamsSection, L"Timeout", static_cast<int32_t>(Timeout));
  ini.WriteBool(kAppParamsSection, L"SendAnswer", SendAnswer);
  ini.WriteBool(kAppParamsSection, L"WaitAnswer", WaitAnswer);
  const TRepeatParams defaults;
  if (Repeat.Count != defaults.Count) ini.WriteInteger(kAppParamsSection, L"RepeatCount", static_cast<int32_t>(Repeat.Count));
  if (Repeat.Interval != defaults.Interval)
    ini.WriteInteger(kAppParamsSection, L"RepeatInterval", static_cast<int32_t>(Repeat.Interval));
  if (Repeat.StopOnError != defaults.StopOnError) ini.WriteBool(kAppParamsSection, L"RepeatStopOnError", Repeat.StopOnError);
}

std::wstring TimeoutToText(uint32_t timeout) { return IntToStr(timeout); }

uint32_t TimeoutFromText(std::wstring_view text) { return static_cast<uint32_t>(ParseInt32(text, irIniInteger)); }
