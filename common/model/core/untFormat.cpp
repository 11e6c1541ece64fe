#include "untFormat.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <ctime>
#include <mutex>
#include <system_error>

#include "untError.h"
#include "untText.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

constexpr int kMSecsPerDay = 86400000;
// Days between 30.12.1899 and 01.01.1970.
constexpr int kUnixDateDelta = 25569;
// 01.01.0001 and 31.12.9999.
constexpr int kMinDay = -693593;
constexpr int kMaxDay = 2958465;

const wchar_t* const kShortMonthNames[12] = {L"янв", L"фев", L"мар", L"апр", L"май", L"июн",
                                             L"июл", L"авг", L"сен", L"окт", L"ноя", L"дек"};
// Long dates name the month after the day, hence the genitive.
const wchar_t* const kLongMonthNames[12] = {L"января", L"февраля", L"марта",    L"апреля",
                                            L"мая",    L"июня",    L"июля",     L"августа",
                                            L"сентября", L"октября", L"ноября", L"декабря"};
const wchar_t* const kShortDayNames[7] = {L"Вс", L"Пн", L"Вт", L"Ср", L"Чт", L"Пт", L"Сб"};
const wchar_t* const kLongDayNames[7] = {L"воскресенье", L"понедельник", L"вторник", L"среда",
                                         L"четверг",     L"пятница",     L"суббота"};

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Proleptic Gregorian calendar to and from days since 01.01.1970.
long long DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(long long z, int& y, int& m, int& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

// Day number and milliseconds of the day; a time that rounds up to midnight
// belongs to the next day.
void SplitDateTime(TDateTime value, int& day, int& msec) {
  if (!std::isfinite(value) || value <= kMinDay - 1.0 || value >= kMaxDay + 1.0)
    throw EConvertError(L"Недопустимое значение даты и времени");
  const double whole = std::trunc(value);
  long long ms = std::llround(std::fabs(value - whole) * kMSecsPerDay);
  day = static_cast<int>(whole);
  if (ms >= kMSecsPerDay) {
    ms -= kMSecsPerDay;
    ++day;
  }
  if (day < kMinDay || day > kMaxDay) throw EConvertError(L"Недопустимое значение даты и времени");
  msec = static_cast<int>(ms);
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring_view Trim(std::wstring_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::wstring Pad2(int v) {
  std::wstring s = IntToStr(v);
  return s.size() < 2 ? L"0" + s : s;
}

std::mutex& ClockMutex() {
  static std::mutex m;
  return m;
}

TClock& ClockSlot() {
  static TClock clock;
  return clock;
}

TDateTime SystemNow() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t t = system_clock::to_time_t(now);
  std::tm lt{};
#ifdef _WIN32
  localtime_s(&lt, &t);
#else
  localtime_r(&t, &lt);
#endif
  const int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  return ComposeDateTime(EncodeDate(lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday),
                         EncodeTime(lt.tm_hour, lt.tm_min, std::min(lt.tm_sec, 59), ms));
}

// --- Reading dates and times ------------------------------------------------

bool HasNonBlank(std::wstring_view s) {
  for (wchar_t c : s)
    if (!IsBlank(c)) return true;
  return false;
}

struct TScanner {
  std::wstring_view s;
  size_t pos = 0;

  bool AtEnd() const { return pos >= s.size(); }
  void SkipBlanks() {
    while (pos < s.size() && IsBlank(s[pos])) ++pos;
  }
  bool Char(wchar_t c) {
    if (pos < s.size() && s[pos] == c) {
      ++pos;
      return true;
    }
    return false;
  }
  // At most four digits (a longer run fails), or exactly as many as a field
  // of `fixedWidth` digits takes; digitCount tells how many were read.
  bool Number(int& value, int& digitCount, int fixedWidth = 0) {
    size_t start = pos;
    value = 0;
    while (pos < s.size() && s[pos] >= L'0' && s[pos] <= L'9') {
      if (static_cast<int>(pos - start) == (fixedWidth > 0 ? fixedWidth : 4)) {
        if (fixedWidth == 0) return false;
        break;  // the next field starts here
      }
      value = value * 10 + (s[pos] - L'0');
      ++pos;
    }
    digitCount = static_cast<int>(pos - start);
    return digitCount > 0;
  }
  bool Word(std::wstring_view word) {
    if (word.empty() || s.size() - pos < word.size()) return false;
    if (!SameText(s.substr(pos, word.size()), word)) return false;
    pos += word.size();
    return true;
  }
  // Text a picture puts around its fields, read loosely: any run of blanks
  // (none too) stands for a blank of the text, blanks around it are skipped
  // and letters compare without regard to case, so "5.3.2024г." reads under
  // "d.M.yyyy 'г.'" as "5. 3. 2024" does under "d. M. yyyy". Stays put and
  // answers false when the text is not there.
  bool Literal(std::wstring_view text) {
    const size_t start = pos;
    SkipBlanks();
    for (wchar_t c : text) {
      if (IsBlank(c)) {
        SkipBlanks();
      } else if (pos < s.size() && UpperChar(s[pos]) == UpperChar(c)) {
        ++pos;
      } else {
        pos = start;
        return false;
      }
    }
    SkipBlanks();
    return true;
  }
  // What stands between two fields: the picture's own text there, or the
  // separator character of the settings with blanks around it. A picture
  // that puts only blanks there needs at least one; one that puts nothing
  // there needs nothing when `emptyJoins` (its fields have fixed widths) and
  // the separator character otherwise.
  bool Separator(std::wstring_view text, wchar_t separator, bool emptyJoins) {
    const size_t start = pos;
    if (HasNonBlank(text) && Literal(text)) return true;
    SkipBlanks();
    if (Char(separator)) {
      SkipBlanks();
      return true;
    }
    if (text.empty()) {
      pos = start;
      return emptyJoins;
    }
    if (!HasNonBlank(text) && pos > start) return true;
    pos = start;
    return false;
  }
};

// A date or time picture the way a reader needs it: its fields in picture
// order and the text around them. Texts[0] comes before the first field,
// Texts[i] between fields i - 1 and i, Texts[Count] after the last one.
struct TPictureLayout {
  wchar_t Fields[3] = {};
  int Widths[3] = {};
  int Count = 0;
  std::wstring Texts[4];
  bool MonthNames = false;  // the month is written as a name (MMM, MMMM)
};

// `letters` are the field letters to take ("dMy" for dates, "Hms" for times,
// with "h" counted as "H"). Text in quotes, other characters and whatever the
// reader cannot use (day names, era, AM/PM marks) are left to the texts.
TPictureLayout LayoutOf(std::wstring_view picture, std::wstring_view letters) {
  TPictureLayout layout;
  size_t i = 0;
  while (i < picture.size()) {
    wchar_t c = picture[i];
    size_t n = 1;
    while (i + n < picture.size() && picture[i + n] == c) ++n;
    std::wstring& text = layout.Texts[layout.Count];
    if (c == L'\'') {
      if (i + 1 < picture.size() && picture[i + 1] == L'\'') {
        text.push_back(L'\'');
        i += 2;
        continue;
      }
      size_t close = picture.find(L'\'', i + 1);
      if (close == std::wstring_view::npos) close = picture.size();
      text.append(picture.substr(i + 1, close - i - 1));
      i = close + 1;
      continue;
    }
    const wchar_t field = c == L'h' ? L'H' : c;
    const bool isField = letters.find(field) != std::wstring_view::npos && !(field == L'd' && n > 2);
    bool seen = false;
    for (int k = 0; k < layout.Count; ++k) seen = seen || layout.Fields[k] == field;
    if (isField && !seen && layout.Count < 3) {
      layout.Fields[layout.Count] = field;
      layout.Widths[layout.Count] = static_cast<int>(n);
      if (field == L'M' && n > 2) layout.MonthNames = true;
      ++layout.Count;
    } else if (std::wstring_view(L"dMyHhmstg").find(c) == std::wstring_view::npos) {
      text.append(n, c);
    }
    i += n;
  }
  return layout;
}

// The same picture without its year: the text on the inner side of the year
// goes with it, so "dd.MM.yyyy." becomes "dd.MM" + "." and "yyyy-MM-dd"
// becomes "MM-dd".
TPictureLayout WithoutYear(const TPictureLayout& full, int year) {
  TPictureLayout layout;
  layout.MonthNames = full.MonthNames;
  const int dropText = year < full.Count - 1 ? year + 1 : year;
  int text = 0;
  for (int k = 0; k <= full.Count; ++k) {
    if (k == dropText) continue;
    layout.Texts[text++] = full.Texts[k];
  }
  for (int k = 0; k < full.Count; ++k) {
    if (k == year) continue;
    layout.Fields[layout.Count] = full.Fields[k];
    layout.Widths[layout.Count] = full.Widths[k];
    ++layout.Count;
  }
  return layout;
}

bool MonthName(TScanner& sc, int& month) {
  for (const auto* names : {kLongMonthNames, kShortMonthNames})
    for (int m = 0; m < 12; ++m)
      if (sc.Word(names[m])) {
        month = m + 1;
        return true;
      }
  return false;
}

// A field the picture writes with nothing between it and the next one has a
// fixed width (0: none).
int FixedWidth(const TPictureLayout& layout, int index) {
  if (index + 1 >= layout.Count || !layout.Texts[index + 1].empty()) return 0;
  if (layout.Fields[index] == L'y') return layout.Widths[index] > 2 ? 4 : 2;
  return 2;
}

bool ScanDateAs(TScanner& sc, const TPictureLayout& layout, const TFormatSettings& fs,
                TDateTime& result) {
  sc.SkipBlanks();
  sc.Literal(layout.Texts[0]);
  int day = 0, month = 0, year = 0, yearDigits = 4;
  bool hasYear = false;
  for (int i = 0; i < layout.Count; ++i) {
    if (i > 0 && !sc.Separator(layout.Texts[i], fs.DateSeparator, true)) return false;
    int value = 0, digits = 0;
    if (layout.Fields[i] == L'M' && layout.MonthNames && MonthName(sc, value)) digits = 2;
    else if (!sc.Number(value, digits, FixedWidth(layout, i))) return false;
    switch (layout.Fields[i]) {
      case L'd': day = value; break;
      case L'M': month = value; break;
      default:
        year = value;
        yearDigits = digits;
        hasYear = true;
        break;
    }
  }
  sc.Literal(layout.Texts[layout.Count]);
  if (!hasYear) {
    int m, d;
    DecodeDate(Now(), year, m, d);
  } else if (yearDigits <= 2) {
    int cy, cm, cd;
    DecodeDate(Now(), cy, cm, cd);
    const int century = cy - fs.TwoDigitYearCenturyWindow;
    year += century / 100 * 100;
    if (fs.TwoDigitYearCenturyWindow > 0 && year < century) year += 100;
  }
  return TryEncodeDate(year, month, day, result);
}

// Reads a date the way the short date format writes it, in its field order
// and with its own text around the fields (which may also be left out); the
// settings' date separator always separates too. A date without its year is
// one of the current year.
bool ScanDate(TScanner& sc, const TFormatSettings& fs, TDateTime& result) {
  TPictureLayout layout = LayoutOf(fs.ShortDateFormat, L"dMy");
  int days = 0, months = 0, year = -1;
  for (int k = 0; k < layout.Count; ++k) {
    days += layout.Fields[k] == L'd';
    months += layout.Fields[k] == L'M';
    if (layout.Fields[k] == L'y') year = k;
  }
  if (days != 1 || months != 1) {
    // A picture without a day or a month tells nothing: day, month, year.
    layout = TPictureLayout{};
    layout.Count = 3;
    layout.Fields[0] = L'd';
    layout.Fields[1] = L'M';
    layout.Fields[2] = L'y';
    for (int& width : layout.Widths) width = 2;
    layout.Texts[1] = layout.Texts[2] = std::wstring(1, fs.DateSeparator);
    year = 2;
  }
  const size_t start = sc.pos;
  if (ScanDateAs(sc, layout, fs, result)) return true;
  if (year < 0) return false;
  sc.pos = start;
  return ScanDateAs(sc, WithoutYear(layout, year), fs, result);
}

bool ScanAmPm(TScanner& sc, const TFormatSettings& fs, int& baseHour) {
  if (sc.Word(fs.TimeAMString) || sc.Word(L"AM")) {
    baseHour = 0;
    return true;
  }
  if (sc.Word(fs.TimePMString) || sc.Word(L"PM")) {
    baseHour = 12;
    return true;
  }
  return false;
}

// Hours, then optional minutes and seconds (with an optional fraction),
// separated by the time format's own text or the settings' time separator;
// an AM/PM mark before or after.
bool ScanTime(TScanner& sc, const TFormatSettings& fs, TDateTime& result) {
  const TPictureLayout layout = LayoutOf(fs.LongTimeFormat, L"Hms");
  // The picture's texts apply where its fields come in the usual order.
  const wchar_t* const usual = L"Hms";
  int inOrder = 0;
  while (inOrder < layout.Count && layout.Fields[inOrder] == usual[inOrder]) ++inOrder;
  auto between = [&](int field) -> std::wstring_view {
    return field < inOrder ? std::wstring_view(layout.Texts[field]) : std::wstring_view();
  };

  sc.SkipBlanks();
  int baseHour = -1;
  if (ScanAmPm(sc, fs, baseHour)) sc.SkipBlanks();
  if (inOrder > 0) sc.Literal(layout.Texts[0]);
  int hour = 0, min = 0, sec = 0, msec = 0, len = 0, last = 0;
  if (!sc.Number(hour, len)) return false;
  if (sc.Separator(between(1), fs.TimeSeparator, false)) {
    if (!sc.Number(min, len)) return false;
    last = 1;
    if (sc.Separator(between(2), fs.TimeSeparator, false)) {
      if (!sc.Number(sec, len)) return false;
      last = 2;
      if (sc.Char(fs.DecimalSeparator) || sc.Char(L'.')) {
        // A fraction of a second, not a count of milliseconds.
        int frac = 0;
        if (!sc.Number(frac, len) || len > 3) return false;
        msec = frac * (len == 1 ? 100 : len == 2 ? 10 : 1);
      }
    }
  }
  // The text the picture puts after the last field read, then its end.
  if (last + 1 < inOrder) sc.Literal(layout.Texts[last + 1]);
  if (inOrder > 0) sc.Literal(layout.Texts[layout.Count]);
  sc.SkipBlanks();
  if (baseHour < 0 && ScanAmPm(sc, fs, baseHour) && inOrder > 0) sc.Literal(layout.Texts[layout.Count]);
  if (baseHour >= 0) {
    if (hour == 0 || hour > 12) return false;
    if (hour == 12) hour = 0;
    hour += baseHour;
  }
  return TryEncodeTime(hour, min, sec, msec, result);
}

EConvertError ConvertError(const wchar_t* fmt, std::wstring_view text) {
  return EConvertError(Format(fmt, std::wstring(text).c_str()));
}

// --- Reading numbers -----------------------------------------------------------

// Sign, digits around at most one separator, an optional exponent: the only
// forms accepted, so that from_chars never sees "inf", "nan" or hex floats.
bool ParseFloat(std::wstring_view text, wchar_t decimalSeparator, double& value) {
  text = Trim(text);
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  int intDigits = 0, fracDigits = 0, firstNonZero = -1, digitIndex = 0;
  std::string digits;
  while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
    if (firstNonZero < 0 && text[i] != L'0') firstNonZero = digitIndex;
    digits.push_back(static_cast<char>(text[i++]));
    ++intDigits;
    ++digitIndex;
  }
  std::string fraction;
  if (i < text.size() && text[i] == decimalSeparator) {
    ++i;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
      if (firstNonZero < 0 && text[i] != L'0') firstNonZero = digitIndex;
      fraction.push_back(static_cast<char>(text[i++]));
      ++fracDigits;
      ++digitIndex;
    }
  }
  if (intDigits + fracDigits == 0) return false;
  long long exponent = 0;
  if (i < text.size() && (text[i] == L'e' || text[i] == L'E')) {
    ++i;
    bool expNegative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) expNegative = text[i++] == L'-';
    if (i >= text.size() || text[i] < L'0' || text[i] > L'9') return false;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
      if (exponent < 100000) exponent = exponent * 10 + (text[i] - L'0');
      ++i;
    }
    if (expNegative) exponent = -exponent;
  }
  if (i != text.size()) return false;
  if (firstNonZero < 0) {
    value = negative ? -0.0 : 0.0;
    return true;
  }
  std::string ascii = digits.empty() ? std::string("0") : digits;
  if (!fraction.empty()) {
    ascii += '.';
    ascii += fraction;
  }
  ascii += 'e';
  ascii += std::to_string(exponent);
  double v = 0;
  auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), v);
  if (ec == std::errc::result_out_of_range) {
    // Tiny values read as zero; huge ones do not fit.
    const long long magnitude = intDigits - firstNonZero - 1 + exponent;
    if (magnitude >= 0) return false;
    v = 0;
  } else if (ec != std::errc() || end != ascii.data() + ascii.size()) {
    return false;
  }
  value = negative ? -v : v;
  return true;
}

}  // namespace

