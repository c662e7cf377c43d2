// The program's own files as an attacker or an accident leaves them: a link planted to
// another file, a link to /dev/zero, a FIFO, a huge file. Every reader of them ends at once
// with bounded memory, and no save writes through what stands there.
#include "base/Json.h"
#include "base/ProgramFolder.h"
#include "base/SafeFile.h"
#include "config/CfgRecent.h"
#include "config/Profile.h"
#include "connections/ConnectDsc.h"
#include "link/ModemList.h"
#include "sms/SMSMng.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs `body` in a forked child that is killed after a few seconds and may use no more
// than a modest address space; its exit status, or 128 + the signal that ended it.
int RunHemmedIn(const std::function<int()>& body, rlim_t cpuSeconds = 10) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(static_cast<unsigned>(cpuSeconds) * 3);
        const struct rlimit cpu { cpuSeconds, cpuSeconds };
        ::setrlimit(RLIMIT_CPU, &cpu);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__) // terabytes of shadow
        const rlim_t limit = 1024ul << 20;
        const struct rlimit rl { limit, limit };
        ::setrlimit(RLIMIT_AS, &rl);
#endif
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

struct Reader {
    const char* name;
    bool inData; // in the Data folder, else the program folder
    // Loads and, where the program would, saves: 0 when nothing was written.
    std::function<int()> loadAndSave;
};

enum class Kind { LinkToVictim, LinkToZero, Fifo, Huge };

const char* KindName(Kind kind) {
    switch (kind) {
    case Kind::LinkToVictim:
        return "link to another file";
    case Kind::LinkToZero:
        return "link to /dev/zero";
    case Kind::Fifo:
        return "FIFO";
    case Kind::Huge:
        return "huge file";
    }
    return "";
}

} // namespace

TEST(HostileFiles, ProgramFilesAreNeverReadEndlesslyNorWrittenThroughWhatIsPlantedThere) {
    const std::vector<Reader> readers = {
        {"SMS.dat", true,
         [] {
             CSMSMng store;
             store.Load();
             CSMS sms;
             sms.SetText("nová");
             store.AddAndShow(sms, SMS_TOSEND); // a change: saves over the file
             return 0;
         }},
        {"SMSArchive.txt", true,
         [] {
             CSMSMng store;
             CSMS unread;
             unread.SetText("nepřečtená");
             unread.SetUnread(true);
             for (int i = 0; i < SMS_LIST_MAX; ++i)
                 store.Add(unread, SMS_RECEIVED);
             store.StoreReceived(unread); // the oldest unread one goes to the archive first
             return 0;
         }},
        {"Connection.dat", true,
         [] {
             CConnectDscMng list;
             list.Load();
             return list.Save() == 1 ? 1 : 0;
         }},
        {"Modems.dat", true,
         [] {
             CModemMng modems;
             modems.Load();
             return modems.Save() ? 1 : 0;
         }},
        {"Profile.dat", false,
         [] {
             CProfile profile;
             profile.Load();
             return profile.Save() == PROFILE_OK ? 1 : 0;
         }},
        {"RecentFiles.txt", false,
         [] {
             CCfgRecent recent;
             const std::string file = tk::ProgramFile("RecentFiles.txt");
             recent.Load(file);
             recent.Add("/tmp/a.cfg");
             return recent.Save(file) ? 1 : 0;
         }},
    };
    const std::string victimText = "someone else's file\n";
    for (const Reader& r : readers) {
        for (Kind kind : {Kind::LinkToVictim, Kind::LinkToZero, Kind::Fifo, Kind::Huge}) {
            SCOPED_TRACE(std::string(r.name) + " as a " + KindName(kind));
            TempDir dir;
            tk::SetProgramFolder(dir.Path());
            ASSERT_TRUE(tk::EnsureFolder(tk::DataFolder()));
            const std::string path = r.inData ? tk::DataFile(r.name) : tk::ProgramFile(r.name);
            const std::string victim = dir.File("victim.txt");
            WriteFileBytes(victim, std::vector<uint8_t>(victimText.begin(), victimText.end()));
            switch (kind) {
            case Kind::LinkToVictim:
                ASSERT_EQ(::symlink(victim.c_str(), path.c_str()), 0);
                break;
            case Kind::LinkToZero:
                ASSERT_EQ(::symlink("/dev/zero", path.c_str()), 0);
                break;
            case Kind::Fifo:
                ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
                break;
            case Kind::Huge: {
                WriteFileBytes(path, {1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F});
                ASSERT_EQ(::truncate(path.c_str(), 2048l << 20), 0); // 2 GiB, sparse
                break;
            }
            }
            const int status = RunHemmedIn(r.loadAndSave);
            // A huge regular file may be replaced by a sound one; nothing else may be.
            if (kind != Kind::Huge)
                EXPECT_EQ(status, 0) << "a save went through";
            else
                EXPECT_LT(status, 128) << "ended by signal " << status - 128;
            EXPECT_EQ(ReadFileText(victim), victimText);
            struct stat st {};
            ASSERT_EQ(::lstat(path.c_str(), &st), 0);
            if (kind == Kind::LinkToVictim || kind == Kind::LinkToZero) {
                EXPECT_TRUE(S_ISLNK(st.st_mode));
            } else if (kind == Kind::Fifo) {
                EXPECT_TRUE(S_ISFIFO(st.st_mode));
            }
            // Nothing planted is copied; a huge file's copy stops at what such a file holds.
            for (const std::string& name : ListFolder(tk::DataFolder())) {
                if (kind != Kind::Huge) {
                    EXPECT_EQ(name.find(".damaged-"), std::string::npos) << name;
                } else if (name.find(".damaged-") != std::string::npos) {
                    EXPECT_LE(ReadFileBytes(tk::DataFile(name)).size(), 1u << 20) << name;
                }
            }
        }
    }
}

// An object with very many names (a JSON file at its size limit holds over a hundred
// thousand) is checked for duplicates in about linear time, and a duplicate at its end is
// still found.
TEST(HostileFiles, AJsonObjectWithManyNamesIsParsedWithoutQuadraticTime) {
    std::string json = "{";
    for (int i = 0; i < 120000; ++i)
        json += (i ? ",\"k" : "\"k") + std::to_string(i) + "\":0";
    const int status = RunHemmedIn(
        [&] {
            tk::json::Value v;
            if (!tk::json::Parse(json + "}", v) || v.members.size() != 120000)
                return 1;
            tk::json::ParseError error;
            if (tk::json::Parse(json + ",\"k7\":1}", v, &error) ||
                error.message.find("\"k7\"") == std::string::npos)
                return 2;
            return 0;
        },
        3);
    EXPECT_EQ(status, 0) << (status > 128 ? "ended by signal " + std::to_string(status - 128)
                                          : std::string());
}
