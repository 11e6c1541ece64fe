#include "untDateText.h"

#include "untError.h"
#include "untText.h"

namespace {

const wchar_t* const kShortMonthNames[12] = {L"янв", L"фев", L"мар", L"апр", L"май", L"июн",
                                             L"июл", L"авг", L"сен", L"окт", L"ноя", L"дек"};
// Long dates name the month after the day, hence the genitive.
const wchar_t* const kLongMonthNames[12] = {L"января", L"февраля", L"марта",    L"апреля",
                                            L"мая",    L"июня",    L"июля",     L"августа",
                                            L"сентября", L"октября", L"ноября", L"декабря"};
const wchar_t* const kShortDayNames[7] = {L"Вс", L"Пн", L"Вт", L"Ср", L"Чт", L"Пт", L"Сб"};
const wchar_t* const kLongDayNames[7] = {L"воскресенье", L"понедельник", L"вторник", L"среда",
                                         L"четверг",     L"пятница",     L"суббота"};

// The quoted text that starts at picture[i], appended to `out`; two quotes in
// a row stand for one. Returns where the picture goes on.
size_t CopyQuoted(std::wstring_view picture, size_t i, std::wstring& out) {
  if (i + 1 < picture.size() && picture[i + 1] == L'\'') {
    out.push_back(L'\'');
    return i + 2;
  }
  size_t close = picture.find(L'\'', i + 1);
  if (close == std::wstring_view::npos) close = picture.size();
  out.append(picture.substr(i + 1, close - i - 1));
  return close + 1;
}

std::wstring Pad2(int v) {
  std::wstring s = IntToStr(v);
  return s.size() < 2 ? L"0" + s : s;
}

// --- Reading dates and times ------------------------------------------------

bool HasNonBlank(std::wstring_view s) { return !TrimBlanks(s).empty(); }

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
      i = CopyQuoted(picture, i, text);
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

// The whole text read by one scanner; blanks may follow.
bool ScanWhole(std::wstring_view text, const TFormatSettings& fs,
               bool (*scan)(TScanner&, const TFormatSettings&, TDateTime&), TDateTime& value) {
  TScanner sc{text};
  TDateTime read;
  if (!scan(sc, fs, read)) return false;
  sc.SkipBlanks();
  if (!sc.AtEnd()) return false;
  value = read;
  return true;
}

// The value, or EConvertError with the text put into `message`.
TDateTime ReadOrRaise(bool (*tryRead)(std::wstring_view, const TFormatSettings&, TDateTime&),
                      std::wstring_view text, const TFormatSettings& fs, const wchar_t* message) {
  TDateTime value;
  if (!tryRead(text, fs, value)) throw EConvertError(Format(message, std::wstring(text).c_str()));
  return value;
}

}  // namespace

std::wstring FormatDateTime(std::wstring_view picture, TDateTime value,
                            const TFormatSettings& settings) {
  int days, ms;
  SplitDateTime(value, days, ms);
  int year, month, day;
  DecodeDate(days, year, month, day);
  const int hour = ms / 3600000, min = ms / 60000 % 60, sec = ms / 1000 % 60;
  // Sunday is 0; day 0, 30.12.1899, was a Saturday.
  const int weekDay = (days % 7 + 13) % 7;

  std::wstring out;
  size_t i = 0;
  while (i < picture.size()) {
    const wchar_t c = picture[i];
    size_t n = 1;
    while (i + n < picture.size() && picture[i + n] == c) ++n;
    switch (c) {
      case L'\'':
        i = CopyQuoted(picture, i, out);
        continue;
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
  return ScanWhole(text, settings, ScanDate, value);
}

TDateTime StrToDate(std::wstring_view text, const TFormatSettings& settings) {
  return ReadOrRaise(TryStrToDate, text, settings, L"\"%ls\" не является правильной датой");
}
TDateTime StrToDate(std::wstring_view text) { return StrToDate(text, FormatSettings()); }

bool TryStrToTime(std::wstring_view text, const TFormatSettings& settings, TDateTime& value) {
  return ScanWhole(text, settings, ScanTime, value);
}

TDateTime StrToTime(std::wstring_view text, const TFormatSettings& settings) {
  return ReadOrRaise(TryStrToTime, text, settings, L"\"%ls\" не является правильным временем");
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
  return ReadOrRaise(TryStrToDateTime, text, settings, L"\"%ls\" не является правильной датой и временем");
}
