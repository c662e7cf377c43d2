// How long "Najít jednotku" takes over five ports of the kinds a laptop shows: the unit (at
// 9600 Bd), a silent port, a port where another device streams text, a port another program
// holds and a device that is gone. All at once (the default) and one after another, to show
// what checking the ports in parallel saves: the silent port's wait bounds the first.
#include "link/FindUnit.h"
#include "tests/support/PtyPair.h"
#include "tests/support/TempDir.h"
#include "tools/sim/SimServer.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// Another program on the port: a child that opens the device and keeps it.
pid_t HoldPort(const PtyPair& pty) {
    int ready[2];
    if (::pipe(ready) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pty.Master());
        const int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
        [[maybe_unused]] const ssize_t n = ::write(ready[1], "x", 1);
        if (fd >= 0)
            ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char c = 0;
    [[maybe_unused]] const ssize_t n = ::read(ready[0], &c, 1);
    ::close(ready[0]);
    return pid;
}

void BM_FindOverFivePorts(benchmark::State& state) {
    TempDir dir;
    PtyPair silent;
    PtyPair talking;
    PtyPair held;
    const pid_t holder = HoldPort(held);
    SimServerOptions options;
    options.baud = 9600;
    CSimServer sim(options);
    std::string error;
    if (holder < 0 || !sim.Start(&error)) {
        state.SkipWithError(("cannot set up the ports: " + error).c_str());
        return;
    }
    std::atomic<bool> stop{false};
    std::thread talker([&] {
        const char line[] = "$GPGGA,123519,4807.038,N,01131.000,E*47\r\n";
        while (!stop) {
            if (::write(talking.Master(), line, sizeof line - 1) < 0)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    const std::vector<std::string> ports = {sim.SlavePath(), silent.SlavePath(),
                                            talking.SlavePath(), held.SlavePath(),
                                            dir.File("ttyUSB7")};
    FindOptions find;
    find.nMaxParallel = static_cast<size_t>(state.range(0));
    size_t found = 0;
    for (auto _ : state) {
        const std::vector<LineCheckResult> results = FindUnit(ports, find);
        found = results[0].m_verdict == LINE_OK ? 1 : 0;
        benchmark::DoNotOptimize(results.data());
    }
    if (found != 1)
        state.SkipWithError("the unit was not found");
    state.counters["ports"] = static_cast<double>(ports.size());
    stop = true;
    talker.join();
    sim.Stop();
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
}

} // namespace

// Parallel as the program runs it, and one port at a time for comparison.
BENCHMARK(BM_FindOverFivePorts)
    ->Arg(FIND_MAX_PARALLEL)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
