#include "untDllModule.h"

#include <objbase.h>

#include <atomic>
#include <mutex>

#include "PloverDrv_h.h"
#include "untDriverObject.h"
#include "untNotifyWindow.h"
#include "untText.h"
#include "win/WinModule.h"

namespace {

HMODULE GModule = nullptr;
std::atomic<long> GModuleRefs{0};

// The one class object: static, so it needs no counting of its own beyond the
// module lock that LockServer takes.
class TClassFactory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override {
    ModuleAddRef();
    return 2;
  }
  STDMETHODIMP_(ULONG) Release() override {
    ModuleRelease();
    return 1;
  }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return CreateDriverObject(iid, out);
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock)
      ModuleAddRef();
    else
      ModuleRelease();
    return S_OK;
  }
};

TClassFactory GFactory;

}  // namespace

HMODULE ModuleHandle() { return GModule; }

std::wstring ModulePath() { return ModuleFileName(GModule); }

void ModuleAddRef() { ++GModuleRefs; }
void ModuleRelease() { --GModuleRefs; }

ITypeInfo* DriverTypeInfo() {
  static ITypeInfo* info = [] {
    ITypeInfo* result = nullptr;
    ITypeLib* lib = nullptr;
    if (SUCCEEDED(LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, &lib))) {
      lib->GetTypeInfoOfGuid(IID_IPloverDriver4, &result);
      lib->Release();
    }
    return result;
  }();
  return info;
}

const std::wstring& ModuleVersionText() {
  static const std::wstring text = [] {
    // VS_VERSIONINFO: three WORDs, the key "VS_VERSION_INFO" and padding to
    // a DWORD boundary, then the fixed part with the numbers we need.
    HRSRC res = FindResourceW(GModule, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));
    if (!res) return std::wstring(L"0.0.0.0");
    HGLOBAL mem = LoadResource(GModule, res);
    auto* base = static_cast<const BYTE*>(LockResource(mem));
    DWORD size = SizeofResource(GModule, res);
    constexpr size_t kFixedOffset = 40;
    if (!base || size < kFixedOffset + sizeof(VS_FIXEDFILEINFO)) return std::wstring(L"0.0.0.0");
    VS_FIXEDFILEINFO fixed;
    memcpy(&fixed, base + kFixedOffset, sizeof fixed);
    if (fixed.dwSignature != 0xFEEF04BD) return std::wstring(L"0.0.0.0");
    return Format(L"%u.%u.%u.%u", HIWORD(fixed.dwFileVersionMS), LOWORD(fixed.dwFileVersionMS),
                  HIWORD(fixed.dwFileVersionLS), LOWORD(fixed.dwFileVersionLS));
  }();
  return text;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    GModule = instance;
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
    // Unloaded by FreeLibrary, so no window of the class is left (they keep
    // the module loaded). At process exit there is nothing worth undoing.
    UnregisterNotifyWindowClass();
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (clsid != CLSID_PloverDriver) return CLASS_E_CLASSNOTAVAILABLE;
  return GFactory.QueryInterface(iid, out);
}

STDAPI DllCanUnloadNow() { return GModuleRefs.load() == 0 ? S_OK : S_FALSE; }
