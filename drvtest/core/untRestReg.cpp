#include "untRestReg.h"

#include "untFile.h"

#include <cerrno>
#include <climits>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "untError.h"
#include "untInteger.h"
#include "untScope.h"
#include "untText.h"

namespace {

constexpr size_t kFixedNumberWidth = 4;
constexpr size_t kFixedValueStart = 6;

// Around a value read back from a line every control character counts as a
// blank, not only the spaces and tabs the number readers skip.
bool IsSpaceOrControl(wchar_t c) { return c <= L' '; }

std::wstring_view TrimSpaceAndControls(std::wstring_view s) {
  while (!s.empty() && IsSpaceOrControl(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpaceOrControl(s.back())) s.remove_suffix(1);
  return s;
}

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

[[noreturn]] void NotANumber(std::wstring_view text) {
  throw EConvertError(Format(L"\"%ls\" не является правильным числом с плавающей точкой", std::wstring(text).c_str()));
}

// The number and value texts of a line (see the header for the rule).
void SplitRestLine(std::wstring_view line, std::wstring_view& number, std::wstring_view& value) {
  const size_t sep = line.find(L": ");
  if (sep != std::wstring_view::npos && sep >= kFixedNumberWidth) {
    number = line.substr(0, sep);
    value = line.substr(sep + 2);
    return;
  }
  number = line.substr(0, kFixedNumberWidth);
  value = line.size() > kFixedValueStart ? line.substr(kFixedValueStart) : std::wstring_view();
}

}  // namespace

// ---------------------------------------------------------------- lines

std::wstring RestValueText(int32_t thousandths) {
  const bool negative = thousandths < 0;
  const int64_t magnitude = negative ? -static_cast<int64_t>(thousandths) : thousandths;
  std::wstring text = negative ? L"-" : L"";
  text += IntToStr(magnitude / 1000);
  int64_t fraction = magnitude % 1000;
  if (fraction != 0) {
    wchar_t digits[4] = {static_cast<wchar_t>(L'0' + fraction / 100), static_cast<wchar_t>(L'0' + fraction / 10 % 10),
                         static_cast<wchar_t>(L'0' + fraction % 10), 0};
    size_t n = 3;
    while (digits[n - 1] == L'0') --n;
    text += L'.';
    text.append(digits, n);
  }
  return text;
}

std::wstring RestRegisterLine(int32_t number, int32_t thousandths) {
  return Format(L"%.4d: %ls", number, RestValueText(thousandths).c_str());
}

int32_t RestValueFromText(std::wstring_view text) {
  const std::wstring_view s = TrimSpaceAndControls(text);
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) negative = s[i++] == L'-';
  // All digits of the mantissa, and how many of them stand before the point.
  std::wstring digits;
  int64_t pointAt = 0;
  while (i < s.size() && IsDigit(s[i])) digits += s[i++];
  pointAt = static_cast<int64_t>(digits.size());
  if (i < s.size() && s[i] == L'.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) digits += s[i++];
  }
  if (digits.empty()) NotANumber(text);
  if (i < s.size() && (s[i] == L'e' || s[i] == L'E')) {
    ++i;
    bool expNegative = false;
    if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) expNegative = s[i++] == L'-';
    if (i == s.size() || !IsDigit(s[i])) NotANumber(text);
    int64_t exponent = 0;
    // Beyond a million places the answer is 0 or out of range either way.
    for (; i < s.size() && IsDigit(s[i]); ++i)
      if (exponent < 1000000) exponent = exponent * 10 + (s[i] - L'0');
    pointAt += expNegative ? -exponent : exponent;
  }
  if (i != s.size()) NotANumber(text);

  // Thousandths: the point moved three places, the digits after it dropped.
  pointAt += 3;
  size_t first = 0;
  while (first < digits.size() && digits[first] == L'0') {
    ++first;
    --pointAt;
  }
  if (first == digits.size() || pointAt <= 0) return 0;
  // A leading digit that is not 0 and more than ten places: beyond 32 bits.
  if (pointAt > 10) throw EConvertError(Format(L"Значение \"%ls\" вне допустимого диапазона", std::wstring(text).c_str()));
  int64_t magnitude = 0;
  for (int64_t k = 0; k < pointAt; ++k) {
    const size_t at = first + static_cast<size_t>(k);
    magnitude = magnitude * 10 + (at < digits.size() ? digits[at] - L'0' : 0);
  }
  if (magnitude > (negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX))
    throw EConvertError(Format(L"Значение \"%ls\" вне допустимого диапазона", std::wstring(text).c_str()));
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

