#include "BigIni.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <utility>

#include "untError.h"
#include "untFile.h"
#include "untInteger.h"
#include "untText.h"

namespace {

constexpr size_t kMaxText = TBigIniFile::MaxTextLength;
// Bytes of a line worth converting: 255 characters take at most two bytes
// each even in a double-byte code page; the cut to 255 follows conversion.
constexpr size_t kMaxLineBytes = 2 * kMaxText;

// A header line "[name]" and a line "key=" must fit in the 255 characters a
// line may hold, or the next reading would lose the section or the key.
constexpr size_t kMaxSectionName = kMaxText - 2;
constexpr size_t kMaxKey = kMaxText - 1;

std::wstring_view Cut(std::wstring_view text, size_t limit = kMaxText) noexcept {
  return text.size() > limit ? text.substr(0, limit) : text;
}
std::wstring_view CutSection(std::wstring_view text) noexcept { return Cut(text, kMaxSectionName); }
// A key cut to 254 characters that ends in "**" would read back as the
// encoded kind of a 253-character key (see TIniLine::Classify): it is that key.
std::wstring_view CutKey(std::wstring_view text) noexcept {
  text = Cut(text, kMaxKey);
  if (text.size() == kMaxKey && text.ends_with(L"**")) text.remove_suffix(1);
  return text;
}

// Values that would break their line are kept as "key*=..." with these
// escapes; the "%" is escaped too so that decoding gives back the very text.
constexpr wchar_t kMark = L'*';

bool HasLineBreak(std::wstring_view value) noexcept { return value.find_first_of(L"\r\n") != std::wstring_view::npos; }

// The encoded value holds an escaped CR or LF.
bool HasEscapedBreak(std::wstring_view raw) noexcept {
  for (size_t i = 0; i + 2 < raw.size(); ++i) {
    if (raw[i] != L'%') continue;
    const int hi = HexDigitValue(raw[i + 1]), lo = HexDigitValue(raw[i + 2]);
    if (hi < 0 || lo < 0) continue;
    const int c = hi * 16 + lo;
    if (c == L'\r' || c == L'\n') return true;
    i += 2;
  }
  return false;
}

// Appends the encoded value while it fits in `room` characters; an escape is
// never cut in half.
void AppendEncoded(std::wstring& out, std::wstring_view value, size_t room) {
  for (wchar_t c : value) {
    const wchar_t* escape = c == L'%' ? L"%25" : c == L'\r' ? L"%0D" : c == L'\n' ? L"%0A" : nullptr;
    const size_t width = escape ? 3 : 1;
    if (width > room) break;
    room -= width;
    if (escape) out.append(escape);
    else out.push_back(c);
  }
}

// Any "%" with two hex digits stands for that character; a "%" without them
// stands for itself, so a hand-edited line still reads.
std::wstring Decoded(std::wstring_view raw) {
  std::wstring out;
  out.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == L'%' && i + 2 < raw.size() && HexDigitValue(raw[i + 1]) >= 0 && HexDigitValue(raw[i + 2]) >= 0) {
      out.push_back(static_cast<wchar_t>(HexDigitValue(raw[i + 1]) * 16 + HexDigitValue(raw[i + 2])));
      i += 2;
    } else {
      out.push_back(raw[i]);
    }
  }
  return out;
}

// ---------------------------------------------------------------- parsing

// Splits the bytes fed to it into lines (CR LF, LF or CR end one) and files
// them into a section list. A line may straddle any number of feeds.
class TIniParser {
 public:
  explicit TIniParser(TSectionList& target) : FTarget(target) {}

  void Feed(const char* p, size_t n) {
    size_t i = 0;
    if (FSkipLF && n > 0) {
      if (p[0] == '\n') i = 1;
      FSkipLF = false;
    }
    // Where the next LF and the next CR are (n: none left), each looked for
    // again only once passed: a whole buffer costs two scans of the C
    // library's, not a test per character.
    size_t lf = 0, cr = 0;
    auto next = [p, n](char c, size_t from) {
      const void* hit = from < n ? std::memchr(p + from, c, n - from) : nullptr;
      return hit ? static_cast<size_t>(static_cast<const char*>(hit) - p) : n;
    };
    lf = next('\n', i);
    cr = next('\r', i);
    while (i < n) {
      if (lf < i) lf = next('\n', i);
      if (cr < i) cr = next('\r', i);
      const size_t j = std::min(lf, cr);
      if (j == n) {
        Pend(p + i, n - i);
        return;
      }
      if (FPending.empty()) {
        Line(p + i, j - i);
      } else {
        Pend(p + i, j - i);
        Line(FPending.data(), FPending.size());
        FPending.clear();
      }
      size_t end = j;
      if (p[j] == '\r') {
        if (j + 1 < n) {
          if (p[j + 1] == '\n') ++end;
        } else {
          FSkipLF = true;
        }
      }
      i = end + 1;
    }
  }

