// The pure decoders behind the receive primitives: control frame checks and
// the byte-by-byte data block reader.
#include "link/LinkFrames.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kkmlink;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct TDecoded {
    TDataBlockDecoder::TState State = TDataBlockDecoder::NeedMore;
    int Length = 0;
    std::size_t Used = 0;  // bytes taken until the block finished
    Bytes Data;
};

TDecoded Decode(const Bytes& wire, int maxLength) {
    TDecoded d;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(maxLength > 0 ? maxLength : 0));
    TDataBlockDecoder block(buffer.data(), maxLength);
    while (d.Used < wire.size() && d.State == TDataBlockDecoder::NeedMore) d.State = block.Put(wire[d.Used++]);
    d.Length = block.Length();
    d.Data.assign(buffer.begin(), buffer.begin() + d.Length);
    return d;
}

}  // namespace

TEST(ControlFrameCheck, ChecksumIsTestedBeforeTheHeader) {
    const auto ack = BuildControlFrame(12, 0xEA);
    EXPECT_EQ(CheckControlFrame(ack.data(), PackNetNumber(12)), TControlCheck::Ok);
    EXPECT_EQ(CheckControlFrame(ack.data(), PackNetNumber(13)), TControlCheck::BadHeader);
    Bytes wrongStart(ack.begin(), ack.end());
    wrongStart[0] = 0x7E;
    EXPECT_EQ(CheckControlFrame(wrongStart.data(), PackNetNumber(12)), TControlCheck::BadHeader);
    Bytes both = wrongStart;
    both[4] ^= 1;  // a wrong checksum is reported even when the start is wrong too
    EXPECT_EQ(CheckControlFrame(both.data(), PackNetNumber(12)), TControlCheck::BadChecksum);
}

TEST(DataBlockDecoder, BlocksTheLinkBuildsComeBackWhole) {
    for (const Bytes& data : {Bytes{}, Bytes{0x01, 0x01, 0x00}, Bytes{0x7F}, Bytes{0x7F, 0x7F, 0x03, 0x10, 0x7F}}) {
        const auto wire = BuildDataBlock(data.data(), static_cast<int>(data.size()), 0x55);
        const auto d = Decode(wire, MaxBlockData);
        EXPECT_EQ(d.State, TDataBlockDecoder::Done);
        EXPECT_EQ(d.Used, wire.size());
        EXPECT_EQ(d.Data, data);
    }
}

TEST(DataBlockDecoder, FaultsOfTheLine) {
    // 7F followed by anything but 10 or 03.
    EXPECT_EQ(Decode({0x00, 0x01, 0x7F, 0x55, 0x00}, 256).State, TDataBlockDecoder::BadEscape);
    // A wrong checksum leaves no data.
    const auto bad = Decode({0x00, 0x01, 0x02, 0x7F, 0x03, 0x00}, 256);
    EXPECT_EQ(bad.State, TDataBlockDecoder::BadChecksum);
    EXPECT_EQ(bad.Length, 0);
    // Cut short: still waiting, the bytes so far kept.
    const auto cut = Decode({0x00, 0x01, 0x02, 0x7F}, 256);
    EXPECT_EQ(cut.State, TDataBlockDecoder::NeedMore);
    EXPECT_EQ(cut.Length, 2);
}

TEST(DataBlockDecoder, ABlockThatFillsTheBufferOverflowsBeforeItsEndMark) {
    Bytes data(4, 0x11);
    const auto wire = BuildDataBlock(data.data(), 4, 0x00);
    const auto exact = Decode(wire, 4);
    EXPECT_EQ(exact.State, TDataBlockDecoder::Overflow);  // the end mark would need a fifth place
    EXPECT_EQ(exact.Length, 4);
    EXPECT_EQ(exact.Used, 5u);
    EXPECT_EQ(Decode(wire, 5).State, TDataBlockDecoder::Done);
    // An escaped 7F stored into the last place overflows the same way.
    EXPECT_EQ(Decode({0x00, 0x01, 0x7F, 0x10, 0x7F, 0x03, 0x80}, 2).State, TDataBlockDecoder::Overflow);
    // No room at all: the lead byte is all that is taken.
    const auto none = Decode(wire, 0);
    EXPECT_EQ(none.State, TDataBlockDecoder::Overflow);
    EXPECT_EQ(none.Used, 1u);
}

TEST(DataBlockDecoder, AFinishedBlockTakesNoMoreBytes) {
    std::uint8_t buffer[8] = {};
    TDataBlockDecoder block(buffer, 8);
    for (std::uint8_t b : Bytes{0x00, 0x05, 0x7F, 0x03, 0xFB}) block.Put(b);
    EXPECT_EQ(block.Put(0x42), TDataBlockDecoder::Done);
    EXPECT_EQ(block.Length(), 1);
    EXPECT_EQ(buffer[1], 0x00);
}
