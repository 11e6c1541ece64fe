// PloverCmd: the command test program.
#include <windows.h>

#include "ScopedCom.h"
#include "WinLocale.h"
#include "WinUi.h"
#include "fmuMain.h"
#include "untComDriver.h"
#include "untFormatSettings.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  TComInit com;
  Application().Initialize();
  Application().Title = L"Тест команд";
  // Dates and times in the grid are the user's short date and time; numbers
  // are converted with "." whatever the system says.
  FormatSettings() = SystemFormatSettings();
  // The driver raises OnCommand from its event call, which cannot carry an
  // exception back; it goes to the usual error display instead.
  SetComEventErrorHandler([](const std::exception& e) { Application().ShowException(e); });
  try {
    cmdtest::TfmMain main;
    Application().Run(main);
  } catch (const std::exception& e) {
    // The window could not be built (no driver, unreadable settings file):
    // nothing to run, and nothing is written over the settings file.
    Application().ShowException(e);
    return 1;
  }
  return 0;
}
