// What the simulated register keeps besides its identity: option values,
// taxes, receipt header and footer lines, departments, the goods table and
// the electronic journal. Texts are UTF-8; money in kopecks.
#pragma once
#include <nlohmann/json.hpp>

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct TSimTax {
    bool Defined = false;
    std::uint8_t Type = 0;
    int Hundredths = 0;  // rate in percent × 100, 0..9999
    std::string Name;    // at most 12 characters
};

struct TSimReceiptLine {
    std::uint8_t Font = 1;
    std::string Text;  // at most 32 characters
};

struct TSimDepartment {
    std::uint8_t Kind = 0xA3;  // 0xA1 goods, 0xA2 service, 0xA3 closed
    std::string Name;          // at most 22 characters
    std::uint8_t TaxGroup = 0;  // 0 none, 1..5 for A..E
    long long Price = 0;        // kopecks, at most 10 digits
};

struct TSimGoods {
    std::uint8_t Type = 0xAA;  // 0xAA goods, 0xA5 service, 0xA0 container
    bool Piece = true;         // sold by the piece (else by weight)
    bool Blocked = false;
    std::string Name;          // at most 32 characters
    long long Price = 0;       // kopecks, at most 10 digits
    std::uint8_t TaxGroup = 0;
    std::uint8_t Section = 0;
    std::string Barcode;       // up to 20 digits, empty for none
    long long Sold = 0;        // thousandths, at most 10 digits
};

// How the register streams its goods table on a read-all request.
enum class TSimGoodsStream {
    Records,  // one packet per record it holds
    Slots,    // one packet per code slot; empty slots carry result code 9
};

constexpr int SimMaxGoodsCode = 999999;
constexpr int SimJournalPacket = 255;  // data bytes of one journal packet at most

struct TSimRegister {
    std::vector<std::uint8_t> Options;             // option 1 first, at most 64
    std::array<TSimTax, 5> Taxes;
    std::array<TSimReceiptLine, 6> Header;
    std::array<TSimReceiptLine, 6> Footer;
    std::vector<TSimDepartment> Departments;       // department 1 first, at most 16
    std::map<int, TSimGoods> Goods;                // by goods code
    TSimGoodsStream GoodsStream = TSimGoodsStream::Records;
    int GoodsSlots = 200;                          // code slots 1..GoodsSlots in slot streaming
    std::vector<std::vector<std::uint8_t>> Journal;  // journal records, each whole

    // A believable register: 32 options, two taxes, header and footer in
    // Russian, eight departments, twenty goods and a journal of receipts.
    static TSimRegister Default();

    // The sections "options", "taxes", "header", "footer", "departments",
    // "goodsTable" and "journal" of a state document.
    static const std::vector<std::string>& SectionNames();
    void ToJson(nlohmann::json& doc) const;
    // Reads those sections of doc that are present over this content; false
    // with the reason (the field's path first) when one does not fit the
    // register. On false the content may be partly changed: read into a copy.
    bool FromJson(const nlohmann::json& doc, std::string& error);
};

// The 64-byte goods record of the register's layout.
std::array<std::uint8_t, 64> SimGoodsRecord(int code, const TSimGoods& goods);
// Journal records as packets: 01 0F 00 and whole records, at most 255 bytes
// each, then 01 0F 09.
std::vector<std::vector<std::uint8_t>> SimJournalPackets(const std::vector<std::vector<std::uint8_t>>& records);

// Packed BCD, lowest digit pair first. Digits into n bytes (false when they
// are not all decimal digits or do not fit; empty gives zeros) and back
// (false when a nibble is not a digit; "0" for zero).
bool SimPutBcd(std::uint8_t* out, int n, const std::string& digits);
bool SimGetBcd(const std::uint8_t* in, int n, std::string& digits);
bool SimPutBcd(std::uint8_t* out, int n, long long value);
bool SimGetBcd(const std::uint8_t* in, int n, long long& value);
