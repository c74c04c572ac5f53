#include "journal/U_magazineoperation.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
const char* const kCrLf = "\r\n";

void AppendHex(std::string& out, const std::uint8_t* p, int n) {
    for (int i = 0; i < n; ++i) {
        out += kHexDigits[p[i] >> 4];
        out += kHexDigits[p[i] & 0x0F];
    }
}

// The single instances, alive for the whole run.
TSumMagOper g_sum;
TCodeMagOper g_code;
TSkidkiOperMagOper g_skidki;
TPiMagOper g_pi;
TSumTaxMagOper g_sumTax;
TNalichMagOper g_nalich;
TCloseCheckMagOper g_closeCheck;
TCheckOperMagOper g_checkOper;

struct TOperKind {
    TAbstMagOper* oper;
    const char* name;
};

std::array<TOperKind, 256> BuildKinds() {
    std::array<TOperKind, 256> k{};
    k[0xA1] = {&g_sum, "суммовая продажа"};
    k[0xA2] = {&g_sum, "суммовая покупка"};
    k[0xA3] = {&g_code, "пр. по коду"};
    k[0xA4] = {&g_code, "пок.по коду"};
    k[0xA5] = {&g_code, "прием оплаты за услугу"};
    k[0xA6] = {&g_sum, "аннуляция суммовой подажи"};
    k[0xA7] = {&g_sum, "аннуляция суммовой покупки"};
    k[0xA8] = {&g_code, "аннуляция продажи по коду"};
    k[0xA9] = {&g_code, "аннуляция покупки по коду"};
    k[0xAB] = {&g_code, "аннуляция оплаты за услугу"};
    k[0xAC] = {&g_sum, "суммовой возврат"};
    k[0xAD] = {&g_code, "возврат продажи по коду"};
    k[0xAE] = {&g_code, "возврат оплаты за услугу"};
    k[0xB1] = {&g_skidki, "скидка на операцию"};
    k[0xB2] = {&g_skidki, "надбавка операцию"};
    k[0xB3] = {&g_skidki, "анн. скидки на операцию"};
    k[0xB4] = {&g_skidki, "анн. надбавки на операцию"};
    k[0xB5] = {&g_pi, "сумма ПИ (ИТОГО)"};
    k[0xB6] = {&g_pi, "скидка на ПИ"};
    k[0xB7] = {&g_pi, "надбавка на ПИ"};
    k[0xB8] = {&g_pi, "анн скидки на ПИ"};
    k[0xB9] = {&g_pi, "анн набавки на ПИ"};
    // The letter after "0x" is the Cyrillic capital Es.
    k[0xC1] = {&g_sumTax, "0x\u0421" "5 суммы по налоговым ставкам"};
    for (int c = 0xC2; c <= 0xC5; ++c) k[static_cast<std::size_t>(c)] = {&g_sumTax, nullptr};
    k[0xC9] = {&g_nalich, "сумма к оплате с типом оплаты и суммой внесения"};
    k[0xCA] = {&g_closeCheck, "запись закрытия чека"};
    k[0xCB] = {&g_checkOper, "регистрация повторной печати чека"};
    k[0xCC] = {&g_checkOper, "аннуляция чека"};
    return k;
}

const std::array<TOperKind, 256>& Kinds() {
    static const std::array<TOperKind, 256> kinds = BuildKinds();
    return kinds;
}

// Appends the line of the record at p (RecordLength bytes available).
void AppendRecordLine(std::string& out, TAbstMagOper& oper, const std::uint8_t* p) {
    oper.Parse(p);
    out += oper.ToText();
    out += kCrLf;
}