TFormatSettings& FormatSettings() {
  static TFormatSettings settings;
  return settings;
}

TFormatSettings SystemFormatSettings() {
  TFormatSettings fs;
#ifdef _WIN32
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
#endif
  return fs;
}

TClock SetClock(TClock clock) {
  std::lock_guard<std::mutex> lock(ClockMutex());
  TClock old = std::move(ClockSlot());
  ClockSlot() = std::move(clock);
  return old;
}

TDateTime Now() {
  TClock clock;
  {
    std::lock_guard<std::mutex> lock(ClockMutex());
    clock = ClockSlot();
  }
  return clock ? clock() : SystemNow();
}

TDateTime Date() {
  int day, msec;
  SplitDateTime(Now(), day, msec);
  return day;
}

TDateTime Time() {
  int day, msec;
  SplitDateTime(Now(), day, msec);
  return static_cast<double>(msec) / kMSecsPerDay;
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month))
    return false;
  result = static_cast<double>(DaysFromCivil(year, month, day) + kUnixDateDelta);
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime result;
  if (!TryEncodeDate(year, month, day, result))
    throw EConvertError(L"Недопустимый аргумент для кодирования даты");
  return result;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
  int days, msec;
  SplitDateTime(value, days, msec);
  CivilFromDays(static_cast<long long>(days) - kUnixDateDelta, year, month, day);
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& result) {
  if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 ||
      msec > 999)
    return false;
  result = static_cast<double>(((hour * 60 + min) * 60 + sec) * 1000 + msec) / kMSecsPerDay;
  return true;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
  TDateTime result;
  if (!TryEncodeTime(hour, min, sec, msec, result))
    throw EConvertError(L"Недопустимый аргумент для кодирования времени");
  return result;
}

