// Bytes from the register's side of the line, taken apart the way the link
// reads them: a 5-byte control frame, and after a DATA control byte the data
// block that follows it. The first input byte picks the network number and
// the size of the receive buffer.
//
// Checked besides memory safety: an accepted control frame is exactly the
// frame the computer would build for that control byte, and an accepted data
// block is exactly what BuildDataBlock makes of its data (the escaping has a
// single spelling), never longer than the buffer.
#include "FuzzSupport.h"
#include "link/LinkFrames.h"
#include "link/U_protocolkkm.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace kkmlink;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = (fuzz::QuietMessages(), true);
    (void)quiet;
    if (size < 1) return 0;
    const int net = 1 + data[0] % 98;
    // Mostly the link's own 256-byte buffer, sometimes a tiny one.
    const int maxLength = (data[0] & 0x80) ? MaxBlockData : 1 + (data[0] & 0x0F);
    const std::uint8_t packed = PackNetNumber(net);
    std::size_t p = 1;

    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(maxLength));
    while (p + 5 <= size) {
        const std::uint8_t* f = data + p;
        p += 5;
        if (CheckControlFrame(f, packed) != TControlCheck::Ok) continue;
        const std::uint8_t c = f[3];
        const auto rebuilt = BuildControlFrame(net, c);
        if (std::memcmp(rebuilt.data(), f, 5) != 0) __builtin_trap();
        (void)FrameKindText(c);
        if (!IsDataFrame(c)) continue;

        TDataBlockDecoder block(buffer.data(), maxLength);
        const std::size_t start = p;
        auto state = TDataBlockDecoder::NeedMore;
        while (p < size && state == TDataBlockDecoder::NeedMore) state = block.Put(data[p++]);
        if (block.Length() < 0 || block.Length() > maxLength) __builtin_trap();
        // A finished block takes no further byte.
        if (state != TDataBlockDecoder::NeedMore && block.Put(0x00) != state) __builtin_trap();
        if (state != TDataBlockDecoder::Done) continue;
        const auto wire = BuildDataBlock(buffer.data(), block.Length(), data[start], maxLength);
        if (wire.size() != p - start || !std::equal(wire.begin(), wire.end(), data + start)) __builtin_trap();
        (void)HexBytes(buffer.data(), static_cast<std::size_t>(block.Length()));
    }
    return 0;
}
