// Register commands: identity, clock, options, taxes; and the pieces every
// command shares.
#include "app/Dialog.h"
#include "kkm/KKMCommands.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint8_t DiscControl = 0xC0;

// Blanks and control characters removed at both ends.
std::string TrimBlanks(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

}  // namespace

std::string NormalizeVersion(const std::string& version) {
    std::size_t start = version.size();
    while (start > 0 && version[start - 1] >= '0' && version[start - 1] <= '9') --start;
    const std::string digits = version.substr(start);
    if (digits.size() >= 3) return version;
    return version.substr(0, start) + std::string(3 - digits.size(), '0') + digits;
}

TKKMIdentity DecodeKKMIdentity(const std::uint8_t* answer) {
    TKKMIdentity id;
    id.Model = TrimBlanks(BytesToStr(answer + 3, 16));
    id.SerialNumber = BytesToStr(answer + 19, 12);
    id.Version = NormalizeVersion(BytesToStr(answer + 31, 12));
    id.Mode = answer[43];
    return id;
}

namespace kkmcmd {

TKKMPacket Request(std::initializer_list<std::uint8_t> head) {
    TKKMPacket p;
    for (std::uint8_t b : head) p.Data[p.Length++] = b;
    return p;
}

TKKMInfo& EnsureInfo(TKKM& kkm) {
    if (!kkm.Info) kkm.Info = std::make_shared<TKKMInfo>();
    return *kkm.Info;
}

bool ReadExchange(TProtocolKKM& link, TKKMPacket& request, TKKMPacket& answer, std::uint8_t expected, bool flag) {
    if (!link.Exchange(request, answer, flag)) return false;
    link.SendControl(DiscControl);
    return !link.CheckAnswer(answer, expected);
}

bool WriteExchange(TProtocolKKM& link, TKKMPacket& request, std::uint8_t expected) {
    TKKMPacket answer;
    if (!link.Exchange(request, answer, true)) return false;
    if (link.CheckAnswer(answer, expected)) return false;
    link.SendControl(DiscControl);
    return true;
}

}  // namespace kkmcmd

using namespace kkmcmd;

bool TProtocolKKM::GetKKMInfo() {
    MT("получаем инфо. о ККМ", mdFunctional);
    TKKMPacket request = Request({0x01, 0x01});
    TKKMPacket answer;
    if (!Exchange(request, answer, true)) return false;
    if (CheckAnswer(answer, KKMIdentityAnswerLength)) return false;  // no DISC after a bad identity answer
    TKKMInfo& info = EnsureInfo(*KKM);
    const TKKMIdentity id = DecodeKKMIdentity(answer.Data);
    info.Model = id.Model;
    info.CfgSuffix = "000000";
    info.SerialNumber = id.SerialNumber;
    info.Version = id.Version;
    info.Mode = id.Mode;
    SendControl(DiscControl);
    info.LoadModelConfig();  // a model without its file keeps the catalogue
    return true;
}

bool TProtocolKKM::GetDateTime() {
    MT("получаем дату и время из ККМ", mdFunctional);
    TKKMPacket request = Request({0x01, 0x02});
    TKKMPacket answer;
    if (!ReadExchange(*this, request, answer, 9)) return false;
    TKKMInfo& info = EnsureInfo(*KKM);
    info.DateText = BytesToHexStr(THEXKKM(answer.Data + 3, 3), ".");
    info.TimeText = BytesToHexStr(THEXKKM(answer.Data + 6, 3), ":");
    return true;
}

bool TProtocolKKM::GetOptions() {
    MT("получаем опции из ККМ", mdFunctional);
    TKKMPacket request = Request({0x01, 0x09});
    TKKMPacket answer;
    if (!Exchange(request, answer, true)) return false;
    SendControl(DiscControl);
    // The length is not checked (models differ in their option count), but a
    // refusal is not a register without options.
    if (answer.Data[2] != 0) {
        Error(AnswerErrorText(answer.Data[2]), false, true, true);
        return false;
    }
    TKKMInfo& info = EnsureInfo(*KKM);
    // Counted before it is cut to a byte: an answer of 300 bytes is not one
    // of 41 options.
    const int count = answer.Length - 3;
    if (count < 0 || count > KKMOptionCount) {
        ET("ККМ вернула " + std::to_string(count), mdFunctional);
        info.OptionCount = 32;
        return false;
    }
    info.OptionCount = count;
    std::memcpy(info.OptionValues, answer.Data + 3, count);
    return true;
}

bool TProtocolKKM::SetOptions() {
    if (!KKM->Info) return false;
    const TKKMInfo& info = *KKM->Info;
    MT("записываем опции в ККМ", mdFunctional);
    TKKMPacket request = Request({0x01, 0x0A});
    const int count = std::min<int>(info.OptionCount, KKMOptionCount);
    std::memcpy(request.Data + 2, info.OptionValues, static_cast<std::size_t>(count));
    request.Length = count + 2;
    return WriteExchange(*this, request);
}

bool TProtocolKKM::GetTax(int n) {
    if (n < 1 || n > KKMTaxCount) return false;
    MT("получаем налоги из ККМ", mdFunctional);
    TKKMPacket request = Request({0x01, 0x0D, static_cast<std::uint8_t>(n)});
    TKKMPacket answer;
    if (!ReadExchange(*this, request, answer, 19)) return false;
    TTaxRec& tax = EnsureInfo(*KKM).Taxes[n - 1];
    tax.Defined = answer.Data[3];
    if (tax.Defined != 0xAA) return true;
    tax.Type = answer.Data[4];
    tax.Percent = BCDToInt(answer.Data[6]) + BCDToInt(answer.Data[5]) / 100.0;
    tax.Name = BytesToStr(answer.Data + 7, 12);
    return true;
}