void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec) {
  int days, ms;
  SplitDateTime(value, days, ms);
  hour = ms / 3600000;
  min = ms / 60000 % 60;
  sec = ms / 1000 % 60;
  msec = ms % 1000;
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time) {
  const double t = std::fabs(time - std::trunc(time));
  return date < 0 ? date - t : date + t;
}

std::wstring FloatToStr(double value, wchar_t decimalSeparator) {
  if (std::isnan(value)) return L"NAN";
  if (std::isinf(value)) return value < 0 ? L"-INF" : L"INF";
  if (value == 0) return L"0";
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  std::string text(buf, end);  // [-]d.dddddddddddddde[+-]xx
  std::wstring out;
  size_t i = 0;
  if (text[i] == '-') {
    out.push_back(L'-');
    ++i;
  }
  std::string digits;
  size_t ePos = text.find('e');
  for (size_t k = i; k < ePos; ++k)
    if (text[k] != '.') digits.push_back(text[k]);
  int exponent = std::stoi(text.substr(ePos + 1));
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  auto put = [&out](const std::string& s) {
    for (char c : s) out.push_back(static_cast<wchar_t>(c));
  };
  if (exponent >= 15 || exponent < -4) {
    out.push_back(static_cast<wchar_t>(digits[0]));
    if (digits.size() > 1) {
      out.push_back(decimalSeparator);
      put(digits.substr(1));
    }
    out.push_back(L'E');
    out += IntToStr(exponent);
  } else if (exponent >= 0) {
    const size_t intLen = static_cast<size_t>(exponent) + 1;
    if (digits.size() <= intLen) {
      put(digits);
      out.append(intLen - digits.size(), L'0');
    } else {
      put(digits.substr(0, intLen));
      out.push_back(decimalSeparator);
      put(digits.substr(intLen));
    }
  } else {
    out.push_back(L'0');
    out.push_back(decimalSeparator);
    out.append(static_cast<size_t>(-exponent - 1), L'0');
    put(digits);
  }
  return out;
}

