// The device image: everything read from the connected register or about to be
// written to it, with the per-model configuration (counts, option ranges,
// defaults and descriptions) from ECR_CFG/<version>_<suffix>.ini and the
// built-in option catalogue that stands in for whatever the file lacks.
// Texts are UTF-8.
#pragma once
#include "kkm/Typessimpledata.h"

#include <array>
#include <cstdint>
#include <string>
#include <utility>

constexpr int KKMOptionCount = 64;
constexpr int KKMDepCount = 16;
constexpr int KKMTaxCount = 5;
constexpr int KKMLineCount = 6;
constexpr int KKMGoodsRecordSize = 64;
constexpr int KKMFontNameCount = 9;

struct TOptionsInfo {
    std::int32_t Min = 0;
    std::int32_t Max = 0;
    std::int32_t Def = 0;
    std::string Caption;
    bool LeadingZero = false;  // 0 is allowed besides Min..Max
};

struct TDepRec {
    std::uint8_t Kind = 0xA3;  // the register's code: 0xA1 goods, 0xA2 service, anything else closed
    std::string Status;  // language string 45 "Товар", 46 "Услуга" or 47 "Закрыто", for display
    std::string Name;    // up to 22 characters
    std::string NG;      // tax group "A".."E", "@" for the register's 0, "0" when closed
    double Price = 0;    // roubles
};

struct TTaxRec {
    std::uint8_t Defined = 0;  // 0xAA when the register has the tax
    std::uint8_t Type = 0;
    std::string Name;  // up to 12 characters
    double Percent = 0;
};

// One row of the built-in option catalogue.
struct TDefaultOption {
    std::int32_t Min;
    std::int32_t Max;
    std::int32_t Def;
    bool LeadingZero;
    const char* Caption;
};

// Option n (1-based) is DefaultOptions[n - 1].
extern const std::array<TDefaultOption, KKMOptionCount> DefaultOptions;
// Print font captions by font number; the first character is the number.
extern const std::array<const char*, KKMFontNameCount> FontNames;

// Caption prefix of an option whose description the model file does not give.
constexpr const char* NoDescriptionMark = "нет описания,def: ";

// "AUTONOM", "ON-LINE", "OFF-LINE" for modes 0..2, else "?:" and the number.
std::string KKMModeText(std::uint8_t mode);

// Department kinds as the register codes them (the profile files store the
// same numbers, 161..163); every other code is a closed department.
constexpr std::uint8_t DepKindGoods = 0xA1;
constexpr std::uint8_t DepKindService = 0xA2;
constexpr std::uint8_t DepKindClosed = 0xA3;
// Language text of a department kind: string 45, 46 or 47 (closed for any
// code other than goods and service).
std::string DepKindText(std::uint8_t kind);

// The image's data; TKKMInfo adds the views bound to its own Goods bytes.
struct TKKMInfoData {
    std::string Model = "???";
    std::string SerialNumber = "???";
    std::string Version = "???";
    std::uint8_t Mode = 0;
    std::string DateText;  // DD.MM.YY
    std::string TimeText;  // HH:MM:SS
    std::string CfgSuffix;
    TOptionsInfo Options[KKMOptionCount];  // option i at index i - 1
    std::int32_t maxCountDepat = 4;
    std::int32_t maxCountFont = 8;
    std::int32_t maxCountGoods = 100;
    TDepRec Deps[KKMDepCount];
    std::uint8_t OptionValues[KKMOptionCount] = {};
    std::uint8_t OptionCount = 0;
    TTaxRec Taxes[KKMTaxCount];
    std::string Title[KKMLineCount];
    std::string Footer[KKMLineCount];
    std::uint8_t TitleFont = 0;
    std::uint8_t FooterFont = 0;
    std::uint8_t Goods[KKMGoodsRecordSize] = {};  // one goods record, register layout
    bool SaveGoodsCount = false;  // keep the register's sold quantity on writing
};

class TKKMInfo : public TKKMInfoData {
public:
    TKKMInfo() { BindGoodsViews(); }
    // A copy's views look at the copy's own Goods bytes.
    TKKMInfo(const TKKMInfo& other) : TKKMInfoData(other) { BindGoodsViews(); }
    TKKMInfo& operator=(const TKKMInfo& other) {
        TKKMInfoData::operator=(other);
        return *this;
    }

    TNumberKKM GoodsCode;    // Goods bytes 2..4, 6 digits
    TNumberKKM GoodsPrice;   // Goods bytes 37..41, kopecks
    TNumberKKM GoodsShtrih;  // Goods bytes 44..53, 20-digit barcode
    TNumberKKM GoodsCount;   // Goods bytes 54..58, thousandths

    // ECR_CFG/<Version>_<CfgSuffix>.ini in the data folder, in whatever letter
    // case the folder holds it (VER012_000000.INI from a Windows machine).
    std::string ModelConfigPath() const;
    // Reads the counts and the 64 option descriptions; a missing file or key
    // gives the defaults. False only when a number too large for 32 bits
    // stopped the reading (later options then keep what they held).
    bool LoadModelConfig();
    // Fills Options[i] (0-based) from a description "Min,Max,Def,'caption'";
    // without a caption the option takes the catalogue row, marked with
    // NoDescriptionMark. False, with Options[i] partly filled, when a number
    // does not fit in 32 bits.
    bool ParseOptionDescr(int i, const std::string& s);

    std::uint8_t GetOptionCount() const { return OptionCount; }
    std::int32_t GetMaxCountDepat() const { return maxCountDepat; }
    std::int32_t GetFontCount() const { return maxCountFont + 1; }
    // Caption of font i, empty beyond the fonts of this model.
    std::string GetFontName(int i) const;
    std::int32_t GetMaxCountGoods() const { return maxCountGoods; }
    // Min and Max of option i (1-based), cut to their low bytes; 0, 0 outside 1..64.
    void GetOptionRange(int i, std::uint8_t& min, std::uint8_t& max) const;
    std::pair<std::uint8_t, std::uint8_t> GetOptionRange(int i) const;
    // Def of option i (1-based) cut to 8 bits; 0 outside 1..64.
    std::uint8_t GetOptionDef(int i) const;
    // Caption of option i (1-based); empty outside 1..64.
    std::string GetOptionCaption(int i) const;

private:
    void BindGoodsViews();
};
