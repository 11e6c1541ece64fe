#pragma once
// Automation VARIANT <-> the portable TVariant, and the text of a failing
// automation status. Shared by the COM client and the control's COM shell.
#include <windows.h>
#include <oleauto.h>

#include <string>

#include "untVariant.h"

// The VARIANT type that holds a value of this portable type.
VARTYPE VarTypeOf(TVarType type);

// Fills an initialised (empty) VARIANT; the caller owns the result.
void TVariantToVariant(const TVariant& value, VARIANT& out);

// Reads any automation value, by-reference ones included. Types the portable
// side has no slot for (other integer widths, single floats) are coerced to
// the nearest one; a value that cannot be coerced throws EOleError.
TVariant VariantToTVariant(const VARIANT& value);

// "Ошибка OLE 80020006: <text>": the status in hex and the system's text for
// it (or the given description, when the callee supplied one).
std::wstring OleErrorText(HRESULT hr, const wchar_t* description = nullptr);
// Throws EOleError with OleErrorText.
[[noreturn]] void RaiseOleError(HRESULT hr, const wchar_t* description = nullptr);
