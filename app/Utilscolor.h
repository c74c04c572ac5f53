// Console line markup: "<c:XXXXXXXX>" colour tags (0x00BBGGRR as eight hex
// digits), "<B>"/"<b>", "<I>"/"<i>", "<U>"/"<u>" style tags; "{" may open any
// tag instead of "<".
#pragma once
#include <cstdint>
#include <string>
#include <vector>

using TColor = std::uint32_t;  // 0x00BBGGRR, blue in the high byte

// "<c:" + eight upper-case hexadecimal digits + ">".
std::string colorToStrR(TColor color);

// One run of visible text with its look.
struct TConsoleRun {
    std::string text;  // UTF-8
    bool hasColor = false;
    TColor color = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

// Strips the tags of one marked-up line into runs of visible text.
std::vector<TConsoleRun> ParseConsoleMarkup(const std::string& line);

// The colour used after a colour tag whose digits do not parse.
constexpr TColor C_BadColorTag = 0x000080;
