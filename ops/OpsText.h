// Text rules the subcommands share: money, register text fields, input files.
#pragma once
#include <string>
#include <vector>

// Kopecks (or thousandths with decimals 3) as "12.50" ("1.500").
std::string FixedText(long long units, int decimals = 2);
// Decimal digits of a register number field as fixed-point text: "1250"
// gives "12.50".
std::string DigitsFixedText(const std::string& digits, int decimals = 2);
// "12", "12.5", "12.50" as kopecks; false for anything else (a sign, more
// than two decimals, more than ten digits in all).
bool ParseMoney(const std::string& text, long long& kopecks);
// A whole number within lo..hi written in decimal digits only.
bool ParseWhole(const std::string& text, long long lo, long long hi, long long& value);

// Whether the text can stand in a register text field of width characters:
// every character in code page 1251 and printable there, at most width of
// them. False with the reason.
bool RegisterTextFits(const std::string& utf8, int width, std::string& why);

// The text as a register text field takes it back: every character that
// RegisterTextFits refuses left out. Those are added to dropped, each once,
// quoted, a control character as an escape ("\n").
std::string RegisterTakesBack(const std::string& utf8, std::string& dropped);

// The lines of a UTF-8 text file ("-": standard input), without line ends
// and without a leading byte order mark. False with the reason.
bool ReadTextLines(const std::string& path, std::vector<std::string>& lines, std::string& error);
