#pragma once
// Integer texts: the one reader of 32-bit signed integers, with the rule of
// the field the text comes from as an argument.
#include <cstdint>
#include <string_view>

// Which texts a field takes as an integer. Every rule takes an optional sign
// and decimal digits (-2147483648 .. 2147483647); with Hex also "$" and up to
// 32 bits of hexadecimal digits, taken as the bit pattern ($FFFFFFFF is -1,
// "-$A" is -10).
struct TIntRule {
  enum TBlanks : uint8_t {
    LeadingBlanks,  // blanks before the number
    BlanksAround,   // blanks before and after it
  };
  bool Hex;
  TBlanks Blanks;
};

// A parameter value of the integer type, and fields that only say "integer"
// (the dump page's block numbers).
inline constexpr TIntRule irInteger{true, TIntRule::BlanksAround};
// Fields that take decimal numbers only (the rest-register range and line
// numbers, the table page's numbers).
inline constexpr TIntRule irDecimal{false, TIntRule::BlanksAround};
// An integer of the INI store, and PloverCmd's time-out, which reads what the
// store writes: blanks before the number, none after it.
inline constexpr TIntRule irIniInteger{true, TIntRule::LeadingBlanks};

// Blanks are spaces and tabs.
bool TryParseInt32(std::wstring_view text, TIntRule rule, int32_t& value);
// Raises EConvertError ("\"<text>\" не является целым числом") for a text the
// rule refuses.
int32_t ParseInt32(std::wstring_view text, TIntRule rule);

// The value of a hexadecimal digit (either letter case), -1 for any other
// character.
int HexDigitValue(wchar_t c) noexcept;
