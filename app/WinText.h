// Text at the Windows API boundary: the program's UTF-8 to the UTF-16 of the
// W calls and back, and the system's texts of its error codes.
#pragma once
#include <string>

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
// The system's message for an error code (GetLastError), in the user's
// language, as UTF-8, without the trailing line break.
std::string WinErrorText(unsigned long code);
