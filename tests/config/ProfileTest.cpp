#include "config/Profile.h"

#include "base/ProgramFolder.h"
#include "tests/support/DiskFull.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using Bytes = std::vector<uint8_t>;

void PutLE32(Bytes& b, int32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
}

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override { tk::SetProgramFolder(m_dir.Path()); }
    std::string File() const { return m_dir.File("Profile.dat"); }
    TempDir m_dir;
};

} // namespace

TEST_F(ProfileTest, DefaultsComeFromTheScreenAndReplaceAnyFileNotOfVersion3) {
    CProfile p;
    EXPECT_EQ(p.m_nWidth, 816); // 1024 x 768 until the screen is known
    p.m_nConnType = CONN_REMOTE;
    p.m_nPgCtlWidth = 1;
    p.SetScreenSize(1366, 768);
    WriteFileBytes(File(), {2, 0, 0, 0});
    EXPECT_EQ(p.Load(), PROFILE_ERR_LOAD);
    EXPECT_EQ(p.m_nConnType, CONN_LOCAL);
    EXPECT_EQ(p.m_bLog, 0);
    EXPECT_STREQ(p.m_szPort, "COM1");
    EXPECT_EQ(p.m_nModem, -1);
    EXPECT_EQ(p.m_nWidth, 1088); // divided by ten first: not 1092
    EXPECT_EQ(p.m_nHeight, 456);
    EXPECT_EQ(p.m_anColWidth[7], 300);
    EXPECT_EQ(p.m_nPgCtlWidth, 0); // the navigator decides
    ::unlink(File().c_str());
    EXPECT_EQ(p.Load(), PROFILE_ERR_LOAD);
}

TEST_F(ProfileTest, SavesTheEightyBytesAndReadsThemBack) {
    CProfile p;
    p.m_nConnType = CONN_REMOTE;
    p.m_bLog = 1;
    p.SetPort("/dev/ttyUSB01234"); // 16 characters
    p.m_nModem = 2;
    for (int i = 0; i < 9; ++i)
        p.m_anColWidth[i] = 50 + i;
    p.m_onBeforeSave = [](CProfile& self) {
        self.m_nWidth = 1000;
        self.m_nHeight = 700;
        self.m_nPgCtlWidth = 250;
    };
    ASSERT_EQ(p.Save(), PROFILE_OK);

    Bytes expected;
    for (int32_t v : {3, 2})
        PutLE32(expected, v);
    expected.push_back(1);
    const char port[19] = "/dev/ttyUSB01234";
    expected.insert(expected.end(), port, port + 19);
    for (int32_t v : {2, 1000, 700, 50, 51, 52, 53, 54, 55, 56, 57, 58, 250})
        PutLE32(expected, v);
    EXPECT_EQ(ReadFileBytes(File()), expected);

    CProfile q;
    ASSERT_EQ(q.Load(), PROFILE_OK);
    ASSERT_EQ(q.Save(), PROFILE_OK);
    EXPECT_EQ(ReadFileBytes(File()), expected);
}

TEST_F(ProfileTest, AShortOrDamagedFileGivesDefaultsForWhatItDoesNotHoldWhole) {
    Bytes b;
    PutLE32(b, 3);
    PutLE32(b, CONN_REMOTE);
    b.push_back(1);
    b.insert(b.end(), {'C', 'O', 'M'}); // half a port name is not taken
    WriteFileBytes(File(), b);
    CProfile p;
    EXPECT_EQ(p.Load(), PROFILE_OK);
    EXPECT_EQ(p.m_nConnType, CONN_REMOTE);
    EXPECT_EQ(p.m_bLog, 1);
    EXPECT_STREQ(p.m_szPort, "COM1");
    EXPECT_EQ(p.m_nModem, -1);

    b.resize(5 + 4);
    b.insert(b.end(), 23, 'X');                  // a port without its end, the modem index
    b.insert(b.end(), {0x84, 0x03, 0, 0, 0x10}); // the width, half of the height
    WriteFileBytes(File(), b);
    EXPECT_EQ(p.Load(), PROFILE_OK);
    EXPECT_EQ(std::string(p.m_szPort), std::string(18, 'X'));
    EXPECT_EQ(p.m_nWidth, 900);
    EXPECT_EQ(p.m_nHeight, 456);

    p.SetPort("/dev/serial/by-id/usb-FTDI-0001");
    EXPECT_EQ(std::string(p.m_szPort), "/dev/serial/by-id/");

    // An access that is neither local nor remote is the default, and flagged to be told.
    EXPECT_FALSE(p.m_bBadConnType);
    for (const int32_t bad : {0, 3, -1}) {
        b[4] = static_cast<uint8_t>(bad);
        b[5] = b[6] = b[7] = static_cast<uint8_t>(bad < 0 ? 0xFF : 0);
        WriteFileBytes(File(), b);
        EXPECT_EQ(p.Load(), PROFILE_OK);
        EXPECT_EQ(p.m_nConnType, CONN_LOCAL) << bad;
        EXPECT_TRUE(p.m_bBadConnType) << bad;
    }
}

