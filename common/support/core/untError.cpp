#include "untError.h"

#include "untText.h"

Exception::Exception(std::wstring message) : FMessage(std::move(message)), FWhat(WideToUtf8(FMessage)) {}

void Exception::SetMessage(std::wstring message) {
  FMessage = std::move(message);
  FWhat = WideToUtf8(FMessage);
}

std::wstring ExceptionText(const std::exception& e) {
  if (auto* own = dynamic_cast<const Exception*>(&e)) return own->Message();
  return Utf8ToWide(e.what());
}
