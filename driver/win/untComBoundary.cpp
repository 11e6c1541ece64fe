#include "untComBoundary.h"

#include <oleauto.h>

#include <new>

#include "PloverDrv_h.h"
#include "untError.h"
#include "win/ScopedCom.h"

namespace {
constexpr wchar_t kSource[] = L"PloverDrv.PloverDriver";
}

TComFailure CurrentComFailure() {
  try {
    throw;
  } catch (const EOleError& e) {
    return {FAILED(e.ErrorCode) ? static_cast<HRESULT>(e.ErrorCode) : E_FAIL, e.Message()};
  } catch (const std::bad_alloc&) {
    return {E_OUTOFMEMORY, L"Недостаточно памяти"};
  } catch (const std::exception& e) {
    return {E_FAIL, ExceptionText(e)};
  } catch (...) {
    return {E_UNEXPECTED, L"Неизвестная ошибка"};
  }
}

void SetComErrorText(const std::wstring& text) {
  TComPtr<ICreateErrorInfo> create;
  if (FAILED(CreateErrorInfo(create.Put()))) return;
  create->SetGUID(IID_IPloverDriver4);
  create->SetSource(const_cast<LPOLESTR>(kSource));
  create->SetDescription(const_cast<LPOLESTR>(text.c_str()));
  TComPtr<IErrorInfo> info;
  if (SUCCEEDED(create.QueryTo(IID_IErrorInfo, info.PutVoid()))) SetErrorInfo(0, info.Get());
}

HRESULT FailWithErrorInfo() {
  // Building the error information may itself fail; the status still goes back.
  try {
    TComFailure f = CurrentComFailure();
    SetComErrorText(f.Text);
    return f.Code;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}