  void Finish() {
    if (!FPending.empty()) Line(FPending.data(), FPending.size());
    FPending.clear();
  }

 private:
  void Pend(const char* p, size_t n) {
    size_t room = kMaxLineBytes - std::min(FPending.size(), kMaxLineBytes);
    FPending.append(p, std::min(n, room));
  }

  void Line(const char* p, size_t n) {
    if (n == 0) return;
    std::wstring text = AnsiToWide(std::string_view(p, std::min(n, kMaxLineBytes)));
    if (text.size() > kMaxText) text.resize(kMaxText);
    if (text.empty() || (text.size() == 1 && text[0] == L'\x1A')) return;
    if (text.size() >= 2 && text.front() == L'[' && text.back() == L']') {
      int index = FTarget.Add(text.substr(1, text.size() - 2));
      FCurrent = &FTarget.SectionLines(index);
    } else if (FCurrent) {
      FCurrent->emplace_back(std::move(text));
    }
  }

  TSectionList& FTarget;
  TIniLines* FCurrent = nullptr;
  std::string FPending;
  bool FSkipLF = false;
};

// Collects written text and hands it on in ANSI pieces of about `limit`
// bytes, cut only at line ends.
template <class Out>
class TAnsiWriter {
 public:
  TAnsiWriter(size_t limit, Out out) : FLimit(limit), FOut(std::move(out)) {}
  void Put(std::wstring_view text) { FWide.append(text); }
  void EndLine() {
    FWide.append(L"\r\n");
    if (FWide.size() + kMaxText + 4 > FLimit) Flush();
  }
  void Flush() {
    if (FWide.empty()) return;
    FOut(WideToAnsi(FWide));
    FWide.clear();
  }

 private:
  size_t FLimit;
  Out FOut;
  std::wstring FWide;
};

}  // namespace

// ---------------------------------------------------------------- TIniLine

TIniLine::TIniLine(std::wstring&& text) : FText(std::move(text)) { Classify(); }

void TIniLine::SetText(std::wstring&& text) {
  FText = std::move(text);
  Classify();
}

void TIniLine::Classify() noexcept {
  size_t eq = FText.find(L'=');
  if (eq == std::wstring::npos) {
    FKeyLength = kNoKey;
    FKeyHash = 0;
    FEncoded = false;
  } else {
    // The mark counts only where the writer puts it: under a key that itself
    // ends in "*", or before a value with an escaped line break. So a line
    // "Key*=value" written by hand (or by a program that knew no mark) keeps
    // its key "Key*".
    FEncoded = eq > 0 && FText[eq - 1] == kMark &&
               ((eq > 1 && FText[eq - 2] == kMark) || HasEscapedBreak(std::wstring_view(FText).substr(eq + 1)));
    const size_t keyLength = FEncoded ? eq - 1 : eq;
    FKeyLength = static_cast<uint32_t>(keyLength);
    FKeyHash = IniFoldHash(std::wstring_view(FText).substr(0, keyLength));
  }
}

std::wstring_view TIniLine::Key() const noexcept {
  return HasKey() ? std::wstring_view(FText).substr(0, FKeyLength) : std::wstring_view();
}

std::wstring_view TIniLine::RawValue() const noexcept {
  return HasKey() ? std::wstring_view(FText).substr(FKeyLength + (FEncoded ? 2 : 1)) : std::wstring_view();
}

std::wstring TIniLine::Value() const { return FEncoded ? Decoded(RawValue()) : std::wstring(RawValue()); }

std::wstring IniLineOf(std::wstring_view key, std::wstring_view value) {
  std::wstring line(key);
  const bool markedKey = !key.empty() && key.back() == kMark;
  if (markedKey || HasLineBreak(value)) {
    if (key.size() + 2 <= kMaxText) {
      std::wstring encoded;
      AppendEncoded(encoded, value, kMaxText - key.size() - 2);
      // A line whose escaped breaks were all cut away would not read as the
      // encoded kind, so it must not be written as one.
      if (markedKey || HasEscapedBreak(encoded)) {
        line += kMark;
        line += L'=';
        line += encoded;
        return line;
      }
    }
    // No room for the mark or for an escaped break: a plain line, whose value
    // is cut at its first line break as it is cut where the line is full.
    value = value.substr(0, value.find_first_of(L"\r\n"));
  }
  line += L'=';
  line.append(value.substr(0, kMaxText - line.size()));
  return line;
}

