#include "untInteger.h"

#include <string>

#include "untError.h"
#include "untText.h"

int HexDigitValue(wchar_t c) noexcept {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  return -1;
}

bool TryParseInt32(std::wstring_view s, TIntRule rule, int32_t& result) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  if (rule.Blanks == TIntRule::BlanksAround)
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) negative = s[i++] == L'-';
  const bool hex = rule.Hex && i < s.size() && s[i] == L'$';
  if (hex) ++i;
  if (i == s.size()) return false;
  const uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  uint64_t value = 0;
  for (; i < s.size(); ++i) {
    const int digit = hex ? HexDigitValue(s[i]) : (s[i] >= L'0' && s[i] <= L'9' ? s[i] - L'0' : -1);
    if (digit < 0) return false;
    value = value * (hex ? 16 : 10) + static_cast<unsigned>(digit);
    if (value > limit) return false;
  }
  uint32_t bits = static_cast<uint32_t>(value);
  if (negative) bits = 0u - bits;
  result = static_cast<int32_t>(bits);
  return true;
}

int32_t ParseInt32(std::wstring_view text, TIntRule rule) {
  int32_t value;
  if (!TryParseInt32(text, rule, value))
    throw EConvertError(Format(L"\"%ls\" не является целым числом", std::wstring(text).c_str()));
  return value;
}
