#include "profiles/DbfHeader.h"

#include "app/Platform.h"

#include <cctype>
#include <cstdio>
#include <ctime>

namespace {

unsigned GetU16(const char* p) {
    return static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[1]) << 8;
}

void PutU16(char* p, unsigned v) {
    p[0] = static_cast<char>(v & 0xFF);
    p[1] = static_cast<char>((v >> 8) & 0xFF);
}

std::string Hex(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", v & 0xFF);
    return buf;
}

std::string KindText(char kind) {
    return std::isprint(static_cast<unsigned char>(kind)) ? std::string("\"") + kind + "\"" : Hex(kind);
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

bool CheckField(const TDbfFieldDef& f, std::string& error) {
    const std::string& n = f.Name;
    bool nameOk = !n.empty() && n.size() <= 10 && std::isalpha(static_cast<unsigned char>(n[0]));
    for (char c : n) nameOk = nameOk && c > 0 && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
    if (!nameOk) {
        error = "the field name \"" + n + "\" is not 1 to 10 Latin letters, digits or \"_\" starting with a letter";
        return false;
    }
    bool widthOk = false;
    switch (f.Kind) {
        case 'C': widthOk = f.Width >= 1 && f.Width <= 254 && f.Decimals == 0; break;
        case 'N': widthOk = f.Width >= 1 && f.Width <= 20 && f.Decimals >= 0 && (f.Decimals == 0 || f.Decimals <= f.Width - 2); break;
        case 'L': widthOk = f.Width == 1 && f.Decimals == 0; break;
        default:
            error = "the field " + n + " has the kind " + KindText(f.Kind) + "; a new table holds only C, N and L fields";
            return false;
    }
    if (!widthOk) error = "the field " + n + " cannot have the width " + std::to_string(f.Width) + "." + std::to_string(f.Decimals);
    return widthOk;
}

}  // namespace

std::uint32_t DbfGetU32(const char* p) {
    return static_cast<std::uint32_t>(GetU16(p)) | static_cast<std::uint32_t>(GetU16(p + 2)) << 16;
}

void DbfPutU32(char* p, std::uint32_t v) {
    PutU16(p, v & 0xFFFF);
    PutU16(p + 2, v >> 16);
}

void DbfPutToday(char* date3) {
    const std::time_t now = std::time(nullptr);
    const std::tm t = SysLocalTime(now);
    date3[0] = static_cast<char>(t.tm_year > 255 ? 255 : t.tm_year);
    date3[1] = static_cast<char>(t.tm_mon + 1);
    date3[2] = static_cast<char>(t.tm_mday);
}

bool DbfBuildEmptyTable(const std::vector<TDbfFieldDef>& fields, std::string& bytes, std::string& error) {
    if (fields.empty()) {
        error = "a table needs at least one field";
        return false;
    }
    long recordSize = 1;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (!CheckField(fields[i], error)) return false;
        for (std::size_t j = 0; j < i; ++j)
            if (SameName(fields[i].Name, fields[j].Name)) {
                error = "the field " + fields[i].Name + " is given twice";
                return false;
            }
        recordSize += fields[i].Width;
    }
    const long headerSize = 32 + 32 * static_cast<long>(fields.size()) + 1;
    if (headerSize > 0xFFFF || recordSize > 0xFFFF) {
        error = "the table has too many fields";
        return false;
    }
    bytes.assign(static_cast<std::size_t>(headerSize) + 1, '\0');
    bytes[0] = 0x03;
    DbfPutToday(&bytes[1]);
    PutU16(&bytes[8], static_cast<unsigned>(headerSize));
    PutU16(&bytes[10], static_cast<unsigned>(recordSize));
    bytes[29] = static_cast<char>(kDbfLanguage1251);
    char* d = &bytes[32];
    for (const auto& f : fields) {
        for (std::size_t k = 0; k < f.Name.size(); ++k) d[k] = static_cast<char>(std::toupper(static_cast<unsigned char>(f.Name[k])));
        d[11] = f.Kind;
        d[16] = static_cast<char>(f.Width);
        d[17] = static_cast<char>(f.Decimals);
        d += 32;
    }
    bytes[static_cast<std::size_t>(headerSize) - 1] = kDbfEndOfFields;
    bytes[static_cast<std::size_t>(headerSize)] = kDbfEndOfFile;
    return true;
}

