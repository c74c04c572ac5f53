// Streams N answer frames from the register simulator, paced at a real line
// speed, through TProtocolKKM::Exchange with the per-frame hook, and sets the
// time beside the lower bound: every byte on the wire at 10 bits per byte
// plus the pauses the exchange must make.
//
//   bench_LinkStream [frames=2000] [frame bytes=67] [baud=115200]
#include "app/AppHooks.h"
#include "link/U_protocolkkm.h"
#include "sim/RegisterSimulator.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int size = argc > 2 ? std::atoi(argv[2]) : 67;
    const int baud = argc > 3 ? std::atoi(argv[3]) : 115200;
    if (frames < 1 || size < 7 || size > 255 || baud < 2400) {
        std::fprintf(stderr, "usage: bench_LinkStream [frames>=1] [frame bytes 7..255] [baud>=2400]\n");
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
    sim.PrepareStream(frames, static_cast<std::size_t>(size));

    TComPort port;
    port.SetDevicePath(sim.DevicePath());
    if (!port.SetSpeed(baud) || !port.Open()) {
        std::fprintf(stderr, "cannot open %s\n", sim.DevicePath().c_str());
        return 1;
    }
    TKKM kkm;
    kkm.Port = &port;
    TProtocolKKM link(&kkm);

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

    long wireBytes = 0;
    int passes = 0;
    for (const auto& r : sim.History()) {
        wireBytes += static_cast<long>(r.Bytes.size());
        if (r.Incoming && !r.Block && r.Bytes.size() == 5 && r.Bytes[3] == 0xC5) ++passes;
    }
    wireBytes -= 5;  // the DISC after the exchange
    // 10 ms after each trace; 350 ms after every pass once the hook has data.
    const double pauses = 0.020 + 0.350 * passes;
    const double wire = wireBytes * 10.0 / baud;
    const double bound = wire + pauses;

    std::printf("link stream: %d frames of %d bytes at %d baud, exchange %s, frames in order: %s\n", received, size,
                baud, ok ? "true" : "false", inOrder && received == frames ? "yes" : "NO");
    std::printf("  bytes on the wire      %ld (%.3f s at 10 bits per byte)\n", wireBytes, wire);
    std::printf("  pauses                 %.3f s (%d passes)\n", pauses, passes);
    std::printf("  lower bound            %.3f s\n", bound);
    std::printf("  measured               %.3f s\n", measured);
    std::printf("  ratio                  %.3f (target 1.10 or less)\n", measured / bound);
    std::printf("  window event calls     %ld\n", events);
    return ok && received == frames ? 0 : 1;
}