std::wstring FloatToStr(double value) { return FloatToStr(value, FormatSettings().DecimalSeparator); }

bool TryStrToFloat(std::wstring_view text, wchar_t decimalSeparator, double& value) {
  return ParseFloat(text, decimalSeparator, value);
}

double StrToFloat(std::wstring_view text, wchar_t decimalSeparator) {
  double value;
  if (!ParseFloat(text, decimalSeparator, value))
    throw ConvertError(L"\"%ls\" не является правильным числом с плавающей точкой", text);
  return value;
}

double StrToFloat(std::wstring_view text) {
  return StrToFloat(text, FormatSettings().DecimalSeparator);
}

std::wstring FormatDateTime(std::wstring_view picture, TDateTime value,
                            const TFormatSettings& settings) {
  int days, ms;
  SplitDateTime(value, days, ms);
  int year, month, day;
  CivilFromDays(static_cast<long long>(days) - kUnixDateDelta, year, month, day);
  const int hour = ms / 3600000, min = ms / 60000 % 60, sec = ms / 1000 % 60;
  // 01.01.1970 was a Thursday.
  const int weekDay = static_cast<int>(((static_cast<long long>(days) - kUnixDateDelta) % 7 + 11) % 7);

  std::wstring out;
  size_t i = 0;
  while (i < picture.size()) {
    const wchar_t c = picture[i];
    size_t n = 1;
    while (i + n < picture.size() && picture[i + n] == c) ++n;
    switch (c) {
      case L'\'': {
        // Quoted text; two quotes in a row stand for one.
        if (i + 1 < picture.size() && picture[i + 1] == L'\'') {
          out.push_back(L'\'');
          i += 2;
          continue;
        }
        size_t close = picture.find(L'\'', i + 1);
        if (close == std::wstring_view::npos) close = picture.size();
        out.append(picture.substr(i + 1, close - i - 1));
        i = close + 1;
        continue;
      }
      case L'd':
        out += n == 1 ? IntToStr(day) : n == 2 ? Pad2(day) : n == 3 ? kShortDayNames[weekDay]
                                                                    : kLongDayNames[weekDay];
        break;
      case L'M':
        out += n == 1 ? IntToStr(month) : n == 2 ? Pad2(month) : n == 3 ? kShortMonthNames[month - 1]
                                                                        : kLongMonthNames[month - 1];
        break;
      case L'y':
        if (n == 1) out += IntToStr(year % 100);
        else if (n == 2) out += Pad2(year % 100);
        else {
          std::wstring y = IntToStr(year);
          if (y.size() < 4) y.insert(0, 4 - y.size(), L'0');
          out += y;
        }
        break;
      case L'g':
        break;  // eras do not apply to the Gregorian calendar
      case L'H':
        out += n == 1 ? IntToStr(hour) : Pad2(hour);
        break;
      case L'h': {
        const int h12 = hour % 12 == 0 ? 12 : hour % 12;
        out += n == 1 ? IntToStr(h12) : Pad2(h12);
        break;
      }
      case L'm':
        out += n == 1 ? IntToStr(min) : Pad2(min);
        break;
      case L's':
        out += n == 1 ? IntToStr(sec) : Pad2(sec);
        break;
      case L't': {
        const std::wstring& mark = hour < 12 ? settings.TimeAMString : settings.TimePMString;
        out += n == 1 ? mark.substr(0, 1) : mark;
        break;
      }
      default:
        out.append(n, c);
        break;
    }
    i += n;
  }
  return out;
}