bool DbfCheckVersion(std::uint8_t v, std::string& error) {
    // dBase III/IV keep 3 in the low three bits (the other bits flag memo and
    // SQL files); FoxPro and Visual FoxPro tables share the same layout.
    if ((v & 0x07) == 3 || v == 0x30 || v == 0x31 || v == 0x32 || v == 0xF5) return true;
    if ((v & 0x07) == 4)
        error = "it is a dBase level 7 table, which this program does not read";
    else if (v == 0x02)
        error = "it is a dBase II or FoxBASE table, which this program does not read";
    else
        error = "it is not a dBase table (version byte " + Hex(v) + ")";
    return false;
}

bool DbfParseHeader(const std::string& h, TDbfLayout& layout, std::string& error) {
    layout = {};
    if (h.size() < 32) {
        error = "it is not a dBase table (shorter than a table header)";
        return false;
    }
    layout.Version = static_cast<std::uint8_t>(h[0]);
    if (!DbfCheckVersion(layout.Version, error)) return false;
    layout.HeaderCount = DbfGetU32(&h[4]);
    layout.HeaderSize = static_cast<int>(GetU16(&h[8]));
    layout.RecordSize = static_cast<int>(GetU16(&h[10]));
    layout.Language = static_cast<std::uint8_t>(h[29]);
    const std::string damaged = "the file is damaged: ";
    if (layout.HeaderSize < 32 + 32 + 1) {
        error = damaged + "the header size " + std::to_string(layout.HeaderSize) + " is too small for one field";
        return false;
    }
    if (static_cast<std::size_t>(layout.HeaderSize) > h.size()) {
        error = damaged + "the header size " + std::to_string(layout.HeaderSize) + " is larger than the file";
        return false;
    }
    if (layout.RecordSize < 2) {
        error = damaged + "the record size " + std::to_string(layout.RecordSize) + " holds no field";
        return false;
    }
    long sum = 1;
    for (std::size_t pos = 32;; pos += 32) {
        if (pos >= static_cast<std::size_t>(layout.HeaderSize)) {
            error = damaged + "the field descriptors do not end within the header size " + std::to_string(layout.HeaderSize);
            return false;
        }
        if (h[pos] == kDbfEndOfFields) break;
        if (pos + 32 > static_cast<std::size_t>(layout.HeaderSize)) {
            error = damaged + "a field descriptor runs past the header size " + std::to_string(layout.HeaderSize);
            return false;
        }
        const char* d = &h[pos];
        std::string name(d, 11);
        name.resize(name.find('\0') == std::string::npos ? 11 : name.find('\0'));
        while (!name.empty() && name.back() == ' ') name.pop_back();
        TDbfFieldDef f{Cp1251ToUtf8(name), d[11], static_cast<unsigned char>(d[16]), static_cast<unsigned char>(d[17])};
        const std::string which = "field " + std::to_string(layout.Fields.size() + 1);
        if (f.Name.empty()) {
            error = damaged + which + " has no name";
            return false;
        }
        if (!DbfKindKnown(f.Kind)) {
            error = damaged + which + " (" + f.Name + ") has the unknown kind " + KindText(f.Kind);
            return false;
        }
        // Clipper and FoxPro keep the high byte of a long text width in the
        // decimals byte.
        if (f.Kind == 'C' && f.Decimals != 0) {
            f.Width += 256 * f.Decimals;
            f.Decimals = 0;
        }
        if (f.Width == 0) {
            error = damaged + which + " (" + f.Name + ") has the width 0";
            return false;
        }
        sum += f.Width;
        layout.Fields.push_back(std::move(f));
    }
    if (layout.Fields.empty()) {
        error = damaged + "it declares no field";
        return false;
    }
    if (sum != layout.RecordSize) {
        error = damaged + "the record size " + std::to_string(layout.RecordSize) + " disagrees with the fields, which need " +
                std::to_string(sum);
        return false;
    }
    return true;
}

TCodePage DbfCodePageOfLanguage(std::uint8_t language) {
    return language == 0x26 || language == 0x65 ? TCodePage::cp866 : TCodePage::cp1251;
}
