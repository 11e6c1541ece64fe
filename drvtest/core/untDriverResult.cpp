#include "untDriverResult.h"

#include "untText.h"

void RaiseCustomError(int32_t code, const std::wstring& text) { throw ECustomError(code, text); }

void CheckDriverResult(TDriver& driver, int32_t resultCode) {
  if (resultCode == 0) return;
  RaiseCustomError(resultCode, DriverText(driver.get_ResultCodeDescription()));
}

std::wstring DriverText(const std::wstring& value) { return AnsiToWide(WideToAnsi(value)); }