std::wstring DateToStr(TDateTime value, const TFormatSettings& settings) {
  return FormatDateTime(settings.ShortDateFormat, value, settings);
}
std::wstring DateToStr(TDateTime value) { return DateToStr(value, FormatSettings()); }

std::wstring TimeToStr(TDateTime value, const TFormatSettings& settings) {
  return FormatDateTime(settings.LongTimeFormat, value, settings);
}
std::wstring TimeToStr(TDateTime value) { return TimeToStr(value, FormatSettings()); }

std::wstring DateTimeToStr(TDateTime value, const TFormatSettings& settings) {
  int days, ms;
  SplitDateTime(value, days, ms);
  std::wstring text = DateToStr(value, settings);
  if (ms != 0) text += L" " + TimeToStr(value, settings);
  return text;
}
std::wstring DateTimeToStr(TDateTime value) { return DateTimeToStr(value, FormatSettings()); }

bool TryStrToDate(std::wstring_view text, const TFormatSettings& settings, TDateTime& value) {
  TScanner sc{text};
  TDateTime date;
  if (!ScanDate(sc, settings, date)) return false;
  sc.SkipBlanks();
  if (!sc.AtEnd()) return false;
  value = date;
  return true;
}

TDateTime StrToDate(std::wstring_view text, const TFormatSettings& settings) {
  TDateTime value;
  if (!TryStrToDate(text, settings, value))
    throw ConvertError(L"\"%ls\" не является правильной датой", text);
  return value;
}
TDateTime StrToDate(std::wstring_view text) { return StrToDate(text, FormatSettings()); }

