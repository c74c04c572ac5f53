// The register content's byte forms (BCD, goods record, journal packets) and
// its sections of the state file.
#include "sim/SimRegister.h"

#include "app/TextCodec.h"

#include <cctype>
#include <cmath>
#include <cstdint>

namespace {

using nlohmann::json;

// Reads fields of the state document, naming the field on failure.
class TReader {
public:
    explicit TReader(std::string& error) : error_(error) {}

    bool Fail(const std::string& path, const std::string& what) {
        error_ = path + ": " + what;
        return false;
    }
    bool Int(const json& obj, const char* key, long long lo, long long hi, long long& out, const std::string& path) {
        if (!obj.contains(key)) return true;
        const json& v = obj[key];
        if (!v.is_number_integer() || v.get<long long>() < lo || v.get<long long>() > hi)
            return Fail(path + "." + key, "a whole number " + std::to_string(lo) + ".." + std::to_string(hi) +
                                              " is expected");
        out = v.get<long long>();
        return true;
    }
    template <typename T>
    bool Small(const json& obj, const char* key, long long lo, long long hi, T& out, const std::string& path) {
        long long v = static_cast<long long>(out);
        if (!Int(obj, key, lo, hi, v, path)) return false;
        out = static_cast<T>(v);
        return true;
    }
    bool Bool(const json& obj, const char* key, bool& out, const std::string& path) {
        if (!obj.contains(key)) return true;
        if (!obj[key].is_boolean()) return Fail(path + "." + key, "true or false is expected");
        out = obj[key].get<bool>();
        return true;
    }
    bool Text(const json& obj, const char* key, std::size_t width, std::string& out, const std::string& path) {
        if (!obj.contains(key)) return true;
        const json& v = obj[key];
        if (!v.is_string()) return Fail(path + "." + key, "a text is expected");
        const std::string text = v.get<std::string>();
        if (Cp1251Length(text) > width)
            return Fail(path + "." + key, "at most " + std::to_string(width) + " characters");
        out = text;
        return true;
    }
    // One of the names; index into names.
    bool Choice(const json& obj, const char* key, const std::vector<std::string>& names, std::size_t& out,
                const std::string& path) {
        if (!obj.contains(key)) return true;
        const json& v = obj[key];
        for (std::size_t i = 0; i < names.size(); ++i)
            if (v.is_string() && v.get<std::string>() == names[i]) {
                out = i;
                return true;
            }
        std::string list;
        for (const auto& n : names) list += (list.empty() ? "" : ", ") + ("\"" + n + "\"");
        return Fail(path + "." + key, "one of " + list + " is expected");
    }
    bool Array(const json& doc, const char* key, std::size_t max, const json*& out) {
        out = nullptr;
        if (!doc.contains(key)) return true;
        if (!doc[key].is_array()) return Fail(key, "an array is expected");
        if (doc[key].size() > max) return Fail(key, "at most " + std::to_string(max) + " entries");
        out = &doc[key];
        return true;
    }
    bool Object(const json& v, const std::string& path) {
        return v.is_object() || Fail(path, "an object is expected");
    }

private:
    std::string& error_;
};

std::string At(const char* key, std::size_t i) { return std::string(key) + "[" + std::to_string(i) + "]"; }

const std::vector<std::string> kDepKinds = {"goods", "service", "closed"};
const std::uint8_t kDepKindCodes[] = {0xA1, 0xA2, 0xA3};
const std::vector<std::string> kGoodsTypes = {"goods", "service", "container"};
const std::uint8_t kGoodsTypeCodes[] = {0xAA, 0xA5, 0xA0};
const std::vector<std::string> kStreams = {"records", "slots"};

std::string DepKindName(std::uint8_t kind) { return kind == 0xA1 ? "goods" : kind == 0xA2 ? "service" : "closed"; }
std::string GoodsTypeName(std::uint8_t type) {
    return type == 0xA5 ? "service" : type == 0xA0 ? "container" : "goods";
}

json LinesToJson(const std::array<TSimReceiptLine, 6>& lines) {
    json a = json::array();
    for (const auto& l : lines) a.push_back({{"font", l.Font}, {"text", l.Text}});
    return a;
}

bool LinesFromJson(TReader& r, const json& doc, const char* key, std::array<TSimReceiptLine, 6>& lines) {
    const json* a = nullptr;
    if (!r.Array(doc, key, 6, a)) return false;
    if (!a) return true;
    lines = {};
    for (std::size_t i = 0; i < a->size(); ++i) {
        const json& v = (*a)[i];
        const std::string path = At(key, i);
        if (!r.Object(v, path) || !r.Small(v, "font", 0, 255, lines[i].Font, path) ||
            !r.Text(v, "text", 32, lines[i].Text, path))
            return false;
    }
    return true;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (std::uint8_t b : bytes) {
        if (!s.empty()) s += ' ';
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

bool ParseHex(const std::string& text, std::vector<std::uint8_t>& out) {
    out.clear();
    int high = -1;
    for (char ch : text) {
        if (ch == ' ') continue;
        if (!std::isxdigit(static_cast<unsigned char>(ch))) return false;
        const int v = std::isdigit(static_cast<unsigned char>(ch)) ? ch - '0' : std::toupper(ch) - 'A' + 10;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<std::uint8_t>(high * 16 + v));
            high = -1;
        }
    }
    return high < 0;
}

}  // namespace

