// One conversation with the register: ready frames, the request as one DATA
// frame, the acknowledgement and the answer frames, with bounded retries.
#include "app/AppHooks.h"
#include "app/Dialog.h"
#include "link/LinkFrames.h"
#include "link/U_protocolkkm.h"

#include <chrono>
#include <cstring>
#include <thread>

using namespace kkmlink;

namespace {

void Pause(int ms, int percent) { std::this_thread::sleep_for(std::chrono::milliseconds(ms * percent / 100)); }

constexpr int kPassLimit = 5;   // a pass after pass 5 is the last (six in all)
constexpr int kFrameLimit = 10;  // frames in one pass without progress
// Sequence errors in one exchange. A register that restarts its answer after
// every RST and numbers one frame wrong each time would otherwise be taken
// round forever: each frame it gets right counts as progress.
constexpr int kResyncLimit = 10;

// After a failed exchange the port is closed and opened again: that also
// clears what the line left, whatever state the device is in.
void ReopenPort(TComPort& port) {
    port.Close();
    port.Open();
}

// The hook lives for one exchange, whichever way it ends.
struct THookReset {
    std::function<void(TKKMPacket&, bool&)>& hook;
    ~THookReset() { hook = nullptr; }
};

}  // namespace

bool TProtocolKKM::Exchange(TKKMPacket& request, TKKMPacket& answer, bool flag) {
    THookReset hookReset{OnData};
    TKKM& kkm = *KKM;
    answer.Length = 0;
    std::memset(answer.Data, 0, sizeof answer.Data);
    if (!kkm.Port) return false;
    if (!kkm.Port->IsOpen() && !kkm.Port->Open()) return false;

    MT("----- начало синхронизации с ККМ -----", mdFunctional);
    Pause(10, PausePercent);

    // A request with data is answered only by DATA frames that come after
    // the register took the request in this call (acknowledged it, or sent
    // data in place of the acknowledgement).
    const bool carriesData = request.Length != 0;
    bool awaiting = false;      // an answer frame is expected
    bool pending = false;       // the request still has to be acknowledged
    bool delivered = false;     // a frame went to the hook
    bool requestTaken = false;  // the register acknowledged the request
    bool answered = false;      // an answer frame arrived (and was kept)
    int attempt = 1;
    int err = lrOk;
    bool garbled = false;  // the last pass ended on bytes that were no frame
    int resyncs = 0;       // sequence errors so far
    bool giveUp = false;   // too many of them: the exchange ends
    kkm.LinkState = 2;
    std::uint8_t frame[MaxBlockData];

    for (;;) {
        bool retry = false;  // the register said WAIT or BUSY: try again
        answer.Length = 0;
        ProcessPendingEvents();
        if (ApplicationTerminating()) return !carriesData || answered;

        if (garbled) {
            // Frames are read five bytes at a time: whatever is left of the
            // garbled bytes (no frame start was found in them) would shift
            // every frame of this pass as well. Emptied, not reopened: the
            // DTR and RTS pulse of an open can reset a device or turn an
            // RS-485 adapter round in the middle of the exchange.
            kkm.Port->PurgeInput();
            garbled = false;
        }
        err = SendControl(RDY);
        if (err != lrOk) {
            ET("SendKvit:" + ResultText(err), mdFunctional);
            kkm.LinkState = 2;
        } else {
            int j = 0;
            while (j < kFrameLimit) {
                std::uint8_t c = 0;
                err = ReceiveControl(c);
                if (err != lrOk) {
                    WT("Sync>WaitKvit:" + ResultText(err), mdFunctional);
                    kkm.LinkState = 1;
                    garbled = err != lrTimeout;
                    break;
                }
                bool more = (c & MORE) != 0;

                if (IsDataFrame(c)) {
                    int n = 0;
                    err = ReceiveDataBlock(frame, MaxBlockData, n);
                    if (err == lrChecksum) {
                        err = SendControl(REPEAT);
                        kkm.LinkState = 1;
                        ++j;
                        continue;
                    }
                    if (err != lrOk) {
                        ET("WaitData:" + ResultText(err), mdFunctional);
                        kkm.LinkState = 1;
                        garbled = err != lrTimeout;
                        break;
                    }
                    if (carriesData && !requestTaken && !pending) {
                        // Left over from an earlier exchange, whatever its number:
                        // nothing is kept and the request goes in the next pass.
                        // The rest of such an answer is hung up, not walked through
                        // or restarted by a resynchronisation: a stopped goods
                        // read leaves thousands of frames behind.
                        WT("WaitData:stale paket", mdFunctional);
                        if (more) {
                            err = SendControl(DISC);
                        } else {
                            ++kkm.RxSeq;
                            err = SendControl(ACK);
                        }
                        awaiting = false;
                        retry = true;
                        break;
                    }
                    if ((c & 7) != (kkm.RxSeq & 7)) {
                        WT("WaitData:bad paket number", mdFunctional);
                        answer.Length = 0;
                        answered = delivered;
                        kkm.LinkState = 2;
                        kkm.RxSeq = 0;
                        kkm.TxSeq = 0;
                        // The register starts its answer again after SYN or RST; the
                        // frames a hook has taken would reach it a second time.
                        if (delivered) {
                            giveUp = true;
                            break;
                        }
                        if (++resyncs > kResyncLimit) {
                            ET("зацикливание", mdFunctional);
                            giveUp = true;
                            break;
                        }
                        // Frames behind this one are from the answer the register
                        // now starts again: taken, they would be out of sequence
                        // in their turn and start it once more.
                        kkm.Port->PurgeInput();
                        err = SendControl(more ? RST : SYN);
                        Pause(10, PausePercent);
                        awaiting = true;
                        ++j;
                        continue;
                    }
                    ProcessPendingEvents();
                    if (pending) {
                        ++kkm.TxSeq;  // the DATA frame stands for the acknowledgement
                        requestTaken = true;
                    }
                    pending = false;
                    if (OnData) {
                        std::memcpy(answer.Data, frame, static_cast<std::size_t>(n));
                        answer.Length = n;
                        OnData(answer, more);
                        delivered = true;
                        request.Length = 0;  // never sent again in this call
                        ++kkm.RxSeq;
                    } else {
                        ++kkm.RxSeq;
                        if (answer.Length + n > static_cast<int>(sizeof answer.Data)) {
                            Error("слишком много данных", false, true, true);
                            // Callers send no DISC after a failed exchange: without
                            // it the register would keep offering the rest of this
                            // answer to the next command.
                            SendControl(DISC);
                            return false;
                        }
                        std::memcpy(answer.Data + answer.Length, frame, static_cast<std::size_t>(n));
                        answer.Length += n;
                    }
                    answered = true;
                    err = SendControl(more ? ACK | MORE : ACK);
                    awaiting = more;
                    j = 1;
                    attempt = 1;
                    if (more) {
                        ++j;
                        continue;
                    }
                    kkm.LinkState = 0;
                    break;
                }

                const std::uint8_t k = FrameKind(c);
                if (awaiting && k != REPEAT && k != SYN)
                    ET("Во время ожидания данных не должно быть квитанций из ККМ: " + FrameKindText(c), mdFunctional);
                if (k == REPEAT && awaiting) {
                    err = SendControl(LastSent);
                    ++j;
                    continue;
                }
                if (k == REJ) break;
                if (k == DISC) {
                    awaiting = false;
                    break;
                }
                if (k == BUSY) {
                    retry = true;  // what was outstanding stays outstanding
                    break;
                }
                if (k == WAIT || k == RST) {
                    kkm.LinkState = 3;
                    retry = (k == WAIT);
                    break;
                }
                if (k == SYN) kkm.RxSeq = kkm.TxSeq = 0;
                if (k == ACK && pending) {
                    kkm.LinkState = 0;
                    ++kkm.TxSeq;
                    pending = false;
                    requestTaken = true;
                    awaiting = true;
                    if (!flag) break;
                    ++j;
                    continue;
                }
                if (k == RDY) {
                    pending = request.Length != 0;
                    if (!pending) {
                        kkm.LinkState = 0;
                        break;
                    }
                }
                if ((k == SYN || k == RDY || k == REPEAT) && pending) {
                    err = SendDataFrame(request, flag);
                    if (err != lrOk) {
                        WT("Syn>Send:" + ResultText(err), mdFunctional);
                        kkm.LinkState = 1;
                        break;
                    }
                }
                ++j;
            }
            if (j >= kFrameLimit) {
                ET("зацикливание", mdFunctional);
                retry = true;  // the register is not done: another pass
            }
            if (awaiting || err != lrOk || retry) Pause(50, PausePercent);
            if (delivered) Pause(350, PausePercent);
        }
        const int a = attempt++;
        if (giveUp) break;
        if (a <= kPassLimit && (delivered || pending || awaiting || err != lrOk || retry)) continue;
        break;
    }

    MT("----- конец синхронизации с ККМ  -----", mdFunctional);
    Pause(10, PausePercent);
    const bool result = kkm.LinkState == 0 && !awaiting && !pending && (!carriesData || answered);
    if (!result) {
        // A register still in the middle of its answer would offer the rest
        // to the next command: it is told to hang up.
        if (awaiting || delivered || giveUp) SendControl(DISC);
        ReopenPort(*kkm.Port);
    }
    return result;
}

bool TProtocolKKM::CheckAnswer(const TKKMPacket& answer, std::uint8_t expected) {
    if (answer.Data[2] != 0) {
        Error(AnswerErrorText(answer.Data[2]), false, true, true);
        return true;
    }
    if (answer.Length != expected) {
        Error("Не верный размер полученых данных", false, true, true);
        return true;
    }
    return false;
}
