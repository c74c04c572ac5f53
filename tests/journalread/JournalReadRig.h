// A journal read against the register simulator: the computer's register
// session on the simulator's line, a view that keeps what the read delivers,
// and a journal the test gives as packets.
#pragma once
#include "app/AppHooks.h"
#include "app/Dialog.h"
#include "app/TextCodec.h"
#include "journal/JournalReader.h"
#include "kkm/RegisterSession.h"
#include "link/LinkFrames.h"
#include "sim/RegisterSimulator.h"

#include "TestFiles.h"
#include "journal/JournalRecords.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Keeps what a read delivers, with the transfer position after each packet.
struct TRecordingView : IMagazineView {
    explicit TRecordingView(const TTransferState& transfer) : Transfer(transfer) {}
    void ClearMagazine() override {
        ++Clears;
        Source.clear();
        Text.clear();
    }
    void AddMagazineLines(const std::string& source, const std::string& text) override {
        Source += source;
        Text += text;
        Positions.push_back(Transfer.TransferPos);
        if (OnLines) OnLines();
    }
    void SetReadCaption(const std::string& caption) override { Captions.push_back(caption); }

    const TTransferState& Transfer;
    int Clears = 0;
    std::string Source;
    std::string Text;
    std::vector<int> Positions;
    std::vector<std::string> Captions;
    std::function<void()> OnLines;
};

struct TJournalReadRig {
    TJournalReadRig() {
        ResetSwitches();
        isAUTONOM = true;
        MessDepth = mdUser;
        SetLogFileName(dir.File("test.log"));
        TSimOptions o;
        o.Speed = 0;
        Sim = std::make_unique<TRegisterSimulator>(o);
        std::string error;
        EXPECT_TRUE(Sim->Start(error)) << error;
        Session.ComPort.SetDevicePath(Sim->DevicePath());
        EXPECT_TRUE(Session.ComPort.Open());
    }
    ~TJournalReadRig() {
        AppHooks() = {};
        Session.ComPort.Close();
        Sim.reset();
        SetLogFileName("");
        ResetSwitches();
    }

    // The register answers the journal request with these packets, one per
    // DATA frame.
    void Journal(std::vector<TBytes> packets) {
        Sim->RegisterCommand(0x0F, [this, packets](TSimState&, const TSimRequest& request) {
            std::lock_guard<std::mutex> lock(mutex);
            Requests.push_back(request);
            return TSimFrames(packets.begin(), packets.end());
        });
    }
    std::vector<TSimRequest> JournalRequests() {
        std::lock_guard<std::mutex> lock(mutex);
        return Requests;
    }
    // Control bytes the computer sent.
    std::vector<std::uint8_t> ComputerControls() const {
        std::vector<std::uint8_t> out;
        for (const auto& r : Sim->History())
            if (r.Incoming && !r.Block && r.Bytes.size() == 5 && r.Bytes[0] == 0x7F) out.push_back(r.Bytes[3]);
        return out;
    }
    int ComputerSent(std::uint8_t c) const {
        int n = 0;
        for (auto b : ComputerControls()) n += b == c;
        return n;
    }
    std::string Log() const { return ReadCp1251(dir.File("test.log")); }
    bool Logged(const std::string& text) const { return Log().find(text) != std::string::npos; }

    TScratchDir dir;
    std::unique_ptr<TRegisterSimulator> Sim;
    TRegisterSession Session;
    TTransferState Transfer;
    TRecordingView View{Transfer};
    TMagazineReader Reader{Session.Protocol, [this] { return Session.EnsureConnected(); }, Transfer, View};
    std::mutex mutex;
    std::vector<TSimRequest> Requests;
};

// Splits bytes into packets of at most size journal bytes, each behind the
// answer header with result 0.
inline std::vector<TBytes> Packets(const TBytes& journal, std::size_t size) {
    std::vector<TBytes> out;
    for (std::size_t i = 0; i < journal.size(); i += size)
        out.push_back(Cat({Header(0), TBytes(journal.begin() + static_cast<long>(i),
                                             journal.begin() + static_cast<long>(std::min(journal.size(), i + size)))}));
    return out;
}
