// Reading the register's electronic journal (the messages call it "ОТЧЕТ"):
// one streamed transfer of packets, each turned into source lines and their
// receipt text as it arrives. The transfer uses the shared transfer state, so
// a second press of a transfer button stops it between packets.
#pragma once
#include "app/TransferState.h"
#include "journal/U_magazineoperation.h"

#include <functional>
#include <string>

class TProtocolKKM;
struct TKKMPacket;

// Captions of the read button.
constexpr const char* MagazineReadCaptionFirst = "Считать все из ККМ";
constexpr const char* MagazineReadCaptionStop = "Остановить";
constexpr const char* MagazineReadCaptionAgain = "Считать из ККМ";

// Where a read puts what arrives: the journal page's text areas, or the
// command-line tool's buffers.
class IMagazineView {
public:
    virtual ~IMagazineView() = default;
    // Empties the receipt text and the source lines (start of a read).
    virtual void ClearMagazine() = 0;
    // The lines of one packet: the source lines and the receipt text of each,
    // every source line and every operation's text ended by CR LF.
    virtual void AddMagazineLines(const std::string& source, const std::string& text) = 0;
    // The read has ended (in every outcome): everything added must show now.
    virtual void EndMagazine() {}
    // The read button's caption.
    virtual void SetReadCaption(const std::string&) {}
};

enum class TMagazineReadResult {
    NotConnected,  // connecting failed; nothing changed
    StopAsked,     // a transfer was running: only the stop was asked for
    Loaded,        // "ОТЧЕТ загружен"
    Partial,       // stopped by the operator: "ОТЧЕТ частично загружен"
    Failed,        // the exchange failed: "Сбой при загрузке ОТЧЕТА"
};

class TMagazineReader {
public:
    // ensureConnected: opens the link when it is closed (connecting as the
    // program does), false after reporting the failure.
    TMagazineReader(TProtocolKKM& link, std::function<bool()> ensureConnected, TTransferState& transfer,
                    IMagazineView& view)
        : link_(link), ensureConnected_(std::move(ensureConnected)), transfer_(transfer), view_(view) {}

    // The read button: reads the whole journal, or only asks the running
    // transfer to stop.
    TMagazineReadResult Read();
    // The link's per-packet handler during a read.
    void OnMagazinePacket(TKKMPacket& packet, bool& more);

private:
    // Source lines of text (each ended by CR LF) to the view with their
    // receipt text; TransferPos counts them.
    void Deliver(const std::string& source);
    void Finish();

    TProtocolKKM& link_;
    std::function<bool()> ensureConnected_;
    TTransferState& transfer_;
    IMagazineView& view_;
    TMagazineDecoder decoder_;
    std::string source_;  // buffers reused from packet to packet
    std::string text_;
    int undecoded_ = 0;  // lines of this read that could not be decoded
};
