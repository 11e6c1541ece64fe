#pragma once
// A read-only view of a Windows PE file (32- or 64-bit), enough to check what
// the loader will do with it: headers, sections, imports (plain and delayed),
// the import address table, exports and the version resource. Every offset
// read from the file is checked against its size; a malformed file gives an
// error, never a read outside the data.
#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace pe {

struct TImportedName {
  std::string Name;       // empty when imported by ordinal
  uint16_t Ordinal = 0;   // the ordinal when Name is empty
};

struct TImportDll {
  std::string Dll;
  std::vector<TImportedName> Names;
  uint32_t FirstThunk = 0;   // RVA of the slots the loader fills
  uint32_t SlotCount = 0;    // slots including the closing null slot
  std::vector<uint64_t> InitialSlots;  // the slots' values in the file (delay imports)
};

struct TExports {
  std::string DllName;
  uint32_t OrdinalBase = 0;
  uint32_t FunctionCount = 0;
  std::vector<std::string> Names;
};

struct TSection {
  std::string Name;
  uint32_t VirtualAddress = 0, VirtualSize = 0, RawOffset = 0, RawSize = 0, Characteristics = 0;
};

class EPeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TPeImage {
 public:
  // Throws EPeError when the file is not a PE image or a table runs outside it.
  explicit TPeImage(std::vector<uint8_t> bytes);
  static TPeImage Load(const std::string& path);

  uint16_t Machine() const { return FMachine; }
  bool Is64() const { return FIs64; }
  bool IsDll() const { return (FCharacteristics & 0x2000) != 0; }
  uint16_t Subsystem() const { return FSubsystem; }
  uint64_t ImageBase() const { return FImageBase; }
  uint32_t SizeOfImage() const { return FSizeOfImage; }
  const std::vector<TSection>& Sections() const { return FSections; }

  // Data directory i: RVA and size (0, 0 when absent).
  std::pair<uint32_t, uint32_t> Directory(int index) const;

  std::vector<TImportDll> Imports() const;
  std::vector<TImportDll> DelayImports() const;
  std::optional<TExports> Exports() const;
  // The file version of version resource #1 (any language): major, minor,
  // release, build; nothing when there is no such resource.
  std::optional<std::array<uint16_t, 4>> FileVersion() const;

  // The section holding an RVA, or nullptr.
  const TSection* SectionOf(uint32_t rva) const;
  // Bytes at an RVA (count bytes, all inside the file).
  const uint8_t* At(uint32_t rva, uint32_t count) const;
  uint32_t U32(uint32_t rva) const;
  uint16_t U16(uint32_t rva) const;
  uint64_t Slot(uint32_t rva) const;  // 4 or 8 bytes by the image's kind
  uint32_t SlotSize() const { return FIs64 ? 8 : 4; }
  std::string CString(uint32_t rva) const;

 private:
  std::vector<TImportDll> ReadImportTable(uint32_t dirRva, bool delayed) const;
  std::vector<uint8_t> FBytes;
  uint16_t FMachine = 0, FCharacteristics = 0, FSubsystem = 0;
  bool FIs64 = false;
  uint64_t FImageBase = 0;
  uint32_t FSizeOfImage = 0;
  std::vector<std::pair<uint32_t, uint32_t>> FDirectories;
  std::vector<TSection> FSections;
};

}  // namespace pe
