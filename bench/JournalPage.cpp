// How long the journal page takes to show a large journal.
//
// Builds a journal of N operations (default 100,000: the worked receipt of
// five operations over and over, with varying amounts) in packets of at most
// 255 bytes as the register sends them, then times on the page of a shown
// window (Qt's offscreen platform unless QT_QPA_PLATFORM says otherwise):
//   page     - every packet through the page's packet handler (decode, render,
//              append to both text areas), then the text area painted;
//   register - the whole read with the read button from the register
//              simulator on a pseudo-terminal without line pacing (the link's
//              handshakes and its closing polls included);
//   save     - both save buttons.
// Prints the times, lines per second and the peak resident memory.
//
// Usage: bench_JournalPage [operations]
#if __has_include(<QApplication>)
#include "app/AppHooks.h"
#include "app/Dialog.h"
#include "journal/JournalPage.h"
#include "kkm/RegisterSession.h"
#include "link/U_protocolkkm.h"
#include "sim/RegisterSimulator.h"

#include <QApplication>
#include <QPlainTextEdit>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using TBytes = std::vector<std::uint8_t>;
using TClock = std::chrono::steady_clock;

void PutBcd(TBytes& out, std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i, v /= 100) out.push_back(static_cast<std::uint8_t>(((v / 10) % 10) << 4 | (v % 10)));
}

// Receipt k: a sale by code, subtotal, tax sum, payment with cash, close.
void PutReceipt(TBytes& out, std::uint64_t k) {
    const std::uint64_t price = 100 + k % 90000;
    const std::uint64_t sum = price * 2;
    out.insert(out.end(), {0xA3, 0x01});
    PutBcd(out, 1 + k % 500, 3);
    PutBcd(out, 2000, 5);
    PutBcd(out, price, 5);
    out.insert(out.end(), {0x01, 0x01, 0x00, 0xB5, 0x02});
    PutBcd(out, sum, 7);
    out.insert(out.end(), {0x00, 0xC1, 0x03, 0x01});
    PutBcd(out, sum, 7);
    out.insert(out.end(), {0x00, 0xC9, 0x04, 0x00});
    PutBcd(out, sum, 7);
    PutBcd(out, sum + 500, 7);
    out.insert(out.end(), {0x00, 0xCA, 0x01});
    PutBcd(out, k + 1, 4);
    out.insert(out.end(), {0x05, 0x03, 0x07, 0x14, 0x22, 0x4B, 0x01, 0x00});
}

// The journal as the register sends it: frames of at most 255 bytes, each
// 01 0F 00 and journal bytes (records cut at frame ends), then 01 0F 09.
std::vector<TBytes> JournalFrames(int operations) {
    TBytes journal;
    for (int k = 0; k < operations / 5; ++k) PutReceipt(journal, static_cast<std::uint64_t>(k));
    std::vector<TBytes> frames;
    for (std::size_t i = 0; i < journal.size(); i += 252) {
        TBytes f{0x01, 0x0F, 0x00};
        f.insert(f.end(), journal.begin() + static_cast<long>(i),
                 journal.begin() + static_cast<long>(std::min(journal.size(), i + 252)));
        frames.push_back(std::move(f));
    }
    frames.push_back({0x01, 0x0F, 0x09});
    return frames;
}

double Seconds(TClock::time_point from) { return std::chrono::duration<double>(TClock::now() - from).count(); }

void ShowDone(TJournalPage& page) {
    page.MemoMagazine->viewport()->repaint();
    QApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const int operations = argc > 1 ? std::atoi(argv[1]) : 100000;
    isAUTONOM = true;
    const auto dir = std::filesystem::temp_directory_path() / ("bench-journal-page-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    SetLogFileName((dir / "bench.log").string());
    AppHooks().ProcessEvents = [] { QApplication::processEvents(); };

    const std::vector<TBytes> frames = JournalFrames(operations);
    TRegisterSession session;
    TTransferState transfer;
    TJournalPage page(session, transfer);
    page.resize(1000, 700);
    page.show();
    QApplication::processEvents();

    // The page alone: the packet handler as the link calls it.
    std::vector<TKKMPacket> packets(frames.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
        packets[i].Length = static_cast<std::int32_t>(frames[i].size());
        std::copy(frames[i].begin(), frames[i].end(), packets[i].Data);
    }
    auto t = TClock::now();
    transfer.Begin();
    for (auto& p : packets) {
        bool more = true;
        page.Reader().OnMagazinePacket(p, more);
    }
    const int lines = transfer.TransferPos;
    transfer.End();
    page.EndMagazine();
    ShowDone(page);
    const double pageTime = Seconds(t);
    const int textLines = page.MemoMagazine->blockCount();
    std::printf("journal: %d operations, %zu frames of at most 255 bytes, %d receipt text lines\n", lines,
                frames.size(), textLines);
    std::printf("page:     %.3f s, %.0f lines per second\n", pageTime, lines / pageTime);

    // The whole read from the simulated register.
    TSimOptions o;
    o.Speed = 0;
    TRegisterSimulator sim(o);
    std::string error;
    if (!sim.Start(error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }
    sim.RegisterCommand(0x0F, [&frames](TSimState&, const TSimRequest&) { return TSimFrames(frames.begin(), frames.end()); });
    session.ComPort.SetDevicePath(sim.DevicePath());
    session.ComPort.Open();
    t = TClock::now();
    const TMagazineReadResult result = page.bLoadMagazineFromKKMClick();
    ShowDone(page);
    const double readTime = Seconds(t);
    std::printf("register: %.3f s, %.0f lines per second (%s, %d source lines)\n", readTime, lines / readTime,
                result == TMagazineReadResult::Loaded ? "loaded" : "NOT loaded", page.MemoMagazineSource->blockCount());

    // Both files.
    t = TClock::now();
    page.AskSaveFileName = [&] { return QString::fromStdString((dir / "text.txt").string()); };
    page.bMagazineToFileClick();
    page.AskSaveFileName = [&] { return QString::fromStdString((dir / "data.txt").string()); };
    page.bSaveClick();
    std::printf("save:     %.3f s for both files (%ju + %ju bytes)\n", Seconds(t),
                static_cast<std::uintmax_t>(std::filesystem::file_size(dir / "text.txt")),
                static_cast<std::uintmax_t>(std::filesystem::file_size(dir / "data.txt")));

    rusage ru{};
    ::getrusage(RUSAGE_SELF, &ru);
    std::printf("peak resident memory: %.1f MB\n", static_cast<double>(ru.ru_maxrss) / 1024.0);
    session.ComPort.Close();
    SetLogFileName("");
    std::filesystem::remove_all(dir);
    return 0;
}
#else
#include <cstdio>

int main() {
    std::puts("bench_JournalPage needs the Qt front end (configure with -DVORNIK_GUI=ON)");
    return 0;
}
#endif
