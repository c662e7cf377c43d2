#include "link/ModemList.h"

#include "base/ProgramFolder.h"
#include "link/TAPIMng.h"
#include "tests/support/PtyPair.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class ModemListTest : public ::testing::Test {
protected:
    void SetUp() override { tk::SetProgramFolder(m_dir.Path()); }

    static CModemInf Gsm() {
        CModemInf m = MakeModemInf("GSM modem \xE8\xE1st", "/dev/serial/by-id/usb-X-if00");
        std::strcpy(m.m_szInit, "AT&F");
        m.m_bGsm = true;
        std::strcpy(m.m_szBearer, "AT+CBST=71,0,1");
        return m;
    }

    TempDir m_dir;
};

void ExpectSame(const CModemInf& a, const CModemInf& b) {
    EXPECT_STREQ(a.m_szName, b.m_szName);
    EXPECT_STREQ(a.m_szDevice, b.m_szDevice);
    EXPECT_STREQ(a.m_szInit, b.m_szInit);
    EXPECT_EQ(a.m_bGsm, b.m_bGsm);
    EXPECT_STREQ(a.m_szBearer, b.m_szBearer);
}

} // namespace

TEST_F(ModemListTest, SavedListReadsBackTheSame) {
    CModemMng list;
    const CModemInf plain = MakeModemInf("Office modem", "/dev/ttyS0");
    ASSERT_EQ(list.Add(plain), 0);
    ASSERT_EQ(list.Add(Gsm()), 1);
    ASSERT_TRUE(list.Save()); // creates the Data folder
    EXPECT_TRUE(FileExists(tk::DataFile("Modems.dat")));

    CTAPIMng tapi;
    ASSERT_EQ(tapi.Init(), 0);
    EXPECT_EQ(tapi.LoadResult(), CModemMng::LoadResult::Loaded);
    ASSERT_EQ(tapi.GetModemCount(), 2u);
    ExpectSame(*tapi.GetModem(0), plain);
    ExpectSame(*tapi.GetModem(1), Gsm());
    EXPECT_EQ(tapi.GetModem(0)->m_nDeviceId, 0);
    EXPECT_EQ(tapi.GetModem(1)->m_nDeviceId, 1);
    EXPECT_EQ(tapi.GetModem(2), nullptr);
    EXPECT_EQ(ModemBearer(*tapi.GetModem(0)), DEFAULT_GSM_BEARER);
    EXPECT_EQ(ModemBearer(*tapi.GetModem(1)), "AT+CBST=71,0,1");
}

TEST_F(ModemListTest, MissingFileGivesAnEmptyList) {
    CTAPIMng tapi;
    EXPECT_EQ(tapi.Init(), 0);
    EXPECT_EQ(tapi.LoadResult(), CModemMng::LoadResult::Missing);
    EXPECT_EQ(tapi.GetModemCount(), 0u);
}

TEST_F(ModemListTest, DamagedFilesGiveAnEmptyList) {
    const std::string head = "TK530 modem list 1\n";
    const std::string good = "[modem]\nname=A\ndevice=/dev/ttyS0\n";
    const std::string damaged[] = {
        "",
        "TK530 modem list 2\n" + good,
        head + "name=A\n" + good,                     // a key outside an entry
        head + good + "garbage line\n",               // neither key nor section
        head + "[modem]\nname=A\n",                   // no device
        head + "[modem]\nname=\ndevice=/dev/ttyS0\n", // no name
        head + "[modem]\nname=" + std::string(32, 'N') + "\ndevice=/dev/ttyS0\n",
        head + good + "gsm=2\n",
        head + good + "name=B\n",                 // twice the same key
        head + good + "init=AT\x01Z\n",           // a control character
        head + "[modem]\nname=A\ndevice=ttyS0\n", // not an absolute path
        head + std::string("[modem]\nname=A\0B\ndevice=/dev/ttyS0\n", 35),
        std::string(200000, '#'),
    };
    for (const std::string& text : damaged) {
        WriteFileBytes(m_dir.File("list.dat"), std::vector<uint8_t>(text.begin(), text.end()));
        CModemMng list;
        ASSERT_EQ(list.Add(MakeModemInf("old", "/dev/ttyS1")), 0);
        EXPECT_EQ(list.LoadFile(m_dir.File("list.dat")), CModemMng::LoadResult::Damaged) << text;
        EXPECT_EQ(list.Count(), 0u) << text;
    }
}