bool TIniLine::KeyIs(std::wstring_view key, uint32_t keyHash) const noexcept {
  return FKeyLength == key.size() && FKeyHash == keyHash && SameText(Key(), key);
}

// ---------------------------------------------------------------- TBigIniFile

TBigIniFile::TBigIniFile(const std::wstring& fileName) { SetFileName(fileName); }

TBigIniFile::~TBigIniFile() {
  try {
    UpdateFile();
  } catch (...) {
    // Nowhere to report from here; callers that care flush first.
  }
}

void TBigIniFile::SetFileName(const std::wstring& fileName) {
  UpdateFile();
  ClearSections();
  FFileName = std::wstring(Cut(fileName));
  if (!FFileName.empty()) {
    try {
      LoadFile(FFileName);
    } catch (...) {
      ClearSections();
      FFileName.clear();
      FModified = false;
      throw;
    }
  }
  FModified = false;
}

void TBigIniFile::ClearSections() noexcept {
  FSections.Clear();
  FCurrentSection = 0;
}

void TBigIniFile::LoadText(std::string_view bytes, size_t chunkSize) {
  FCurrentSection = 0;
  TSectionList loaded;
  TIniParser parser(loaded);
  if (chunkSize == 0) chunkSize = bytes.size();
  for (size_t at = 0; at < bytes.size(); at += chunkSize)
    parser.Feed(bytes.data() + at, std::min(chunkSize, bytes.size() - at));
  parser.Finish();
  FSections.AppendFrom(loaded);
  FSections.RemoveDuplicates();
}

void TBigIniFile::LoadFile(const std::wstring& fileName) {
  FCurrentSection = 0;
  const std::wstring name(Cut(fileName));
  std::unique_ptr<TFileReader> file;
  try {
    file = std::make_unique<TFileReader>(name);
  } catch (const EInOutError& e) {
    if (IsMissingFileError(e.ErrorCode)) return;
    throw;
  }
  // Parse into a list of its own: a read error must not leave half a file
  // in the store, where the next rewrite would make the loss permanent.
  TSectionList loaded;
  TIniParser parser(loaded);
  std::unique_ptr<char[]> buffer(new char[static_cast<size_t>(FTextBufferSize)]);
  for (;;) {
    const size_t got = file->Read(buffer.get(), static_cast<size_t>(FTextBufferSize));
    if (got == 0) break;
    parser.Feed(buffer.get(), got);
  }
  parser.Finish();
  FSections.AppendFrom(loaded);
  FSections.RemoveDuplicates();
}

TIniLines* TBigIniFile::FindSection(std::wstring_view section, bool create) {
  const int count = FSections.Count();
  if (count > 0) {
    if (FCurrentSection < 0 || FCurrentSection >= count) FCurrentSection = 0;
    const int stop = FCurrentSection == 0 ? count - 1 : FCurrentSection - 1;
    if (FSections.NameIs(FCurrentSection, section)) return &FSections.SectionLines(FCurrentSection);
    int next = FCurrentSection + 1 == count ? 0 : FCurrentSection + 1;
    int found = FSections.Locate(section, next);
    if (found >= 0) {
      FCurrentSection = found;
      return &FSections.SectionLines(found);
    }
    // A walk that found nothing stops on the entry before its start.
    FCurrentSection = stop;
  }
  if (!create) return nullptr;
  FCurrentSection = FSections.Add(std::wstring(section));
  return &FSections.SectionLines(FCurrentSection);
}

int TBigIniFile::FindItem(const std::wstring& section, const std::wstring& key, bool create, TIniLines*& lines) {
  lines = FindSection(CutSection(section), create);
  if (!lines) return -1;
  const std::wstring_view k = CutKey(key);
  const uint32_t hash = IniFoldHash(k);
  const TIniLines& l = *lines;
  for (size_t i = 0; i < l.size(); ++i)
    if (l[i].KeyIs(k, hash)) return static_cast<int>(i);
  return -1;
}

std::wstring TBigIniFile::ReadString(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& defaultValue) {
  TIniLines* lines;
  int index = FindItem(section, key, false, lines);
  if (index < 0) return std::wstring(Cut(defaultValue));
  return (*lines)[static_cast<size_t>(index)].Value();
}

