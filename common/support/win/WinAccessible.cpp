#include "WinAccessible.h"

#include <oleauto.h>

#include "WinModule.h"

namespace {

// {618736E0-3C3D-11CF-810C-00AA00389B71}
const IID kIIDAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

// The system's accessibility library, loaded once, when first needed.
struct TOleAcc {
  using TLresultFromObject = LRESULT(WINAPI*)(REFIID, WPARAM, IUnknown*);
  using TObjectFromWindow = HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**);
  TLresultFromObject LresultFromObject = nullptr;
  TObjectFromWindow AccessibleObjectFromWindow = nullptr;

  static const TOleAcc& Get() {
    static const TOleAcc lib = [] {
      TOleAcc l;
      l.LresultFromObject = SystemFunction<TLresultFromObject>(L"oleacc.dll", "LresultFromObject");
      l.AccessibleObjectFromWindow = SystemFunction<TObjectFromWindow>(L"oleacc.dll", "AccessibleObjectFromWindow");
      return l;
    }();
    return lib;
  }
};

BSTR ToBstr(const std::wstring& text) { return SysAllocStringLen(text.data(), static_cast<UINT>(text.size())); }

}  // namespace

long TAccSource::AccHitTest(POINT screen) {
  for (long child = AccChildCount(); child >= 1; --child) {
    TAccNode node;
    if (AccDescribe(child, node) && !(node.State & STATE_SYSTEM_INVISIBLE) && PtInRect(&node.Screen, screen))
      return child;
  }
  TAccNode self;
  return AccDescribe(0, self) && PtInRect(&self.Screen, screen) ? 0 : -1;
}

// ---------------------------------------------------------------- the object