// Decodes data[p..length) into out. A record cut off by the end goes to
// carry when one is given, else becomes a hexadecimal line.
void DecodeRecords(const std::uint8_t* data, int length, int p, std::string& out, std::uint8_t* carry,
                   int* carryLength) {
    while (p < length) {
        if (p + 1 < length && data[p] == 0x01 && data[p + 1] == 0x0F) {
            p += 3;
            continue;
        }
        if (TAbstMagOper* oper = MagOperFor(data[p])) {
            const int n = oper->RecordLength();
            if (p + n > length) {
                if (carry != nullptr) {
                    std::memcpy(carry, data + p, static_cast<std::size_t>(length - p));
                    *carryLength = length - p;
                } else {
                    AppendHex(out, data + p, length - p);
                    out += kCrLf;
                }
                return;
            }
            AppendRecordLine(out, *oper, data + p);
            p += n;
            continue;
        }
        do {
            AppendHex(out, data + p, 1);
        } while (data[p++] != 0xAA && p < length);
        out += kCrLf;
    }
}

}  // namespace

// ---- base -----------------------------------------------------------------

std::uint8_t* TAbstMagOper::Bind(const std::uint8_t* rec) {
    auto* p = const_cast<std::uint8_t*>(rec);
    Code.Data = p;
    return p;
}

void TAbstMagOper::AddField(std::string& line, const TBaseTypeKKM& view) {
    line += ';';
    line += view.ToStr();
}

void TAbstMagOper::AddField(std::string& line, const std::string& text) {
    line += ';';
    line += text;
}

// ---- records --------------------------------------------------------------

std::int32_t TSumMagOper::Parse(const std::uint8_t* rec) {
    std::uint8_t* p = Bind(rec);
    OperNumber.Data = p + 1;
    Quantity.Data = p + 2;
    Price.Data = p + 7;
    TaxGroup.Data = p + 12;
    Section.Data = p + 13;
    return RecordLength();
}

std::string TSumMagOper::ToText() const {
    std::string s = Code.ToStr();
    AddField(s, OperNumber);
    AddField(s, Quantity);
    AddField(s, Price);
    AddField(s, TaxGroup);
    AddField(s, Section);
    return s;
}

std::int32_t TCodeMagOper::Parse(const std::uint8_t* rec) {
    std::uint8_t* p = Bind(rec);
    OperNumber.Data = p + 1;
    GoodsCode.Data = p + 2;
    Quantity.Data = p + 5;
    Price.Data = p + 10;
    TaxGroup.Data = p + 15;
    Section.Data = p + 16;
    return RecordLength();
}

std::string TCodeMagOper::ToText() const {
    std::string s = Code.ToStr();
    AddField(s, OperNumber);
    AddField(s, GoodsCode);
    AddField(s, Quantity);
    AddField(s, Price);
    AddField(s, TaxGroup);
    AddField(s, Section);
    return s;
}

std::int32_t TSkidkiOperMagOper::Parse(const std::uint8_t* rec) {
    std::uint8_t* p = Bind(rec);
    OperNumber.Data = p + 1;
    Value.Data = p + 2;
    Amount.Data = p + 4;
    TaxGroup.Data = p + 9;
    Section.Data = p + 10;
    return RecordLength();
}

std::string TSkidkiOperMagOper::ToText() const {
    std::string s = Code.ToStr();
    AddField(s, OperNumber);
    AddField(s, Value);
    AddField(s, Amount);
    AddField(s, TaxGroup);
    AddField(s, Section);
    return s;
}

std::int32_t TPiMagOper::Parse(const std::uint8_t* rec) {
    std::uint8_t* p = Bind(rec);
    OperNumber.Data = p + 1;
    Amount.Data = p + 2;
    return RecordLength();
}

std::string TPiMagOper::ToText() const {
    std::string s = Code.ToStr();
    AddField(s, OperNumber);
    AddField(s, Amount);
    return s;
}

std::int32_t TSumTaxMagOper::Parse(const std::uint8_t* rec) {
    std::uint8_t* p = Bind(rec);
    OperNumber.Data = p + 1;
    TaxRate.Data = p + 2;
    Amount.Data = p + 3;
    return RecordLength();
}

