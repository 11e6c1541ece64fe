// Static check of a shipped Windows binary, runnable on any machine (no Wine,
// no 32-bit kernel needed): what the file is, and whether everything the
// loader must fill in at start resolves.
//
//   pecheck --system DIR [--machine i386|amd64] [--gui] [--dll] [--exe]
//           [--exports A,B,...] [--version 1.2.3.4] FILE
//
// DIR holds the system DLLs to resolve against (Wine's own i386 DLLs for a
// 32-bit file). Prints one line per finding; exit status 1 when any check
// fails, 2 when the file cannot be read as a PE image.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "PeImage.h"

namespace {

// DLLs that every supported Windows has in its system folder.
const std::set<std::string> kSystemDlls = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll",   "kernel32.dll", "msvcrt.dll",
    "ole32.dll",    "oleaut32.dll", "shell32.dll",  "user32.dll",  "uxtheme.dll",  "version.dll",
    "ws2_32.dll",   "shlwapi.dll",  "winspool.drv", "imm32.dll",   "rpcrt4.dll",   "ntdll.dll"};

std::string Lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Hex(uint64_t v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
  return buf;
}

class TChecker {
 public:
  int Faults = 0;
  void Ok(const std::string& what) { std::printf("ok:    %s\n", what.c_str()); }
  void Fault(const std::string& what) {
    std::printf("FAULT: %s\n", what.c_str());
    ++Faults;
  }
};

struct TSystemDll {
  std::set<std::string> Names;
  uint32_t OrdinalBase = 0, FunctionCount = 0;
};

const TSystemDll* SystemDll(const std::string& dir, const std::string& name, std::string& error) {
  static std::map<std::string, TSystemDll> cache;
  const std::string key = Lower(name);
  if (auto it = cache.find(key); it != cache.end()) return &it->second;
  const auto path = std::filesystem::path(dir) / key;
  try {
    auto image = pe::TPeImage::Load(path.string());
    auto exports = image.Exports();
    if (!exports) {
      error = path.string() + " exports nothing";
      return nullptr;
    }
    TSystemDll d;
    d.Names.insert(exports->Names.begin(), exports->Names.end());
    d.OrdinalBase = exports->OrdinalBase;
    d.FunctionCount = exports->FunctionCount;
    return &cache.emplace(key, std::move(d)).first->second;
  } catch (const std::exception& e) {
    error = path.string() + ": " + e.what();
    return nullptr;
  }
}

void CheckImportedNames(TChecker& c, const std::string& systemDir, const pe::TImportDll& dll, const char* kind) {
  const std::string lower = Lower(dll.Dll);
  if (!kSystemDlls.count(lower)) {
    c.Fault(std::string(kind) + " of " + dll.Dll + ", which is not a system DLL every Windows has");
    return;
  }
  std::string error;
  const TSystemDll* sys = SystemDll(systemDir, dll.Dll, error);
  if (!sys) {
    c.Fault(std::string(kind) + " of " + dll.Dll + ": " + error);
    return;
  }
  int missing = 0;
  for (const auto& n : dll.Names) {
    const bool found = n.Name.empty() ? n.Ordinal >= sys->OrdinalBase && n.Ordinal - sys->OrdinalBase < sys->FunctionCount
                                      : sys->Names.count(n.Name) > 0;
    if (!found) {
      c.Fault(std::string(kind) + " " + dll.Dll + "!" + (n.Name.empty() ? "#" + std::to_string(n.Ordinal) : n.Name) +
              " is not exported by the system's " + lower);
      ++missing;
    }
  }
  if (missing == 0) c.Ok(std::string(kind) + " " + dll.Dll + ": " + std::to_string(dll.Names.size()) + " names resolve");
}

// Every slot of the import address table is filled by the loader only when an
// import descriptor names it; a slot outside every descriptor keeps its value
// from the file, and a call through it jumps there.
void CheckAddressTableCoverage(TChecker& c, const pe::TPeImage& image, const std::vector<pe::TImportDll>& imports) {
  auto [iat, size] = image.Directory(12);
  if (iat == 0 || size == 0) return;
  const uint32_t slot = image.SlotSize();
  std::vector<bool> covered(size / slot, false);
  for (const auto& dll : imports)
    for (uint32_t k = 0; k < dll.SlotCount; ++k) {
      const uint32_t rva = dll.FirstThunk + k * slot;
      if (rva >= iat && rva - iat < size) covered[(rva - iat) / slot] = true;
    }
  uint32_t orphans = 0, first = 0;
  for (size_t i = 0; i < covered.size(); ++i)
    if (!covered[i]) {
      if (orphans++ == 0) first = iat + static_cast<uint32_t>(i) * slot;
    }
  if (orphans == 0) {
    c.Ok("every import address slot belongs to an import descriptor");
    return;
  }
  std::ostringstream s;
  s << orphans << " import address slot(s) from RVA " << Hex(first)
    << " are not covered by any import descriptor: the loader never fills them, so a call through one jumps to "
    << Hex(image.Slot(first)) << " (typical of a delay-load import library whose tables the linker dropped)";
  c.Fault(s.str());
}

