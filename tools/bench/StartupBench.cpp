// Start-up of the window program: from the moment the process is started to the first paint
// of its main window, its resident memory then, and the processor time it takes while online
// and idle (only the keepalive polls run). The window program runs as a child process on the
// offscreen platform, with a program folder whose profile points at an in-process virtual
// unit; the child does what tk530's main does and reports when the main window first paints.
//
//     tk530-startup-bench [runs] [idle seconds]     (defaults: 10 runs, 10 s)
//     TK530_BENCH_PANE=gsm tk530-startup-bench 1 60 (idle with the GSM pane shown)
#include "app/AppUIApp.h"
#include "app/Prompts.h"
#include "app/QtPrompts.h"
#include "base/ProgramFolder.h"
#include "tests/support/TempDir.h"
#include "tools/sim/SimServer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QThread>
#include <QTimer>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

namespace {

int64_t MonotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t{ts.tv_sec} * 1000000000 + ts.tv_nsec;
}

// A field of /proc/self/status in kB ("VmRSS", "VmHWM").
long StatusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) == 0)
            return std::strtol(line.c_str() + key.size(), nullptr, 10);
    }
    return -1;
}

double CpuSeconds() {
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
           static_cast<double>(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

// No box may wait for a user here: every prompt is printed and answered No or Cancel.
class PrintedPrompts : public IPrompts {
public:
    int AskText(const std::string& text, PromptButtons, PromptDefault) override {
        std::printf("prompt %s\n", text.c_str());
        return PROMPT_NO;
    }
    void ErrorText(const std::string& text, const std::string&) override {
        std::printf("prompt %s\n", text.c_str());
    }
    void WarningText(const std::string& text) override { std::printf("prompt %s\n", text.c_str()); }
    bool OpenFileName(std::string&, const std::string&, const std::string&) override {
        return false;
    }
    bool SaveFileName(std::string&, const std::string&, SaveDialogOptions&) override {
        return false;
    }
};

// Notes the first paint of any widget of the main window.
class PaintWatch : public QObject {
public:
    int64_t firstPaintNs = 0;
    long rssKb = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (firstPaintNs == 0 && event->type() == QEvent::Paint && watched->isWidgetType()) {
            firstPaintNs = MonotonicNs();
            rssKb = StatusKb("VmRSS");
        }
        return false;
    }
};

int RunChild(int argc, char** argv, const std::string& folder, int idleSeconds) {
    tk::SetProgramFolder(folder);
    QApplication application(argc, argv);
    PaintWatch watch;
    application.installEventFilter(&watch);
    InitGuiResources();
    InstallCzechTranslation();
    PrintedPrompts prompts;
    CApp app(&prompts);
    if (app.Init() != 1)
        return 2;
    QElapsedTimer wait;
    wait.start();
    while (watch.firstPaintNs == 0 && wait.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::printf("paint %lld rss %ld\n", static_cast<long long>(watch.firstPaintNs), watch.rssKb);
    if (idleSeconds > 0) {
        // TK530_BENCH_PANE=gsm: idle with the GSM pane and its signal chart shown.
        if (const char* pane = std::getenv("TK530_BENCH_PANE");
            pane && std::strcmp(pane, "gsm") == 0)
            app.m_UI.PaneMng().Select(PANE_GSM, 0);
        app.m_Device.Online();
        wait.restart();
        while (!app.m_Device.m_Com.IsOnline() && wait.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        while (app.m_Device.m_Com.IsBusy() && wait.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        // Idle: the event loop runs as in the program, the worker polls once a second.
        const double cpu0 = CpuSeconds();
        const int64_t t0 = MonotonicNs();
        double cpu = 0, wall = 0;
        bool online = false;
        // exit, not quit: quit would close the window, and the close query disconnects.
        QTimer::singleShot(idleSeconds * 1000, &application, [&] {
            cpu = CpuSeconds() - cpu0;
            wall = static_cast<double>(MonotonicNs() - t0) / 1e9;
            online = app.m_Device.m_Com.IsOnline();
            QCoreApplication::exit(0);
        });
        QApplication::exec();
        std::printf("online %d idle-cpu %.3f hwm %ld\n", online ? 1 : 0,
                    wall > 0 ? 100.0 * cpu / wall : -1.0, StatusKb("VmHWM"));
    }
    std::fflush(stdout);
    return 0;
}

struct ChildResult {
    double startMs = -1;
    long rssKb = -1;
    double idleCpu = -1;
    long hwmKb = -1;
    bool online = false;
    std::string output;
};

ChildResult Spawn(const char* self, const std::string& folder, int idleSeconds) {
    int out[2];
    if (pipe(out) != 0)
        return {};
    const int64_t t0 = MonotonicNs();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        const std::string idle = std::to_string(idleSeconds);
        execl(self, self, "--child", folder.c_str(), idle.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string text;
    char buf[256];
    ssize_t n;
    while ((n = read(out[0], buf, sizeof buf)) > 0)
        text.append(buf, static_cast<size_t>(n));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    ChildResult r;
    r.output = text;
    long long paint = 0;
    if (std::sscanf(text.c_str(), "paint %lld rss %ld", &paint, &r.rssKb) == 2 && paint > 0)
        r.startMs = static_cast<double>(paint - t0) / 1e6;
    const size_t online = text.find("online ");
    int on = 0;
    if (online != std::string::npos &&
        std::sscanf(text.c_str() + online, "online %d idle-cpu %lf hwm %ld", &on, &r.idleCpu,
                    &r.hwmKb) == 3)
        r.online = on == 1;
    return r;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[1], "--child") == 0)
        return RunChild(argc, argv, argv[2], std::atoi(argv[3]));

    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const int idleSeconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    TempDir folder;
    tk::SetProgramFolder(folder.Path());
    CSimServer sim;
    std::string error;
    if (!sim.Start(&error)) {
        std::fprintf(stderr, "virtual unit: %s\n", error.c_str());
        return 1;
    }
    CProfile profile;
    profile.SetDefaults();
    profile.SetPort(sim.SlavePath().c_str());
    if (profile.Save() != PROFILE_OK)
        return 1;

    std::vector<double> starts;
    long rss = 0;
    for (int i = 0; i < runs; ++i) {
        const ChildResult r = Spawn(argv[0], folder.Path(), 0);
        if (r.startMs < 0) {
            std::fprintf(stderr, "run %d: the window did not paint\n", i + 1);
            return 1;
        }
        starts.push_back(r.startMs);
        rss = std::max(rss, r.rssKb);
    }
    std::sort(starts.begin(), starts.end());
    std::printf("start to first paint: median %.1f ms, min %.1f ms, max %.1f ms (%d runs)\n",
                starts[starts.size() / 2], starts.front(), starts.back(), runs);
    std::printf("resident memory at first paint: %.1f MB (largest of the runs)\n",
                static_cast<double>(rss) / 1024.0);
    const ChildResult idle = Spawn(argv[0], folder.Path(), idleSeconds);
    if (!idle.online || idle.idleCpu < 0) {
        std::fprintf(stderr, "the window program did not stay online: %s\n", idle.output.c_str());
        return 1;
    }
    std::printf("online and idle for %d s: %.2f %% of one core; peak resident memory %.1f MB\n",
                idleSeconds, idle.idleCpu, static_cast<double>(idle.hwmKb) / 1024.0);
    return 0;
}