TRestRegister ParseRestRegisterLine(std::wstring_view line) {
  std::wstring_view number, value;
  SplitRestLine(line, number, value);
  const int32_t n = ParseInt32(number, irDecimal);
  return {n, RestValueFromText(value)};
}

TRestRange RestReadRange(bool all, std::wstring_view startText, std::wstring_view endText) {
  if (all) return {};
  TRestRange range;
  range.All = false;
  range.First = ParseInt32(startText, irDecimal);
  range.Last = ParseInt32(endText, irDecimal);
  return range;
}

// ---------------------------------------------------------------- loops

int ReadRestRegisters(TDriver& d, const TRestRange& range, const TRestLoopHooks& hooks, bool& stopRequested,
                      const TLinesSink& add) {
  stopRequested = false;
  std::vector<std::wstring> batch;
  auto flush = [&] {
    if (batch.empty()) return;
    if (add) add(batch);
    batch.clear();
  };
  TTickPacer pacer(hooks.Ticks);
  int steps = 0;
  int64_t n = range.First;
  {
    // The lines read before an error stay in the list.
    TOnExit flushed(flush);
    for (;;) {
      d.set_RegisterNumber(static_cast<int32_t>(n));
      if (d.GetRestRegister() != 0) break;
      batch.push_back(RestRegisterLine(static_cast<int32_t>(n), d.get_RestRegister()));
      ++n;
      ++steps;
      if (pacer.Due()) {
        flush();
        if (hooks.Progress) hooks.Progress(steps, n);
        if (hooks.ProcessEvents) hooks.ProcessEvents();
      }
      if (!range.All && n > range.Last) break;
      if (stopRequested || n > INT32_MAX) break;
    }
  }
  if (hooks.Progress) hooks.Progress(steps, n);
  return steps;
}

int WriteRestRegisters(TDriver& d, int lineCount, const TLineSource& lineAt, const TRestLoopHooks& hooks,
                       bool& stopRequested) {
  stopRequested = false;
  TTickPacer pacer(hooks.Ticks);
  int written = 0;
  for (int i = 0; i < lineCount; ++i) {
    const std::optional<std::wstring> line = lineAt(i);
    if (!line) throw Exception(Format(L"Строка %d удалена из списка во время записи", i + 1));
    std::wstring_view number, value;
    SplitRestLine(*line, number, value);
    d.set_RegisterNumber(ParseInt32(number, irDecimal));
    d.set_RestRegister(RestValueFromText(value));
    if (d.WriteRestRegister() != 0) break;
    ++written;
    if (pacer.Due()) {
      if (hooks.Progress) hooks.Progress(written, written);
      if (hooks.ProcessEvents) hooks.ProcessEvents();
    }
    if (stopRequested) break;
  }
  if (hooks.Progress) hooks.Progress(written, written);
  return written;
}

int ProgressPosition(int steps, int max) {
  if (steps <= 0 || max <= 0) return 0;
  return steps % (max + 1);
}

// ---------------------------------------------------------------- text and files

std::vector<std::wstring> SplitLines(std::wstring_view text) {
  std::vector<std::wstring> lines;
  size_t i = 0;
  while (i < text.size()) {
    size_t j = i;
    while (j < text.size() && text[j] != L'\r' && text[j] != L'\n') ++j;
    lines.emplace_back(text.substr(i, j - i));
    if (j < text.size() && text[j] == L'\r' && j + 1 < text.size() && text[j + 1] == L'\n') ++j;
    i = j + 1;
  }
  return lines;
}

std::wstring JoinLines(const std::vector<std::wstring>& lines) {
  size_t size = 0;
  for (const auto& line : lines) size += line.size() + 2;
  std::wstring text;
  text.reserve(size);
  for (const auto& line : lines) {
    text += line;
    text += L"\r\n";
  }
  return text;
}

void SaveRestRegisterFile(const std::wstring& fileName, const std::vector<std::wstring>& lines) {
  // A line that holds a line break is written as the lines it shows, so the
  // file reads back as the list looked and no text can add a line of its own.
  WriteWholeFile(fileName, WideToAnsi(JoinLines(SplitLines(JoinLines(lines)))));
}

std::vector<std::wstring> LoadRestRegisterFile(const std::wstring& fileName) {
  return SplitLines(AnsiToWide(ReadWholeFile(fileName)));
}
