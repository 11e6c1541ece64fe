// The driver control as any client program sees it: created by its ProgID
// (so the registration of this probe's bitness is what is tested), reached
// by name through IDispatch.
#include "probe.h"

#include <oleauto.h>

namespace {

constexpr int kStatusCode = 0x11;
// Addresses the exchange uses: PloverTst's commands page answers a request
// meant for any station but its own (1).
constexpr int kProbeAddress = 10, kOtherAddress = 20;

class TControl {
 public:
  TControl() {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(L"PloverDrv.PloverDriver", &clsid);
    if (SUCCEEDED(hr)) hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                             reinterpret_cast<void**>(&FDispatch));
    FCreated = hr;
  }
  ~TControl() {
    if (FDispatch) FDispatch->Release();
  }
  TControl(const TControl&) = delete;
  TControl& operator=(const TControl&) = delete;
  HRESULT Created() const { return FCreated; }

  void Put(const wchar_t* name, long value) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    Invoke(name, DISPATCH_PROPERTYPUT, &v, nullptr);
  }
  long Int(const wchar_t* name) {
    VARIANT r;
    VariantInit(&r);
    Invoke(name, DISPATCH_PROPERTYGET, nullptr, &r);
    VariantChangeType(&r, &r, 0, VT_I4);
    return V_VT(&r) == VT_I4 ? V_I4(&r) : -1000;
  }
  std::wstring Text(const wchar_t* name) {
    VARIANT r;
    VariantInit(&r);
    Invoke(name, DISPATCH_PROPERTYGET, nullptr, &r);
    std::wstring text = V_VT(&r) == VT_BSTR && V_BSTR(&r) ? V_BSTR(&r) : L"";
    VariantClear(&r);
    return text;
  }
  long Call(const wchar_t* name) {
    VARIANT r;
    VariantInit(&r);
    Invoke(name, DISPATCH_METHOD, nullptr, &r);
    return V_VT(&r) == VT_I4 ? V_I4(&r) : -1000;
  }
  std::wstring Result() { return L"(" + std::to_wstring(Int(L"ResultCode")) + L") " + Text(L"ResultCodeDescription"); }

 private:
  void Invoke(const wchar_t* name, WORD flags, VARIANT* arg, VARIANT* result) {
    if (!FDispatch) return;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (FAILED(FDispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return;
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{arg, arg ? &putId : nullptr, arg ? 1u : 0u, arg ? 1u : 0u};
    FDispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
  }

  IDispatch* FDispatch = nullptr;
  HRESULT FCreated;
};

struct TComInit {
  TComInit() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  ~TComInit() { CoUninitialize(); }
};

std::wstring DriverFile() {
  wchar_t path[MAX_PATH] = {};
  HMODULE module = GetModuleHandleW(L"PloverDrv.dll");
  if (module) GetModuleFileNameW(module, path, MAX_PATH);
  return path;
}

}  // namespace

int DriverStatus() {
  TComInit com;
  TControl d;
  if (FAILED(d.Created())) return Fail(L"the control is not created: error " + std::to_wstring(d.Created()));
  d.Put(L"DeviceEnabled", -1);
  d.Call(L"GetECRStatus");
  PutLine(d.Result());
  PutLine(L"bits: " + std::to_wstring(sizeof(void*) * 8));
  PutLine(L"driver: " + DriverFile());
  return 0;
}

int DriverExchange(const std::wstring& tst, int port) {
  // PloverTst's control reads the same saved settings as ours.
  HKEY key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\PloverDrv", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return Fail(L"cannot write the driver's settings");
  const DWORD udp = 1, busPort = static_cast<DWORD>(port);
  RegSetValueExW(key, L"BusKind", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&udp), sizeof udp);
  RegSetValueExW(key, L"BusPort", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&busPort), sizeof busPort);
  RegCloseKey(key);

  TProgram program(tst);
  if (!program.Started()) return Fail(L"cannot start " + tst);
  HWND main = WaitTop(program.Pid(), kTstCaption);
  if (!main) return Fail(L"no PloverTst main window");
  HWND list = Child(main, L"ListBox", {}, true);
  if (!list) return Fail(L"no page list");
  if (!SelectPage(main, list, L"Команды")) return Fail(L"no page \"Команды\"");

  TComInit com;
  TControl d;
  if (FAILED(d.Created())) return Fail(L"the control is not created: error " + std::to_wstring(d.Created()));
  d.Put(L"SrcAddress", kProbeAddress);
  long rc = -1;
  // PloverTst joins the bus when its page is shown: asked again until then.
  for (int attempt = 0; attempt < 20 && rc != 0; ++attempt) {
    d.Put(L"CommandType", 0);
    d.Put(L"CommandCode", kStatusCode);
    d.Put(L"CommandSrcAddress", kProbeAddress);
    d.Put(L"CommandDstAddress", kOtherAddress);
    d.Put(L"Timeout", 1000);
    d.Put(L"WaitAnswer", -1);
    d.Put(L"ECRSoftBuild", 0);
    rc = d.Call(L"SendCommand");
  }
  PutLine(d.Result());
  PutLine(L"ECRSoftBuild: " + std::to_wstring(d.Int(L"ECRSoftBuild")));
  PutLine(L"bits: " + std::to_wstring(sizeof(void*) * 8));
  Press(Child(main, L"Button", kClose));
  if (program.WaitExit() != 0) return Fail(L"PloverTst does not end well");
  return rc == 0 ? 0 : 1;
}
