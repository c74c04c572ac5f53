// Text crosses every outside boundary (register fields, dBase files, language,
// model configuration and settings files, the log, journal files) in an 8-bit
// code page; inside the program it is UTF-8.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

enum class TCodePage { cp1251, cp866 };

// UTF-8 text to 8-bit bytes; a character the code page lacks becomes '?'.
// Malformed UTF-8 bytes become '?' too.
std::string Utf8ToCp(std::string_view utf8, TCodePage cp = TCodePage::cp1251);
// 8-bit bytes to UTF-8; every one of the 256 codes has a character.
std::string CpToUtf8(std::string_view bytes, TCodePage cp = TCodePage::cp1251);

inline std::string Utf8ToCp1251(std::string_view s) { return Utf8ToCp(s, TCodePage::cp1251); }
inline std::string Cp1251ToUtf8(std::string_view s) { return CpToUtf8(s, TCodePage::cp1251); }

// Number of code page 1251 characters of a UTF-8 text (= code points).
std::size_t Cp1251Length(std::string_view utf8);
// The first n characters of a UTF-8 text, counted in code page 1251 characters.
std::string Utf8Left(std::string_view utf8, std::size_t n);

// One Unicode code point to UTF-8.
void AppendUtf8(std::string& out, char32_t cp);
