#pragma once
// Reading windows the way screen readers and automation tools do: through
// the system's accessibility library (oleacc).
#include <windows.h>

#include <oleacc.h>

#include <map>
#include <string>
#include <vector>

#include "ScopedCom.h"
#include "WinUi.h"

namespace acc {

// One element as the library gives it.
struct TElem {
  long Role = 0;
  std::wstring Name, Value;
  HWND Window = nullptr;  // for a child that is an object of its own
  TComPtr<IAccessible> Object;
};

inline std::wstring Read(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*), IAccessible* a, long child) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = child;
  BSTR text = nullptr;
  std::wstring out;
  if ((a->*get)(v, &text) == S_OK && text) out.assign(text, SysStringLen(text));
  SysFreeString(text);
  return out;
}

inline TElem Describe(IAccessible* a, long child) {
  TElem e;
  VARIANT v, role;
  VariantInit(&v);
  VariantInit(&role);
  v.vt = VT_I4;
  v.lVal = child;
  if (a->get_accRole(v, &role) == S_OK && role.vt == VT_I4) e.Role = role.lVal;
  e.Name = Read(&IAccessible::get_accName, a, child);
  e.Value = Read(&IAccessible::get_accValue, a, child);
  return e;
}

inline TComPtr<IAccessible> ObjectOf(HWND window) {
  TComPtr<IAccessible> a;
  AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible), a.PutVoid());
  return a;
}

// The children in the order the object gives them, as AccessibleChildren
// hands them to a client.
inline std::vector<TElem> ChildrenOf(IAccessible* a) {
  long count = 0;
  a->get_accChildCount(&count);
  std::vector<VARIANT> raw(static_cast<size_t>(count));
  long got = 0;
  if (count == 0 || FAILED(AccessibleChildren(a, 0, count, raw.data(), &got))) return {};
  std::vector<TElem> out;
  for (long i = 0; i < got; ++i) {
    VARIANT& v = raw[static_cast<size_t>(i)];
    if (v.vt == VT_DISPATCH && v.pdispVal) {
      TComPtr<IAccessible> child;
      v.pdispVal->QueryInterface(__uuidof(IAccessible), child.PutVoid());
      if (child) {
        TElem e = Describe(child.Get(), CHILDID_SELF);
        WindowFromAccessibleObject(child.Get(), &e.Window);
        e.Object = std::move(child);
        out.push_back(std::move(e));
      }
    } else if (v.vt == VT_I4) {
      out.push_back(Describe(a, v.lVal));
    }
    VariantClear(&v);
  }
  return out;
}

// The input controls' names, by the control's name in the layout.
inline std::map<std::wstring, std::wstring> InputNames(TForm& form) {
  std::map<std::wstring, std::wstring> names;
  TComPtr<IAccessible> a = ObjectOf(form.Handle());
  if (!a) return names;
  for (const TElem& e : ChildrenOf(a.Get())) {
    if (!e.Window) continue;
    TWinControl* c = TWinControl::FromHandle(e.Window);
    const bool input = e.Role == ROLE_SYSTEM_TEXT || e.Role == ROLE_SYSTEM_COMBOBOX || e.Role == ROLE_SYSTEM_LIST ||
                       e.Role == ROLE_SYSTEM_SPINBUTTON || e.Role == ROLE_SYSTEM_DROPLIST ||
                       e.Role == ROLE_SYSTEM_TABLE;
    if (c && input) names[c->Name()] = e.Name;
  }
  return names;
}

}  // namespace acc
