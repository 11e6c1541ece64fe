#pragma once
// The command test program's own settings: how long a send waits, whether it
// waits for the answer, and whether requests from the network are answered.
#include <cstdint>
#include <string>
#include <string_view>

class TBigIniFile;

// How "Повторить..." repeats the selected command.
struct TRepeatParams {
  uint32_t Count = 10;       // exchanges; 0: until stopped
  uint32_t Interval = 1000;  // ms from the start of one exchange to the next
  bool StopOnError = false;  // end at the first non-zero result
  bool operator==(const TRepeatParams&) const = default;
};

class TAppParams {
 public:
  uint32_t Timeout = 1000;  // ms, handed to the driver before every send
  bool SendAnswer = true;   // answer received requests with the typed outputs
  bool WaitAnswer = false;  // a send waits for the answer and reads it back
  TRepeatParams Repeat;

  TAppParams() { SetDefaults(); }

  void SetDefaults();
  // Section "Параметры"; a missing, empty or malformed value keeps the
  // default. The repeat's keys are written only when they differ from their
  // defaults: a file saved without using them is what earlier versions wrote.
  void LoadFromIni(TBigIniFile& ini);
  void SaveToIni(TBigIniFile& ini) const;

  // Edits the settings in their dialog; true when confirmed with OK. Lives
  // with the dialog, so only the Windows program has it.
  bool ShowDialog();
};

// The settings' section in the settings file, beside one section per command.
extern const wchar_t* const kAppParamsSection;

// The time-out as the dialog shows it: unsigned decimal.
std::wstring TimeoutToText(uint32_t timeout);
// The time-out as the dialog reads it: a signed 32-bit integer (decimal, or
// hexadecimal after "$") kept as its bit pattern, so "-1" is 4294967295.
// EConvertError for any other text.
uint32_t TimeoutFromText(std::wstring_view text);
