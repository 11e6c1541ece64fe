#pragma once
// Error classes of both programs and of the driver core. The text is what the
// user reads, so it is kept as a wide string in Russian.
#include <cstdint>
#include <exception>
#include <string>

class Exception : public std::exception {
 public:
  explicit Exception(std::wstring message);
  const std::wstring& Message() const noexcept { return FMessage; }
  // Callers that add context (the driver binding names the property) replace
  // the text and rethrow the same object.
  void SetMessage(std::wstring message);
  const char* what() const noexcept override { return FWhat.c_str(); }

 private:
  std::wstring FMessage;
  std::string FWhat;
};

// A text that does not read as the number, date or time it should be.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// A failing automation status (HRESULT), with the system's text for it.
class EOleError : public Exception {
 public:
  EOleError(int32_t errorCode, std::wstring message)
      : Exception(std::move(message)), ErrorCode(errorCode) {}
  int32_t ErrorCode;
};

// A file that cannot be read or written; ErrorCode is the platform's code.
class EInOutError : public Exception {
 public:
  EInOutError(int errorCode, std::wstring message)
      : Exception(std::move(message)), ErrorCode(errorCode) {}
  int ErrorCode;
};

// The text of any exception, for the error display and for wrappers.
std::wstring ExceptionText(const std::exception& e);

// The system's own text for an error or status code (a GetLastError code or
// an HRESULT on Windows, an errno value elsewhere), without the line break it
// ends with; empty when the system has none.
std::wstring SystemErrorText(int32_t code);
