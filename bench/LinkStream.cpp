// Streams N answer frames from the register simulator, paced at a real line
// speed, through TProtocolKKM::Exchange with the per-frame hook, and sets the
// time beside the lower bound: every byte on the wire at 10 bits per byte
// plus the pauses the exchange must make. With "goods" it writes N goods
// records instead, one SetTOBAP command each, as the goods page does.
//
//   bench_LinkStream [frames=2000] [frame bytes=67] [baud=115200]
//   bench_LinkStream goods [records=20] [baud=9600]
#include "app/AppHooks.h"
#include "kkm/KKMCommands.h"
#include "link/U_protocolkkm.h"
#include "sim/RegisterSimulator.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Every byte the simulator saw in either direction, less the last DISC.
long WireBytes(const TRegisterSimulator& sim, int& readyFrames, int& resyncs) {
    long bytes = 0;
    readyFrames = resyncs = 0;
    for (const auto& r : sim.History()) {
        bytes += static_cast<long>(r.Bytes.size());
        if (!r.Incoming || r.Block || r.Bytes.size() != 5) continue;
        readyFrames += r.Bytes[3] == 0xC5;
        resyncs += r.Bytes[3] == 0xCC || r.Bytes[3] == 0xCF;
    }
    return bytes - 5;
}

void Report(double wire, double pauses, double measured) {
    const double bound = wire + pauses;
    std::printf("  bytes on the wire      %.3f s at 10 bits per byte\n", wire);
    std::printf("  pauses                 %.3f s\n", pauses);
    std::printf("  lower bound            %.3f s\n", bound);
    std::printf("  measured               %.3f s\n", measured);
    std::printf("  ratio                  %.3f (target 1.10 or less)\n", measured / bound);
}

// Goods records written one command each: RDY, the 57-byte request, ACK,
// the 3-byte answer, ACK, DISC. The exchange pauses 10 ms after its start
// and end traces, the DISC 50 ms; the computer's last ACK and its DISC go
// out during those pauses, so they are not added to them.
int GoodsWrite(TRegisterSimulator& sim, TProtocolKKM& link, int records, int baud) {
    TSimState state = sim.State();
    state.Identity.Mode = 2;  // goods are written off-line only
    sim.SetState(state);
    TKKMInfo& info = kkmcmd::EnsureInfo(*link.KKM);
    TSimGoods goods;
    goods.Name = "Молоко 3,2% 1 л";
    goods.Barcode = "4607001234607";
    int written = 0;
    const auto t0 = std::chrono::steady_clock::now();
    for (int code = 1; code <= records; ++code) {
        goods.Price = 1000 + code;
        const auto record = SimGoodsRecord(code, goods);
        std::memcpy(info.Goods, record.data(), record.size());
        written += link.SetTOBAP();
    }
    const double measured = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    sim.Stop();
    int ready = 0, resyncs = 0;
    const long bytes = WireBytes(sim, ready, resyncs) + 5;  // every DISC counts here
    long overlapped = 0;
    for (const auto& r : sim.History())
        if (r.Incoming && !r.Block && r.Bytes.size() == 5 && (r.Bytes[3] == 0xCA || r.Bytes[3] == 0xC0)) overlapped += 5;
    std::printf("goods write: %d of %d records at %d baud, %ld bytes, %d RDY, %d SYN or RST\n", written, records, baud,
                bytes, ready, resyncs);
    Report((bytes - overlapped) * 10.0 / baud, 0.070 * records, measured);
    return written == records && resyncs == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const bool goods = argc > 1 && std::strcmp(argv[1], "goods") == 0;
    if (goods) ++argv, --argc;
    const int frames = argc > 1 ? std::atoi(argv[1]) : (goods ? 20 : 2000);
    const int size = goods ? 67 : argc > 2 ? std::atoi(argv[2]) : 67;
    const int baud = argc > (goods ? 2 : 3) ? std::atoi(argv[goods ? 2 : 3]) : (goods ? 9600 : 115200);
    if (frames < 1 || size < 7 || size > 255 || baud < 2400) {
        std::fprintf(stderr, "usage: bench_LinkStream [frames>=1] [frame bytes 7..255] [baud>=2400]\n"
                             "       bench_LinkStream goods [records>=1] [baud>=2400]\n");
        return 2;
    }

    TSimOptions options;
    options.Speed = baud;
    TRegisterSimulator sim(options);
    std::string error;
    if (!sim.Start(error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }
    if (!goods) sim.PrepareStream(frames, static_cast<std::size_t>(size));

    TComPort port;
    port.SetDevicePath(sim.DevicePath());
    if (!port.SetSpeed(baud) || !port.Open()) {
        std::fprintf(stderr, "cannot open %s\n", sim.DevicePath().c_str());
        return 1;
    }
    TKKM kkm;
    kkm.Port = &port;
    TProtocolKKM link(&kkm);
    if (goods) return GoodsWrite(sim, link, frames, baud);

    long events = 0;
    AppHooks().ProcessEvents = [&] { ++events; };
    int received = 0;
    bool inOrder = true;
    link.OnData = [&](TKKMPacket& p, bool&) {
        const std::uint32_t n = p.Data[3] | p.Data[4] << 8 | p.Data[5] << 16 | static_cast<std::uint32_t>(p.Data[6]) << 24;
        inOrder = inOrder && p.Length == size && n == static_cast<std::uint32_t>(received);
        ++received;
    };
    TKKMPacket request, answer;
    request.Length = 2;
    request.Data[0] = 0x01;
    request.Data[1] = 0x0F;

    const auto t0 = std::chrono::steady_clock::now();
    const bool ok = link.Exchange(request, answer, true);
    const double measured =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    link.SendControl(0xC0);
    sim.Stop();

    int passes = 0, resyncs = 0;
    const long wireBytes = WireBytes(sim, passes, resyncs);
    // 10 ms after each trace; 350 ms after every pass once the hook has data.
    const double pauses = 0.020 + 0.350 * passes;
    std::printf("link stream: %d frames of %d bytes at %d baud, exchange %s, frames in order: %s\n", received, size,
                baud, ok ? "true" : "false", inOrder && received == frames ? "yes" : "NO");
    std::printf("  %ld bytes, %d passes\n", wireBytes, passes);
    Report(wireBytes * 10.0 / baud, pauses, measured);
    std::printf("  window event calls     %ld\n", events);
    return ok && received == frames ? 0 : 1;
}