class TAccObject final : public IAccessible, public IOleWindow {
 public:
  TAccObject(TAccSource* source, std::unique_ptr<TAccSource> owned) : FSource(source), FOwned(std::move(owned)) {}
  void Disconnect() {
    FSource = nullptr;
    FOwned.reset();
  }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, kIIDAccessible)) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    if (IsEqualIID(riid, IID_IOleWindow)) {
      *out = static_cast<IOleWindow*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&FRefs)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG n = InterlockedDecrement(&FRefs);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }

  // IOleWindow: the window behind the element.
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    if (!window) return E_POINTER;
    *window = FSource ? FSource->AccWindow() : nullptr;
    return *window ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IDispatch: clients use the interface's own methods.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    if (!parent) return E_POINTER;
    *parent = nullptr;
    if (!FSource) return CO_E_OBJNOTCONNECTED;
    *parent = FSource->AccParent();
    return *parent ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
    if (!count) return E_POINTER;
    if (!FSource) return CO_E_OBJNOTCONNECTED;
    *count = FSource->AccChildCount();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    long id;
    if (HRESULT hr = Child(child, id); FAILED(hr)) return hr;
    if (id == CHILDID_SELF) return E_INVALIDARG;
    *out = FSource->AccChildObject(id);
    return *out ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* out) override {
    return Text(child, out, [](const TAccNode& n) -> const std::wstring& { return n.Name; });
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* out) override {
    return Text(child, out, [](const TAccNode& n) -> const std::wstring& { return n.Value; });
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT, BSTR* out) override { return Nothing(out); }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* out) override {
    TAccNode node;
    if (HRESULT hr = Describe(child, node, out); hr != S_OK) return hr;
    out->vt = VT_I4;
    out->lVal = node.Role;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* out) override {
    TAccNode node;
    if (HRESULT hr = Describe(child, node, out); hr != S_OK) return hr;
    out->vt = VT_I4;
    out->lVal = node.State;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* out) override { return Nothing(out); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, long* topic) override {
    if (file) *file = nullptr;
    if (topic) *topic = 0;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR* out) override { return Nothing(out); }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* out) override {
    if (!out) return E_POINTER;
    VariantInit(out);
    if (!FSource) return CO_E_OBJNOTCONNECTED;
    const long focus = FSource->AccFocus();
    if (focus < 0) return S_FALSE;
    if (focus > 0) {
      if (IDispatch* d = FSource->AccChildObject(focus)) {
        out->vt = VT_DISPATCH;
        out->pdispVal = d;
        return S_OK;
      }
    }
    out->vt = VT_I4;
    out->lVal = focus;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* out) override {
    if (!out) return E_POINTER;
    VariantInit(out);
    return FSource ? S_FALSE : CO_E_OBJNOTCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* out) override {
    return Text(child, out, [](const TAccNode& n) -> const std::wstring& { return n.DefaultAction; });
  }
  HRESULT STDMETHODCALLTYPE accSelect(long, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
    if (!left || !top || !width || !height) return E_POINTER;
    TAccNode node;
    VARIANT unused;
    if (HRESULT hr = Describe(child, node, &unused); hr != S_OK) return hr;
    *left = node.Screen.left;
    *top = node.Screen.top;
    *width = node.Screen.right - node.Screen.left;
    *height = node.Screen.bottom - node.Screen.top;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long, VARIANT, VARIANT* out) override {
    if (out) VariantInit(out);
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* out) override {
    if (!out) return E_POINTER;
    VariantInit(out);
    if (!FSource) return CO_E_OBJNOTCONNECTED;
    const long hit = FSource->AccHitTest(POINT{x, y});
    if (hit < 0) return S_FALSE;
    if (hit > 0) {
      if (IDispatch* d = FSource->AccChildObject(hit)) {
        out->vt = VT_DISPATCH;
        out->pdispVal = d;
        return S_OK;
      }
    }
    out->vt = VT_I4;
    out->lVal = hit;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    long id;
    if (HRESULT hr = Child(child, id); FAILED(hr)) return hr;
    return FSource->AccDoDefaultAction(id) ? S_OK : DISP_E_MEMBERNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  ~TAccObject() = default;

  // The child a VARIANT names: VT_I4 (VT_EMPTY counts as the object itself).
  HRESULT Child(const VARIANT& v, long& id) const {
    if (!FSource) return CO_E_OBJNOTCONNECTED;
    if (v.vt == VT_EMPTY) {
      id = CHILDID_SELF;
      return S_OK;
    }
    if (v.vt != VT_I4) return E_INVALIDARG;
    id = v.lVal;
    if (id < 0) return E_INVALIDARG;
    return S_OK;
  }
  HRESULT Describe(const VARIANT& child, TAccNode& node, VARIANT* out) {
    if (!out) return E_POINTER;
    VariantInit(out);
    long id;
    if (HRESULT hr = Child(child, id); FAILED(hr)) return hr;
    return FSource->AccDescribe(id, node) ? S_OK : E_INVALIDARG;
  }
  template <class Field>
  HRESULT Text(const VARIANT& child, BSTR* out, Field field) {
    if (!out) return E_POINTER;
    *out = nullptr;
    TAccNode node;
    VARIANT unused;
    if (HRESULT hr = Describe(child, node, &unused); hr != S_OK) return hr;
    const std::wstring& text = field(node);
    if (text.empty()) return S_FALSE;
    *out = ToBstr(text);
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  static HRESULT Nothing(BSTR* out) {
    if (out) *out = nullptr;
    return S_FALSE;
  }

  LONG FRefs = 1;
  TAccSource* FSource;
  std::unique_ptr<TAccSource> FOwned;
};

// ---------------------------------------------------------------- handles

TAccHandle::~TAccHandle() { Disconnect(); }

void TAccHandle::Disconnect() {
  if (!FObject) return;
  FObject->Disconnect();
  FObject->Release();
  FObject = nullptr;
}

IDispatch* TAccHandle::Object(TAccSource& source) {
  if (!FObject) FObject = new TAccObject(&source, nullptr);
  FObject->AddRef();
  return FObject;
}

LRESULT TAccHandle::Answer(TAccSource& source, WPARAM wp) {
  const TOleAcc& lib = TOleAcc::Get();
  if (!lib.LresultFromObject) return 0;
  IDispatch* object = Object(source);
  // The result holds its own reference; ours goes with this call.
  const LRESULT result = lib.LresultFromObject(kIIDAccessible, wp, object);
  object->Release();
  return result > 0 ? result : 0;
}

IDispatch* NewAccObject(std::unique_ptr<TAccSource> source) {
  TAccSource* raw = source.get();
  return new TAccObject(raw, std::move(source));
}

IDispatch* AccObjectOfWindow(HWND window) {
  const TOleAcc& lib = TOleAcc::Get();
  IDispatch* object = nullptr;
  if (!window || !lib.AccessibleObjectFromWindow ||
      FAILED(lib.AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IDispatch,
                                            reinterpret_cast<void**>(&object))))
    return nullptr;
  return object;
}

void AccNotify(DWORD event, HWND window, long child) {
  if (window) NotifyWinEvent(event, window, OBJID_CLIENT, child);
}
