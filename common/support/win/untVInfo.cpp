#include "untVInfo.h"

#include <cstring>

#include "untText.h"

namespace {
// The fixed file information follows a 40-byte header; its file version is
// the two 32-bit words at offsets 48 (major, minor) and 52 (release, build).
constexpr size_t kFileVersionOffset = 48;
}  // namespace

TFileVersion ReadFileVersion(HMODULE module) {
  TFileVersion version;
  if (!module) module = GetModuleHandleW(nullptr);
  HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));
  if (!info) return version;
  HGLOBAL data = LoadResource(module, info);
  if (!data) return version;
  const auto* bytes = static_cast<const unsigned char*>(LockResource(data));
  // A resource too short to hold the version reads as none, not past its end.
  if (!bytes || SizeofResource(module, info) < kFileVersionOffset + 8) return version;
  unsigned char raw[8];
  std::memcpy(raw, bytes + kFileVersionOffset, sizeof raw);
  auto word = [&](size_t at) { return static_cast<uint16_t>(raw[at] | (raw[at + 1] << 8)); };
  version.Minor = word(0);
  version.Major = word(2);
  version.Build = word(4);
  version.Release = word(6);
  return version;
}

std::wstring GetFileVersionString(HMODULE module) {
  const TFileVersion v = ReadFileVersion(module);
  return Format(L"%d.%d.%d.%d", v.Major, v.Minor, v.Release, v.Build);
}
