// Bytes arriving on a real serial device (a pseudo-terminal) read by the
// link's receive primitives through the port, until the line goes quiet.
// The results must agree with the frame decoders run over the same bytes, so
// that the port's buffering loses, doubles or reorders nothing.
#include "FuzzSupport.h"
#include "link/Comport.h"
#include "link/LinkFrames.h"
#include "link/U_protocolkkm.h"

#include <pty.h>
#include <sys/ioctl.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

using namespace kkmlink;

namespace {

struct TLine {
    int master = -1;
    int slave = -1;  // kept open: its input count shows when the bytes are there
    TComPort port;
    TKKM kkm;
    TProtocolKKM link{&kkm};
    bool dirty = false;  // the last input's bytes were not all delivered in time

    TLine() {
        fuzz::QuietMessages(mdHardWare);
        char name[256] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0) std::abort();
        port.SetDevicePath(name);
        port.ReadTotalTimeoutConstant = 1;  // the end of the input shows as a 1 ms silence
        port.ReadTotalTimeoutMultiplier = 0;
        port.ReadIntervalTimeout = 0;
        if (!port.Open()) std::abort();
        kkm.Port = &port;
    }

    // Puts the bytes on the line and waits until the device holds them all.
    // False when the system did not deliver them in time (a stalled machine):
    // the bytes are then read but not compared, as they may come in pieces.
    bool Send(const std::uint8_t* data, std::size_t size) {
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::write(master, data + done, size - done);
            if (n <= 0) std::abort();
            done += static_cast<std::size_t>(n);
        }
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(8);
        while (Queued() < size) {
            if (std::chrono::steady_clock::now() > limit) return false;
            std::this_thread::yield();
        }
        return true;
    }

    // Bytes waiting in the device, not yet read by the port.
    std::size_t Queued() const {
        int queued = 0;
        if (ioctl(slave, FIONREAD, &queued) != 0) std::abort();
        return static_cast<std::size_t>(queued);
    }
};

struct TStep {
    int control;  // result of ReceiveControl
    std::uint8_t c;
    int block;  // result of ReceiveDataBlock, -1 when none was read
    int length;
};

// Feeds a data block from p on to the decoder; p ends behind what it took.
TDataBlockDecoder::TState PutBlock(TDataBlockDecoder& block, const std::uint8_t* data, std::size_t size,
                                   std::size_t& p) {
    auto state = TDataBlockDecoder::NeedMore;
    while (p < size && state == TDataBlockDecoder::NeedMore) state = block.Put(data[p++]);
    return state;
}

// What ReceiveControl must make of the bytes from p on, all of them already
// received: the computer's own frames (direction bit clear) skipped with the
// block behind a DATA frame, at most ten of them; after five bytes that are
// no frame, the next frame start (7F) among the received bytes tried, a frame
// begun there completed. lrTimeout: the line ran out before a result.
int ControlFrom(const std::uint8_t* data, std::size_t size, std::size_t& p, std::uint8_t packed, std::uint8_t& c) {
    if (p + 5 > size) return lrTimeout;
    std::size_t at = p;
    p += 5;
    int echoes = 0, failure = lrOk;
    long budget = 0;
    for (;;) {
        const auto check = CheckControlFrame(data + at, packed);
        c = data[at + 3];
        if (check == TControlCheck::Ok && (c & FROM_REGISTER)) return lrOk;
        if (check == TControlCheck::Ok) {
            std::uint8_t scratch[MaxBlockData + 1];
            TDataBlockDecoder echo(scratch, MaxBlockData + 1);
            if (IsDataFrame(c) && PutBlock(echo, data, size, p) == TDataBlockDecoder::NeedMore) return lrTimeout;
            if (++echoes > 10) return lrFormat;
            if (p + 5 > size) return lrTimeout;
            at = p;
            p += 5;
            continue;
        }
        if (failure == lrOk) {
            failure = check == TControlCheck::BadChecksum ? lrChecksum : lrFormat;
            budget = static_cast<long>(size - p);
        }
        for (++at;; ++p, --budget) {  // on to the next 7F, taking received bytes while there are any
            while (at < p && data[at] != ESC) ++at;
            if (at < p || budget <= 0 || p >= size) break;
        }
        if (at == p || budget < 0) return failure;
        const std::size_t need = 5 - (p - at);
        budget -= static_cast<long>(need);
        if (p + need > size) {
            p = size;
            return failure;
        }
        p += need;
    }
}

// What the primitives must report for these bytes.
std::vector<TStep> Expected(const std::uint8_t* data, std::size_t size, std::uint8_t packed) {
    std::vector<TStep> steps;
    std::uint8_t buffer[MaxBlockData];
    std::size_t p = 0;
    while (p + 5 <= size) {
        TStep s{lrOk, 0, -1, 0};
        s.control = ControlFrom(data, size, p, packed, s.c);
        if (s.control == lrTimeout) return steps;
        if (s.control == lrOk && IsDataFrame(s.c)) {
            TDataBlockDecoder block(buffer, MaxBlockData);
            const auto state = PutBlock(block, data, size, p);
            s.length = block.Length();
            switch (state) {
                case TDataBlockDecoder::NeedMore: s.block = lrTimeout; break;
                case TDataBlockDecoder::Done: s.block = lrOk; break;
                case TDataBlockDecoder::BadEscape: s.block = lrFormat; break;
                case TDataBlockDecoder::Overflow: s.block = lrOverflow; break;
                case TDataBlockDecoder::BadChecksum: s.block = lrChecksum; break;
            }
        }
        steps.push_back(s);
        if (s.block == lrTimeout) return steps;
    }
    return steps;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static TLine line;
    if (size < 1 || size > 2048) return 0;
    line.kkm.NetNumber = static_cast<std::uint8_t>(1 + data[0] % 98);
    ++data;
    --size;
    const auto expected = Expected(data, size, PackNetNumber(line.kkm.NetNumber));

    if (line.dirty) {
        // Late bytes of the last input may still come: reopening purges them.
        line.port.Close();
        if (!line.port.Open()) std::abort();
    }
    const bool compare = line.Send(data, size);
    line.dirty = !compare;
    std::uint8_t buffer[MaxBlockData];
    std::size_t i = 0;
    int slowStarts = 0;
    for (;;) {
        TStep s{lrOk, 0, -1, 0};
        s.control = line.link.ReceiveControl(s.c);
        if (s.control == lrTimeout) {
            // Bytes still queued: the reader was held up past its 1 ms before
            // it looked at the device, which is not the end of the input.
            if (line.Queued() > 0 && ++slowStarts < 100) continue;
            break;
        }
        if (s.control == lrOk && IsDataFrame(s.c)) s.block = line.link.ReceiveDataBlock(buffer, MaxBlockData, s.length);
        if (!compare) continue;
        if (i >= expected.size()) __builtin_trap();
        const TStep& e = expected[i++];
        if (s.control != e.control || (s.control == lrOk && s.c != e.c) || s.block != e.block || s.length != e.length)
            __builtin_trap();
        if (s.block == lrTimeout) break;
    }
    if (compare && i != expected.size()) __builtin_trap();
    return 0;
}
