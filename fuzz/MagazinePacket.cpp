// Journal packets as the register sends them: any bytes as one packet, the
// same bytes cut into packets for the decoder that completes records across
// packet boundaries, and the source lines rendered as receipt text.
//
// Checked besides memory safety: a journal made only of whole records
// decodes to the same lines whether it comes in one packet or cut anywhere
// into several (no record lost or doubled at a boundary).
#include "FuzzSupport.h"
#include "journal/MagazineRender.h"
#include "journal/U_magazineoperation.h"
#include "link/U_protocolkkm.h"

#include <memory>
#include <vector>

namespace {

using TBytes = std::vector<std::uint8_t>;

const TBytes kHeader{0x01, 0x0F, 0x00};

// Packet sizes: each byte of cuts gives the next packet's number of journal
// bytes (1..64); the rest of the journal goes in the last packet.
std::vector<TBytes> CutIntoPackets(const TBytes& journal, const std::string& cuts) {
    std::vector<TBytes> packets;
    std::size_t p = 0;
    for (std::size_t k = 0; p < journal.size(); ++k) {
        std::size_t n = k < cuts.size() ? 1 + static_cast<unsigned char>(cuts[k]) % 64 : journal.size() - p;
        if (n > journal.size() - p) n = journal.size() - p;
        TBytes packet = kHeader;
        packet.insert(packet.end(), journal.begin() + static_cast<long>(p), journal.begin() + static_cast<long>(p + n));
        packets.push_back(std::move(packet));
        p += n;
    }
    return packets;
}

std::string DecodeInPackets(const std::vector<TBytes>& packets) {
    TMagazineDecoder decoder;
    std::string out;
    for (const auto& packet : packets) decoder.Feed(packet.data(), static_cast<int>(packet.size()), out);
    out += decoder.Flush();
    return out;
}

// Whole records only: each input byte picks an operation code, the record's
// other bytes follow from the input.
TBytes RecordsOnly(const std::string& bytes) {
    static const std::uint8_t kCodes[] = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAB, 0xAC,
                                          0xAD, 0xAE, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9,
                                          0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC9, 0xCA, 0xCB, 0xCC};
    TBytes journal;
    std::size_t p = 0;
    while (p < bytes.size()) {
        const std::uint8_t code = kCodes[static_cast<unsigned char>(bytes[p++]) % sizeof kCodes];
        const int length = MagOperFor(code)->RecordLength();
        journal.push_back(code);
        for (int i = 1; i < length; ++i) journal.push_back(p < bytes.size() ? static_cast<std::uint8_t>(bytes[p++]) : 0);
    }
    return journal;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = (fuzz::QuietMessages(), true);
    (void)quiet;
    fuzz::TInput in(data, size);
    const std::uint8_t mode = in.Byte();
    const std::string cuts = in.Text();
    const std::string rest = in.Rest();

    if (mode & 1) {
        const TBytes journal = RecordsOnly(rest);
        TBytes whole = kHeader;
        whole.insert(whole.end(), journal.begin(), journal.end());
        const std::string once = DecodeMagazinePacket(whole.data(), static_cast<int>(whole.size()));
        if (DecodeInPackets(CutIntoPackets(journal, cuts)) != once) __builtin_trap();
        (void)MagazineSourceToText(once);
        return 0;
    }

    const TBytes raw(rest.begin(), rest.end());
    const std::string lines = DecodeMagazinePacket(raw.data(), static_cast<int>(raw.size()));
    (void)DecodeInPackets(CutIntoPackets(raw, cuts));
    (void)MagazineSourceToText(lines);

    // The link's packet buffer, with a length the buffer cannot hold too.
    auto packet = std::make_unique<TKKMPacket>();
    const std::size_t n = raw.size() < sizeof packet->Data ? raw.size() : sizeof packet->Data;
    std::copy(raw.begin(), raw.begin() + static_cast<long>(n), packet->Data);
    packet->Length = (mode & 2) ? static_cast<std::int32_t>(n) : (mode & 4) ? -static_cast<std::int32_t>(mode) : 100000;
    TMagazineDecoder decoder;
    std::string out;
    decoder.Feed(*packet, out);
    (void)DecodeMagazinePacket(*packet);
    (void)decoder.Flush();
    return 0;
}
