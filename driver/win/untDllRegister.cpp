// Self-registration: the class, its ProgIDs and the type library. One table
// of registry entries, written front to back and removed back to front, so
// what is installed and what is removed cannot drift apart.
#include <windows.h>
#include <oleauto.h>
#include <olectl.h>

#include <string>

#include "PloverDrv_h.h"
#include "untDllModule.h"
#include "win/WinHandles.h"

namespace {

struct TRegEntry {
  const wchar_t* Key;    // under HKEY_CLASSES_ROOT; {CLSID}, {LIBID} are filled in
  const wchar_t* Name;   // nullptr: the key's default value, which marks the key as ours
  const wchar_t* Value;  // {MODULE} is the DLL's path
};

constexpr wchar_t kDescription[] = L"PloverDrv driver control";

const TRegEntry kEntries[] = {
    {L"CLSID\\{CLSID}", nullptr, kDescription},
    {L"CLSID\\{CLSID}\\InprocServer32", nullptr, L"{MODULE}"},
    {L"CLSID\\{CLSID}\\InprocServer32", L"ThreadingModel", L"Both"},
    {L"CLSID\\{CLSID}\\ProgID", nullptr, L"PloverDrv.PloverDriver.1"},
    {L"CLSID\\{CLSID}\\VersionIndependentProgID", nullptr, L"PloverDrv.PloverDriver"},
    {L"CLSID\\{CLSID}\\TypeLib", nullptr, L"{LIBID}"},
    {L"CLSID\\{CLSID}\\Version", nullptr, L"1.0"},
    {L"PloverDrv.PloverDriver", nullptr, kDescription},
    {L"PloverDrv.PloverDriver\\CLSID", nullptr, L"{CLSID}"},
    {L"PloverDrv.PloverDriver\\CurVer", nullptr, L"PloverDrv.PloverDriver.1"},
    {L"PloverDrv.PloverDriver.1", nullptr, kDescription},
    {L"PloverDrv.PloverDriver.1\\CLSID", nullptr, L"{CLSID}"},
};

std::wstring GuidText(REFGUID guid) {
  wchar_t buf[40] = {};
  StringFromGUID2(guid, buf, 40);
  return buf;
}

std::wstring Expand(std::wstring text) {
  const std::pair<std::wstring, std::wstring> fields[] = {
      {L"{CLSID}", GuidText(CLSID_PloverDriver)},
      {L"{LIBID}", GuidText(LIBID_PloverDrv)},
      {L"{MODULE}", ModulePath()},
  };
  for (const auto& [name, value] : fields)
    for (size_t at = text.find(name); at != std::wstring::npos; at = text.find(name, at + value.size()))
      text.replace(at, name.size(), value);
  return text;
}

HRESULT WriteEntry(const TRegEntry& e) {
  TRegKey key;
  LSTATUS rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, Expand(e.Key).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                               nullptr, key.Put(), nullptr);
  if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
  std::wstring value = Expand(e.Value);
  rc = RegSetValueExW(key.Get(), e.Name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                      static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(rc);
}

// Children come after their parents in the table, so walking it backwards
// empties a key before it is deleted. A key that is already gone is fine.
void RemoveEntry(const TRegEntry& e) {
  if (e.Name == nullptr) RegDeleteKeyW(HKEY_CLASSES_ROOT, Expand(e.Key).c_str());
}

HRESULT ApplyTable(bool install) {
  constexpr size_t n = sizeof kEntries / sizeof kEntries[0];
  for (size_t i = 0; i < n; ++i) {
    if (install) {
      HRESULT hr = WriteEntry(kEntries[i]);
      if (FAILED(hr)) return hr;
    } else {
      RemoveEntry(kEntries[n - 1 - i]);
    }
  }
  return S_OK;
}

}  // namespace

STDAPI DllRegisterServer() {
  HRESULT hr = ApplyTable(true);
  if (FAILED(hr)) {
    ApplyTable(false);
    return SELFREG_E_CLASS;
  }
  ITypeLib* lib = nullptr;
  hr = LoadTypeLibEx(ModulePath().c_str(), REGKIND_REGISTER, &lib);
  if (FAILED(hr)) {
    ApplyTable(false);
    return SELFREG_E_TYPELIB;
  }
  lib->Release();
  return S_OK;
}

STDAPI DllUnregisterServer() {
  UnRegisterTypeLib(LIBID_PloverDrv, 1, 0, LOCALE_NEUTRAL, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
  ApplyTable(false);
  return S_OK;
}