bool TryStrToTime(std::wstring_view text, const TFormatSettings& settings, TDateTime& value) {
  TScanner sc{text};
  TDateTime time;
  if (!ScanTime(sc, settings, time)) return false;
  sc.SkipBlanks();
  if (!sc.AtEnd()) return false;
  value = time;
  return true;
}

TDateTime StrToTime(std::wstring_view text, const TFormatSettings& settings) {
  TDateTime value;
  if (!TryStrToTime(text, settings, value))
    throw ConvertError(L"\"%ls\" не является правильным временем", text);
  return value;
}
TDateTime StrToTime(std::wstring_view text) { return StrToTime(text, FormatSettings()); }

bool TryStrToDateTime(std::wstring_view text, const TFormatSettings& settings, TDateTime& value) {
  TScanner sc{text};
  TDateTime date, time = 0;
  if (!ScanDate(sc, settings, date)) return TryStrToTime(text, settings, value);
  sc.SkipBlanks();
  if (!sc.AtEnd()) {
    if (!ScanTime(sc, settings, time)) return false;
    sc.SkipBlanks();
    if (!sc.AtEnd()) return false;
  }
  value = ComposeDateTime(date, time);
  return true;
}

TDateTime StrToDateTime(std::wstring_view text, const TFormatSettings& settings) {
  TDateTime value;
  if (!TryStrToDateTime(text, settings, value))
    throw ConvertError(L"\"%ls\" не является правильной датой и временем", text);
  return value;
}
