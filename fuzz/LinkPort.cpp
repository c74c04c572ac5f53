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

// What the primitives must report for these bytes.
std::vector<TStep> Expected(const std::uint8_t* data, std::size_t size, std::uint8_t packed) {
    std::vector<TStep> steps;
    std::uint8_t buffer[MaxBlockData];
    std::size_t p = 0;
    while (p + 5 <= size) {
        TStep s{lrOk, data[p + 3], -1, 0};
        const auto check = CheckControlFrame(data + p, packed);
        p += 5;
        s.control = check == TControlCheck::Ok ? lrOk : check == TControlCheck::BadChecksum ? lrChecksum : lrFormat;
        if (s.control == lrOk && IsDataFrame(s.c)) {
            TDataBlockDecoder block(buffer, MaxBlockData);
            auto state = TDataBlockDecoder::NeedMore;
            while (p < size && state == TDataBlockDecoder::NeedMore) state = block.Put(data[p++]);
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