TEST_F(ModemListTest, ToleratesWindowsLineEndsCommentsAndKeysOfLaterVersions) {
    CModemMng list;
    const std::string text = "TK530 modem list 1\r\n# mine\r\n\r\n[modem]\r\nname=A\r\n"
                             "device=/dev/ttyUSB0\r\nspeed=115200\r\ngsm=1\r\n";
    ASSERT_EQ(list.Parse(text), CModemMng::LoadResult::Loaded);
    ASSERT_EQ(list.Count(), 1u);
    EXPECT_STREQ(list.Get(0)->m_szDevice, "/dev/ttyUSB0");
    EXPECT_TRUE(list.Get(0)->m_bGsm);
    EXPECT_EQ(ModemBearer(*list.Get(0)), DEFAULT_GSM_BEARER); // no bearer given
}

TEST_F(ModemListTest, EditingValidatesAndRenumbers) {
    CModemMng list;
    CModemInf bad = MakeModemInf("A", "/dev/ttyS0");
    std::strcpy(bad.m_szInit, "AT&F\rATD123;"); // would smuggle in a voice call
    EXPECT_EQ(list.Add(bad), ML_BAD_INIT);
    EXPECT_EQ(list.Add(MakeModemInf(" ", "/dev/ttyS0")), ML_BAD_NAME);
    EXPECT_EQ(list.Add(MakeModemInf("A", "ttyS0")), ML_BAD_DEVICE);
    EXPECT_EQ(list.Count(), 0u);
    // Over-long texts are cut to their fields.
    EXPECT_EQ(std::strlen(MakeModemInf(std::string(40, 'N'), "/d").m_szName), 31u);

    for (const char* name : {"A", "B", "C"})
        ASSERT_GE(list.Add(MakeModemInf(name, "/dev/ttyS0")), 0);
    EXPECT_EQ(list.Remove(0), 0);
    EXPECT_EQ(list.Remove(5), ML_BAD_INDEX);
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_STREQ(list.Get(0)->m_szName, "B");
    EXPECT_EQ(list.Get(1)->m_nDeviceId, 1);
    EXPECT_EQ(list.Set(1, MakeModemInf("D", "/dev/ttyUSB1")), 1);
    EXPECT_STREQ(list.Get(1)->m_szName, "D");
    EXPECT_EQ(list.Set(2, MakeModemInf("E", "/dev/ttyS0")), ML_BAD_INDEX);
}

TEST_F(ModemListTest, SaveFailsWhenTheDataFolderCannotBeMade) {
    WriteFileBytes(m_dir.File("plain"), {'x'});
    tk::SetProgramFolder(m_dir.File("plain"));
    CModemMng list;
    ASSERT_EQ(list.Add(MakeModemInf("A", "/dev/ttyS0")), 0);
    EXPECT_FALSE(list.Save());
}

// The dialogs mark a modem whose device cannot be used: gone, not allowed, or no device at all.
TEST_F(ModemListTest, AModemDeviceThatCannotBeUsedIsNamedWhy) {
    PtyPair pty;
    EXPECT_EQ(ModemDeviceProblem(MakeModemInf("USB", pty.SlavePath())), "");
    EXPECT_EQ(ModemDeviceProblem(MakeModemInf("USB", m_dir.File("ttyUSB4"))),
              "zařízení neexistuje");
    const std::string link = m_dir.File("usb-Modem-if00");
    ASSERT_EQ(::symlink("/dev/tk530-unplugged", link.c_str()), 0);
    EXPECT_EQ(ModemDeviceProblem(MakeModemInf("USB", link)), "zařízení neexistuje");
    WriteFileBytes(m_dir.File("plain"), {1});
    EXPECT_EQ(ModemDeviceProblem(MakeModemInf("File", m_dir.File("plain"))),
              "není sériové zařízení");
    if (::geteuid() != 0) { // root may open everything
        ASSERT_EQ(::chmod(m_dir.File("plain").c_str(), 0), 0);
        EXPECT_EQ(ModemDeviceProblem(MakeModemInf("File", m_dir.File("plain"))), "chybí oprávnění");
    }
}
