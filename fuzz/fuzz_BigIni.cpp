// Feeds arbitrary bytes to the INI store, both as a file and as a value, and
// checks what must hold for any input: the line reader gives the same store
// however the bytes are split into buffers, the rewritten text reads back
// unchanged, every name is unique and every line fits, key look-ups find the
// first matching line, what is written reads back, and no value can add,
// remove or replace a section or a key.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "BigIni.h"
#include "untText.h"

namespace {

// Look-ups scan a section's lines, so checking every key of a section costs
// the square of its length: the first keys of each section are enough to
// catch a wrong answer, and long inputs stay quick.
constexpr size_t kKeysChecked = 16;
// Longer inputs only repeat what shorter ones show: lines are cut at 255
// characters and the reader's buffer edges are moved by the first byte.
constexpr size_t kMaxInput = 1024;

void Check(bool condition) {
  if (!condition) std::abort();
}

// What is read back is what was written, or the start of it when the value
// did not fit its line whole (plain, or encoded where it holds line breaks).
void CheckWritten(const std::wstring& written, const std::wstring& back, std::wstring_view key) {
  if (back == written) return;
  Check(back.size() < written.size() && written.compare(0, back.size(), back) == 0);
  size_t width = written.size();
  if (written.find_first_of(L"\r\n") != std::wstring::npos || (!key.empty() && key.back() == L'*')) {
    for (wchar_t c : written) width += c == L'%' || c == L'\r' || c == L'\n' ? 2 : 0;
    width += 1;  // the mark
  }
  Check(key.size() + 1 + width > TBigIniFile::MaxTextLength);
}

void CheckLookups(TBigIniFile& ini) {
  TSectionList& sections = ini.Sections();
  const int count = sections.Count();
  for (int i = 0; i < count; ++i) {
    const std::wstring& name = sections.Name(i);
    Check(name.size() <= 253);
    // Names are unique: a walk from the first section meets each at its place.
    Check(sections.Locate(name, 0) == i);
    Check(sections.IndexOf(name) == i);
    const TIniLines& lines = sections.SectionLines(i);
    for (size_t l = 0; l < lines.size(); ++l) {
      const TIniLine& line = lines[l];
      Check(!line.Text().empty() && line.Text().size() <= 255);
      Check(line.Text().find_first_of(L"\r\n") == std::wstring::npos);
      if (!line.HasKey() || l >= kKeysChecked) continue;
      const uint32_t hash = IniFoldHash(line.Key());
      size_t first = 0;
      while (!lines[first].KeyIs(line.Key(), hash)) ++first;
      // Each key is asked for once, at its first line.
      if (first != l) continue;
      Check(ini.ReadString(name, std::wstring(line.Key()), L"\x1") == line.Value());
      Check(ini.CurrentSection() == i);
    }
  }
}

// Writing every key back as read must keep it readable as it was (or its
// start, when its line had to be cut). A cut can drop the line break that
// made a value's line the encoded kind, so the next rewrite may store the
// same text in the plain kind; from the one after that on, nothing changes.
void CheckRewrite(TBigIniFile& ini) {
  std::vector<std::wstring> names;
  ini.ReadSections(names);
  for (int pass = 0; pass < 3; ++pass) {
    for (const auto& name : names) {
      std::vector<std::wstring> keys;
      ini.ReadSection(name, keys);
      if (keys.size() > kKeysChecked) keys.resize(kKeysChecked);
      for (const auto& listed : keys) {
        // An empty key would erase the section instead.
        if (listed.empty()) continue;
        // The first line of that key, spelt as it is stored: keys that differ
        // in letter case only would otherwise take turns.
        TIniLines* lines;
        const int index = ini.FindItem(name, listed, false, lines);
        Check(index >= 0);
        const std::wstring key((*lines)[static_cast<size_t>(index)].Key());
        const std::wstring value = ini.ReadString(name, key, L"");
        ini.WriteString(name, key, value);
        CheckWritten(value, ini.ReadString(name, key, L"\x1"), key);
      }
    }
    if (pass < 2) ini.UpdateFile();  // no file: only clears Modified
  }
  Check(!ini.Modified());
  std::vector<std::wstring> after;
  ini.ReadSections(after);
  Check(after == names);
}

// The input as a value between two others: the file keeps its three keys in
// their one section, whatever the value holds.
void CheckValue(std::string_view bytes) {
  std::wstring value = AnsiToWide(bytes.substr(0, 255));
  if (value.size() > 255) value.resize(255);
  const std::wstring key = value.size() % 2 ? L"Key*" : L"Key";
  TBigIniFile ini(L"");
  ini.WriteString(L"A", L"Before", L"1");
  ini.WriteString(L"A", key, value);
  ini.WriteString(L"B", L"After", L"2");
  TBigIniFile back(L"");
  back.LoadText(ini.SaveText());
  Check(back.Sections().Count() == 2);
  Check(back.Sections().SectionLines(0).size() == 2 && back.Sections().SectionLines(1).size() == 1);
  Check(back.ReadString(L"A", L"Before", L"") == L"1");
  Check(back.ReadString(L"B", L"After", L"") == L"2");
  CheckWritten(value, back.ReadString(L"A", key, L"\x1"), key);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  TBigIniFile whole(L"");
  whole.LoadText(bytes);
  const std::string written = whole.SaveText();
  Check(!whole.Modified());

  // The first byte picks a buffer size, so line ends fall on every edge
  // (every other input: the reader is the same for the rest).
  if (size > 0 && data[0] % 2) {
    TBigIniFile pieces(L"");
    pieces.LoadText(bytes, 1 + data[0] / 2 % 17);
    Check(pieces.SaveText() == written);
  }

  TBigIniFile again(L"");
  again.LoadText(written);
  Check(again.SaveText() == written);

  std::vector<std::wstring> all;
  whole.ReadAll(all);
  std::wstring joined;
  for (const auto& line : all) {
    joined += line;
    joined += L"\r\n";
  }
  Check(WideToAnsi(joined) == written);

  CheckLookups(whole);
  CheckRewrite(whole);
  CheckValue(bytes);
  return 0;
}
