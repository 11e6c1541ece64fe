#include "PeImage.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace pe {

namespace {

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t Get64(const uint8_t* p) { return Get32(p) | (static_cast<uint64_t>(Get32(p + 4)) << 32); }

constexpr int kImportDir = 1;
constexpr int kResourceDir = 2;
constexpr int kExportDir = 0;
constexpr int kDelayImportDir = 13;
constexpr uint32_t kMaxEntries = 1u << 20;  // no real table is this long

}  // namespace

TPeImage TPeImage::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw EPeError("cannot open " + path);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return TPeImage(std::move(bytes));
}

TPeImage::TPeImage(std::vector<uint8_t> bytes) : FBytes(std::move(bytes)) {
  auto need = [&](size_t offset, size_t count) {
    if (offset > FBytes.size() || count > FBytes.size() - offset) throw EPeError("truncated headers");
    return FBytes.data() + offset;
  };
  const uint8_t* dos = need(0, 64);
  if (dos[0] != 'M' || dos[1] != 'Z') throw EPeError("no MZ signature");
  const uint32_t peOffset = Get32(dos + 60);
  const uint8_t* sig = need(peOffset, 24);
  if (std::memcmp(sig, "PE\0\0", 4) != 0) throw EPeError("no PE signature");
  const uint8_t* coff = sig + 4;
  FMachine = Get16(coff);
  const uint16_t sectionCount = Get16(coff + 2);
  const uint16_t optSize = Get16(coff + 16);
  FCharacteristics = Get16(coff + 18);
  const size_t optOffset = peOffset + 24;
  const uint8_t* opt = need(optOffset, optSize);
  if (optSize < 2) throw EPeError("no optional header");
  const uint16_t magic = Get16(opt);
  if (magic == 0x10b) {
    FIs64 = false;
  } else if (magic == 0x20b) {
    FIs64 = true;
  } else {
    throw EPeError("unknown optional header magic");
  }
  const size_t fixed = FIs64 ? 112 : 96;  // up to and including NumberOfRvaAndSizes
  if (optSize < fixed) throw EPeError("optional header too short");
  FImageBase = FIs64 ? Get64(opt + 24) : Get32(opt + 28);
  FSizeOfImage = Get32(opt + 56);
  FSubsystem = Get16(opt + 68);
  uint32_t dirCount = Get32(opt + fixed - 4);
  if (dirCount > (optSize - fixed) / 8) dirCount = static_cast<uint32_t>((optSize - fixed) / 8);
  for (uint32_t i = 0; i < dirCount; ++i)
    FDirectories.emplace_back(Get32(opt + fixed + 8 * i), Get32(opt + fixed + 8 * i + 4));
  const uint8_t* sec = need(optOffset + optSize, static_cast<size_t>(sectionCount) * 40);
  for (uint16_t i = 0; i < sectionCount; ++i, sec += 40) {
    TSection s;
    s.Name.assign(reinterpret_cast<const char*>(sec), strnlen(reinterpret_cast<const char*>(sec), 8));
    s.VirtualSize = Get32(sec + 8);
    s.VirtualAddress = Get32(sec + 12);
    s.RawSize = Get32(sec + 16);
    s.RawOffset = Get32(sec + 20);
    s.Characteristics = Get32(sec + 36);
    FSections.push_back(s);
  }
}

std::pair<uint32_t, uint32_t> TPeImage::Directory(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= FDirectories.size()) return {0, 0};
  return FDirectories[static_cast<size_t>(index)];
}

const TSection* TPeImage::SectionOf(uint32_t rva) const {
  for (const auto& s : FSections) {
    const uint32_t extent = std::max(s.VirtualSize, s.RawSize);
    if (rva >= s.VirtualAddress && rva - s.VirtualAddress < extent) return &s;
  }
  return nullptr;
}

const uint8_t* TPeImage::At(uint32_t rva, uint32_t count) const {
  const TSection* s = SectionOf(rva);
  if (!s) throw EPeError("address outside every section");
  const uint32_t inSection = rva - s->VirtualAddress;
  if (inSection > s->RawSize || count > s->RawSize - inSection) throw EPeError("address beyond the section's data");
  const uint64_t offset = static_cast<uint64_t>(s->RawOffset) + inSection;
  if (offset > FBytes.size() || count > FBytes.size() - offset) throw EPeError("address beyond the end of the file");
  return FBytes.data() + offset;
}

uint32_t TPeImage::U32(uint32_t rva) const { return Get32(At(rva, 4)); }
uint16_t TPeImage::U16(uint32_t rva) const { return Get16(At(rva, 2)); }
uint64_t TPeImage::Slot(uint32_t rva) const { return FIs64 ? Get64(At(rva, 8)) : Get32(At(rva, 4)); }

std::string TPeImage::CString(uint32_t rva) const {
  std::string s;
  for (uint32_t i = 0; i < 4096; ++i) {
    const char c = static_cast<char>(*At(rva + i, 1));
    if (c == '\0') return s;
    s.push_back(c);
  }
  throw EPeError("unterminated name");
}