void CheckDelayImports(TChecker& c, const std::string& systemDir, const pe::TPeImage& image) {
  for (const auto& dll : image.DelayImports()) {
    CheckImportedNames(c, systemDir, dll, "delay import");
    // Before the first call each slot must lead to the delay-load thunk in the
    // image's code.
    int bad = 0;
    for (uint64_t v : dll.InitialSlots) {
      const uint64_t base = image.ImageBase();
      const pe::TSection* s = v >= base && v - base < image.SizeOfImage()
                                  ? image.SectionOf(static_cast<uint32_t>(v - base))
                                  : nullptr;
      if (!s || !(s->Characteristics & 0x20000000u)) ++bad;  // IMAGE_SCN_MEM_EXECUTE
    }
    if (bad)
      c.Fault("delay import " + dll.Dll + ": " + std::to_string(bad) + " slot(s) do not lead to code in the image");
  }
}

std::vector<std::string> Split(const std::string& list) {
  std::vector<std::string> out;
  std::stringstream s(list);
  for (std::string item; std::getline(s, item, ',');)
    if (!item.empty()) out.push_back(item);
  return out;
}

int Usage() {
  std::fprintf(stderr,
               "usage: pecheck --system DIR [--machine i386|amd64] [--gui] [--dll|--exe] [--exports A,B] "
               "[--version 1.2.3.4] FILE\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string systemDir, machine, version, file;
  std::vector<std::string> exports;
  bool gui = false, wantDll = false, wantExe = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : std::string(); };
    if (a == "--system") systemDir = value();
    else if (a == "--machine") machine = value();
    else if (a == "--version") version = value();
    else if (a == "--exports") exports = Split(value());
    else if (a == "--gui") gui = true;
    else if (a == "--dll") wantDll = true;
    else if (a == "--exe") wantExe = true;
    else if (!a.empty() && a[0] != '-' && file.empty()) file = a;
    else return Usage();
  }
  if (file.empty() || systemDir.empty()) return Usage();

  std::printf("%s\n", file.c_str());
  TChecker c;
  try {
    const auto image = pe::TPeImage::Load(file);
    if (machine == "i386") {
      if (image.Machine() == 0x14c && !image.Is64()) c.Ok("PE32, i386");
      else c.Fault("not a PE32 i386 image (machine " + Hex(image.Machine()) + ")");
    } else if (machine == "amd64") {
      if (image.Machine() == 0x8664 && image.Is64()) c.Ok("PE32+, x86-64");
      else c.Fault("not a PE32+ x86-64 image (machine " + Hex(image.Machine()) + ")");
    }
    if (gui) {
      if (image.Subsystem() == 2) c.Ok("Windows GUI subsystem");
      else c.Fault("subsystem " + std::to_string(image.Subsystem()) + ", not Windows GUI (2)");
    }
    if (wantDll && !image.IsDll()) c.Fault("not a DLL");
    if (wantExe && image.IsDll()) c.Fault("a DLL, not a program");
    if ((wantDll && image.IsDll()) || (wantExe && !image.IsDll())) c.Ok(image.IsDll() ? "a DLL" : "a program");

    const auto imports = image.Imports();
    for (const auto& dll : imports) CheckImportedNames(c, systemDir, dll, "import");
    CheckAddressTableCoverage(c, image, imports);
    CheckDelayImports(c, systemDir, image);

    if (!exports.empty()) {
      const auto e = image.Exports();
      for (const auto& name : exports) {
        if (e && std::find(e->Names.begin(), e->Names.end(), name) != e->Names.end())
          c.Ok("exports " + name);
        else
          c.Fault("does not export " + name + " under that exact name");
      }
    }
    if (!version.empty()) {
      const auto v = image.FileVersion();
      const std::string got = v ? std::to_string((*v)[0]) + "." + std::to_string((*v)[1]) + "." +
                                      std::to_string((*v)[2]) + "." + std::to_string((*v)[3])
                                : std::string("none");
      if (got == version) c.Ok("file version " + got);
      else c.Fault("file version " + got + ", expected " + version);
    }
  } catch (const std::exception& e) {
    std::printf("FAULT: %s\n", e.what());
    return 2;
  }
  std::printf("%s: %d fault(s)\n", file.c_str(), c.Faults);
  return c.Faults ? 1 : 0;
}