void TBigIniFile::WriteString(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
  const std::wstring_view k = CutKey(key), v = Cut(value);
  if (k.empty()) {
    if (!section.empty() || !v.empty())
      EraseSection(section);
    else
      UpdateFile();
    return;
  }
  std::wstring line = IniLineOf(k, v);
  TIniLines* lines;
  int index = FindItem(section, key, true, lines);
  if (index < 0) {
    lines->emplace_back(std::move(line));
    FModified = true;
  } else if ((*lines)[static_cast<size_t>(index)].Text() != line) {
    (*lines)[static_cast<size_t>(index)].SetText(std::move(line));
    FModified = true;
  }
}

int32_t TBigIniFile::ReadInteger(const std::wstring& section, const std::wstring& key, int32_t defaultValue) {
  std::wstring text = ReadString(section, key, std::wstring());
  std::wstring_view s = text;
  std::wstring converted;
  if (s.size() >= 2 && s[0] == L'0' && (s[1] == L'x' || s[1] == L'X')) {
    converted = L"$";
    converted.append(s.substr(2));
    s = converted;
  }
  int32_t result;
  return TryParseInt32(s, irIniInteger, result) ? result : defaultValue;
}

void TBigIniFile::WriteInteger(const std::wstring& section, const std::wstring& key, int32_t value) {
  char buffer[16];
  auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  WriteString(section, key, std::wstring(buffer, end));
}

bool TBigIniFile::ReadBool(const std::wstring& section, const std::wstring& key, bool defaultValue) {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TBigIniFile::WriteBool(const std::wstring& section, const std::wstring& key, bool value) {
  WriteString(section, key, value ? L"1" : L"0");
}

void TBigIniFile::ReadSection(const std::wstring& section, std::vector<std::wstring>& keys) {
  if (TIniLines* lines = FindSection(CutSection(section), false))
    for (const TIniLine& line : *lines) keys.emplace_back(line.Key());
}

void TBigIniFile::ReadSections(std::vector<std::wstring>& sections) {
  sections.clear();
  sections.reserve(static_cast<size_t>(FSections.Count()));
  for (int i = 0; i < FSections.Count(); ++i) sections.push_back(FSections.Name(i));
}

void TBigIniFile::ReadSectionValues(const std::wstring& section, std::vector<std::wstring>& lines) {
  if (TIniLines* found = FindSection(CutSection(section), false))
    for (const TIniLine& line : *found) lines.push_back(line.Text());
}

void TBigIniFile::EraseSection(const std::wstring& section) {
  int index = FSections.IndexOf(CutSection(section));
  if (index < 0) return;
  FSections.Delete(index);
  FModified = true;
  if (FCurrentSection >= FSections.Count()) FCurrentSection = 0;
}

void TBigIniFile::DeleteKey(const std::wstring& section, const std::wstring& key) {
  TIniLines* lines;
  int index = FindItem(section, key, true, lines);
  if (index < 0) return;
  lines->erase(lines->begin() + index);
  FModified = true;
}

void TBigIniFile::ReadAll(std::vector<std::wstring>& lines) {
  for (int i = 0; i < FSections.Count(); ++i) {
    const TIniLines& section = FSections.SectionLines(i);
    if (section.empty()) continue;
    lines.push_back(L"[" + FSections.Name(i) + L"]");
    for (const TIniLine& line : section) lines.push_back(line.Text());
    lines.emplace_back();
  }
}

template <class Sink>
void TBigIniFile::WriteSections(Sink& sink) const {
  for (int i = 0; i < FSections.Count(); ++i) {
    const TIniLines& lines = FSections.SectionLines(i);
    if (lines.empty()) continue;
    sink.Put(L"[");
    sink.Put(FSections.Name(i));
    sink.Put(L"]");
    sink.EndLine();
    for (const TIniLine& line : lines) {
      sink.Put(line.Text());
      sink.EndLine();
    }
    sink.EndLine();
  }
  sink.Flush();
}

std::string TBigIniFile::SaveText() const {
  std::string out;
  auto append = [&out](const std::string& piece) { out += piece; };
  TAnsiWriter<decltype(append)> writer(static_cast<size_t>(FTextBufferSize), append);
  WriteSections(writer);
  return out;
}

void TBigIniFile::WriteToDisk() const { WriteWholeFile(FFileName, SaveText()); }

void TBigIniFile::UpdateFile() {
  if (!FModified) return;
  if (!FFileName.empty()) WriteToDisk();
  FModified = false;
}
