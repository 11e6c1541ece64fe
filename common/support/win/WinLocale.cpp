#include "WinLocale.h"

#include <windows.h>

TFormatSettings SystemFormatSettings() {
  TFormatSettings fs;
  auto info = [](LCTYPE type) {
    wchar_t buf[128] = {};
    int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buf, 128);
    return n > 1 ? std::wstring(buf, static_cast<size_t>(n - 1)) : std::wstring();
  };
  auto first = [](const std::wstring& s, wchar_t def) { return s.empty() ? def : s[0]; };
  fs.DecimalSeparator = first(info(LOCALE_SDECIMAL), fs.DecimalSeparator);
  fs.DateSeparator = first(info(LOCALE_SDATE), fs.DateSeparator);
  fs.TimeSeparator = first(info(LOCALE_STIME), fs.TimeSeparator);
  if (auto s = info(LOCALE_SSHORTDATE); !s.empty()) fs.ShortDateFormat = s;
  if (auto s = info(LOCALE_STIMEFORMAT); !s.empty()) fs.LongTimeFormat = s;
  fs.TimeAMString = info(LOCALE_S1159);
  fs.TimePMString = info(LOCALE_S2359);
  return fs;
}
