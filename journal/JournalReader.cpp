#include "journal/JournalReader.h"

#include "app/AppHooks.h"
#include "app/Dialog.h"
#include "app/ProgressWait.h"
#include "journal/MagazineRender.h"
#include "link/LinkFrames.h"
#include "link/U_protocolkkm.h"

namespace {

constexpr int kWaitMs = 2000;
constexpr std::uint8_t kJournalCommand = 0x0F;
constexpr std::uint8_t kResultEndOfJournal = 9;

}  // namespace

TMagazineReadResult TMagazineReader::Read() {
    ShowWait(kWaitMs, "");
    // A press during a transfer only asks it to stop; it never connects, since
    // that would start an exchange inside the running one.
    if (transfer_.TransferRunning) {
        transfer_.StopRequested = true;
        return TMagazineReadResult::StopAsked;
    }
    if (!ensureConnected_()) {
        HideWait();
        return TMagazineReadResult::NotConnected;
    }
    Mess("Загружаем ОТЧЕТ...", false, true, true);
    view_.ClearMagazine();
    decoder_.Reset();
    undecoded_ = 0;

    // The end of the read, whatever happens inside the exchange.
    struct TFinally {
        TMagazineReader& r;
        ~TFinally() { r.Finish(); }
    } finally{*this};

    transfer_.Begin();
    link_.OnData = [this](TKKMPacket& packet, bool& more) { OnMagazinePacket(packet, more); };
    view_.SetReadCaption(MagazineReadCaptionStop);

    TKKMPacket request;
    TKKMPacket answer;
    request.Length = 4;
    request.Data[0] = 0x01;
    request.Data[1] = kJournalCommand;
    request.Data[2] = 0x00;
    request.Data[3] = 0x00;
    const bool ok = link_.Exchange(request, answer, true);

    // A record still cut off when the stream ends is kept as its bytes.
    Deliver(decoder_.Flush());
    if (!ok) {
        Error("Сбой при загрузке ОТЧЕТА", false, true, true);
        return TMagazineReadResult::Failed;
    }
    if (transfer_.StopRequested) {
        Warning("ОТЧЕТ частично загружен", false, true, true);
        return TMagazineReadResult::Partial;
    }
    Mess("ОТЧЕТ загружен", false, true, true);
    return TMagazineReadResult::Loaded;
}

void TMagazineReader::Finish() {
    link_.OnData = nullptr;
    decoder_.Reset();
    view_.EndMagazine();
    view_.SetReadCaption(MagazineReadCaptionAgain);
    transfer_.End();
    HideWait();
    ReportUndecodedLines(undecoded_);  // once, after the transfer
}

void TMagazineReader::OnMagazinePacket(TKKMPacket& packet, bool& more) {
    ShowWait(kWaitMs, "");
    ProcessPendingEvents();  // a stop press arrives here
    if (ApplicationTerminating() || transfer_.StopRequested) {
        link_.SendControl(kkmlink::DISC);
        more = false;
    }
    const int code = packet.Length >= 3 ? packet.Data[2] : 0;
    if (code == kResultEndOfJournal)
        more = false;
    else if (code != 0)
        Error(AnswerErrorText(code), true, true, true);  // the packet's records are still shown

    source_.clear();
    decoder_.Feed(packet, source_);
    Deliver(source_);
}

void TMagazineReader::Deliver(const std::string& source) {
    if (source.empty()) return;
    text_.clear();
    std::size_t start = 0;
    while (start < source.size()) {
        auto end = source.find("\r\n", start);
        if (end == std::string::npos) end = source.size();
        undecoded_ += !AppendMagOperText(text_, std::string_view(source).substr(start, end - start));
        text_ += "\r\n";
        ++transfer_.TransferPos;
        start = end + 2;
    }
    view_.AddMagazineLines(source, text_);
}
