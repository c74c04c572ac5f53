// The journal decoder on the link's packet buffer.
#include "journal/U_magazineoperation.h"

#include "link/U_protocolkkm.h"

#include <algorithm>

namespace {

// Data bytes of the packet; a length outside the buffer is cut to it.
int PacketLength(const TKKMPacket& packet) {
    return std::clamp<int>(packet.Length, 0, static_cast<int>(sizeof packet.Data));
}

}  // namespace

std::string DecodeMagazinePacket(const TKKMPacket& packet) {
    return DecodeMagazinePacket(packet.Data, PacketLength(packet));
}

void TMagazineDecoder::Feed(const TKKMPacket& packet, std::string& out) { Feed(packet.Data, PacketLength(packet), out); }
