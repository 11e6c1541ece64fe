// The INI store's section list: sections in file order, found by a walk
// from where the last search ended, or through a name index when there are
// many; and the letter-case folding that names and keys are compared by.
#include "BigIni.h"

#include "untText.h"

namespace {

// Below this many sections a plain walk is as quick as the name index.
constexpr int kIndexThreshold = 8;

inline wchar_t Fold(wchar_t c) noexcept {
  if (c < 0x80) return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
  return UpperChar(c);
}

}  // namespace

uint32_t IniFoldHash(std::wstring_view text) noexcept {
  uint32_t h = 2166136261u;
  for (wchar_t c : text) h = (h ^ static_cast<uint32_t>(Fold(c))) * 16777619u;
  return h;
}

// ---------------------------------------------------------------- TSectionList

bool TSectionList::TFoldEqual::operator()(std::wstring_view a, std::wstring_view b) const noexcept {
  return SameText(a, b);
}

bool TSectionList::NameIs(int index, std::wstring_view name) const {
  return SameText(FItems[static_cast<size_t>(index)]->Name, name);
}

int TSectionList::Walk(std::wstring_view name, int start) const {
  const int count = Count();
  for (int i = start; i < count; ++i)
    if (NameIs(i, name)) return i;
  for (int i = 0; i < start && i < count; ++i)
    if (NameIs(i, name)) return i;
  return -1;
}

bool TSectionList::BuildIndex() {
  FIndex.clear();
  FIndex.reserve(FItems.size());
  FHasDuplicates = false;
  for (size_t i = 0; i < FItems.size(); ++i)
    if (!FIndex.emplace(FItems[i]->Name, static_cast<int>(i)).second) FHasDuplicates = true;
  FIndexValid = true;
  return !FHasDuplicates;
}

int TSectionList::Locate(std::wstring_view name, int start) {
  const int count = Count();
  if (count == 0) return -1;
  if (start < 0 || start >= count) start = 0;
  if (count <= kIndexThreshold) return Walk(name, start);
  // Walking through sections in file order finds the next one here.
  if (NameIs(start, name)) return start;
  if (!FIndexValid) BuildIndex();
  // With every name unique the walk's start cannot change its answer.
  if (FHasDuplicates) return Walk(name, start);
  auto it = FIndex.find(name);
  return it == FIndex.end() ? -1 : it->second;
}

int TSectionList::IndexOf(std::wstring_view name) {
  if (FItems.empty()) return -1;
  int start = FPrevIndex >= Count() || FPrevIndex < 0 ? 0 : FPrevIndex;
  int index = Locate(name, start);
  if (index >= 0) FPrevIndex = index;
  return index;
}

int TSectionList::Add(std::wstring name) {
  auto section = std::make_unique<TSection>();
  section->Name = std::move(name);
  FItems.push_back(std::move(section));
  int index = Count() - 1;
  if (FIndexValid && !FIndex.emplace(FItems.back()->Name, index).second) FHasDuplicates = true;
  return index;
}

void TSectionList::AppendFrom(TSectionList& other) {
  if (FItems.empty()) {
    FItems = std::move(other.FItems);
  } else {
    FItems.reserve(FItems.size() + other.FItems.size());
    for (auto& item : other.FItems) FItems.push_back(std::move(item));
  }
  other.Clear();
  FIndexValid = false;
}

void TSectionList::Delete(int index) {
  FItems.erase(FItems.begin() + index);
  FIndexValid = false;
  FPrevIndex = 0;
}

void TSectionList::Clear() noexcept {
  FItems.clear();
  FIndex.clear();
  FIndexValid = true;
  FHasDuplicates = false;
  FPrevIndex = 0;
}

bool TSectionList::RemoveDuplicates() {
  if (FItems.size() < 2) return false;
  // One pass in file order: a name already seen marks a later duplicate, so
  // the first occurrence survives with its own lines.
  FIndex.clear();
  FIndex.reserve(FItems.size());
  size_t kept = 0;
  for (size_t i = 0; i < FItems.size(); ++i) {
    if (!FIndex.emplace(FItems[i]->Name, static_cast<int>(kept)).second) continue;
    if (kept != i) FItems[kept] = std::move(FItems[i]);
    ++kept;
  }
  bool removed = kept != FItems.size();
  FItems.resize(kept);
  FIndexValid = true;
  FHasDuplicates = false;
  return removed;
}