bool SimPutBcd(std::uint8_t* out, int n, const std::string& digits) {
    for (char c : digits)
        if (c < '0' || c > '9') return false;
    std::size_t first = digits.find_first_not_of('0');
    const std::string d = first == std::string::npos ? std::string() : digits.substr(first);
    if (d.size() > 2 * static_cast<std::size_t>(n)) return false;
    for (int i = 0; i < n; ++i) out[i] = 0;
    for (std::size_t k = 0; k < d.size(); ++k) {
        const int digit = d[d.size() - 1 - k] - '0';
        out[k / 2] = static_cast<std::uint8_t>(out[k / 2] | (k % 2 ? digit << 4 : digit));
    }
    return true;
}

bool SimGetBcd(const std::uint8_t* in, int n, std::string& digits) {
    digits.clear();
    for (int i = n - 1; i >= 0; --i) {
        const int hi = in[i] >> 4, lo = in[i] & 15;
        if (hi > 9 || lo > 9) return false;
        for (int d : {hi, lo})
            if (!digits.empty() || d != 0) digits += static_cast<char>('0' + d);
    }
    if (digits.empty()) digits = "0";
    return true;
}

bool SimPutBcd(std::uint8_t* out, int n, long long value) {
    return value >= 0 && SimPutBcd(out, n, std::to_string(value));
}

bool SimGetBcd(const std::uint8_t* in, int n, long long& value) {
    std::string digits;
    if (n > 9 || !SimGetBcd(in, n, digits)) return false;
    value = std::stoll(digits);
    return true;
}

std::array<std::uint8_t, 64> SimGoodsRecord(int code, const TSimGoods& g) {
    std::array<std::uint8_t, 64> r{};
    r[0] = g.Type;
    r[1] = static_cast<std::uint8_t>((g.Piece ? 1 : 0) | (g.Blocked ? 2 : 0));
    SimPutBcd(r.data() + 2, 3, code);
    const std::string name = Utf8ToCp1251(g.Name);
    for (std::size_t i = 0; i < name.size() && i < 32; ++i) r[5 + i] = static_cast<std::uint8_t>(name[i]);
    SimPutBcd(r.data() + 37, 5, g.Price);
    r[42] = g.TaxGroup;
    r[43] = g.Section;
    if (g.Type == 0xAA) SimPutBcd(r.data() + 44, 10, g.Barcode);
    SimPutBcd(r.data() + 54, 5, g.Sold);
    return r;
}

