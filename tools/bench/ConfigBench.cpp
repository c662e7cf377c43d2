// A whole configuration read and write (10 blocks each) inside an open session against the
// virtual unit: (a) replies at once, the overhead of the program; (b) the unit paced to a
// 9600 baud 8N1 line, compared with the time the frames' bytes need on such a line; (c) the
// same read through a serial device server (ser2net on loopback, raw TCP and RFC 2217) in
// front of the unit's line, where the wire time must still be nearly all of it.
#include "base/ProgramFolder.h"
#include "config/Profile.h"
#include "config/TK630Cfg.h"
#include "link/Commands.h"
#include "link/FrameCodec.h"
#include "link/TK630Com.h"
#include "status/DevStatus.h"
#include "tests/support/Ser2Net.h"
#include "tools/sim/SimServer.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <unistd.h>

namespace {

constexpr uint32_t kBlock = 170;

// Bytes on the wire of one whole transfer: every request and reply frame, escapes included.
size_t WireBytes(const std::vector<uint8_t>& memory, bool write) {
    size_t total = 0;
    for (uint32_t offset = 0; offset < memory.size(); offset += kBlock) {
        const uint32_t n =
            std::min<uint32_t>(kBlock, static_cast<uint32_t>(memory.size()) - offset);
        std::vector<uint8_t> head{0x80,
                                  static_cast<uint8_t>(write ? 0x27 : 0x28),
                                  0x01,
                                  0xFF,
                                  0,
                                  0,
                                  static_cast<uint8_t>(offset >> 8),
                                  static_cast<uint8_t>(offset),
                                  0,
                                  static_cast<uint8_t>(n)};
        std::vector<uint8_t> withData = head;
        withData.insert(withData.end(), memory.begin() + offset, memory.begin() + offset + n);
        head[3] = 0x00; // the reply's confirmation
        std::vector<uint8_t> replyWithData = withData;
        replyWithData[3] = 0x00;
        total += EncodeFrame(write ? withData : head).size();      // request
        total += EncodeFrame(write ? head : replyWithData).size(); // reply
    }
    return total;
}

// How the program reaches the unit's line.
enum Via : int { VIA_PTY = 0, VIA_TCP = 1, VIA_RFC2217 = 2 };

void RunTransfer(benchmark::State& state, bool write, uint32_t baud, Via via = VIA_PTY) {
    char tmpl[] = "/tmp/tk530-bench-XXXXXX";
    tk::SetProgramFolder(::mkdtemp(tmpl));
    CSimServer sim;
    if (!sim.Start()) {
        state.SkipWithError("the virtual unit did not start");
        return;
    }
    CProfile profile;
    std::unique_ptr<Ser2Net> server;
    if (via == VIA_PTY) {
        profile.SetPortPath(sim.SlavePath());
    } else {
        std::string error;
        server = std::make_unique<Ser2Net>(sim.SlavePath(), via == VIA_RFC2217);
        if (!Ser2Net::Available() || !server->Start(&error)) {
            state.SkipWithError(("ser2net did not start: " + error).c_str());
            return;
        }
        profile.SetPortPath(server->Port());
    }
    CDevStatus status;
    CTK630Com com(profile, status);
    com.SetPauseMs(0);
    CTK630Cfg cfg;
    if (com.Start() != 1 || com.Post({CM_CONNECT, 1, 0}) != 1 || !com.WaitIdle(10000) ||
        !com.IsOnline()) {
        state.SkipWithError("no session with the virtual unit");
        return;
    }
    sim.SetBaud(baud);
    const CComMsg msg{write ? CM_WRITE_CFG : CM_READ_CFG, reinterpret_cast<uintptr_t>(&cfg), 0};
    const size_t framesBefore = sim.Unit().RequestCount();
    for (auto _ : state) {
        if (com.Post(msg) != 1 || !com.WaitIdle(60000)) {
            state.SkipWithError("transfer failed");
            break;
        }
    }
    sim.SetBaud(0);
    // Every transfer must have been whole: ten block frames, none failed or repeated.
    const size_t frames = sim.Unit().RequestCount() - framesBefore;
    if (frames != 10 * static_cast<size_t>(state.iterations()))
        state.SkipWithError("a transfer did not send its ten blocks");
    const size_t bytes = WireBytes(sim.Unit().ConfigMemory(), write);
    state.counters["wire_bytes"] = static_cast<double>(bytes);
    if (baud) {
        const double wireSeconds = static_cast<double>(bytes) * 10.0 / baud;
        state.counters["wire_ms"] = wireSeconds * 1000.0;
        // Measured time per transfer divided by the wire time: 1.0 is the line's own limit.
        state.counters["ratio"] =
            benchmark::Counter(static_cast<double>(state.iterations()) * wireSeconds,
                               benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    }
    com.Post({CM_DISCONNECT, 0, 0});
    com.WaitIdle(10000);
    com.Stop();
    server.reset();
    sim.Stop();
    std::system((std::string("rm -rf ") + tk::ProgramFolder()).c_str());
}

void BM_ReadConfig(benchmark::State& state) {
    RunTransfer(state, false, static_cast<uint32_t>(state.range(0)));
}
void BM_WriteConfig(benchmark::State& state) {
    RunTransfer(state, true, static_cast<uint32_t>(state.range(0)));
}
// At 9600 Bd: 0 the pseudo-terminal, 1 raw TCP, 2 RFC 2217 (the ratios compare).
void BM_ReadConfigVia(benchmark::State& state) {
    RunTransfer(state, false, 9600, static_cast<Via>(state.range(0)));
}

} // namespace

BENCHMARK(BM_ReadConfig)->Arg(0)->Arg(9600)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteConfig)->Arg(0)->Arg(9600)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadConfigVia)
    ->Arg(VIA_PTY)
    ->Arg(VIA_TCP)
    ->Arg(VIA_RFC2217)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
