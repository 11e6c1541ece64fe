#pragma once
// Text at the boundaries: the system ANSI code page and helpers shared by all layers.
#include <string>
#include <string_view>

// Converts to and from the system ANSI code page. On Windows this is CP_ACP;
// in the portable build it is the Windows Cyrillic code page 1251, which is what
// our users run. Characters the code page lacks become '?'.
std::string WideToAnsi(std::wstring_view text);
std::wstring AnsiToWide(std::string_view text);

// UTF-8 for messages that leave through std::exception::what() and for logs.
std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view text);

// Case-insensitive comparison the way the INI store and name look-ups need it
// (Latin and Cyrillic letters, including Ё/ё).
wchar_t UpperChar(wchar_t c);
bool SameText(std::wstring_view a, std::wstring_view b);
int CompareText(std::wstring_view a, std::wstring_view b);

// Spaces and tabs: what the readers of numbers, dates and times skip around
// a value.
bool IsBlank(wchar_t c) noexcept;
std::wstring_view TrimBlanks(std::wstring_view text) noexcept;

std::wstring IntToStr(long long value);
std::wstring Format(const wchar_t* fmt, ...);
