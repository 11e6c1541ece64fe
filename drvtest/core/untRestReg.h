#pragma once
// Rest registers as the "Регистры остатков" page keeps them: one line per
// register, "%.4d: %s" of its number and its value in thousandths written
// exactly ("0001: 12.345"), read from the device, written back, saved to and
// loaded from a text file.
//
// Reading a line back:
//   - The number is the text before the first ": " when at least four
//     characters precede it, so registers from 10000 up ("10000: 1.5") read
//     back as the number written; otherwise it is characters 1 to 4, and the
//     value starts at character 7.
//   - The value is a decimal number with "." (blanks around it allowed, an
//     exponent too); its thousandths are taken exactly and any finer fraction
//     is dropped toward zero: "1.2345" is 1234, "-0.0015" is -1.
//   - Anything else after the number ("7 кг", an empty value) is no number:
//     EConvertError naming the text, as is a value beyond the register's
//     32 bits ("3000000" would be 3000000000 thousandths).
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Driver.h"
#include "untLoopHooks.h"

// The value of a register holding `thousandths`: 12345 → "12.345",
// 2000 → "2", 5 → "0.005", -1500 → "-1.5".
std::wstring RestValueText(int32_t thousandths);
std::wstring RestRegisterLine(int32_t number, int32_t thousandths);

// The value text read back in thousandths; EConvertError when it is none.
int32_t RestValueFromText(std::wstring_view text);

struct TRestRegister {
  int32_t Number;
  int32_t Value;  // thousandths
};
// EConvertError when the number or the value is not one.
TRestRegister ParseRestRegisterLine(std::wstring_view line);

// The registers to read: from First on, up to Last unless All.
struct TRestRange {
  bool All = true;
  int32_t First = 0;
  int32_t Last = 0;
};
// "все": from 0 until the driver refuses. Otherwise both texts are decimal
// integers, converted before anything else (EConvertError naming the text).
TRestRange RestReadRange(bool all, std::wstring_view startText, std::wstring_view endText);

struct TRestLoopHooks : TLoopHooks {
  // Registers done so far (the progress bar's steps) and the counter the
  // page shows: the next register number when reading, the lines written so
  // far when writing. Called once a tick, and once more at the end.
  std::function<void(int steps, int64_t counter)> Progress;
};

// Lines for the list, handed over in batches (once a tick and at the end,
// also when the loop ends with an error), so the page appends many lines in
// one go.
using TLinesSink = std::function<void(const std::vector<std::wstring>& lines)>;

// GetRestRegister from range.First upwards, a line per register read, until
// the driver refuses (silently), the range ends (tested after each register,
// so a range 5..3 reads 5 once) or a stop is requested. Resets stopRequested
// first. Returns the number of lines added.
int ReadRestRegisters(TDriver& driver, const TRestRange& range, const TRestLoopHooks& hooks,
                      bool& stopRequested, const TLinesSink& add);

// The line at a position of the page's list as it is now; none when the list
// has become shorter. The list changes only while events run.
using TLineSource = std::function<std::optional<std::wstring>(int index)>;

// WriteRestRegister for lines 0 .. lineCount-1 (the count taken when the
// write starts). Ends silently at the first refusal, after the register under
// way when a stop is requested, and with an error at a line that is not a
// register line (EConvertError) or that has vanished from the list meanwhile
// (Exception naming the line); the registers before it stay written. Resets
// stopRequested first. Returns the number of registers written.
int WriteRestRegisters(TDriver& driver, int lineCount, const TLineSource& lineAt, const TRestLoopHooks& hooks,
                       bool& stopRequested);

// The list as a file: each line ended by CR LF, in the system's ANSI code
// page. Saving replaces the old file whole or not at all: the text goes to a
// temporary file beside it, which then takes the old file's place.
// EInOutError with the platform's error text when a file cannot be written
// or read.
void SaveRestRegisterFile(const std::wstring& fileName, const std::vector<std::wstring>& lines);
// The file's lines (CR LF, LF or CR end a line; the last line needs none).
// The caller's list is untouched until the whole file has been read.
std::vector<std::wstring> LoadRestRegisterFile(const std::wstring& fileName);

// The lines of a text list the way an edit control holds them: a line end
// after the last line adds no empty line.
std::vector<std::wstring> SplitLines(std::wstring_view text);
// Every line followed by CR LF: the file's text, and the text to give an edit
// control so that SplitLines reads the same lines back (a last empty line too).
std::wstring JoinLines(const std::vector<std::wstring>& lines);

// Position of a progress bar from 0 to `max` after `steps` steps of one from
// 0, starting over from 0 each time it passes the maximum.
int ProgressPosition(int steps, int max);
