// Register commands: receipt header and footer lines, departments.
#include "app/Dialog.h"
#include "app/TextCodec.h"
#include "kkm/KKMCommands.h"
#include "lang/U_language.h"

#include <cmath>

using namespace kkmcmd;

namespace {

constexpr int LineWidth = 32;
constexpr int DepNameWidth = 22;
constexpr int DepPriceBytes = 5;

// Reads line n of the header (command 0x03) or the footer (0x05); line 1
// also brings the group's font.
bool GetLine(TProtocolKKM& link, bool header, int n) {
    if (n < 1 || n > KKMLineCount) return false;
    MT(header ? "получаем заголовки чека из ККМ" : "получаем окончания чека из ККМ", mdFunctional);
    TKKMPacket request = Request({0x01, header ? std::uint8_t{0x03} : std::uint8_t{0x05}, static_cast<std::uint8_t>(n - 1)});
    TKKMPacket answer;
    if (!ReadExchange(link, request, answer, 37)) return false;
    TKKMInfo& info = EnsureInfo(*link.KKM);
    if (n == 1) (header ? info.TitleFont : info.FooterFont) = answer.Data[4];  // other lines' font bytes unused
    (header ? info.Title : info.Footer)[n - 1] = BytesToStr(answer.Data + 5, LineWidth);
    return true;
}

// Writes line n of the header (0x04) or the footer (0x06) with the group's
// font; unprintable characters are left out, the rest NUL-padded.
bool SetLine(TProtocolKKM& link, bool header, int n) {
    const TKKMInfo& info = *link.KKM->Info;
    TKKMPacket request = Request({0x01, header ? std::uint8_t{0x04} : std::uint8_t{0x06}, static_cast<std::uint8_t>(n - 1),
                                  header ? info.TitleFont : info.FooterFont});
    StrToBytes(request.Data + 4, (header ? info.Title : info.Footer)[n - 1], LineWidth);
    request.Length = 4 + LineWidth;
    return WriteExchange(link, request);
}

}  // namespace

bool DepPriceDigits(double price, std::string& digits) {
    digits.clear();
    // Price × 100 as a currency amount: four decimals.
    const double scaled = price * 100.0 * 10000.0;
    if (!std::isfinite(scaled) || scaled < 0 || scaled > 9999999999.0 * 10000.0) return false;
    const long long units = std::llround(scaled);
    if (units % 10000 != 0) return false;  // a fraction of a kopeck
    digits = std::to_string(units / 10000);
    return true;
}

bool TProtocolKKM::GetTitle(int n) { return GetLine(*this, true, n); }

bool TProtocolKKM::GetFooter(int n) { return GetLine(*this, false, n); }

bool TProtocolKKM::SetTitle(int n) {
    if (n < 1 || n > KKMLineCount || !KKM->Info) return false;
    MT("записываем заголовки чека в ККМ", mdFunctional);
    return SetLine(*this, true, n);
}

bool TProtocolKKM::SetFooter(int n) {
    if (n < 1 || n > KKMLineCount) return false;
    MT("записываем окончание чека в ККМ", mdFunctional);
    if (!KKM->Info) return false;
    return SetLine(*this, false, n);
}

bool TProtocolKKM::GetDepatment(int n) {
    if (n < 1 || n > KKMDepCount) return false;
    MT("получаем отдел из ККМ", mdFunctional);
    TKKMPacket request = Request({0x01, 0x07, static_cast<std::uint8_t>(n)});
    TKKMPacket answer;
    if (!ReadExchange(*this, request, answer, 36)) return false;
    std::uint8_t kind = answer.Data[4];
    if (kind != DepKindGoods && kind != DepKindService) kind = DepKindClosed;
    const TNumberKKM price(answer.Data + 31, DepPriceBytes);
    if (kind != DepKindClosed && !price.IsValid()) {
        Error("Отдел " + std::to_string(n) + ": цена из ККМ не в двоично-десятичном виде (" +
                  BytesToHexStr(price, " ") + ")",
              false, true, true);
        return false;
    }
    TDepRec& dep = EnsureInfo(*KKM).Deps[n - 1];
    dep.Kind = kind;
    dep.Status = DepKindText(kind);
    if (kind == DepKindClosed) {
        dep.Name.clear();
        dep.NG = "0";
        dep.Price = 0;
        return true;
    }
    dep.Name = BytesToStr(answer.Data + 5, DepNameWidth);
    dep.NG = Cp1251ToUtf8(std::string(1, static_cast<char>(0x40 + answer.Data[30])));
    dep.Price = static_cast<double>(std::stoll(price.ToStr())) / 100.0;
    return true;
}

bool TProtocolKKM::SetDepatment(int n) {
    if (n < 1 || n > KKMDepCount || !KKM->Info) return false;
    MT("записываем отдел в ККМ", mdFunctional);
    const TDepRec& dep = KKM->Info->Deps[n - 1];
    const bool open = dep.Kind == DepKindGoods || dep.Kind == DepKindService;
    TKKMPacket request = Request({0x01, 0x08, static_cast<std::uint8_t>(n), open ? dep.Kind : DepKindClosed});
    request.Length = 35;
    if (open) {
        std::string digits;
        if (!DepPriceDigits(dep.Price, digits) || !TNumberKKM(request.Data + 30, DepPriceBytes).FromStr(digits)) {
            Error("Отдел " + std::to_string(n) +
                      ": цену нельзя записать в ККМ (нужны целые копейки от 0 до 99999999.99), отдел не записан",
                  false, true, true);
            return false;
        }
        StrToBytes(request.Data + 4, dep.Name, DepNameWidth);
        if (dep.NG >= "A" && dep.NG <= "E") request.Data[29] = static_cast<std::uint8_t>(dep.NG[0] - 0x40);
    }
    return WriteExchange(*this, request);
}
