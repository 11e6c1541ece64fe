#include "untEcrScenario.h"

#include <algorithm>

#include "PloverDrv_TLB.h"
#include "untCommand.h"
#include "untDateText.h"
#include "untEcrCatalog.h"
#include "untError.h"
#include "untFile.h"
#include "untFloat.h"
#include "untInteger.h"
#include "untText.h"

namespace ecr {

// ---------------------------------------------------------------- built-in

namespace {

TFrameParam P(int32_t id, int32_t v) { return {id, TVariant::FromInt(v)}; }
TFrameParam Cy(int32_t id, int64_t tenThousandths) { return {id, TVariant::FromCurrency(tenThousandths)}; }
TFrameParam D(int32_t id, double v) { return {id, TVariant::FromDouble(v)}; }
TFrameParam S(int32_t id, const wchar_t* v) { return {id, TVariant::FromStr(v)}; }

TDeskStep Step(uint8_t code, std::vector<TFrameParam> params, bool loseFirstAnswer) {
  TDeskStep step{};
  step.Code = code;
  step.Params = std::move(params);
  step.LoseFirstAnswer = loseFirstAnswer;
  return step;
}

std::vector<TDeskStep> MakeScenario() {
  using namespace dispid;
  return {
      Step(0x80, {P(RegType, 0), P(RegSign, 0), D(Quantity, 2), Cy(Price, 105000), P(Section, 1), P(OperatorNumber, 1)}, false),
      Step(0x80, {P(RegType, 0), P(RegSign, 0), D(Quantity, 1), Cy(Price, 32500), P(Section, 2), P(OperatorNumber, 1)}, true),
      Step(0x81, {P(RegType, 0), P(RegSign, 0), D(Quantity, 1), S(Code, L"1001"), P(OperatorNumber, 1)}, false),
      Step(0x83, {P(RegType, 0), P(RegSign, 0), P(DscSign, 0), Cy(Summ, 10000), P(OperatorNumber, 1)}, false),
      Step(0x87, {P(PayType, 0), P(RegType, 0), P(RegSign, 0), Cy(Summ, 250000), P(OperatorNumber, 1)}, false),
      Step(0x90, {P(OperatorNumber, 1), P(RegType, 0)}, false),
      Step(0x92, {}, false),
      Step(0x82, {P(RegType, 0), P(RegSign, 0), D(Quantity, 1), S(Barcode, L"4600123400012"), P(OperatorNumber, 1)}, false),
      Step(0x80, {P(RegType, 0), P(RegSign, 0), D(Quantity, 0.333), Cy(Price, 10000), P(Section, 1), P(OperatorNumber, 1)}, false),
      Step(0x84, {P(RegType, 0), P(RegSign, 0), P(DscSign, 0), S(Code, L"7"), Cy(RecSumm, 3330), P(OperatorNumber, 1)}, false),
      Step(0x85, {P(RegType, 0), P(RegSign, 0), P(DscSign, 1), S(Barcode, L"2000000000077"), Cy(RecSumm, 3330), P(OperatorNumber, 1)}, false),
      Step(0x86, {P(RegType, 0), P(RegSign, 0), P(DscSign, 0), Cy(RecSumm, 3330), P(OperatorNumber, 1)}, false),
      Step(0x88, {P(RegType, 0), P(RegSign, 0), Cy(RecSumm, 3330), P(OperatorNumber, 1)}, false),
      Step(0x90, {P(OperatorNumber, 1), P(RegType, 0)}, false),
      Step(0x80, {P(RegType, 0), P(RegSign, 0), D(Quantity, 1), Cy(Price, 500000), P(Section, 3), P(OperatorNumber, 2)}, false),
      Step(0x91, {P(OperatorNumber, 2), P(RegType, 0)}, false),
      Step(0x50, {Cy(Summ, 10000000), P(OperatorNumber, 30), P(OperationNumber, 1)}, false),
      Step(0x51, {Cy(Summ, 5000000), P(OperatorNumber, 30), P(OperationNumber, 1)}, false),
      Step(0x52, {Cy(Summ, 0), P(OperatorNumber, 30), P(OperationNumber, 58)}, false),
  };
}

}  // namespace

const std::vector<TDeskStep>& DeskScenario() {
  static const std::vector<TDeskStep> steps = MakeScenario();
  return steps;
}

std::shared_ptr<const TDeskPlan> BuiltInDeskPlan() {
  static const std::shared_ptr<const TDeskPlan> plan = [] {
    auto p = std::make_shared<TDeskPlan>();
    p->Steps = DeskScenario();
    for (uint32_t i = 0; i < p->Steps.size(); ++i) p->Order.push_back({i});
    return p;
  }();
  return plan;
}

// ---------------------------------------------------------------- values

namespace {

bool Fail(TScenarioError& error, int32_t line, std::wstring text) {
  error.Line = line;
  error.Text = std::move(text);
  return false;
}

// Ten-thousandths from "-12.3456": a "." and at most four decimals.
bool ParseCurrency(std::wstring_view s, int64_t& out) {
  bool negative = !s.empty() && s.front() == L'-';
  if (negative) s.remove_prefix(1);
  size_t dot = s.find(L'.');
  std::wstring_view whole = s.substr(0, dot), frac = dot == s.npos ? std::wstring_view() : s.substr(dot + 1);
  if (whole.empty() || whole.size() > 14 || frac.size() > 4 || (dot != s.npos && frac.empty())) return false;
  int64_t v = 0;
  for (wchar_t c : whole) {
    if (c < L'0' || c > L'9') return false;
    v = v * 10 + (c - L'0');
  }
  for (size_t i = 0; i < 4; ++i) {
    wchar_t c = i < frac.size() ? frac[i] : L'0';
    if (c < L'0' || c > L'9') return false;
    v = v * 10 + (c - L'0');
  }
  out = negative ? -v : v;
  return true;
}

// A text in double quotes with the journal's C escapes, or a bare word.
bool ParseText(std::wstring_view s, std::wstring& out) {
  if (s.empty() || s.front() != L'"') {
    out.assign(s);
    return true;
  }
  out.clear();
  for (size_t i = 1; i < s.size(); ++i) {
    wchar_t c = s[i];
    if (c == L'"') return i + 1 == s.size();
    if (c != L'\\') {
      out.push_back(c);
      continue;
    }
    if (++i == s.size()) return false;
    switch (s[i]) {
      case L'"': out.push_back(L'"'); break;
      case L'\\': out.push_back(L'\\'); break;
      case L'r': out.push_back(L'\r'); break;
      case L'n': out.push_back(L'\n'); break;
      case L't': out.push_back(L'\t'); break;
      case L'x': {
        int hi = i + 2 < s.size() ? HexDigitValue(s[i + 1]) : -1, lo = hi >= 0 ? HexDigitValue(s[i + 2]) : -1;
        if (lo < 0) return false;
        out.push_back(static_cast<wchar_t>(hi * 16 + lo));
        i += 2;
        break;
      }
      default: return false;
    }
  }
  return false;
}

const TFormatSettings& CatalogueFormats() {
  static const TFormatSettings settings = [] {
    TFormatSettings s;
    s.DecimalSeparator = L'.';
    s.ShortDateFormat = L"dd.MM.yyyy";
    s.LongTimeFormat = L"HH:mm:ss";
    return s;
  }();
  return settings;
}

// The value in the text form the journal writes for the property's kind.
bool ParseValue(TPropKind kind, std::wstring_view s, TVariant& out) {
  switch (kind) {
    case TPropKind::I4: {
      int32_t v;
      if (!TryParseInt32(s, irInteger, v)) return false;
      out = TVariant::FromInt(v);
      return true;
    }
    case TPropKind::CY: {
      int64_t v;
      if (!ParseCurrency(s, v)) return false;
      out = TVariant::FromCurrency(v);
      return true;
    }
    case TPropKind::R8: {
      double v;
      if (s.empty() || !TryStrToFloat(s, L'.', v)) return false;
      out = TVariant::FromDouble(v);
      return true;
    }
    case TPropKind::DT: {
      TDateTime v;
      if (!TryStrToDateTime(s, CatalogueFormats(), v) && !TryStrToTime(s, CatalogueFormats(), v)) return false;
      out = TVariant::FromDate(v);
      return true;
    }
    case TPropKind::BOOL:
      if (SameText(s, L"True") || s == L"1") out = TVariant::FromBool(true);
      else if (SameText(s, L"False") || s == L"0") out = TVariant::FromBool(false);
      else return false;
      return true;
    case TPropKind::STR: {
      std::wstring v;
      if (!ParseText(s, v)) return false;
      out = TVariant::FromStr(std::move(v));
      return true;
    }
  }
  return false;
}

const wchar_t* KindText(TPropKind kind) {
  switch (kind) {
    case TPropKind::I4: return L"целое число";
    case TPropKind::CY: return L"сумма с точкой, до 4 знаков после неё";
    case TPropKind::R8: return L"число с точкой";
    case TPropKind::DT: return L"дата дд.мм.гггг и (или) время чч:мм:сс";
    case TPropKind::BOOL: return L"True или False";
    case TPropKind::STR: return L"текст";
  }
  return L"";
}

std::wstring CodeText(uint8_t code) { return Format(L"%02Xh", code); }

// ---------------------------------------------------------------- lines

// Words separated by blanks; a text in quotes is one word whatever it holds;
// "#" at the start of a word begins a comment.
bool SplitWords(std::wstring_view line, std::vector<std::wstring_view>& words) {
  words.clear();
  size_t i = 0;
  while (i < line.size()) {
    if (IsBlank(line[i])) {
      ++i;
      continue;
    }
    if (line[i] == L'#') break;
    size_t start = i;
    bool quoted = false;
    for (; i < line.size() && (quoted || !IsBlank(line[i])); ++i) {
      if (line[i] == L'"') quoted = !quoted;
      else if (quoted && line[i] == L'\\' && i + 1 < line.size()) ++i;
    }
    if (quoted) return false;
    words.push_back(line.substr(start, i - start));
  }
  return true;
}

bool ParseCode(std::wstring_view word, uint8_t& code) {
  if (!word.empty() && (word.back() == L'h' || word.back() == L'H')) word.remove_suffix(1);
  if (word.empty() || word.size() > 2) return false;
  int v = 0;
  for (wchar_t c : word) {
    int d = HexDigitValue(c);
    if (d < 0) return false;
    v = v * 16 + d;
  }
  code = static_cast<uint8_t>(v);
  return true;
}

bool ParseCount(std::wstring_view word, int64_t max, int64_t& out) {
  int32_t v;
  if (!TryParseInt32(word, irDecimal, v) || v < 0 || v > max) return false;
  out = v;
  return true;
}

// Name=value pairs for the properties a request (or its answer) carries.
bool ParseAssignment(std::wstring_view word, uint8_t code, bool answer, std::vector<TFrameParam>& into, int32_t line,
                     TScenarioError& error) {
  const size_t eq = word.find(L'=');
  if (eq == word.npos || eq == 0)
    return Fail(error, line, Format(L"«%ls» — не параметр: нужно Имя=значение", std::wstring(word).c_str()));
  const std::wstring name(word.substr(0, eq));
  const TMemberInfo* info = FindMemberByName(name);
  if (!info || info->IsMethod) return Fail(error, line, Format(L"неизвестный параметр %ls", name.c_str()));
  const auto ids = FrameParamIds(code, answer);
  if (std::find(ids.begin(), ids.end(), info->DispId) == ids.end())
    return Fail(error, line, Format(answer ? L"%ls не приходит в ответе на %ls" : L"%ls не передаётся в запросе %ls",
                                    info->Name, CodeText(code).c_str()));
  for (const auto& p : into)
    if (p.DispId == info->DispId) return Fail(error, line, Format(L"параметр %ls задан дважды", info->Name));
  TVariant value;
  if (!ParseValue(info->Kind, word.substr(eq + 1), value))
    return Fail(error, line, Format(L"%ls=%ls: нужно значение вида «%ls»", info->Name,
                                    std::wstring(word.substr(eq + 1)).c_str(), KindText(info->Kind)));
  into.push_back({info->DispId, std::move(value)});
  return true;
}

// A scenario line, before repeats are unrolled.
struct TOp {
  enum TKind : uint8_t { Request, Pause, Repeat, End } Kind;
  int32_t Line;
  int64_t Value = 0;  // pause ms, repeat count (and the index of its end), index into the plan's steps
};

bool ParseRequest(const std::vector<std::wstring_view>& words, int32_t line, TDeskStep& step, TScenarioError& error) {
  if (!ParseCode(words[0], step.Code))
    return Fail(error, line, Format(L"«%ls» — не код команды: нужен шестнадцатеричный код, например 80h",
                                    std::wstring(words[0]).c_str()));
  step.Line = line;
  bool answer = false;
  for (size_t i = 1; i < words.size(); ++i) {
    if (words[i] == L"=>") {
      if (answer) return Fail(error, line, L"«=>» дважды в строке");
      answer = true;
    } else if (SameText(words[i], L"lose") && !answer) {
      step.LoseFirstAnswer = true;
    } else if (!ParseAssignment(words[i], step.Code, answer, answer ? step.Expect : step.Params, line, error)) {
      return false;
    }
  }
  // The values must make a frame, or the desk could not send the line.
  TFrame frame;
  frame.Code = step.Code;
  frame.Params = step.Params;
  std::string bytes;
  if (EncodeFrame(frame, bytes) != 0) return Fail(error, line, L"запрос не помещается в кадр (текст длиннее 255 байт)");
  return true;
}

// Unrolls the repeats from ops[at] up to the matching end.
struct TUnroller {
  const std::vector<TOp>& Ops;
  TDeskPlan& Plan;
  TScenarioError& Error;
  int64_t Pause = 0;  // waits on top of the interval before the next request
  size_t Work = 0;

