#pragma once
// Driver results as the test pages report them: a non-zero result code
// becomes an ECustomError carrying the driver's own description.
#include <cstdint>
#include <string>

#include "Driver.h"
#include "untError.h"

class ECustomError : public Exception {
 public:
  ECustomError(int32_t code, std::wstring text) : Exception(std::move(text)), Code(code) {}
  int32_t Code;
};

[[noreturn]] void RaiseCustomError(int32_t code, const std::wstring& text);

// Nothing happens (and nothing is read from the driver) when resultCode is 0;
// otherwise raises ECustomError with the code and ResultCodeDescription.
void CheckDriverResult(TDriver& driver, int32_t resultCode);

// A wide-string driver property as the programs use it: through the system's
// 8-bit code page, so characters it lacks read as '?'.
std::wstring DriverText(const std::wstring& value);

// The mark of a flag in the flags listing, indexed by whether it is set.
inline constexpr const wchar_t* CheckMarks[2] = {L" ", L"X"};
