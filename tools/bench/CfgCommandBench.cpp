// The configuration commands that must answer at once (under 50 ms): `config diff` of two
// files and `config show` of a file, measured as the user meets them (tk530ctl started as a
// process, its output read) and as the core's part alone (load, compare or format).
#include "base/ProgramFolder.h"
#include "config/CfgCatalogue.h"
#include "config/CfgJson.h"
#include "config/TK630Cfg.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// A folder with two files that differ in three fields.
struct Files {
    std::string folder;
    std::string a, b;
    Files() {
        char tmpl[] = "/tmp/tk530-cfgbench-XXXXXX";
        folder = ::mkdtemp(tmpl);
        a = folder + "/a.cfg";
        b = folder + "/b.cfg";
        CfgImage image;
        SetDefaults(image);
        WriteCfgFile(a, image);
        std::strcpy(image.m_szPIN, "1234");
        image.m_nTone = 1;
        std::strcpy(image.m_aAlarm[2].m_szACall, "+420123456789");
        WriteCfgFile(b, image);
    }
    ~Files() { std::system(("rm -rf " + folder).c_str()); }
};

// Runs tk530ctl to its end with its output thrown away; false unless it exited with `expect`.
bool RunCtl(const std::vector<std::string>& args, int expect) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(TK530CTL_EXE));
    for (const std::string& s : args)
        argv.push_back(const_cast<char*>(s.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, TK530CTL_EXE, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return rc == 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == expect;
}

void BM_CtlConfigDiff(benchmark::State& state) {
    Files f;
    for (auto _ : state) {
        if (!RunCtl({"--folder", f.folder, "config", "diff", f.a, f.b}, 1)) {
            state.SkipWithError("tk530ctl config diff failed");
            break;
        }
    }
}

void BM_CtlConfigShow(benchmark::State& state) {
    Files f;
    for (auto _ : state) {
        if (!RunCtl({"--folder", f.folder, "config", "show", f.b}, 0)) {
            state.SkipWithError("tk530ctl config show failed");
            break;
        }
    }
}

// The core's share of `config diff`: two files loaded and compared.
void BM_CoreDiff(benchmark::State& state) {
    Files f;
    for (auto _ : state) {
        CTK630Cfg a, b;
        if (a.LoadFile(f.a) != 1 || b.LoadFile(f.b) != 1) {
            state.SkipWithError("load failed");
            break;
        }
        const std::vector<CfgDiffEntry> diff = CfgDiff(*a.GetImage(), *b.GetImage());
        if (diff.size() != 3) {
            state.SkipWithError("not three differences");
            break;
        }
        benchmark::DoNotOptimize(diff.data());
    }
}

// The core's share of `config show` and `config export`: every value as the panes show it
// with its check, and the whole JSON document.
void BM_CoreShowAndExport(benchmark::State& state) {
    Files f;
    CTK630Cfg cfg;
    cfg.LoadFile(f.b);
    for (auto _ : state) {
        size_t bytes = 0;
        for (const CfgField& field : CfgCatalogue())
            bytes += CfgValueText(field, *cfg.GetImage()).size() +
                     static_cast<size_t>(CfgCheckField(field, *cfg.GetImage()));
        bytes += CfgExportJson(*cfg.GetImage()).size();
        benchmark::DoNotOptimize(bytes);
    }
}

} // namespace

BENCHMARK(BM_CtlConfigDiff)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CtlConfigShow)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CoreDiff)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CoreShowAndExport)->Unit(benchmark::kMicrosecond);