TEST_F(ProfileTest, AFailedSaveKeepsTheOldFileAndNamesWhatWasNotWritten) {
    CProfile p;
    ASSERT_EQ(p.Save(), PROFILE_OK);
    const Bytes old = ReadFileBytes(File());
    p.m_nModem = 5;
    // A full disk, hit at the version, the connection record and the window record.
    for (const auto& [limit, code] : {std::pair<rlim_t, int>{0, PROFILE_ERR_CREATE},
                                      {20, PROFILE_ERR_CONN},
                                      {40, PROFILE_ERR_WINDOW}}) {
        EXPECT_EQ(RunWithFileSizeLimit(limit, [&p] { return p.Save(); }), code);
        EXPECT_EQ(ReadFileBytes(File()), old);
        EXPECT_EQ(ListFolder(m_dir.Path()), std::vector<std::string>{"Profile.dat"});
    }
    tk::SetProgramFolder(m_dir.File("Profile.dat")); // the folder is a plain file
    EXPECT_EQ(p.Save(), PROFILE_ERR_CREATE);
    tk::SetProgramFolder(m_dir.File("missing"));
    EXPECT_EQ(p.Save(), PROFILE_ERR_CREATE);
    EXPECT_EQ(ReadFileBytes(File()), old);
}

TEST_F(ProfileTest, BytesInMemoryLoadAsTheFileDoesAndSaveAsItIsWritten) {
    CProfile p;
    p.m_nConnType = CONN_REMOTE;
    p.SetPort("/dev/ttyUSB0");
    p.m_anColWidth[8] = 77;
    ASSERT_EQ(p.Save(), PROFILE_OK);
    uint8_t file[PROFILE_FILE_SIZE];
    p.SaveBytes(file);
    EXPECT_EQ(Bytes(file, file + sizeof file), ReadFileBytes(File()));

    Bytes longer(file, file + sizeof file);
    longer.push_back(0xFF); // bytes after the 80 do not matter
    CProfile q;
    ASSERT_EQ(q.LoadBytes(longer.data(), longer.size()), PROFILE_OK);
    EXPECT_EQ(q.m_nConnType, CONN_REMOTE);
    EXPECT_STREQ(q.m_szPort, "/dev/ttyUSB0");
    EXPECT_EQ(q.m_anColWidth[8], 77);

    // Cut inside the last column width: that value alone is the default.
    ASSERT_EQ(q.LoadBytes(file, 74), PROFILE_OK);
    EXPECT_EQ(q.m_anColWidth[8], 130);
    EXPECT_EQ(q.m_nPgCtlWidth, 0);
    EXPECT_STREQ(q.m_szPort, "/dev/ttyUSB0");

    EXPECT_EQ(q.LoadBytes(file, 3), PROFILE_ERR_LOAD);
    EXPECT_STREQ(q.m_szPort, "COM1");
    EXPECT_EQ(q.LoadBytes(nullptr, 80), PROFILE_ERR_LOAD);
}