std::vector<std::vector<std::uint8_t>> SimJournalPackets(const std::vector<std::vector<std::uint8_t>>& records) {
    std::vector<std::vector<std::uint8_t>> packets;
    std::vector<std::uint8_t> packet;
    for (const auto& rec : records) {
        if (!packet.empty() && packet.size() + rec.size() > SimJournalPacket) {
            packets.push_back(std::move(packet));
            packet.clear();
        }
        if (packet.empty()) packet = {0x01, 0x0F, 0x00};
        packet.insert(packet.end(), rec.begin(), rec.end());
    }
    if (!packet.empty()) packets.push_back(std::move(packet));
    packets.push_back({0x01, 0x0F, 0x09});
    return packets;
}

const std::vector<std::string>& TSimRegister::SectionNames() {
    static const std::vector<std::string> names = {"options",     "taxes", "header", "footer",
                                                   "departments", "goodsTable", "journal"};
    return names;
}

void TSimRegister::ToJson(json& doc) const {
    doc["options"] = Options;
    json taxes = json::array();
    for (const auto& t : Taxes)
        taxes.push_back({{"defined", t.Defined}, {"type", t.Type}, {"percent", t.Hundredths / 100.0}, {"name", t.Name}});
    doc["taxes"] = taxes;
    doc["header"] = LinesToJson(Header);
    doc["footer"] = LinesToJson(Footer);
    json deps = json::array();
    for (const auto& d : Departments)
        deps.push_back({{"kind", DepKindName(d.Kind)},
                        {"name", d.Name},
                        {"taxGroup", d.TaxGroup},
                        {"priceKopecks", d.Price}});
    doc["departments"] = deps;
    json items = json::array();
    for (const auto& [code, g] : Goods)
        items.push_back({{"code", code},
                         {"type", GoodsTypeName(g.Type)},
                         {"piece", g.Piece},
                         {"blocked", g.Blocked},
                         {"name", g.Name},
                         {"priceKopecks", g.Price},
                         {"taxGroup", g.TaxGroup},
                         {"section", g.Section},
                         {"barcode", g.Barcode},
                         {"soldThousandths", g.Sold}});
    doc["goodsTable"] = {{"stream", kStreams[GoodsStream == TSimGoodsStream::Slots ? 1 : 0]},
                    {"slots", GoodsSlots},
                    {"items", items}};
    json journal = json::array();
    for (const auto& rec : Journal) journal.push_back(Hex(rec));
    doc["journal"] = journal;
}