std::vector<TImportDll> TPeImage::ReadImportTable(uint32_t dirRva, bool delayed) const {
  std::vector<TImportDll> out;
  const uint32_t entrySize = delayed ? 32 : 20;
  const uint64_t ordinalFlag = FIs64 ? (1ull << 63) : 0x80000000ull;
  for (uint32_t i = 0; i < kMaxEntries; ++i) {
    const uint32_t d = dirRva + i * entrySize;
    TImportDll dll;
    uint32_t nameRva, namesRva;
    if (delayed) {
      const uint32_t attributes = U32(d);
      nameRva = U32(d + 4);
      dll.FirstThunk = U32(d + 12);
      namesRva = U32(d + 16);
      if (nameRva == 0 && dll.FirstThunk == 0) break;
      if ((attributes & 1) == 0) {
        // Old-style descriptors hold addresses, not RVAs.
        auto rva = [&](uint32_t va) { return static_cast<uint32_t>(va - static_cast<uint32_t>(FImageBase)); };
        nameRva = rva(nameRva);
        dll.FirstThunk = rva(dll.FirstThunk);
        namesRva = rva(namesRva);
      }
    } else {
      namesRva = U32(d);
      nameRva = U32(d + 12);
      dll.FirstThunk = U32(d + 16);
      if (namesRva == 0 && nameRva == 0 && dll.FirstThunk == 0) break;
      if (namesRva == 0) namesRva = dll.FirstThunk;
    }
    dll.Dll = CString(nameRva);
    for (uint32_t k = 0; k < kMaxEntries; ++k) {
      const uint64_t entry = Slot(namesRva + k * SlotSize());
      if (delayed) dll.InitialSlots.push_back(Slot(dll.FirstThunk + k * SlotSize()));
      if (entry == 0) {
        dll.SlotCount = k + 1;
        break;
      }
      TImportedName n;
      if (entry & ordinalFlag) {
        n.Ordinal = static_cast<uint16_t>(entry & 0xFFFF);
      } else {
        n.Name = CString(static_cast<uint32_t>(entry) + 2);
      }
      dll.Names.push_back(std::move(n));
    }
    if (dll.SlotCount == 0) throw EPeError("import name table of " + dll.Dll + " does not end");
    if (delayed) dll.InitialSlots.pop_back();  // the closing slot
    out.push_back(std::move(dll));
  }
  return out;
}

std::vector<TImportDll> TPeImage::Imports() const {
  auto [rva, size] = Directory(kImportDir);
  if (rva == 0 || size == 0) return {};
  return ReadImportTable(rva, false);
}

std::vector<TImportDll> TPeImage::DelayImports() const {
  auto [rva, size] = Directory(kDelayImportDir);
  if (rva == 0 || size == 0) return {};
  return ReadImportTable(rva, true);
}

std::optional<TExports> TPeImage::Exports() const {
  auto [rva, size] = Directory(kExportDir);
  if (rva == 0 || size == 0) return std::nullopt;
  TExports e;
  e.DllName = CString(U32(rva + 12));
  e.OrdinalBase = U32(rva + 16);
  e.FunctionCount = U32(rva + 20);
  const uint32_t nameCount = U32(rva + 24);
  const uint32_t names = U32(rva + 32);
  if (nameCount > kMaxEntries || e.FunctionCount > kMaxEntries) throw EPeError("export table too long");
  for (uint32_t i = 0; i < nameCount; ++i) e.Names.push_back(CString(U32(names + 4 * i)));
  return e;
}

std::optional<std::array<uint16_t, 4>> TPeImage::FileVersion() const {
  auto [root, size] = Directory(kResourceDir);
  if (root == 0 || size == 0) return std::nullopt;
  // Level entries: (id or name, offset from the resource root; high bit: a
  // further directory).
  auto entries = [&](uint32_t dir) {
    std::vector<std::pair<uint32_t, uint32_t>> list;
    const uint32_t count = static_cast<uint32_t>(U16(dir + 12)) + U16(dir + 14);
    for (uint32_t i = 0; i < count; ++i) list.emplace_back(U32(dir + 16 + 8 * i), U32(dir + 16 + 8 * i + 4));
    return list;
  };
  auto find = [&](uint32_t dir, uint32_t id) -> std::optional<uint32_t> {
    for (auto [name, offset] : entries(dir))
      if (name == id && (offset & 0x80000000u)) return root + (offset & 0x7FFFFFFFu);
    return std::nullopt;
  };
  auto types = find(root, 16);  // RT_VERSION
  if (!types) return std::nullopt;
  auto ids = find(*types, 1);
  if (!ids) return std::nullopt;
  auto languages = entries(*ids);
  if (languages.empty() || (languages[0].second & 0x80000000u)) return std::nullopt;
  const uint32_t dataEntry = root + languages[0].second;
  const uint32_t dataRva = U32(dataEntry), dataSize = U32(dataEntry + 4);
  if (dataSize < 56) return std::nullopt;
  if (U32(dataRva + 40) != 0xFEEF04BDu) throw EPeError("version resource without its signature");
  const uint32_t ms = U32(dataRva + 48), ls = U32(dataRva + 52);
  return std::array<uint16_t, 4>{static_cast<uint16_t>(ms >> 16), static_cast<uint16_t>(ms),
                                 static_cast<uint16_t>(ls >> 16), static_cast<uint16_t>(ls)};
}

}  // namespace pe
