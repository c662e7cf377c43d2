#include "base/ProgramFolder.h"
#include "base/DataLock.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

} // namespace

TEST(ProgramFolder, IsTheFolderOfTheRunningExecutableUntilSetOtherwise) {
    char exe[PATH_MAX] = {};
    ASSERT_GT(::readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
    std::string expected(exe);
    expected.erase(expected.rfind('/'));
    // The test binary's build folder is writable and not a bin folder: a portable folder.
    const tk::ProgramFolderInfo info = tk::ProgramFolderInUse();
    EXPECT_EQ(info.path, expected);
    EXPECT_TRUE(info.portable);
    EXPECT_FALSE(info.given);
    EXPECT_EQ(tk::ProgramFile("Profile.dat"), expected + "/Profile.dat");

    tk::SetProgramFolder("/tmp/somewhere/");
    EXPECT_EQ(tk::ProgramFolder(), "/tmp/somewhere");
    EXPECT_TRUE(tk::ProgramFolderInUse().given);
    EXPECT_FALSE(tk::ProgramFolderInUse().portable);
    EXPECT_EQ(tk::DataFolder(), "/tmp/somewhere/Data");
    EXPECT_EQ(tk::DataFile("SMS.dat"), "/tmp/somewhere/Data/SMS.dat");
}

// Which folder the rule picks for an executable's folder and the environment.
TEST(ProgramFolder, PortableBesideTheExecutableOtherwiseTheUsersDataFolder) {
    TempDir dir;
    const std::string home = dir.File("home");
    const std::string xdg = dir.File("xdg");
    std::filesystem::create_directories(home);
    struct Case {
        const char* what;
        std::string exeFolder;
        std::string xdgDataHome;
        const char* holds; // a file or folder put into exeFolder first, or nullptr
        bool portable;
        std::string expected;
    };
    const Case cases[] = {
        {"writable folder", dir.File("tk530"), xdg, nullptr, true, dir.File("tk530")},
        {"installed bin folder", dir.File("prefix/bin"), xdg, nullptr, false, xdg + "/tk530"},
        {"sbin folder", dir.File("prefix/sbin"), xdg, nullptr, false, xdg + "/tk530"},
        {"bin folder with a profile", dir.File("p1/bin"), xdg, "Profile.dat", true,
         dir.File("p1/bin")},
        {"bin folder with Data", dir.File("p2/bin"), xdg, "Data/", true, dir.File("p2/bin")},
        {"folder that is gone", dir.File("gone"), xdg, nullptr, false, xdg + "/tk530"},
        {"no XDG_DATA_HOME", dir.File("p3/bin"), "", nullptr, false, home + "/.local/share/tk530"},
        {"relative XDG_DATA_HOME", dir.File("p4/bin"), "rel/data", nullptr, false,
         home + "/.local/share/tk530"},
        {"XDG_DATA_HOME with a slash", dir.File("p5/bin"), dir.File("x2/"), nullptr, false,
         dir.File("x2/tk530")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.exeFolder != dir.File("gone"))
            std::filesystem::create_directories(c.exeFolder);
        if (c.holds && std::string(c.holds).back() == '/')
            std::filesystem::create_directories(c.exeFolder + "/" + c.holds);
        else if (c.holds)
            WriteFileBytes(c.exeFolder + "/" + c.holds, {3});
        const tk::ProgramFolderInfo info =
            tk::ResolveProgramFolder(c.exeFolder, c.xdgDataHome, home);
        EXPECT_EQ(info.path, c.expected);
        EXPECT_EQ(info.portable, c.portable);
        EXPECT_EQ(info.error, "");
        if (!c.portable) {
            // Created on first use, for the user's eyes only, with any missing parent.
            EXPECT_EQ(ModeOf(info.path), 0700u);
            EXPECT_EQ(ModeOf(info.path.substr(0, info.path.rfind('/'))) & 077, 0u);
        }
    }
    EXPECT_FALSE(FileExists(dir.File("prefix/bin/Data")));
}

TEST(ProgramFolder, AFolderThatCannotBeMadeIsReportedWithItsPathAndReason) {
    TempDir dir;
    WriteFileBytes(dir.File("file"), {1});
    std::filesystem::create_directories(dir.File("bin"));
    const tk::ProgramFolderInfo info =
        tk::ResolveProgramFolder(dir.File("bin"), dir.File("file/share"), dir.Path());
    EXPECT_EQ(info.path, dir.File("file/share/tk530"));
    EXPECT_FALSE(info.portable);
    EXPECT_EQ(info.error, dir.File("file") + ": není složka");

    // The Data lock then names the same cause, never another program.
    tk::SetProgramFolder(info.path);
    tk::CDataLock lock;
    EXPECT_FALSE(lock.Acquire());
    EXPECT_FALSE(lock.Busy());
    EXPECT_EQ(lock.Error(), info.path + "/Data: není složka");
    EXPECT_EQ(lock.Error().find("používá jiná"), std::string::npos);
}

TEST(ProgramFolder, AReadOnlyFolderIsNotPortable) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders (the package test covers it)";
    TempDir dir;
    std::filesystem::create_directories(dir.File("ro"));
    ASSERT_EQ(::chmod(dir.File("ro").c_str(), 0555), 0);
    const tk::ProgramFolderInfo info =
        tk::ResolveProgramFolder(dir.File("ro"), dir.File("xdg"), dir.Path());
    EXPECT_EQ(info.path, dir.File("xdg/tk530"));
    EXPECT_FALSE(info.portable);
    ::chmod(dir.File("ro").c_str(), 0755);
}
