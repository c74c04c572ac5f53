// The journal's text file and data file: lines in code page 1251, each ended
// by CR LF.
#pragma once
#include <string>
#include <string_view>

// The file's bytes for UTF-8 text whose lines are separated by LF or CR LF:
// every line followed by CR LF, in code page 1251. A final line end adds no
// empty line; the empty text has no lines.
std::string MagazineFileBytes(std::string_view text);

// Writes MagazineFileBytes(text) to path, replacing the file only once
// everything is written. A file that cannot be written gives an error box
// naming it with the system's reason, and false.
bool SaveMagazineFile(const std::string& path, std::string_view text);
