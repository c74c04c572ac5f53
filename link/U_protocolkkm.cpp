// The link's primitives: one control frame or one data block in or out.
#include "link/U_protocolkkm.h"

#include "app/Dialog.h"
#include "link/LinkFrames.h"

#include <chrono>
#include <cstring>
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

// Our own frames a two-wire line may hand back in one read of a frame; more
// than that is no echo.
constexpr int kEchoLimit = 10;

// The block behind our own DATA frame heard back: taken off the line and
// dropped. False when the line fell silent inside it.
bool SkipEchoBlock(TComPort& port) {
    std::uint8_t scratch[MaxBlockData + 1];  // a request block may carry 256 bytes
    TDataBlockDecoder block(scratch, MaxBlockData + 1);
    for (;;) {
        std::uint8_t b = 0;
        int one = 1;
        if (!port.Read(&b, one)) return false;
        if (block.Put(b) != TDataBlockDecoder::NeedMore) return true;
    }
}

// Five bytes that are no frame: moves them on to the next frame start (7F)
// among the bytes already received, and completes a frame begun there from
// the line. budget counts the received bytes the search may still take; a
// completion that reads past them leaves it below 0, which ends the search.
// False when there is no start left to try.
bool NextFrameStart(TComPort& port, std::uint8_t* f, int& budget) {
    int have = 4;
    std::memmove(f, f + 1, 4);
    for (;;) {
        int skip = 0;
        while (skip < have && f[skip] != ESC) ++skip;
        std::memmove(f, f + skip, static_cast<std::size_t>(have - skip));
        have -= skip;
        if (have == 0) {
            if (budget <= 0) return false;
            int one = 1;
            if (!port.Read(f, one)) return false;
            --budget;
            have = 1;
            continue;
        }
        if (budget < 0) return false;
        int need = 5 - have;
        budget -= need;
        return port.Read(f + have, need);
    }
}

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
    if (!KKM->Port) return lrTimeout;
    TComPort& port = *KKM->Port;
    const std::uint8_t net = PackNetNumber(KKM->NetNumber);
    std::uint8_t f[5];
    int n = 5;
    if (!port.Read(f, n)) return lrTimeout;
    int echoes = 0;
    int failure = lrOk;  // of the first bytes that were no frame
    int budget = 0;
    for (;;) {
        const TControlCheck check = CheckControlFrame(f, net);
        if (check == TControlCheck::Ok && (f[3] & FROM_REGISTER)) break;
        if (check == TControlCheck::Ok) {
            // Sent by the computer: a two-wire RS-485 line hears itself.
            MT("echo:" + HexBytes(f, 5), mdHardWare);
            if (IsDataFrame(f[3]) && !SkipEchoBlock(port)) return lrTimeout;
            if (++echoes > kEchoLimit) return lrFormat;
            n = 5;
            if (!port.Read(f, n)) return lrTimeout;
            continue;
        }
        // A valid frame may follow the noise in what has come already.
        if (failure == lrOk) {
            failure = check == TControlCheck::BadChecksum ? lrChecksum : lrFormat;
            budget = port.Available();
        }
        if (!NextFrameStart(port, f, budget)) return failure;
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