std::string TSumTaxMagOper::ToText() const {
    std::string s = Code.ToStr();
    AddField(s, OperNumber);
    AddField(s, TaxRate);
    AddField(s, Amount);
    return s;
}

std::int32_t TNalichMagOper::Parse(const std::uint8_t* rec) {
    std::uint8_t* p = Bind(rec);
    OperNumber.Data = p + 1;
    KindLessOne.Data = p + 2;
    Sum.Data = p + 3;
    Cash.Data = p + 10;
    return RecordLength();
}

std::string TNalichMagOper::ToText() const {
    std::string s = Code.ToStr();
    AddField(s, OperNumber);
    AddField(s, std::to_string(BinToInt(KindLessOne) + 1));
    AddField(s, Sum);
    AddField(s, Cash);
    return s;
}

std::int32_t TCloseCheckMagOper::Parse(const std::uint8_t* rec) {
    std::uint8_t* p = Bind(rec);
    Kind.Data = p + 1;
    CheckNumber.Data = p + 2;
    Date.Data = p + 6;
    Time.Data = p + 9;
    Fiscal.Data = p + 11;
    Operator.Data = p + 12;
    return RecordLength();
}

std::string TCloseCheckMagOper::ToText() const {
    std::string s = Code.ToStr();
    AddField(s, Kind);
    AddField(s, CheckNumber);
    AddField(s, Date);
    AddField(s, Time);
    AddField(s, std::string(BinToInt(Fiscal) == 0x4B ? "F" : "NF"));
    AddField(s, Operator);
    return s;
}

std::int32_t TCheckOperMagOper::Parse(const std::uint8_t* rec) {
    std::uint8_t* p = Bind(rec);
    Operator.Data = p + 1;
    return RecordLength();
}

std::string TCheckOperMagOper::ToText() const {
    std::string s = Code.ToStr();
    AddField(s, Operator);
    return s;
}

// ---- lookup and decoding --------------------------------------------------

TAbstMagOper* MagOperFor(std::uint8_t code) { return Kinds()[code].oper; }

const std::string& MagOperName(std::uint8_t code) {
    static const std::array<std::string, 256> names = [] {
        std::array<std::string, 256> n;
        for (std::size_t c = 0; c < n.size(); ++c) n[c] = Kinds()[c].name ? Kinds()[c].name : "???";
        return n;
    }();
    return names[code];
}

std::string DecodeMagazinePacket(const std::uint8_t* data, int length) {
    std::string out;
    if (data != nullptr && length > 0) DecodeRecords(data, length, 0, out, nullptr, nullptr);
    return out;
}

void TMagazineDecoder::Feed(const std::uint8_t* data, int length, std::string& out) {
    if (data == nullptr || length <= 0) return;
    int p = 0;
    if (pendingLength_ > 0) {
        // The continuation follows the next packet's answer header.
        if (length >= 2 && data[0] == 0x01 && data[1] == 0x0F) p = 3;
        TAbstMagOper* oper = MagOperFor(pending_[0]);
        const int need = oper->RecordLength() - pendingLength_;
        const int take = std::min(need, std::max(0, length - p));
        std::memcpy(pending_ + pendingLength_, data + p, static_cast<std::size_t>(take));
        pendingLength_ += take;
        p += take;
        if (take < need) return;
        AppendRecordLine(out, *oper, pending_);
        pendingLength_ = 0;
    }
    DecodeRecords(data, length, p, out, pending_, &pendingLength_);
}

std::string TMagazineDecoder::Feed(const std::uint8_t* data, int length) {
    std::string out;
    Feed(data, length, out);
    return out;
}

std::string TMagazineDecoder::Flush() {
    std::string out;
    if (pendingLength_ > 0) {
        AppendHex(out, pending_, pendingLength_);
        out += kCrLf;
        pendingLength_ = 0;
    }
    return out;
}
