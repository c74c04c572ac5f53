// Pieces shared by the register commands. The commands themselves are
// methods of TProtocolKKM (link/U_protocolkkm.h), defined by group in
// KKMCommandsIdentity.cpp, KKMCommandsLines.cpp and KKMCommandsGoods.cpp.
#pragma once
#include "kkm/U_kkms.h"
#include "link/U_protocolkkm.h"

#include <cstdint>
#include <initializer_list>
#include <string>

// Highest goods code a single goods read can carry (four digits).
constexpr int MaxSingleGoodsCode = 9999;

// A firmware version with its final run of digits padded to three: "ver 7"
// gives "ver 007", "R1.25" gives "R1.025", "abc" gives "abc000"; three or
// more final digits leave the text as it is.
std::string NormalizeVersion(const std::string& version);

// What the identity command's answer (44 bytes, command 0x01) says.
struct TKKMIdentity {
    std::string Model, SerialNumber, Version;
    std::uint8_t Mode = 0;
};
constexpr int KKMIdentityAnswerLength = 44;
TKKMIdentity DecodeKKMIdentity(const std::uint8_t* answer);

// The register's department price field as text: price (roubles) times 100,
// rounded to four decimals, as decimal digits. False when that is not a
// whole number of kopecks, is negative, or has more than 10 digits.
bool DepPriceDigits(double price, std::string& digits);

namespace kkmcmd {

// A request cleared to zeros that starts with the given bytes.
TKKMPacket Request(std::initializer_list<std::uint8_t> head);
// The register record's device image, created when it has none.
TKKMInfo& EnsureInfo(TKKM& kkm);
// A reading command's exchange: Exchange, then DISC whatever came, then the
// answer check. True when the answer is usable.
bool ReadExchange(TProtocolKKM& link, TKKMPacket& request, TKKMPacket& answer, std::uint8_t expected,
                  bool flag = true);
// A writing command's exchange: Exchange, the answer check, then DISC after
// a good answer only. True when the register took the data.
bool WriteExchange(TProtocolKKM& link, TKKMPacket& request, std::uint8_t expected = 3);

}  // namespace kkmcmd
