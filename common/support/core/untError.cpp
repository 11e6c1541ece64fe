#include "untError.h"

#include "untText.h"

#ifdef _WIN32
#include <windows.h>

#include "untUniqueHandle.h"
#else
#include <cstring>
#endif

namespace {

#ifdef _WIN32
// FormatMessage allocates the text it hands out with LocalAlloc.
struct TLocalMemTraits {
  static wchar_t* Invalid() noexcept { return nullptr; }
  static void Close(wchar_t* p) noexcept { LocalFree(p); }
};
#endif

}  // namespace

Exception::Exception(std::wstring message) : FMessage(std::move(message)), FWhat(WideToUtf8(FMessage)) {}

void Exception::SetMessage(std::wstring message) {
  FMessage = std::move(message);
  FWhat = WideToUtf8(FMessage);
}

std::wstring ExceptionText(const std::exception& e) {
  if (auto* own = dynamic_cast<const Exception*>(&e)) return own->Message();
  return Utf8ToWide(e.what());
}

std::wstring SystemErrorText(int32_t code) {
#ifdef _WIN32
  TUniqueHandle<wchar_t*, TLocalMemTraits> buffer;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(buffer.Put()), 0, nullptr);
  std::wstring text = buffer ? std::wstring(buffer.Get(), n) : std::wstring();
#else
  std::wstring text = Utf8ToWide(std::strerror(code));
#endif
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
  return text;
}