  bool Run(size_t begin, size_t end, int32_t repeatLine) {
    for (size_t i = begin; i < end; ++i) {
      if (++Work > 8 * kMaxDeskSteps)
        return Fail(Error, repeatLine, Format(L"повторы дают больше %d запросов", int(kMaxDeskSteps)));
      const TOp& op = Ops[i];
      switch (op.Kind) {
        case TOp::Pause: Pause = std::min(Pause + op.Value, 24 * kMaxDeskPauseMs); break;
        case TOp::Request:
          if (Plan.Order.size() == kMaxDeskSteps)
            return Fail(Error, op.Line, Format(L"больше %d запросов", int(kMaxDeskSteps)));
          Plan.Order.push_back({static_cast<uint32_t>(op.Value), Pause});
          Pause = 0;
          break;
        case TOp::Repeat: {
          const size_t close = static_cast<size_t>(op.Value >> 32);
          const int64_t count = op.Value & 0xFFFFFFFF;
          for (int64_t n = 0; n < count; ++n)
            if (!Run(i + 1, close, op.Line)) return false;
          i = close;
          break;
        }
        case TOp::End: break;
      }
    }
    return true;
  }
};

bool ParseScript(const std::vector<std::wstring_view>& lines, TDeskPlan& plan, TScenarioError& error) {
  std::vector<TOp> ops;
  std::vector<size_t> open;  // indices of repeats not yet ended
  std::vector<std::wstring_view> words;
  for (size_t n = 0; n < lines.size(); ++n) {
    const int32_t line = static_cast<int32_t>(n + 1);
    if (!SplitWords(lines[n], words)) return Fail(error, line, L"не закрыта кавычка");
    if (words.empty()) continue;
    if (SameText(words[0], L"pause") || SameText(words[0], L"repeat")) {
      const bool pause = SameText(words[0], L"pause");
      int64_t value;
      if (words.size() != 2 || !ParseCount(words[1], pause ? kMaxDeskPauseMs : int64_t(kMaxDeskSteps), value) ||
          (!pause && value == 0))
        return Fail(error, line, pause ? Format(L"нужно «pause N», N от 0 до %d мс", int(kMaxDeskPauseMs))
                                       : Format(L"нужно «repeat N», N от 1 до %d", int(kMaxDeskSteps)));
      if (!pause) {
        if (open.size() == kMaxRepeatDepth)
          return Fail(error, line, Format(L"больше %d вложенных repeat", kMaxRepeatDepth));
        open.push_back(ops.size());
      }
      ops.push_back({pause ? TOp::Pause : TOp::Repeat, line, value});
    } else if (SameText(words[0], L"end")) {
      if (words.size() != 1) return Fail(error, line, L"после end ничего не пишут");
      if (open.empty()) return Fail(error, line, L"end без repeat");
      TOp& repeat = ops[open.back()];
      repeat.Value |= static_cast<int64_t>(ops.size()) << 32;
      open.pop_back();
      ops.push_back({TOp::End, line});
    } else {
      TDeskStep step{};
      if (!ParseRequest(words, line, step, error)) return false;
      ops.push_back({TOp::Request, line, static_cast<int64_t>(plan.Steps.size())});
      plan.Steps.push_back(std::move(step));
    }
  }
  if (!open.empty()) return Fail(error, ops[open.back()].Line, L"repeat без end");
  TUnroller unroller{ops, plan, error};
  if (!unroller.Run(0, ops.size(), 0)) return false;
  if (plan.Order.empty()) return Fail(error, 0, L"нет ни одного запроса");
  // A pause at the very end comes before the first request of the next round.
  plan.Order.front().PauseMs += unroller.Pause;
  return true;
}

// ---------------------------------------------------------------- journals

bool Digits(std::wstring_view s, size_t at, size_t n, int& out) {
  out = 0;
  if (at + n > s.size()) return false;
  for (size_t i = at; i < at + n; ++i) {
    if (s[i] < L'0' || s[i] > L'9') return false;
    out = out * 10 + (s[i] - L'0');
  }
  return true;
}

// "2025-01-14 10:31:07.182  " at the start of a journal line, as ms.
bool JournalStamp(std::wstring_view s, int64_t& ms) {
  int y, mo, d, h, mi, sec, milli;
  if (!Digits(s, 0, 4, y) || !Digits(s, 5, 2, mo) || !Digits(s, 8, 2, d) || !Digits(s, 11, 2, h) ||
      !Digits(s, 14, 2, mi) || !Digits(s, 17, 2, sec) || !Digits(s, 20, 3, milli) || s.substr(23, 2) != L"  " ||
      s[4] != L'-' || s[7] != L'-' || s[10] != L' ' || s[13] != L':' || s[16] != L':' || s[19] != L'.')
    return false;
  // Days since 1.3.0000, so that the leap day ends a year.
  const int yy = mo <= 2 ? y - 1 : y;
  const int m = mo <= 2 ? mo + 9 : mo - 3;
  const int64_t days = 365LL * yy + yy / 4 - yy / 100 + yy / 400 + (153 * m + 2) / 5 + d;
  ms = ((days * 24 + h) * 60 + mi) * 60000LL + sec * 1000LL + milli;
  return true;
}

std::vector<std::wstring_view> Fields(std::wstring_view line) {
  std::vector<std::wstring_view> fields;
  size_t at = 0;
  for (;;) {
    size_t next = line.find(L"  ", at);
    fields.push_back(line.substr(at, next == line.npos ? line.npos : next - at));
    if (next == line.npos) return fields;
    at = next + 2;
  }
}

// The requests a journal saw come in, first attempts only: what cash
// registers asked the computer. Requests a computer sends a cash register
// (the catalogue's other commands) are not a desk's to send.
bool ParseJournal(const std::vector<std::wstring_view>& lines, TDeskPlan& plan, TScenarioError& error) {
  plan.FromJournal = true;
  int64_t previous = 0;
  for (size_t n = 0; n < lines.size(); ++n) {
    const int32_t line = static_cast<int32_t>(n + 1);
    if (TrimBlanks(lines[n]).empty()) continue;
    int64_t at;
    if (!JournalStamp(lines[n], at))
      return Fail(error, line, L"строка не из журнала драйвера (нет даты и времени в начале)");
    const auto fields = Fields(lines[n]);
    if (fields.size() < 4 || fields[2] != L"получен" ||
        std::find(fields.begin(), fields.end(), L"запрос") == fields.end())
      continue;
    const std::wstring_view last = fields.back();
    TFrame frame;
    if (last.size() < 2 || last.front() != L'[' || last.back() != L']' ||
        DecodeFrame(HexTextToBytes(last.substr(1, last.size() - 2)), frame) != 0 || frame.Type != 0)
      return Fail(error, line, L"кадр запроса в конце строки не разбирается");
    const TCommandLayout* layout = CommandLayout(frame.Code);
    if (layout && !layout->FromRegister) continue;
    if (plan.Steps.size() == kMaxDeskSteps) return Fail(error, line, Format(L"больше %d запросов", int(kMaxDeskSteps)));
    TDeskStep step = Step(frame.Code, std::move(frame.Params), false);
    step.Line = line;
    const int64_t gap = plan.Steps.empty() ? -1 : std::clamp<int64_t>(at - previous, 0, kMaxDeskPauseMs);
    plan.Order.push_back({static_cast<uint32_t>(plan.Steps.size()), 0, gap});
    previous = at;
    plan.Steps.push_back(std::move(step));
  }
  if (plan.Steps.empty()) return Fail(error, 0, L"в журнале нет принятых запросов кассы");
  return true;
}

bool IsUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    const size_t len = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    if (!len || i + len > s.size()) return false;
    for (size_t k = 1; k < len; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += len;
  }
  return true;
}

}  // namespace

