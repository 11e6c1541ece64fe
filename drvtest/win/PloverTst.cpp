// PloverTst, the driver test program.
#include <windows.h>

#include "ScopedCom.h"
#include "WinLocale.h"
#include "WinUi.h"
#include "fmuMain.h"
#include "untComDriver.h"
#include "untFormatSettings.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // The user's date and time formats, but numbers always with a point.
  FormatSettings() = SystemFormatSettings();
  FormatSettings().DecimalSeparator = L'.';
  TComInit com(COINIT_APARTMENTTHREADED);
  Application().Initialize();
  Application().Title = L"Тест драйвера ККМ";
  SetComEventErrorHandler([](const std::exception& e) { Application().ShowException(e); });
  try {
    TfmMain fmMain;
    Application().Run(fmMain);
  } catch (const std::exception& e) {
    Application().ShowException(e);
    return 1;
  }
  return 0;
}
