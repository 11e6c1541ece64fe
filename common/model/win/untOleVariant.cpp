#include "untOleVariant.h"

#include "untError.h"
#include "untText.h"
#include "win/ScopedCom.h"

VARTYPE VarTypeOf(TVarType type) {
  switch (type) {
    case TVarType::Int: return VT_I4;
    case TVarType::Str: return VT_BSTR;
    case TVarType::Double: return VT_R8;
    case TVarType::Date: return VT_DATE;
    case TVarType::Currency: return VT_CY;
    case TVarType::Bool: return VT_BOOL;
    case TVarType::Empty: break;
  }
  return VT_EMPTY;
}

void TVariantToVariant(const TVariant& value, VARIANT& out) {
  VariantInit(&out);
  switch (value.Type()) {
    case TVarType::Empty:
      break;
    case TVarType::Int:
      out.vt = VT_I4;
      out.lVal = value.Int();
      break;
    case TVarType::Str: {
      const std::wstring& s = value.Str();
      BSTR b = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
      if (!b) RaiseOleError(E_OUTOFMEMORY);
      out.vt = VT_BSTR;
      out.bstrVal = b;
      break;
    }
    case TVarType::Double:
      out.vt = VT_R8;
      out.dblVal = value.Double();
      break;
    case TVarType::Date:
      out.vt = VT_DATE;
      out.date = value.Double();
      break;
    case TVarType::Currency:
      out.vt = VT_CY;
      out.cyVal.int64 = value.Currency();
      break;
    case TVarType::Bool:
      out.vt = VT_BOOL;
      out.boolVal = value.Bool() ? VARIANT_TRUE : VARIANT_FALSE;
      break;
  }
}

namespace {

TVariant Coerced(const VARIANT& value, VARTYPE vt) {
  TVariantOwner tmp;
  HRESULT hr = VariantChangeType(&tmp, const_cast<VARIANT*>(&value), 0, vt);
  if (FAILED(hr)) RaiseOleError(hr);
  return VariantToTVariant(tmp.Get());
}

}  // namespace

TVariant VariantToTVariant(const VARIANT& value) {
  if (V_VT(&value) & VT_BYREF) {
    TVariantOwner direct;
    HRESULT hr = VariantCopyInd(&direct, const_cast<VARIANT*>(&value));
    if (FAILED(hr)) RaiseOleError(hr);
    return VariantToTVariant(direct.Get());
  }
  switch (V_VT(&value)) {
    case VT_EMPTY:
    case VT_NULL: return TVariant();
    case VT_I4: return TVariant::FromInt(value.lVal);
    case VT_INT: return TVariant::FromInt(value.intVal);
    case VT_I2: return TVariant::FromInt(value.iVal);
    case VT_I1: return TVariant::FromInt(value.cVal);
    case VT_UI1: return TVariant::FromInt(value.bVal);
    case VT_UI2: return TVariant::FromInt(value.uiVal);
    case VT_R8: return TVariant::FromDouble(value.dblVal);
    case VT_R4: return TVariant::FromDouble(value.fltVal);
    case VT_DATE: return TVariant::FromDate(value.date);
    case VT_CY: return TVariant::FromCurrency(value.cyVal.int64);
    case VT_BOOL: return TVariant::FromBool(value.boolVal != VARIANT_FALSE);
    case VT_BSTR:
      return TVariant::FromStr(value.bstrVal ? std::wstring(value.bstrVal, SysStringLen(value.bstrVal))
                                             : std::wstring());
    case VT_UI4:
    case VT_UINT:
    case VT_I8:
    case VT_UI8: {
      // Wider integers keep their value: as an integer when it fits, as a
      // double otherwise.
      TVariantOwner tmp;
      if (SUCCEEDED(VariantChangeType(&tmp, const_cast<VARIANT*>(&value), 0, VT_I4)))
        return TVariant::FromInt(tmp.Get().lVal);
      return Coerced(value, VT_R8);
    }
    case VT_DECIMAL: return Coerced(value, VT_R8);
    default: return Coerced(value, VT_BSTR);
  }
}

std::wstring OleErrorText(HRESULT hr, const wchar_t* description) {
  std::wstring text = description && *description ? std::wstring(description)
                                                   : SystemErrorText(static_cast<int32_t>(hr));
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
    text.pop_back();
  if (text.empty()) text = L"Неизвестная ошибка";
  return Format(L"Ошибка OLE %08X: %ls", static_cast<unsigned>(hr), text.c_str());
}

void RaiseOleError(HRESULT hr, const wchar_t* description) {
  throw EOleError(static_cast<int32_t>(hr), OleErrorText(hr, description));
}
