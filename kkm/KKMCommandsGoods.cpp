// Register commands: one goods record read or written.
#include "app/Dialog.h"
#include "kkm/KKMCommands.h"

#include <cstring>

using namespace kkmcmd;

namespace {

constexpr int GoodsSentBytes = 54;  // record bytes 0..53; the sold quantity stays on the register
constexpr std::uint8_t KeepCount = 0x00;
constexpr std::uint8_t ResetCount = 0xAA;

}  // namespace

bool TProtocolKKM::GetTOBAP(int code) {
    // The request carries four digits: a larger code would read another record.
    if (code < 0 || code > MaxSingleGoodsCode) {
        Error("Код товара " + std::to_string(code) + " нельзя считать отдельно: допустимы коды 0.." +
                  std::to_string(MaxSingleGoodsCode),
              false, true, true);
        return false;
    }
    MT("получаем товар из ККМ", mdFunctional);
    TKKMPacket request = Request({0x01, 0x10});
    TNumberKKM(request.Data + 2, 2).FromStr(std::to_string(code));
    request.Length = 4;
    TKKMPacket answer;
    // The register answers a single goods read in the pass after its acknowledgement.
    if (!ReadExchange(*this, request, answer, 67, false)) return false;
    std::memcpy(EnsureInfo(*KKM).Goods, answer.Data + 3, KKMGoodsRecordSize);
    return true;
}

bool TProtocolKKM::SetTOBAP() {
    if (!KKM->Info) return false;
    MT("записываем товар в ККМ", mdFunctional);
    const TKKMInfo& info = *KKM->Info;
    TKKMPacket request = Request({0x01, 0x11});
    std::memcpy(request.Data + 2, info.Goods, GoodsSentBytes);
    request.Data[2 + GoodsSentBytes] = info.SaveGoodsCount ? KeepCount : ResetCount;
    request.Length = 3 + GoodsSentBytes;
    return WriteExchange(*this, request);
}
