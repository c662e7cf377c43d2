// Exchanges per second over a pseudo-terminal with a far end that answers at once: the
// overhead of the codec, the port layer and the kernel, without the wire's 9600 baud.
#include "link/ComTrans.h"
#include "link/Commands.h"
#include "link/SerCom.h"
#include "tests/support/FramePeer.h"
#include "tests/support/PtyPair.h"

#include <benchmark/benchmark.h>

namespace {

void BM_Exchange(benchmark::State& state) {
    const auto replyData = static_cast<size_t>(state.range(0));
    PtyPair pty;
    FramePeer peer(pty.Master(), [replyData](const Bytes& req) {
        return FramePeer::Frame(FramePeer::Reply(req[1], 0, Bytes(replyData, 0x41)));
    });
    CSerCom port;
    if (port.Init() || port.Open(pty.SlavePath(), kDefaultDcb) != LE_OK) {
        state.SkipWithError("cannot open the pseudo-terminal");
        return;
    }
    CComTrans trans(&port);
    const uint8_t request[4] = {0x80, CMD_GET_IO, 0x01, 0xFF};
    std::vector<uint8_t> reply(4 + replyData);
    for (auto _ : state) {
        if (trans.Exchange(request, 4, reply.data(), static_cast<uint32_t>(reply.size())) !=
            LE_OK) {
            state.SkipWithError("exchange failed");
            break;
        }
    }
    state.counters["exchanges/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

} // namespace

// A four-byte reply (header only), and a full configuration block reply.
BENCHMARK(BM_Exchange)->Arg(0)->Arg(176)->UseRealTime();

BENCHMARK_MAIN();
