// Journal operation records. The register sends its electronic journal as
// packets of byte-coded records; each record starts with an operation code
// that fixes its length. A record becomes one source line: its fields joined
// by ";" (the code as two hexadecimal digits first), for example
// A3;1;12;2000;1250;1;1 for a sale by goods code.
#pragma once
#include "kkm/Typessimpledata.h"

#include <cstdint>
#include <string>

struct TKKMPacket;

// One kind of journal record. A single instance of each kind serves every
// record: Parse binds the field views to the record's bytes (nothing copied),
// ToText reads them.
class TAbstMagOper {
public:
    TAbstMagOper() = default;
    TAbstMagOper(const TAbstMagOper&) = delete;
    TAbstMagOper& operator=(const TAbstMagOper&) = delete;
    virtual ~TAbstMagOper() = default;

    // Binds the views to the record starting at rec (its code byte); returns
    // the number of bytes the record occupies. The bytes must stay in place
    // until ToText is done.
    virtual std::int32_t Parse(const std::uint8_t* rec) = 0;
    // The record's source line, without a line end.
    virtual std::string ToText() const { return {}; }
    // Bytes of a record of this kind, the final undecoded byte included.
    virtual std::int32_t RecordLength() const = 0;

protected:
    // Points the code view at rec and returns the writable pointer the views
    // take; the views only read the record.
    std::uint8_t* Bind(const std::uint8_t* rec);
    // "A3" and the fields appended with ";" before each.
    static void AddField(std::string& line, const TBaseTypeKKM& view);
    static void AddField(std::string& line, const std::string& text);

    THEXKKM Code{nullptr, 1};
};

// Sale, purchase, annulment or return by amount: A1 A2 A6 A7 AC, 15 bytes.
class TSumMagOper : public TAbstMagOper {
public:
    std::int32_t Parse(const std::uint8_t* rec) override;
    std::string ToText() const override;
    std::int32_t RecordLength() const override { return 15; }

    TBinKKM OperNumber{nullptr, 1};
    TNumberKKM Quantity{nullptr, 5};  // thousandths
    TNumberKKM Price{nullptr, 5};     // hundredths
    TNumberKKM TaxGroup{nullptr, 1};
    TBinKKM Section{nullptr, 1};
};

// Operations by goods code: A3 A4 A5 A8 A9 AB AD AE, 18 bytes.
class TCodeMagOper : public TAbstMagOper {
public:
    std::int32_t Parse(const std::uint8_t* rec) override;
    std::string ToText() const override;
    std::int32_t RecordLength() const override { return 18; }

    TBinKKM OperNumber{nullptr, 1};
    TNumberKKM GoodsCode{nullptr, 3};
    TNumberKKM Quantity{nullptr, 5};
    TNumberKKM Price{nullptr, 5};
    TNumberKKM TaxGroup{nullptr, 1};
    TBinKKM Section{nullptr, 1};
};

// Discount or markup on the preceding operation and their annulments:
// B1..B4, 12 bytes.
class TSkidkiOperMagOper : public TAbstMagOper {
public:
    std::int32_t Parse(const std::uint8_t* rec) override;
    std::string ToText() const override;
    std::int32_t RecordLength() const override { return 12; }

    TBinKKM OperNumber{nullptr, 1};
    TNumberKKM Value{nullptr, 2};  // four digits, not shown on the receipt
    TNumberKKM Amount{nullptr, 5};
    TNumberKKM TaxGroup{nullptr, 1};
    TBinKKM Section{nullptr, 1};
};

// Subtotal and discount or markup on the subtotal: B5..B9, 10 bytes.
class TPiMagOper : public TAbstMagOper {
public:
    std::int32_t Parse(const std::uint8_t* rec) override;
    std::string ToText() const override;
    std::int32_t RecordLength() const override { return 10; }

    TBinKKM OperNumber{nullptr, 1};
    TNumberKKM Amount{nullptr, 7};
};

// Sum for one tax rate: C1..C5, 11 bytes.
class TSumTaxMagOper : public TAbstMagOper {
public:
    std::int32_t Parse(const std::uint8_t* rec) override;
    std::string ToText() const override;
    std::int32_t RecordLength() const override { return 11; }

    TBinKKM OperNumber{nullptr, 1};
    TNumberKKM TaxRate{nullptr, 1};
    TNumberKKM Amount{nullptr, 7};
};

// Sum to pay, receipt kind and cash handed over: C9, 18 bytes.
class TNalichMagOper : public TAbstMagOper {
public:
    std::int32_t Parse(const std::uint8_t* rec) override;
    std::string ToText() const override;
    std::int32_t RecordLength() const override { return 18; }

    TBinKKM OperNumber{nullptr, 1};
    TBinKKM KindLessOne{nullptr, 1};  // the line shows the receipt kind 1..4
    TNumberKKM Sum{nullptr, 7};
    TNumberKKM Cash{nullptr, 7};
};

// Receipt close: CA, 14 bytes.
class TCloseCheckMagOper : public TAbstMagOper {
public:
    std::int32_t Parse(const std::uint8_t* rec) override;
    std::string ToText() const override;
    std::int32_t RecordLength() const override { return 14; }

    TBinKKM Kind{nullptr, 1};
    TNumberKKM CheckNumber{nullptr, 4};
    TDateKKM Date{nullptr};
    TTimeKKM Time{nullptr};
    TBinKKM Fiscal{nullptr, 1};  // 0x4B: fiscal receipt
    TNumberKKM Operator{nullptr, 1};
};

// Repeat print and annulment of a receipt: CB, CC, 3 bytes.
class TCheckOperMagOper : public TAbstMagOper {
public:
    std::int32_t Parse(const std::uint8_t* rec) override;
    std::string ToText() const override;
    std::int32_t RecordLength() const override { return 3; }

    TNumberKKM Operator{nullptr, 1};
};

// The single instance serving records with this code; null for a byte that
// is no operation code.
TAbstMagOper* MagOperFor(std::uint8_t code);
// Name of the operation for the receipt text; "???" for an unknown code.
const std::string& MagOperName(std::uint8_t code);

// Source lines of one journal packet, each ended by CR LF: the answer header
// 01 0F and its result code are skipped, each record gives its line, and a run
// of bytes that starts no record gives one line of hexadecimal digits ending
// after the first 0xAA or at the end of the packet. A record cut off by the
// end of the packet gives a line of its bytes in hexadecimal; TMagazineDecoder
// completes such a record from the next packet instead.
std::string DecodeMagazinePacket(const std::uint8_t* data, int length);
std::string DecodeMagazinePacket(const TKKMPacket& packet);

// Decodes the packets of one journal read in order. A record cut off by the
// end of a packet is kept and completed with the first journal bytes of the
// next packet (after that packet's answer header), so no operation is lost
// at a packet boundary.
class TMagazineDecoder {
public:
    // Appends the source lines the packet completes to out.
    void Feed(const std::uint8_t* data, int length, std::string& out);
    std::string Feed(const std::uint8_t* data, int length);
    void Feed(const TKKMPacket& packet, std::string& out);
    // End of the journal: a still incomplete record becomes a line of its
    // bytes in hexadecimal (empty text when nothing is pending).
    std::string Flush();
    bool HasPending() const { return pendingLength_ > 0; }
    void Reset() { pendingLength_ = 0; }

private:
    std::uint8_t pending_[32] = {};
    int pendingLength_ = 0;
};