// A /dev/serial/by-id name is longer than the profile's port field: it is kept whole beside
// Profile.dat, which keeps its 80 bytes and holds a marker no device is called.
TEST_F(ProfileTest, ALongPortPathSurvivesARestartAndGivesWayToAShortOne) {
    const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    ASSERT_GT(byId.size(), 60u);
    {
        CProfile p;
        ASSERT_EQ(p.SetPortPath(byId), PROFILE_OK);
        EXPECT_EQ(p.PortPath(), byId);
        EXPECT_FALSE(FileExists(m_dir.File(kPortFileName))); // a path for this run only
        p.m_nModem = 2;
        ASSERT_EQ(p.Save(), PROFILE_OK);
    }
    EXPECT_EQ(ReadFileBytes(File()).size(), PROFILE_FILE_SIZE);
    EXPECT_EQ(ReadFileText(m_dir.File(kPortFileName)), byId + "\n");
    CProfile q;
    ASSERT_EQ(q.Load(), PROFILE_OK);
    EXPECT_EQ(q.PortPath(), byId);
    EXPECT_STREQ(q.m_szPort, kPortMarker);
    EXPECT_EQ(q.m_nModem, 2);
    // Saved again (another setting changed), the path stays.
    q.m_bLog = 1;
    ASSERT_EQ(q.Save(), PROFILE_OK);
    CProfile r;
    ASSERT_EQ(r.Load(), PROFILE_OK);
    EXPECT_EQ(r.PortPath(), byId);

    // A short port after the long one: the short one, and the file beside goes.
    ASSERT_EQ(r.SetPortPath("/dev/ttyUSB0"), PROFILE_OK);
    EXPECT_EQ(r.PortPath(), "/dev/ttyUSB0");
    ASSERT_EQ(r.Save(), PROFILE_OK);
    EXPECT_FALSE(FileExists(m_dir.File(kPortFileName)));
    CProfile s;
    ASSERT_EQ(s.Load(), PROFILE_OK);
    EXPECT_EQ(s.PortPath(), "/dev/ttyUSB0");

    // 18 characters still fit the field; a line break cannot be kept and changes nothing.
    ASSERT_EQ(s.SetPortPath(std::string(18, 'p')), PROFILE_OK);
    EXPECT_EQ(std::string(s.m_szPort), std::string(18, 'p'));
    EXPECT_EQ(s.SetPortPath(byId + "\nCOM2"), PROFILE_ERR_PORT);
    EXPECT_EQ(s.PortPath(), std::string(18, 'p'));
}

TEST_F(ProfileTest, AMarkerWithoutItsFileGivesTheMarkerNotACrash) {
    const std::string byId = "/dev/serial/by-id/usb-Prolific_Technology_Inc._USB-Serial-if00";
    CProfile p;
    ASSERT_EQ(p.SetPortPath(byId), PROFILE_OK);
    ASSERT_EQ(p.Save(), PROFILE_OK);
    ASSERT_EQ(::unlink(m_dir.File(kPortFileName).c_str()), 0);
    CProfile q;
    ASSERT_EQ(q.Load(), PROFILE_OK);
    EXPECT_EQ(q.PortPath(), kPortMarker);          // opening it fails with a message that names it
    WriteFileBytes(m_dir.File(kPortFileName), {}); // empty: the same
    ASSERT_EQ(q.Load(), PROFILE_OK);
    EXPECT_EQ(q.PortPath(), kPortMarker);
    // Saving such a profile keeps the marker and invents no path.
    ASSERT_EQ(q.Save(), PROFILE_OK);
    CProfile r;
    ASSERT_EQ(r.Load(), PROFILE_OK);
    EXPECT_EQ(r.PortPath(), kPortMarker);
}

TEST_F(ProfileTest, TheReadBeforeWriteSwitchLivesBesideTheFixedLayout) {
    {
        CProfile p;
        EXPECT_TRUE(p.m_bReadBeforeWrite);
        p.m_bReadBeforeWrite = false;
        ASSERT_EQ(p.Save(), PROFILE_OK);
    }
    EXPECT_EQ(ReadFileBytes(File()).size(), PROFILE_FILE_SIZE);
    EXPECT_EQ(ReadFileText(m_dir.File(kOptionsFileName)), "read_before_write=0\n");
    CProfile q;
    ASSERT_EQ(q.Load(), PROFILE_OK);
    EXPECT_FALSE(q.m_bReadBeforeWrite);
    // Back at the default, the file goes; keys of another version and CR LF are borne.
    q.m_bReadBeforeWrite = true;
    ASSERT_EQ(q.Save(), PROFILE_OK);
    EXPECT_FALSE(FileExists(m_dir.File(kOptionsFileName)));
    const std::string other = "future=1\r\nread_before_write=0\r\n";
    WriteFileBytes(m_dir.File(kOptionsFileName), Bytes(other.begin(), other.end()));
    ASSERT_EQ(q.Load(), PROFILE_OK);
    EXPECT_FALSE(q.m_bReadBeforeWrite);
    // Saved here, the other version's key stays for it.
    ASSERT_EQ(q.Save(), PROFILE_OK);
    EXPECT_EQ(ReadFileText(m_dir.File(kOptionsFileName)), "read_before_write=0\nfuture=1\n");
    // A profile of another version gives the default, whatever the file beside says.
    WriteFileBytes(File(), {2, 0, 0, 0});
    EXPECT_EQ(q.Load(), PROFILE_ERR_LOAD);
    EXPECT_TRUE(q.m_bReadBeforeWrite);
    // A link planted in its place cannot switch the safety off.
    ASSERT_EQ(CProfile().Save(), PROFILE_OK);
    const std::string off = "read_before_write=0\n";
    WriteFileBytes(m_dir.File("elsewhere.txt"), Bytes(off.begin(), off.end()));
    ASSERT_EQ(::symlink(m_dir.File("elsewhere.txt").c_str(), m_dir.File(kOptionsFileName).c_str()),
              0);
    ASSERT_EQ(q.Load(), PROFILE_OK);
    EXPECT_TRUE(q.m_bReadBeforeWrite);
}

