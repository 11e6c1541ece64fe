#pragma once
// The program's own file version, from its version resource.
#include <windows.h>

#include <cstdint>
#include <string>

struct TFileVersion {
  uint16_t Major = 0;
  uint16_t Minor = 0;
  uint16_t Release = 0;
  uint16_t Build = 0;
};

// The file version of the module's version resource #1 (the program itself
// when module is null); zeros when there is none or it cannot be read.
TFileVersion ReadFileVersion(HMODULE module = nullptr);
// "%d.%d.%d.%d" of ReadFileVersion, e.g. 1.6.0.62.
std::wstring GetFileVersionString(HMODULE module = nullptr);