bool ParseDeskScenario(std::string_view bytes, TDeskPlan& plan, TScenarioError& error) {
  plan = {};
  error = {};
  if (bytes.size() > kMaxScenarioBytes)
    return Fail(error, 0, Format(L"файл больше %d МБ", int(kMaxScenarioBytes >> 20)));
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  if (bytes.find('\0') != bytes.npos) return Fail(error, 0, L"это не текстовый файл");
  const std::wstring text = IsUtf8(bytes) ? Utf8ToWide(bytes) : AnsiToWide(bytes);
  std::vector<std::wstring_view> lines;
  std::wstring_view rest(text);
  while (!rest.empty()) {
    size_t end = rest.find(L'\n');
    std::wstring_view line = rest.substr(0, end);
    if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
    lines.push_back(line);
    rest = end == rest.npos ? std::wstring_view() : rest.substr(end + 1);
  }
  int64_t stamp;
  auto first = std::find_if(lines.begin(), lines.end(), [](std::wstring_view l) { return !TrimBlanks(l).empty(); });
  const bool journal = first != lines.end() && JournalStamp(*first, stamp);
  const bool ok = journal ? ParseJournal(lines, plan, error) : ParseScript(lines, plan, error);
  if (!ok) plan = {};
  return ok;
}

std::shared_ptr<const TDeskPlan> LoadDeskScenario(const std::wstring& file, std::wstring& message) {
  std::string bytes;
  try {
    bytes = ReadWholeFile(file);
  } catch (const EInOutError& e) {
    message = Format(L"Сценарий кассы «%ls» не читается: %ls", file.c_str(), e.Message().c_str());
    return nullptr;
  }
  auto plan = std::make_shared<TDeskPlan>();
  TScenarioError error;
  if (ParseDeskScenario(bytes, *plan, error)) return plan;
  message = error.Line ? Format(L"Сценарий кассы «%ls», строка %d: %ls", file.c_str(), error.Line, error.Text.c_str())
                       : Format(L"Сценарий кассы «%ls»: %ls", file.c_str(), error.Text.c_str());
  return nullptr;
}

}  // namespace ecr
