#include "untAppParams.h"

#include "BigIni.h"
#include "untInteger.h"
#include "untText.h"

const wchar_t* const kAppParamsSection = L"Параметры";

void TAppParams::SetDefaults() {
  Timeout = 1000;
  SendAnswer = true;
  WaitAnswer = false;
}

void TAppParams::LoadFromIni(TBigIniFile& ini) {
  Timeout = static_cast<uint32_t>(ini.ReadInteger(kAppParamsSection, L"Timeout", 1000));
  SendAnswer = ini.ReadBool(kAppParamsSection, L"SendAnswer", true);
  WaitAnswer = ini.ReadBool(kAppParamsSection, L"WaitAnswer", false);
}

void TAppParams::SaveToIni(TBigIniFile& ini) const {
  // The file keeps the signed text, which is what the reader parses back to
  // the same bit pattern.
  ini.WriteInteger(kAppParamsSection, L"Timeout", static_cast<int32_t>(Timeout));
  ini.WriteBool(kAppParamsSection, L"SendAnswer", SendAnswer);
  ini.WriteBool(kAppParamsSection, L"WaitAnswer", WaitAnswer);
}

std::wstring TimeoutToText(uint32_t timeout) { return IntToStr(timeout); }

uint32_t TimeoutFromText(std::wstring_view text) { return static_cast<uint32_t>(ParseInt32(text, irIniInteger)); }
