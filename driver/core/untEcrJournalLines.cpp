// The journal's lines: fields separated by two blanks, so that a reader's eye
// (and a text search) finds them, one line for each event however long its
// values are.
#include <cmath>
#include <ctime>
#include <unordered_map>

#include "PloverDrv_TLB.h"
#include "untDateTime.h"
#include "untEcrCmd.h"
#include "untEcrFrame.h"
#include "untEcrJournal.h"
#include "untEcrResults.h"
#include "untError.h"
#include "untFloat.h"
#include "untText.h"

namespace ecr {

namespace {

void PutDigits(std::string& out, long long value, int width) {
  char buf[24];
  int n = 0;
  unsigned long long v = value < 0 ? 0ull - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  do {
    buf[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v);
  if (value < 0) out.push_back('-');
  for (int i = n; i < width; ++i) out.push_back('0');
  while (n) out.push_back(buf[--n]);
}

void PutStamp(std::string& out, const TJournalStamp& at) {
  PutDigits(out, at.Year, 4);
  out.push_back('-');
  PutDigits(out, at.Month, 2);
  out.push_back('-');
  PutDigits(out, at.Day, 2);
  out.push_back(' ');
  PutDigits(out, at.Hour, 2);
  out.push_back(':');
  PutDigits(out, at.Min, 2);
  out.push_back(':');
  PutDigits(out, at.Sec, 2);
  out.push_back('.');
  PutDigits(out, at.Ms, 3);
  out += "  поток ";
  PutDigits(out, at.Thread, 0);
  out += "  ";
}

void PutText(std::string& out, std::wstring_view text) { out += WideToUtf8(text); }

// Ten-thousandths as a number with a "." and no trailing zeros.
void PutCurrency(std::string& out, int64_t v) {
  if (v < 0) out.push_back('-');
  const unsigned long long a = v < 0 ? 0ull - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
  PutDigits(out, static_cast<long long>(a / 10000), 0);
  unsigned long long frac = a % 10000;
  if (!frac) return;
  int width = 4;
  while (frac % 10 == 0) {
    frac /= 10;
    --width;
  }
  out.push_back('.');
  PutDigits(out, static_cast<long long>(frac), width);
}

// An automation date: the date alone at midnight, the time alone on day 0
// (how the device's time properties hold it), both otherwise.
void PutDate(std::string& out, double value) {
  int day = 0, msec = 0;
  try {
    SplitDateTime(value, day, msec);
  } catch (const EConvertError&) {
    out += WideToUtf8(FloatToStr(value, L'.'));
    return;
  }
  if (day != 0 || msec == 0) {
    int y, m, d;
    DecodeDate(day, y, m, d);
    PutDigits(out, d, 2);
    out.push_back('.');
    PutDigits(out, m, 2);
    out.push_back('.');
    PutDigits(out, y, 4);
    if (msec == 0) return;
    out.push_back(' ');
  }
  const int s = msec / 1000;
  PutDigits(out, s / 3600, 2);
  out.push_back(':');
  PutDigits(out, s / 60 % 60, 2);
  out.push_back(':');
  PutDigits(out, s % 60, 2);
}

void PutQuoted(std::string& out, std::wstring_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  out.push_back('"');
  std::wstring plain;
  auto flush = [&] {
    out += WideToUtf8(plain);
    plain.clear();
  };
  for (wchar_t c : text) {
    const char* escape = c == L'"' ? "\\\"" : c == L'\\' ? "\\\\" : c == L'\r' ? "\\r" : c == L'\n' ? "\\n"
                       : c == L'\t' ? "\\t" : nullptr;
    if (escape || c < 0x20) {
      flush();
      if (escape) {
        out += escape;
      } else {
        out += "\\x";
        out.push_back(kHex[(c >> 4) & 15]);
        out.push_back(kHex[c & 15]);
      }
    } else {
      plain.push_back(c);
    }
  }
  flush();
  out.push_back('"');
}

void PutValue(std::string& out, const TVariant& v) {
  switch (v.Type()) {
    case TVarType::Empty: break;
    case TVarType::Int: PutDigits(out, v.Int(), 0); break;
    case TVarType::Str: PutQuoted(out, v.Str()); break;
    case TVarType::Double: out += WideToUtf8(FloatToStr(v.Double(), L'.')); break;
    case TVarType::Date: PutDate(out, v.Double()); break;
    case TVarType::Currency: PutCurrency(out, v.Currency()); break;
    case TVarType::Bool: out += v.Bool() ? "True" : "False"; break;
  }
}

// Member names and result texts in UTF-8, made once for every writer.
const std::unordered_map<int32_t, std::string>& MemberNames() {
  static const auto names = [] {
    std::unordered_map<int32_t, std::string> m;
    size_t count = 0;
    const TMemberInfo* members = MemberTable(count);
    for (size_t i = 0; i < count; ++i) m.emplace(members[i].DispId, WideToUtf8(members[i].Name));
    return m;
  }();
  return names;
}

const std::unordered_map<int32_t, std::string>& ResultTexts() {
  static const auto texts = [] {
    std::unordered_map<int32_t, std::string> m;
    size_t count = 0;
    const TResultInfo* results = ResultTable(count);
    for (size_t i = 0; i < count; ++i) m.emplace(results[i].Code, WideToUtf8(results[i].Text));
    return m;
  }();
  return texts;
}

void PutName(std::string& out, int32_t dispId) {
  const auto& names = MemberNames();
  const auto it = names.find(dispId);
  if (it != names.end()) {
    out += it->second;
  } else {
    out.push_back('#');
    PutDigits(out, dispId, 0);
  }
}

void PutResultText(std::string& out, int32_t code) {
  const auto& texts = ResultTexts();
  const auto it = texts.find(code);
  if (it != texts.end())
    out += it->second;
  else
    PutText(out, ResultText(code));
}

void PutHexByte(std::string& out, uint8_t b) {
  static const char kHex[] = "0123456789ABCDEF";
  out.push_back(kHex[b >> 4]);
  out.push_back(kHex[b & 15]);
}

}  // namespace

TJournalStamp JournalStampOf(int64_t wallMs, uint32_t thread) {
  const std::time_t t = static_cast<std::time_t>(wallMs / 1000);
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &t);
#else
  localtime_r(&t, &tm);
#endif
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
          tm.tm_min,         tm.tm_sec > 59 ? 59 : tm.tm_sec, static_cast<int>(wallMs % 1000), thread};
}

