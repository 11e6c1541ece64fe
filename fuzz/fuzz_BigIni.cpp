// Feeds arbitrary bytes to the INI loader and checks what must hold for any
// file: the line reader gives the same store however the bytes are split into
// buffers, the rewritten text reads back unchanged, every name is unique and
// every line fits, and key look-ups find the first matching line.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "BigIni.h"
#include "untText.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckLookups(TBigIniFile& ini) {
  TSectionList& sections = ini.Sections();
  std::vector<std::wstring> names;
  ini.ReadSections(names);
  for (size_t i = 0; i < names.size(); ++i) {
    Check(names[i].size() <= 253);
    for (size_t j = 0; j < i; ++j) Check(!SameText(names[i], names[j]));
    Check(sections.IndexOf(names[i]) == static_cast<int>(i));
    const TIniLines lines = sections.SectionLines(static_cast<int>(i));
    for (const TIniLine& line : lines) {
      Check(!line.Text().empty() && line.Text().size() <= 255);
      Check(line.Text().find_first_of(L"\r\n") == std::wstring::npos);
      if (!line.HasKey()) continue;
      const std::wstring key(line.Key());
      std::wstring expected;
      for (const TIniLine& other : lines)
        if (other.HasKey() && SameText(other.Key(), key)) {
          expected = other.Value();
          break;
        }
      Check(ini.ReadString(names[i], key, L"\x1") == expected);
      Check(ini.CurrentSection() == static_cast<int>(i));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  TBigIniFile whole(L"");
  whole.LoadText(bytes);
  const std::string written = whole.SaveText();

  // The first byte picks a buffer size, so line ends fall on every edge.
  const size_t chunk = size > 0 ? 1 + data[0] % 17 : 1;
  TBigIniFile pieces(L"");
  pieces.LoadText(bytes, chunk);
  Check(pieces.SaveText() == written);
  Check(!whole.Modified());

  TBigIniFile again(L"");
  again.LoadText(written);
  Check(again.SaveText() == written);

  std::vector<std::wstring> all;
  whole.ReadAll(all);
  std::wstring joined;
  for (const auto& line : all) joined += line + L"\r\n";
  Check(WideToAnsi(joined) == written);

  CheckLookups(whole);

  // Writing every key back unchanged must not count as a change.
  std::vector<std::wstring> names;
  whole.ReadSections(names);
  for (const auto& name : names) {
    std::vector<std::wstring> keys;
    whole.ReadSection(name, keys);
    for (const auto& key : keys) {
      TIniLines* lines;
      int index = whole.FindItem(name, key, false, lines);
      // An empty key would erase the section instead.
      if (key.empty() || index < 0) continue;
      // The first line of that key, spelt as it is stored.
      const TIniLine& first = (*lines)[static_cast<size_t>(index)];
      whole.WriteString(name, std::wstring(first.Key()), std::wstring(first.Value()));
    }
  }
  Check(!whole.Modified());
  return 0;
}
