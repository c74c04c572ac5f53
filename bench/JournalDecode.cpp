// Decoding and rendering speed of a large electronic journal.
//
// Builds a journal of N operations (default 1,000,000) as the register sends
// it: packets that begin 01 0F 00, records cut at packet boundaries. Then
// times, on one thread:
//   decode  - packets to source lines (TMagazineDecoder);
//   render  - source lines to receipt text (MagazineSourceToText);
//   per line - the same rendering one MagOperToText call per line, as the
//              journal page adds lines.
// Prints operations per second and the peak resident memory.
//
// Usage: bench_JournalDecode [operations] [packet bytes]
#include "journal/MagazineRender.h"
#include "journal/U_magazineoperation.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using TBytes = std::vector<std::uint8_t>;

void Put(TBytes& out, std::initializer_list<int> bytes) {
    for (int b : bytes) out.push_back(static_cast<std::uint8_t>(b));
}

// Packed BCD, lowest pair first.
void PutBcd(TBytes& out, std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i, v /= 100) out.push_back(static_cast<std::uint8_t>(((v / 10) % 10) << 4 | (v % 10)));
}

// One receipt of varying shape; returns the number of operations added.
int PutReceipt(TBytes& out, std::uint64_t k) {
    int ops = 0;
    int op = 1;
    const int items = 1 + static_cast<int>(k % 4);
    for (int i = 0; i < items; ++i, ++ops) {
        if ((k + i) % 3 == 0) {  // sale by amount
            Put(out, {0xA1, op++});
            PutBcd(out, 1000 + (k * 7 + i) % 5000, 5);
            PutBcd(out, 100 + (k * 13 + i) % 100000, 5);
            Put(out, {0x01, 1 + i % 8, 0});
        } else {  // sale by code
            Put(out, {0xA3, op++});
            PutBcd(out, 1 + (k + i) % 200, 3);
            PutBcd(out, 1234567 + (k * 3 + i) % 1000, 5);
            PutBcd(out, 1250 + (k * 11 + i) % 90000, 5);
            Put(out, {0x01, 1 + i % 8, 0});
        }
        if ((k + i) % 5 == 0) {  // discount on it
            Put(out, {0xB1, op++});
            PutBcd(out, 500, 2);
            PutBcd(out, 250, 5);
            Put(out, {0x01, 1, 0});
            ++ops;
        }
    }
    Put(out, {0xB5, op++});
    PutBcd(out, 2500 + k % 100000, 7);
    Put(out, {0});
    Put(out, {0xC1, op++, 0x01});
    PutBcd(out, 2500 + k % 100000, 7);
    Put(out, {0});
    Put(out, {0xC9, op++, 0});
    PutBcd(out, 2500 + k % 100000, 7);
    PutBcd(out, k % 2 ? 0 : 300000, 7);
    Put(out, {0});
    Put(out, {0xCA, 1});
    PutBcd(out, k % 100000000, 4);
    Put(out, {0x05, 0x03, 0x07, 0x14, 0x22, 0x4B, 0x01, 0});
    return ops + 4;
}

// The journal as packets of at most packetBytes bytes each, header included.
std::vector<TBytes> BuildPackets(long operations, std::size_t packetBytes, long& built) {
    TBytes stream;
    built = 0;
    for (std::uint64_t k = 0; built < operations; ++k) built += PutReceipt(stream, k);
    std::vector<TBytes> packets;
    for (std::size_t at = 0; at < stream.size();) {
        const std::size_t n = std::min(packetBytes - 3, stream.size() - at);
        TBytes p = {0x01, 0x0F, 0x00};
        p.insert(p.end(), stream.begin() + static_cast<long>(at), stream.begin() + static_cast<long>(at + n));
        packets.push_back(std::move(p));
        at += n;
    }
    packets.push_back({0x01, 0x0F, 0x09});  // end of the journal
    return packets;
}

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

long PeakRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    const long want = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::size_t packetBytes = argc > 2 ? static_cast<std::size_t>(std::atol(argv[2])) : 1024;
    long ops = 0;
    const std::vector<TBytes> packets = BuildPackets(want, packetBytes < 32 ? 32 : packetBytes, ops);
    std::size_t journalBytes = 0;
    for (const auto& p : packets) journalBytes += p.size();
    std::printf("journal: %ld operations, %zu packets of up to %zu bytes, %zu bytes\n", ops, packets.size(),
                packetBytes, journalBytes);
    std::printf("peak memory after building: %ld KiB\n", PeakRssKb());

    const auto t0 = std::chrono::steady_clock::now();
    TMagazineDecoder decoder;
    std::string source;
    for (const auto& p : packets) decoder.Feed(p.data(), static_cast<int>(p.size()), source);
    source += decoder.Flush();
    const auto t1 = std::chrono::steady_clock::now();
    const std::string text = MagazineSourceToText(source);
    const auto t2 = std::chrono::steady_clock::now();

    // One call per line, each result a string of its own.
    std::size_t perLineBytes = 0, lines = 0;
    for (std::size_t start = 0; start < source.size();) {
        const std::size_t end = source.find("\r\n", start);
        perLineBytes += MagOperToText(std::string_view(source).substr(start, end - start)).size() + 2;
        ++lines;
        start = end + 2;
    }
    const auto t3 = std::chrono::steady_clock::now();

    const double dec = Seconds(t0, t1), ren = Seconds(t1, t2), per = Seconds(t2, t3);
    std::printf("source lines: %zu (%zu bytes); receipt text: %zu bytes%s\n", lines, source.size(), text.size(),
                perLineBytes == text.size() ? "" : " (per-line text differs!)");
    std::printf("decode:            %8.3f s  %12.0f operations/s\n", dec, ops / dec);
    std::printf("render:            %8.3f s  %12.0f operations/s\n", ren, ops / ren);
    std::printf("decode + render:   %8.3f s  %12.0f operations/s\n", dec + ren, ops / (dec + ren));
    std::printf("render, per line:  %8.3f s  %12.0f operations/s\n", per, ops / per);
    std::printf("peak memory: %ld KiB\n", PeakRssKb());
    return lines == static_cast<std::size_t>(ops) && perLineBytes == text.size() ? 0 : 1;
}