std::string JournalValueText(const TVariant& value) {
  std::string out;
  PutValue(out, value);
  return out;
}

void AppendJournalCallLine(std::string& out, const TJournalStamp& at, int32_t method, const TJournalValue* inputs,
                           size_t count, int32_t result, int64_t durationNs) {
  PutStamp(out, at);
  PutName(out, method);
  out.push_back('(');
  for (size_t i = 0; i < count; ++i) {
    if (i) out += ", ";
    PutName(out, inputs[i].first);
    out.push_back('=');
    PutValue(out, inputs[i].second);
  }
  out += ") = ";
  PutDigits(out, result, 0);
  out += " (";
  PutResultText(out, result);
  out += ")  ";
  const long long us = (durationNs < 0 ? 0 : durationNs + 500) / 1000;
  PutDigits(out, us / 1000, 0);
  out.push_back('.');
  PutDigits(out, us % 1000, 3);
  out += " мс";
}

void AppendJournalFrameLine(std::string& out, const TJournalStamp& at, bool sent, std::wstring_view bus,
                            std::string_view bytes, bool repeated) {
  PutStamp(out, at);
  out += sent ? "отправлен  " : "получен  ";
  PutText(out, bus);
  out += "  ";
  TFrame f;
  if (DecodeFrame(bytes, f) == kOk) {
    PutDigits(out, f.Src, 0);
    out += " -> ";
    PutDigits(out, f.Dst, 0);
    out += "  №";
    PutDigits(out, f.Seq, 0);
    out += "  ";
    PutHexByte(out, f.Code);
    out += "h ";
    const wchar_t* name = CommandNameByCode(f.Code);
    out += "«";
    PutText(out, name ? name : L"нет в каталоге");
    out += "»  ";
    out += f.Type == 0 ? "запрос" : "ответ";
    if (repeated) out += ", повтор";
    if (!f.Params.empty()) out.push_back(' ');
    for (const auto& p : f.Params) {
      out.push_back(' ');
      PutName(out, p.DispId);
      out.push_back('=');
      PutValue(out, p.Value);
    }
  } else {
    out += "кадр не разбирается";
  }
  out += "  [";
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i) out.push_back(' ');
    PutHexByte(out, static_cast<uint8_t>(bytes[i]));
  }
  out.push_back(']');
}

void AppendJournalNoteLine(std::string& out, const TJournalStamp& at, std::wstring_view text) {
  PutStamp(out, at);
  out += "=== ";
  PutText(out, text);
}

std::string JournalCallLine(const TJournalStamp& at, int32_t method, const std::vector<TJournalValue>& inputs,
                            int32_t result, int64_t durationNs) {
  std::string out;
  AppendJournalCallLine(out, at, method, inputs.data(), inputs.size(), result, durationNs);
  return out;
}

std::string JournalFrameLine(const TJournalStamp& at, bool sent, std::wstring_view bus, std::string_view bytes,
                             bool repeated) {
  std::string out;
  AppendJournalFrameLine(out, at, sent, bus, bytes, repeated);
  return out;
}

std::string JournalNoteLine(const TJournalStamp& at, std::wstring_view text) {
  std::string out;
  AppendJournalNoteLine(out, at, text);
  return out;
}

}  // namespace ecr
