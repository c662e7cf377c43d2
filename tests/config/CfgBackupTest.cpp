#include "config/CfgBackup.h"

#include "base/ProgramFolder.h"
#include "config/TK630Cfg.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

SysTime At(uint16_t year, uint16_t month, uint16_t day, uint16_t hour, uint16_t minute,
           uint16_t second) {
    return SysTime{year, month, 0, day, hour, minute, second, 0};
}

CfgImage ImageWith(uint8_t audioIn) {
    CfgImage image;
    SetDefaults(image);
    image.m_nAIn = audioIn;
    return image;
}

struct Backups : ::testing::Test {
    TempDir dir;
    void SetUp() override { tk::SetProgramFolder(dir.Path()); }
    std::string Folder() const { return dir.File("Data/Backups"); }
    std::vector<std::string> Of(const std::string& prefix) const {
        std::vector<std::string> names;
        for (const std::string& n : ListFolder(Folder()))
            if (n.rfind(prefix, 0) == 0)
                names.push_back(n);
        return names;
    }
};

} // namespace

TEST_F(Backups, AreConfigurationFilesNamedBySerialNumberAndTimeAndNeverOverwritten) {
    const SysTime when = At(2026, 12, 8, 14, 5, 9);
    EXPECT_EQ(CfgBackupName(4000000000u, when), "4000000000_2026-12-08_14-05-09.cfg");
    std::vector<std::string> paths(3);
    for (uint8_t i = 0; i < 3; ++i) // the first creates Data/Backups
        ASSERT_TRUE(
            SaveConfigBackup(ImageWith(static_cast<uint8_t>(10 + i)), 12345, when, &paths[i]));
    EXPECT_EQ(paths[0], Folder() + "/00012345_2026-12-08_14-05-09.cfg");
    EXPECT_EQ(paths[1], Folder() + "/00012345_2026-12-08_14-05-09_2.cfg");
    EXPECT_EQ(paths[2], Folder() + "/00012345_2026-12-08_14-05-09_3.cfg");
    EXPECT_EQ(ListFolder(Folder()).size(), 3u);
    for (uint8_t i = 0; i < 3; ++i) {
        CTK630Cfg cfg;
        ASSERT_EQ(cfg.LoadFile(paths[i]), 1);
        EXPECT_EQ(cfg.GetImage()->m_nAIn, 10 + i);
    }
}

// The unit's configuration kept before a write is a backup like any other (listed, pruned
// with its unit, never overwritten) and says when it was taken.
TEST_F(Backups, ABackupTakenBeforeAWriteIsMarkedAndCountsWithItsUnit) {
    const SysTime when = At(2026, 12, 8, 14, 5, 9);
    std::string read, before1, before2;
    ASSERT_TRUE(SaveConfigBackup(ImageWith(1), 7, when, &read));
    ASSERT_TRUE(SaveConfigBackup(ImageWith(2), 7, when, &before1, true));
    ASSERT_TRUE(SaveConfigBackup(ImageWith(3), 7, when, &before2, true));
    EXPECT_EQ(before1, Folder() + "/00000007_2026-12-08_14-05-09_pred-zapisem.cfg");
    EXPECT_EQ(before2, Folder() + "/00000007_2026-12-08_14-05-09_pred-zapisem_2.cfg");
    // A mark in the wrong place makes a foreign file, which is neither listed nor deleted.
    WriteFileBytes(Folder() + "/00000007_2026-12-08_14-05-09_2_pred-zapisem.cfg", {1});
    const std::vector<CfgBackupInfo> list = ListConfigBackups();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].path, before2);
    EXPECT_TRUE(list[0].beforeWrite);
    EXPECT_EQ(list[0].suffix, 2u);
    EXPECT_EQ(list[1].path, before1);
    EXPECT_EQ(list[2].path, read);
    EXPECT_FALSE(list[2].beforeWrite);
    for (uint16_t i = 0; i < 50; ++i)
        ASSERT_TRUE(SaveConfigBackup(ImageWith(1), 7, At(2027, 1, 1, 10, i, 0), nullptr, i % 2));
    EXPECT_EQ(Of("00000007_").size(), 51u); // 50 backups and the foreign file
    EXPECT_FALSE(FileExists(before2));
}

