#include "link/LinkFrames.h"

namespace kkmlink {

std::uint8_t PackNetNumber(int net) { return static_cast<std::uint8_t>(((net / 10) % 10) << 4 | (net % 10)); }

std::uint8_t ControlChecksum(std::uint8_t packedNet, std::uint8_t control) {
    return static_cast<std::uint8_t>(0 - (packedNet + control));
}

std::array<std::uint8_t, 5> BuildControlFrame(int net, std::uint8_t control) {
    const std::uint8_t addr = PackNetNumber(net);
    return {0x7F, 0x02, addr, control, ControlChecksum(addr, control)};
}

std::uint8_t BlockChecksum(const std::uint8_t* data, std::size_t length) {
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < length; ++i) sum = static_cast<std::uint8_t>(sum + data[i]);
    return static_cast<std::uint8_t>(0 - sum);
}

std::vector<std::uint8_t> BuildDataBlock(const std::uint8_t* data, int length, std::uint8_t lead, int maxData) {
    const int n = length < 0 ? 0 : (length > maxData ? maxData : length);
    std::vector<std::uint8_t> block;
    block.reserve(static_cast<std::size_t>(n) * 2 + 4);
    block.push_back(lead);
    for (int i = 0; i < n; ++i) {
        block.push_back(data[i]);
        if (data[i] == ESC) block.push_back(ESC_STUFF);
    }
    block.push_back(ESC);
    block.push_back(ESC_END);
    block.push_back(BlockChecksum(data, static_cast<std::size_t>(n)));
    return block;
}

TControlCheck CheckControlFrame(const std::uint8_t* f, std::uint8_t packedNet) {
    if (static_cast<std::uint8_t>(f[2] + f[3] + f[4]) != 0) return TControlCheck::BadChecksum;
    if (f[0] != ESC || f[1] != 0x02 || f[2] != packedNet) return TControlCheck::BadHeader;
    return TControlCheck::Ok;
}

TDataBlockDecoder::TState TDataBlockDecoder::Finish(TState s) {
    stage_ = Finished;
    result_ = s;
    return s;
}

TDataBlockDecoder::TState TDataBlockDecoder::Store(std::uint8_t b) {
    buffer_[length_++] = b;
    sum_ = static_cast<std::uint8_t>(sum_ + b);
    return length_ < max_ ? NeedMore : Finish(Overflow);
}

TDataBlockDecoder::TState TDataBlockDecoder::Put(std::uint8_t b) {
    switch (stage_) {
        case Finished: return result_;
        case Lead:
            stage_ = Body;
            return length_ < max_ ? NeedMore : Finish(Overflow);
        case Body:
            if (b != ESC) return Store(b);
            stage_ = Escape;
            return NeedMore;
        case Escape:
            if (b == ESC_END) {
                stage_ = Sum;
                return NeedMore;
            }
            if (b != ESC_STUFF) return Finish(BadEscape);
            stage_ = Body;
            return Store(ESC);
        case Sum:
            if (static_cast<std::uint8_t>(sum_ + b) != 0) {
                length_ = 0;
                return Finish(BadChecksum);
            }
            return Finish(Done);
    }
    return result_;
}

std::string HexBytes(const std::uint8_t* data, std::size_t length) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(length * 3);
    for (std::size_t i = 0; i < length; ++i) {
        if (i) out += ' ';
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

}  // namespace kkmlink
