// The link's primitives: one control frame or one data block in or out.
#include "link/U_protocolkkm.h"

#include "app/Dialog.h"
#include "link/LinkFrames.h"

#include <chrono>
#include <thread>

using namespace kkmlink;

namespace {

std::string FirstBytes(const std::uint8_t* data, std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n && i < 3; ++i) {
        if (i) out += ',';
        out += std::to_string(data[i]);
    }
    return out;
}

std::string FrameTrace(std::uint8_t c, int net) { return ">" + FrameKindText(c) + "  ККМ=" + std::to_string(net); }

}  // namespace

std::string FrameKindText(std::uint8_t c) {
    std::string kind;
    if (IsDataFrame(c)) {
        kind = "DATA ";
    } else {
        switch (FrameKind(c)) {
            case DISC: kind = "DISC "; break;
            case REJ: kind = "REJ  "; break;
            case RDY: kind = "RDY  "; break;
            case WAIT: kind = "WAIT "; break;
            case BUSY: kind = "BUSY "; break;
            case ACK: kind = "ACK  "; break;
            case SYN: kind = "SYN  "; break;
            case RST: kind = "RST  "; break;
            default: kind = "???"; break;
        }
    }
    kind += (c & FROM_REGISTER) ? "ПК<-ККМ " : "ПК->ККМ ";
    kind += (c & MORE) ? "асинх." : "синх. ";
    return kind;
}

int TProtocolKKM::SendControl(std::uint8_t c) {
    LastSent = c;
    const int net = KKM->NetNumber;
    if (net == 0 || net > 98) return lrNetNumber;
    if (ResetsSequence(c)) KKM->RxSeq = KKM->TxSeq = 0;
    auto frame = BuildControlFrame(net, c);
    int n = static_cast<int>(frame.size());
    const bool ok = KKM->Port && KKM->Port->Write(frame.data(), n);
    if (!IsDataFrame(c) && FrameKind(c) == DISC) std::this_thread::sleep_for(std::chrono::milliseconds(50 * PausePercent / 100));
    if (!ok) return lrWrite;
    MT(FrameTrace(c, net), mdFunctional);
    return lrOk;
}

int TProtocolKKM::ReceiveControl(std::uint8_t& c) {
    std::uint8_t f[5];
    int n = 5;
    if (!KKM->Port || !KKM->Port->Read(f, n)) return lrTimeout;
    switch (CheckControlFrame(f, PackNetNumber(KKM->NetNumber))) {
        case TControlCheck::BadChecksum: return lrChecksum;
        case TControlCheck::BadHeader: return lrFormat;
        case TControlCheck::Ok: break;
    }
    c = f[3];
    if (ResetsSequence(c)) KKM->RxSeq = KKM->TxSeq = 0;
    MT(FrameTrace(c, KKM->NetNumber), mdFunctional);
    return lrOk;
}

int TProtocolKKM::SendDataBlock(const std::uint8_t* data, int length) {
    const auto block = BuildDataBlock(data, length);
    int n = static_cast<int>(block.size());
    if (!KKM->Port || !KKM->Port->Write(block.data(), n)) return lrWrite;
    const std::size_t body = block.size() - 4;  // without lead byte, end mark and checksum
    MT(">data ПК->ККМ             size:" + std::to_string(length) + "  :" + FirstBytes(block.data() + 1, body),
       mdFunctional);
    return lrOk;
}

int TProtocolKKM::ReceiveDataBlock(std::uint8_t* buffer, int maxLength, int& length) {
    length = 0;
    if (!KKM->Port) return lrTimeout;
    TDataBlockDecoder block(buffer, maxLength);
    for (;;) {
        std::uint8_t b = 0;
        int one = 1;
        if (!KKM->Port->Read(&b, one)) {
            length = block.Length();
            return lrTimeout;
        }
        const auto state = block.Put(b);
        length = block.Length();
        switch (state) {
            case TDataBlockDecoder::NeedMore: continue;
            case TDataBlockDecoder::BadEscape: return lrFormat;
            case TDataBlockDecoder::Overflow: return lrOverflow;
            case TDataBlockDecoder::BadChecksum: return lrChecksum;
            case TDataBlockDecoder::Done: break;
        }
        MT(">data ПК<-ККМ             size:" + std::to_string(length) + "  :" +
               FirstBytes(buffer, static_cast<std::size_t>(length)),
           mdFunctional);
        return lrOk;
    }
}

int TProtocolKKM::SendDataFrame(const TKKMPacket& request, bool continuation) {
    const auto c = static_cast<std::uint8_t>(DATA + (continuation ? MORE : 0) + (KKM->TxSeq & 7));
    const int err = SendControl(c);
    if (err != lrOk) return err;
    return SendDataBlock(request.Data, request.Length);
}