TEST_F(Backups, TheNewestFiftyOfAUnitAreKeptAndOtherFilesAreLeftAlone) {
    ASSERT_TRUE(SaveConfigBackup(ImageWith(1), 99, At(2020, 1, 1, 0, 0, 0))); // other unit
    ASSERT_TRUE(SaveConfigBackup(ImageWith(1), 99, At(2020, 1, 1, 0, 0, 0)));
    // 51 backups of unit 5: one a minute, and two more in the first minute, whose suffixes
    // count as numbers ("_10" is newer than "_2").
    auto name5 = [](int minute, const char* suffix) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "00000005_2025-06-01_10-%02d-00%s.cfg", minute, suffix);
        return std::string(buf);
    };
    for (int minute = 0; minute < 49; ++minute)
        WriteFileBytes(Folder() + "/" + name5(minute, ""), {1});
    WriteFileBytes(Folder() + "/" + name5(0, "_2"), {1});
    WriteFileBytes(Folder() + "/" + name5(0, "_10"), {1});
    // Files that merely look alike are not backups and stay.
    const std::vector<std::string> foreign = {"00000005_notes.txt",
                                              "00000005_2020-01-01_00-00-00_x.cfg",
                                              "00000005_2020-01-01_00-00-00_01.cfg",
                                              "000000050_2020-01-01_00-00-00.cfg",
                                              "00000005_2020-1-01_00-00-00.cfg",
                                              "00000005_2020-01-01_00-00-00_1.cfg"};
    for (const std::string& name : foreign)
        WriteFileBytes(Folder() + "/" + name, {1});

    std::string path;
    ASSERT_TRUE(SaveConfigBackup(ImageWith(1), 5, At(2025, 6, 1, 11, 0, 0), &path));
    EXPECT_TRUE(FileExists(path));
    EXPECT_FALSE(FileExists(Folder() + "/" + name5(0, "")));
    EXPECT_FALSE(FileExists(Folder() + "/" + name5(0, "_2")));
    EXPECT_TRUE(FileExists(Folder() + "/" + name5(0, "_10")));
    EXPECT_TRUE(FileExists(Folder() + "/" + name5(1, "")));
    EXPECT_EQ(Of("00000005_").size(), 50 + foreign.size() - 1); // one foreign name is 000000050
    for (const std::string& name : foreign)
        EXPECT_TRUE(FileExists(Folder() + "/" + name)) << name;
    EXPECT_EQ(Of("00000099_").size(), 2u);

    // The list the backups command shows: only real backups, the newest first; a link named
    // like one (to a file elsewhere) is none.
    WriteFileBytes(dir.File("elsewhere.cfg"), std::vector<uint8_t>(CFG_FILE_SIZE, 0));
    ASSERT_EQ(::symlink(dir.File("elsewhere.cfg").c_str(),
                        (Folder() + "/00000077_2030-01-01_00-00-00.cfg").c_str()),
              0);
    const std::vector<CfgBackupInfo> list = ListConfigBackups();
    ASSERT_EQ(list.size(), 52u);
    EXPECT_EQ(list[0].path, path);
    EXPECT_EQ(list[0].serialNumber, 5u);
    EXPECT_EQ(list[0].time, At(2025, 6, 1, 11, 0, 0));
    EXPECT_EQ(list[0].size, CFG_FILE_SIZE);
    EXPECT_EQ(list[1].name, name5(48, ""));
    EXPECT_EQ(list[49].name, name5(0, "_10"));
    EXPECT_EQ(list[49].suffix, 10u);
    EXPECT_EQ(list[50].name, "00000099_2020-01-01_00-00-00_2.cfg");
    EXPECT_EQ(list[51].serialNumber, 99u);
}

TEST_F(Backups, TheNewBackupIsKeptEvenWhenTheClockWasSetBack) {
    for (uint16_t i = 0; i < 50; ++i)
        ASSERT_TRUE(SaveConfigBackup(ImageWith(1), 5, At(2025, 6, 1, 10, i, 0)));
    std::string path;
    ASSERT_TRUE(SaveConfigBackup(ImageWith(2), 5, At(2001, 1, 1, 0, 0, 0), &path));
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ(Of("00000005_").size(), 50u);
    EXPECT_FALSE(FileExists(Folder() + "/00000005_2025-06-01_10-00-00.cfg"));
}

TEST_F(Backups, FailWhenTheFolderCannotBeMade) {
    WriteFileBytes(dir.File("Data"), {1}); // a plain file where the Data folder belongs
    std::string path = "unchanged";
    EXPECT_FALSE(SaveConfigBackup(ImageWith(1), 5, At(2025, 6, 1, 10, 0, 0), &path));
    EXPECT_EQ(path, "unchanged");
}

TEST(CfgCompare, ReportsTheFirstDifferingByte) {
    Bytes a(CFG_DEVICE_SIZE, 0x11), b = a;
    size_t at = 12345;
    EXPECT_TRUE(CfgBuffersEqual(a.data(), b.data(), a.size(), &at));
    EXPECT_EQ(at, 12345u);
    b[1664] = 0;
    b[170] = 0;
    EXPECT_FALSE(CfgBuffersEqual(a.data(), b.data(), a.size(), &at));
    EXPECT_EQ(at, 170u);
    b[0] = 0;
    EXPECT_FALSE(CfgBuffersEqual(a.data(), b.data(), a.size()));
    EXPECT_TRUE(CfgBuffersEqual(a.data(), b.data(), 0));
}
