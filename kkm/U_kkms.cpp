#include "kkm/U_kkms.h"

#include "lang/U_language.h"

#include "app/IniFile.h"
#include "app/U_filedirwork.h"

#include <climits>

namespace {

// Blanks and control characters at both ends removed.
std::string TrimBlanks(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

// Takes the text before the first comma of rest as a token and removes it and
// the comma; without a comma the token is empty and rest stays as it is.
std::string TakeToken(std::string& rest) {
    const auto comma = rest.find(',');
    if (comma == std::string::npos) return {};
    std::string token = TrimBlanks(rest.substr(0, comma));
    rest.erase(0, comma + 1);
    return token;
}

// Value of a description number: digits only, anything else counts as 0.
// False when the digits do not fit in 32 bits.
bool TokenValue(const std::string& token, std::int32_t& value) {
    if (!IsDigits(token)) {
        value = 0;
        return true;
    }
    long long v = 0;
    for (char c : token) {
        v = v * 10 + (c - '0');
        if (v > INT_MAX) return false;
    }
    value = static_cast<std::int32_t>(v);
    return true;
}

}  // namespace

std::string KKMModeText(std::uint8_t mode) {
    switch (mode) {
        case 0: return "AUTONOM";
        case 1: return "ON-LINE";
        case 2: return "OFF-LINE";
        default: return "?:" + std::to_string(mode);
    }
}

void TKKMInfo::BindGoodsViews() {
    GoodsCode = TNumberKKM(Goods + 2, 3);
    GoodsPrice = TNumberKKM(Goods + 37, 5);
    GoodsShtrih = TNumberKKM(Goods + 44, 10);
    GoodsCount = TNumberKKM(Goods + 54, 5);
}

std::string TKKMInfo::ModelConfigPath() const {
    return JoinPathAnyCase(JoinPathAnyCase(DataDir(), "ECR_CFG"), Version + "_" + CfgSuffix + ".ini");
}

bool TKKMInfo::LoadModelConfig() {
    const TIniFile ini(ModelConfigPath());
    maxCountDepat = ini.ReadInteger("max", "maxCountDepat", 4);
    maxCountFont = ini.ReadInteger("max", "maxCountFont", 4);
    maxCountGoods = ini.ReadInteger("max", "maxCountGoods", 100);
    for (int i = 0; i < KKMOptionCount; ++i) {
        if (!ParseOptionDescr(i, ini.ReadString("opions", "op" + std::to_string(i + 1), "0,0,0,''"))) return false;
    }
    return true;
}

bool TKKMInfo::ParseOptionDescr(int i, const std::string& s) {
    if (i < 0 || i >= KKMOptionCount) return false;
    TOptionsInfo& o = Options[i];
    std::string rest = s;

    const std::string first = TakeToken(rest);
    if (!TokenValue(first, o.Min)) return false;
    o.LeadingZero = !first.empty() && first[0] == '0';
    if (!TokenValue(TakeToken(rest), o.Max)) return false;
    if (!TokenValue(TakeToken(rest), o.Def)) return false;

    std::string caption;
    const auto open = rest.find('\'');
    if (open != std::string::npos) {
        const auto close = rest.find('\'', open + 1);
        if (close != std::string::npos) caption = TrimBlanks(rest.substr(open + 1, close - open - 1));
    }
    if (caption.empty()) {
        const TDefaultOption& d = DefaultOptions[static_cast<std::size_t>(i)];
        o.Caption = std::string(NoDescriptionMark) + d.Caption;
        o.Min = d.Min;
        o.Max = d.Max;
        o.Def = d.Def;
        o.LeadingZero = d.LeadingZero;
    } else {
        o.Caption = caption;
    }
    return true;
}

std::string TKKMInfo::GetFontName(int i) const {
    if (i < 0 || i > maxCountFont + 1 || i >= KKMFontNameCount) return {};
    return FontNames[static_cast<std::size_t>(i)];
}

void TKKMInfo::GetOptionRange(int i, std::uint8_t& min, std::uint8_t& max) const {
    min = max = 0;
    if (i < 1 || i > KKMOptionCount) return;
    min = static_cast<std::uint8_t>(Options[i - 1].Min & 0xFF);
    max = static_cast<std::uint8_t>(Options[i - 1].Max & 0xFF);
}

std::pair<std::uint8_t, std::uint8_t> TKKMInfo::GetOptionRange(int i) const {
    std::pair<std::uint8_t, std::uint8_t> r;
    GetOptionRange(i, r.first, r.second);
    return r;
}

std::uint8_t TKKMInfo::GetOptionDef(int i) const {
    if (i < 1 || i > KKMOptionCount) return 0;
    return static_cast<std::uint8_t>(Options[i - 1].Def & 0xFF);
}

std::string TKKMInfo::GetOptionCaption(int i) const {
    if (i < 1 || i > KKMOptionCount) return {};
    return Options[i - 1].Caption;
}

std::string DepKindText(std::uint8_t kind) {
    if (kind == DepKindGoods) return LangStr(45);
    if (kind == DepKindService) return LangStr(46);
    return LangStr(47);
}
