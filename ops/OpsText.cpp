#include "ops/OpsText.h"

#include "app/TextCodec.h"
#include "kkm/Typessimpledata.h"

#include <fstream>
#include <iostream>
#include <sstream>

std::string FixedText(long long units, int decimals) {
    std::string digits = std::to_string(units < 0 ? -units : units);
    return (units < 0 ? "-" : "") + DigitsFixedText(digits, decimals);
}

std::string DigitsFixedText(const std::string& digits, int decimals) {
    std::string d = digits.empty() ? "0" : digits;
    if (d.size() <= static_cast<std::size_t>(decimals)) d.insert(0, static_cast<std::size_t>(decimals) + 1 - d.size(), '0');
    return d.substr(0, d.size() - static_cast<std::size_t>(decimals)) + "." + d.substr(d.size() - static_cast<std::size_t>(decimals));
}

bool ParseMoney(const std::string& text, long long& kopecks) {
    const auto dot = text.find('.');
    const std::string whole = text.substr(0, dot);
    std::string frac = dot == std::string::npos ? std::string() : text.substr(dot + 1);
    if (!IsDigits(whole) || (dot != std::string::npos && !IsDigits(frac)) || frac.size() > 2) return false;
    frac.append(2 - frac.size(), '0');
    const std::string all = TrimLeftChar(whole + frac, '0');
    if (all.size() > 10) return false;
    kopecks = all.empty() ? 0 : std::stoll(all);
    return true;
}

bool ParseWhole(const std::string& text, long long lo, long long hi, long long& value) {
    if (!IsDigits(text) || text.size() > 12) return false;
    value = std::stoll(text);
    return value >= lo && value <= hi;
}

bool RegisterTextFits(const std::string& utf8, int width, std::string& why) {
    const std::string bytes = Utf8ToCp1251(utf8);
    if (Cp1251ToUtf8(bytes) != utf8) {
        why = "holds characters that code page 1251 lacks";
        return false;
    }
    for (char c : bytes)
        if (!IsPrintableChar(static_cast<std::uint8_t>(c))) {
            why = "holds a character the register cannot print";
            return false;
        }
    if (bytes.size() > static_cast<std::size_t>(width)) {
        why = "is longer than " + std::to_string(width) + " characters";
        return false;
    }
    return true;
}

std::string RegisterTakesBack(const std::string& utf8, std::string& dropped) {
    std::string kept;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t n = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        const std::string ch = utf8.substr(i, n);
        i += n;
        const std::string byte = Utf8ToCp1251(ch);
        if (byte.size() == 1 && Cp1251ToUtf8(byte) == ch && IsPrintableChar(static_cast<std::uint8_t>(byte[0]))) {
            kept += ch;
            continue;
        }
        std::string shown = ch;
        if (lead < 0x20) {
            static const char hex[] = "0123456789ABCDEF";
            shown = lead == '\n' ? "\\n" : lead == '\r' ? "\\r" : lead == '\t' ? "\\t"
                                                               : std::string("\\x") + hex[lead >> 4] + hex[lead & 15];
        }
        shown = "\"" + shown + "\"";
        if (dropped.find(shown) == std::string::npos) dropped += (dropped.empty() ? "" : ", ") + shown;
    }
    return kept;
}

bool ReadTextLines(const std::string& path, std::vector<std::string>& lines, std::string& error) {
    std::stringstream buffer;
    if (path == "-") {
        buffer << std::cin.rdbuf();
    } else {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            error = path + ": cannot be read";
            return false;
        }
        buffer << in.rdbuf();
    }
    std::string text = buffer.str();
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
    lines.clear();
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return true;
}
