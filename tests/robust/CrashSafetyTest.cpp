// A save killed at any moment leaves each of the program's files either complete in its old
// version or complete in its new one, and loadable: the child process below saves two versions
// in turn until it is killed (SIGKILL) at a random moment, many times over.
#include "base/ProgramFolder.h"
#include "config/Profile.h"
#include "config/TK630Cfg.h"
#include "connections/ConnectDsc.h"
#include "link/ModemList.h"
#include "sms/SMS.h"
#include "sms/SMSMng.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kRounds = 60;

struct FileKind {
    const char* name;
    std::string path;                      // the file, once the program folder is set
    std::function<bool(int version)> save; // saves version 0 or 1
    std::function<bool()> loads;           // the file on disk loads without error
};

// Saves both versions once to learn their bytes, then kills savers at random moments.
void KillWhileSaving(const TempDir& dir, const FileKind& kind) {
    ASSERT_TRUE(kind.save(1));
    const auto version1 = ReadFileBytes(kind.path);
    ASSERT_TRUE(kind.save(0));
    const auto version0 = ReadFileBytes(kind.path);
    ASSERT_NE(version0, version1) << kind.name;

    std::mt19937 rng(12345);
    int sawOld = 0;
    int sawNew = 0;
    for (int round = 0; round < kRounds; ++round) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int v = 1;; v ^= 1)
                kind.save(v);
        }
        ::usleep(static_cast<useconds_t>(rng() % 15000));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        const auto bytes = ReadFileBytes(kind.path);
        const bool old = bytes == version0;
        const bool fresh = bytes == version1;
        ASSERT_TRUE(old || fresh) << kind.name << ": a torn file after round " << round;
        ASSERT_TRUE(kind.loads()) << kind.name;
        sawOld += old;
        sawNew += fresh;
    }
    // Both versions turn up, so the kills did land in the middle of saving.
    EXPECT_GT(sawOld, 0) << kind.name;
    EXPECT_GT(sawNew, 0) << kind.name;
    // A killed save may leave its temporary file behind, never a damaged file of its own name.
    for (const std::string& name : ListFolder(dir.Path()))
        EXPECT_TRUE(name == "Data" || name.find(".tmp.") != std::string::npos ||
                    dir.File(name) == kind.path)
            << name;
    // What the kills left is the user's alone (it may hold a PIN), and the next save of the
    // file removes it.
    const std::string folder = kind.path.substr(0, kind.path.rfind('/'));
    for (const std::string& name : ListFolder(folder)) {
        struct stat st {};
        if (name.find(".tmp.") != std::string::npos &&
            ::stat((folder + "/" + name).c_str(), &st) == 0) {
            EXPECT_EQ(st.st_mode & 0777, 0600u) << name;
        }
    }
    ASSERT_TRUE(kind.save(0));
    for (const std::string& name : ListFolder(folder))
        EXPECT_EQ(name.find(".tmp."), std::string::npos) << name;
}

class CrashSafety : public ::testing::Test {
protected:
    void SetUp() override { tk::SetProgramFolder(m_dir.Path()); }
    TempDir m_dir;
};

} // namespace

TEST_F(CrashSafety, Profile) {
    FileKind kind{"Profile.dat", tk::ProgramFile("Profile.dat"),
                  [](int v) {
                      CProfile p;
                      p.SetPort(v ? "COM2" : "COM1");
                      p.m_nWidth = v ? 1000 : 800;
                      return p.Save() == 1;
                  },
                  [] { return CProfile().Load() == 1; }};
    KillWhileSaving(m_dir, kind);
}

TEST_F(CrashSafety, ConnectionList) {
    FileKind kind{"Connection.dat", tk::DataFile("Connection.dat"),
                  [](int v) {
                      CConnectDscMng list;
                      for (int i = 0; i < 20 + v; ++i) {
                          CConnectDsc d{};
                          d.SetNum(("60010020" + std::to_string(i)).c_str());
                          d.SetPIN(v ? "1111" : "2222");
                          list.Add(d);
                      }
                      list.SetSel(v);
                      return list.Save() == 1;
                  },
                  [] {
                      CConnectDscMng list;
                      return list.Load() == 1 && list.GetCount() >= 20;
                  }};
    KillWhileSaving(m_dir, kind);
}

TEST_F(CrashSafety, SmsStore) {
    FileKind kind{"SMS.dat", tk::DataFile("SMS.dat"),
                  [](int v) {
                      CSMSMng store;
                      for (int list = 0; list < 3; ++list) {
                          for (int i = 0; i < 5; ++i) {
                              CSMS sms;
                              sms.SetNumbers("+420600100200, +420600100201");
                              sms.SetText(std::string(600, static_cast<char>('a' + v + i)));
                              store.Add(sms, list);
                          }
                      }
                      return store.Save() == 1;
                  },
                  [] {
                      CSMSMng store;
                      return store.Load() == 1 && store.GetCount(SMS_SENT) == 5;
                  }};
    KillWhileSaving(m_dir, kind);
}

TEST_F(CrashSafety, ConfigurationFile) {
    const std::string path = m_dir.File("site.cfg");
    FileKind kind{"site.cfg", path,
                  [path](int v) {
                      CTK630Cfg cfg;
                      cfg.GetImage()->m_nTone = static_cast<uint8_t>(v);
                      return cfg.SaveFile(path) == 1;
                  },
                  [path] { return CTK630Cfg().LoadFile(path) == 1; }};
    KillWhileSaving(m_dir, kind);
}

TEST_F(CrashSafety, ModemList) {
    FileKind kind{"modem list", CModemMng::FilePath(),
                  [](int v) {
                      CModemMng modems;
                      for (int i = 0; i < 10 + v; ++i)
                          modems.Add(MakeModemInf("Modem " + std::to_string(i), "/dev/ttyUSB0"));
                      return modems.Save();
                  },
                  [] {
                      CModemMng modems;
                      return modems.Load() == CModemMng::LoadResult::Loaded && modems.Count() >= 10;
                  }};
    KillWhileSaving(m_dir, kind);
}