bool TSimRegister::FromJson(const json& doc, std::string& error) {
    TReader r(error);
    constexpr long long MaxMoney = 9999999999LL;  // ten digits
    const json* a = nullptr;

    if (!r.Array(doc, "options", 64, a)) return false;
    if (a) {
        Options.clear();
        for (std::size_t i = 0; i < a->size(); ++i) {
            const json& v = (*a)[i];
            if (!v.is_number_integer() || v.get<long long>() < 0 || v.get<long long>() > 255)
                return r.Fail(At("options", i), "a byte value 0..255 is expected");
            Options.push_back(static_cast<std::uint8_t>(v.get<int>()));
        }
    }

    if (!r.Array(doc, "taxes", 5, a)) return false;
    if (a) {
        Taxes = {};
        for (std::size_t i = 0; i < a->size(); ++i) {
            const json& v = (*a)[i];
            const std::string path = At("taxes", i);
            TSimTax& t = Taxes[i];
            if (!r.Object(v, path) || !r.Bool(v, "defined", t.Defined, path) ||
                !r.Small(v, "type", 0, 255, t.Type, path) || !r.Text(v, "name", 12, t.Name, path))
                return false;
            if (v.contains("percent")) {
                const json& p = v["percent"];
                if (!p.is_number() || p.get<double>() < 0 || p.get<double>() > 99.99)
                    return r.Fail(path + ".percent", "a rate 0..99.99 is expected");
                t.Hundredths = static_cast<int>(std::llround(p.get<double>() * 100));
            }
        }
    }

    if (!LinesFromJson(r, doc, "header", Header) || !LinesFromJson(r, doc, "footer", Footer)) return false;

    if (!r.Array(doc, "departments", 16, a)) return false;
    if (a) {
        Departments.assign(a->size(), TSimDepartment{});
        for (std::size_t i = 0; i < a->size(); ++i) {
            const json& v = (*a)[i];
            const std::string path = At("departments", i);
            TSimDepartment& d = Departments[i];
            std::size_t kind = 2;
            if (!r.Object(v, path) || !r.Choice(v, "kind", kDepKinds, kind, path) ||
                !r.Text(v, "name", 22, d.Name, path) || !r.Small(v, "taxGroup", 0, 5, d.TaxGroup, path) ||
                !r.Int(v, "priceKopecks", 0, MaxMoney, d.Price, path))
                return false;
            d.Kind = kDepKindCodes[kind];
        }
    }

    if (doc.contains("goodsTable")) {
        const json& goods = doc["goodsTable"];
        if (!r.Object(goods, "goodsTable")) return false;
        std::size_t stream = GoodsStream == TSimGoodsStream::Slots ? 1 : 0;
        if (!r.Choice(goods, "stream", kStreams, stream, "goodsTable") ||
            !r.Small(goods, "slots", 1, SimMaxGoodsCode, GoodsSlots, "goodsTable"))
            return false;
        GoodsStream = stream == 1 ? TSimGoodsStream::Slots : TSimGoodsStream::Records;
        if (goods.contains("items")) {
            const json& items = goods["items"];
            if (!items.is_array()) return r.Fail("goodsTable.items", "an array is expected");
            Goods.clear();
            for (std::size_t i = 0; i < items.size(); ++i) {
                const json& v = items[i];
                const std::string path = At("goodsTable.items", i);
                TSimGoods g;
                long long code = -1;
                std::size_t type = 0;
                if (!r.Object(v, path) || !r.Int(v, "code", 0, SimMaxGoodsCode, code, path) ||
                    !r.Choice(v, "type", kGoodsTypes, type, path) || !r.Bool(v, "piece", g.Piece, path) ||
                    !r.Bool(v, "blocked", g.Blocked, path) || !r.Text(v, "name", 32, g.Name, path) ||
                    !r.Int(v, "priceKopecks", 0, MaxMoney, g.Price, path) ||
                    !r.Small(v, "taxGroup", 0, 5, g.TaxGroup, path) || !r.Small(v, "section", 0, 255, g.Section, path) ||
                    !r.Text(v, "barcode", 20, g.Barcode, path) ||
                    !r.Int(v, "soldThousandths", 0, MaxMoney, g.Sold, path))
                    return false;
                if (code < 0) return r.Fail(path + ".code", "every goods record needs its code");
                for (char c : g.Barcode)
                    if (c < '0' || c > '9') return r.Fail(path + ".barcode", "decimal digits are expected");
                g.Type = kGoodsTypeCodes[type];
                if (!Goods.emplace(static_cast<int>(code), g).second)
                    return r.Fail(path + ".code", "the code " + std::to_string(code) + " is there twice");
            }
        }
    }

    if (!r.Array(doc, "journal", SIZE_MAX, a)) return false;
    if (a) {
        Journal.clear();
        for (std::size_t i = 0; i < a->size(); ++i) {
            const json& v = (*a)[i];
            std::vector<std::uint8_t> rec;
            if (!v.is_string() || !ParseHex(v.get<std::string>(), rec) || rec.empty())
                return r.Fail(At("journal", i), "a record in hexadecimal digits is expected");
            if (rec.size() > SimJournalPacket - 3)
                return r.Fail(At("journal", i), "a record must fit in one packet (at most 252 bytes)");
            Journal.push_back(std::move(rec));
        }
    }
    return true;
}
