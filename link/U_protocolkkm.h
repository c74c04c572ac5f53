// The link to the register: control frames and data blocks on the serial
// port, the exchange that carries one request and collects its answer, and
// the texts of the result codes.
#pragma once
#include "link/Comport.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TKKMInfo;  // the device image (kkm/U_kkms.h)

// Request and answer buffer. Byte 2 of every answer is the register's result
// code, 0 meaning success.
struct TKKMPacket {
    std::int32_t Length = 0;
    std::uint8_t Data[8192]{};
};

// The register talked to.
struct TKKM {
    TComPort* Port = nullptr;  // not owned
    std::uint8_t NetNumber = 1;  // 1..98
    std::shared_ptr<TKKMInfo> Info;  // none until a command stores something
    std::uint8_t RxSeq = 0;  // sequence number expected in the register's next DATA frame
    std::uint8_t TxSeq = 0;  // sequence number of the next DATA frame to the register
    // Outcome of the last exchange: 0 completed; 1 a frame failed; 2 in
    // progress or no usable answer; 3 the register answered WAIT or RST.
    std::uint8_t LinkState = 0;
};

// Link result codes; the register's own result codes share the numbering.
enum TLinkResult : int {
    lrOk = 0,
    lrFormat = 3,        // bad frame header, address or escape
    lrOverflow = 28,     // a received block reached 256 data bytes
    lrNetNumber = 29,    // network number outside 1..98
    lrWrite = 30,        // the port refused the write
    lrChecksum = 31,
    lrTimeout = 32,      // fewer bytes than asked, or the read failed
};

class TProtocolKKM {
public:
    explicit TProtocolKKM(TKKM* kkm = nullptr) : KKM(kkm) {}

    TKKM* KKM = nullptr;
    std::uint8_t LastSent = 0;  // the last control byte sent
    // Per-frame delivery for long answers: the packet holds one frame's data;
    // clearing the flag asks the register to stop. Removed by Exchange.
    std::function<void(TKKMPacket&, bool& more)> OnData;
    // The link's fixed pauses (10, 50, 350 ms) in per cent. A register needs
    // them all; the unpaced simulator of the long session tests answers at
    // once and takes a tenth.
    int PausePercent = 100;

    // Primitives; each returns a link result code.
    int SendControl(std::uint8_t c);
    int ReceiveControl(std::uint8_t& c);
    int SendDataBlock(const std::uint8_t* data, int length);
    int ReceiveDataBlock(std::uint8_t* buffer, int maxLength, int& length);
    int SendDataFrame(const TKKMPacket& request, bool continuation);

    // One request, one answer. With flag set the answer is read right after
    // the acknowledgement, else in the next pass. False after a failure, the
    // port then closed and reopened.
    bool Exchange(TKKMPacket& request, TKKMPacket& answer, bool flag);
    // True when the answer is NOT usable: a result code other than 0, or a
    // length other than expected; the reason goes to console and log.
    bool CheckAnswer(const TKKMPacket& answer, std::uint8_t expected);

    // Register commands, defined with the device image in kkm/.
    bool GetKKMInfo();
    bool GetDateTime();
    bool GetOptions();
    bool SetOptions();
    bool GetTax(int n);
    bool GetTitle(int n);
    bool SetTitle(int n);
    bool GetFooter(int n);
    bool SetFooter(int n);
    bool GetDepatment(int n);
    bool SetDepatment(int n);
    bool GetTOBAP(int code);
    bool SetTOBAP();
};

// Trace text of a control byte: kind, direction, continuation flag.
std::string FrameKindText(std::uint8_t c);
// Text of a register result code (byte 2 of an answer).
std::string AnswerErrorText(int code);
// Text of a link or register result code, from the language table.
std::string ResultText(int code);