TEST_F(ProfileTest, DialogFoldersAreKeptPerKindAcrossARestartAndForgottenWhenGone) {
    ASSERT_EQ(::mkdir(m_dir.File("cfgs").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(m_dir.File("out").c_str(), 0755), 0);
    {
        CProfile p;
        EXPECT_EQ(p.LastFolder(FolderKind::Config), "");
        EXPECT_TRUE(p.NoteFolder(FolderKind::Config, m_dir.File("cfgs/a.cfg")));
        EXPECT_TRUE(p.NoteFolder(FolderKind::Export, m_dir.File("out/sms.txt")));
        EXPECT_FALSE(p.NoteFolder(FolderKind::Export, "bare.txt"));
        EXPECT_FALSE(p.NoteFolder(FolderKind::Export, m_dir.File("x\n/y.txt")));
        ASSERT_EQ(p.Save(), PROFILE_OK);
    }
    CProfile q;
    ASSERT_EQ(q.Load(), PROFILE_OK);
    EXPECT_EQ(q.LastFolder(FolderKind::Config), m_dir.File("cfgs"));
    EXPECT_EQ(q.LastFolder(FolderKind::Export), m_dir.File("out"));
    EXPECT_TRUE(q.m_bReadBeforeWrite); // the switch keeps its default beside the folders
    ASSERT_EQ(::rmdir(m_dir.File("out").c_str()), 0);
    EXPECT_EQ(q.LastFolder(FolderKind::Export), "");
    EXPECT_EQ(q.LastFolder(FolderKind::Config), m_dir.File("cfgs"));
}

// tk530ctl changes the connection record while the window runs. The window follows it, and at
// its end writes its sizes and only the connection fields it changed itself.
TEST_F(ProfileTest, TheWindowKeepsWhatAnotherProgramSetAndWritesBackOnlyItsOwnChanges) {
    ASSERT_EQ(CProfile().Save(), PROFILE_OK);
    CProfile window;
    ASSERT_EQ(window.Load(), PROFILE_OK);
    EXPECT_FALSE(window.SyncWithFile()); // nothing changed yet

    CProfile ctl;
    ASSERT_EQ(ctl.Load(), PROFILE_OK);
    const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";
    ASSERT_EQ(ctl.SetPortPath(byId), PROFILE_OK);
    ctl.m_nModem = 4;
    ASSERT_EQ(ctl.Save(), PROFILE_OK);

    // The user changed the modem here (a dialog) and the window's sizes: those are written.
    window.m_nModem = 1;
    window.m_nWidth = 777;
    ASSERT_TRUE(window.SyncWithFile());
    EXPECT_EQ(window.PortPath(), byId);
    EXPECT_EQ(window.m_nModem, 1);
    ctl.m_bLog = 1; // and one more change by tk530ctl before the window closes
    ASSERT_EQ(ctl.Save(), PROFILE_OK);
    ASSERT_EQ(window.SaveMerged(), PROFILE_OK);

    CProfile disk;
    ASSERT_EQ(disk.Load(), PROFILE_OK);
    EXPECT_EQ(disk.PortPath(), byId);
    EXPECT_EQ(disk.m_bLog, 1);
    EXPECT_EQ(disk.m_nModem, 1);
    EXPECT_EQ(disk.m_nWidth, 777);
}
