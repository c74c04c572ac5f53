// The register link's units on the wire: 5-byte control frames and escaped
// data blocks with 8-bit checksums. Pure byte work, no input/output, so the
// computer's side and the register simulator build frames the same way.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kkmlink {

// Handshake kinds (control byte AND 0xCF).
constexpr std::uint8_t DISC = 0xC0;
constexpr std::uint8_t REJ = 0xC3;
constexpr std::uint8_t RDY = 0xC5;
constexpr std::uint8_t REPEAT = 0xC6;  // repeat request: send the last frame again
constexpr std::uint8_t WAIT = 0xC7;
constexpr std::uint8_t BUSY = 0xC9;
constexpr std::uint8_t ACK = 0xCA;
constexpr std::uint8_t SYN = 0xCC;
constexpr std::uint8_t RST = 0xCF;

constexpr std::uint8_t DATA = 0x80;          // bits 7..6 = 10, bits 2..0 sequence number
constexpr std::uint8_t FROM_REGISTER = 0x20;  // direction bit
constexpr std::uint8_t MORE = 0x10;           // continuation flag

constexpr std::uint8_t ESC = 0x7F;
constexpr std::uint8_t ESC_STUFF = 0x10;  // 7F 10 stands for a data byte 7F
constexpr std::uint8_t ESC_END = 0x03;    // 7F 03 ends a block

constexpr int MaxBlockData = 256;  // data bytes the computer puts into one block

inline bool IsDataFrame(std::uint8_t c) { return (c & 0xC0) == 0x80; }
inline std::uint8_t FrameKind(std::uint8_t c) { return static_cast<std::uint8_t>(c & 0xCF); }
inline bool ResetsSequence(std::uint8_t c) {
    return !IsDataFrame(c) && (FrameKind(c) == SYN || FrameKind(c) == RST);
}

// Network number 1..98 as packed decimal (12 gives 0x12).
std::uint8_t PackNetNumber(int net);
// Byte that makes bytes 2, 3 and 4 of a control frame add up to 0.
std::uint8_t ControlChecksum(std::uint8_t packedNet, std::uint8_t control);
std::array<std::uint8_t, 5> BuildControlFrame(int net, std::uint8_t control);

// Lead byte, data with 0x10 inserted after every 0x7F, 7F 03, checksum. At
// most maxData data bytes go in; the checksum covers exactly those.
std::vector<std::uint8_t> BuildDataBlock(const std::uint8_t* data, int length, std::uint8_t lead = 0x00,
                                         int maxData = MaxBlockData);
// 0 - sum of the bytes, modulo 256.
std::uint8_t BlockChecksum(const std::uint8_t* data, std::size_t length);

// Checks the five bytes of a received control frame: first the checksum of
// bytes 2..4, then the start 7F 02 and the packed network number.
enum class TControlCheck { Ok, BadChecksum, BadHeader };
TControlCheck CheckControlFrame(const std::uint8_t* frame, std::uint8_t packedNet);

// Takes a data block apart byte by byte as it comes off the line: the lead
// byte (any value), the data with its escapes up to 7F 03, the checksum. The
// data goes into a buffer of maxLength bytes; a block that fills the buffer
// before its end mark overflows.
class TDataBlockDecoder {
public:
    enum TState { NeedMore, Done, BadEscape, Overflow, BadChecksum };

    TDataBlockDecoder(std::uint8_t* buffer, int maxLength) : buffer_(buffer), max_(maxLength) {}
    // The next byte from the line. Once the answer is other than NeedMore the
    // block is finished and further bytes are not taken.
    TState Put(std::uint8_t b);
    // Data bytes stored so far (0 after a checksum failure).
    int Length() const { return length_; }

private:
    enum TStage { Lead, Body, Escape, Sum, Finished };
    std::uint8_t* buffer_;
    int max_;
    int length_ = 0;
    std::uint8_t sum_ = 0;
    TStage stage_ = Lead;
    TState result_ = NeedMore;

    TState Finish(TState s);
    TState Store(std::uint8_t b);
};

// "7F 02 01 C5 3A": two upper-case hexadecimal digits per byte.
std::string HexBytes(const std::uint8_t* data, std::size_t length);

}  // namespace kkmlink
