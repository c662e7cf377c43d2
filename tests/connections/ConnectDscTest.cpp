#include "connections/ConnectDsc.h"

#include "connections/ComSetRules.h"
#include "link/PortRules.h"

#include "base/ProgramFolder.h"
#include "tests/support/DiskFull.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Bytes = std::vector<uint8_t>;

CConnectDsc Dsc(const std::string& num, const char* pin = "1234") {
    CConnectDsc d;
    d.SetNum(num.c_str());
    d.SetPIN(pin);
    return d;
}

// A file with the given header and `records` whole records after it.
Bytes FileWith(uint8_t version, uint8_t declared, int records) {
    Bytes b = {version, 0, 0, 0, 0, 0, 0, 0, declared, 0, 0, 0};
    for (int i = 0; i < records; ++i)
        b.insert(b.end(), 25, static_cast<uint8_t>(i % 2 ? '5' : 0));
    return b;
}

class ConnectDscTest : public ::testing::Test {
protected:
    void SetUp() override {
        tk::SetProgramFolder(m_dir.Path());
        ::mkdir(m_dir.File("Data").c_str(), 0755);
    }
    std::string File() const { return m_dir.File("Data/Connection.dat"); }

    // Loads a damaged file over a list that had content: nothing of either remains.
    void ExpectDamaged(const Bytes& bytes) {
        WriteFileBytes(File(), bytes);
        CConnectDscMng m;
        m.Add(Dsc("1"));
        m.SetSel(0);
        EXPECT_EQ(m.Load(), 0);
        EXPECT_EQ(m.GetCount(), 0);
        EXPECT_EQ(m.GetSel(), -1);
        // Before the empty list is saved over it, the damaged file is kept beside it.
        bool kept = false;
        for (const std::string& name : ListFolder(m_dir.File("Data"))) {
            if (name.rfind("Connection.dat.damaged-", 0) == 0)
                kept |= ReadFileBytes(m_dir.File("Data/" + name)) == bytes;
        }
        EXPECT_TRUE(kept);
    }

    TempDir m_dir;
};

} // namespace

TEST(ConnectDsc, TextsAreCutToTheirFields) {
    CConnectDsc d;
    EXPECT_STREQ(d.m_szNum, "");
    d.SetPIN("123456789");
    EXPECT_STREQ(d.m_szPIN, "12345678");
    d.SetNum("+420 123 456 789 000"); // 20 characters, as the dialog allows
    EXPECT_EQ(std::string(d.m_szNum), "+420 123 456 78");
    EXPECT_STREQ(d.m_szPIN, "12345678"); // the number did not run into the PIN
}

TEST(ConnectDscMng, ListOperations) {
    CConnectDscMng m;
    for (int i = 0; i < CONNECT_MAX; ++i)
        ASSERT_EQ(m.Add(Dsc(std::to_string(i))), i);
    EXPECT_EQ(m.Add(Dsc("full")), -1);
    EXPECT_EQ(m.GetCount(), CONNECT_MAX);
    EXPECT_EQ(m.Get(-1), nullptr);

    m.SetSel(99);
    m.Delete(99); // the chosen one: the index stays and now names none
    EXPECT_EQ(m.GetSel(), 99);
    EXPECT_EQ(m.Get(m.GetSel()), nullptr);
    m.Delete(-1);
    m.Delete(99);
    m.Delete(0); // the gap closes
    EXPECT_EQ(m.GetCount(), 98);
    EXPECT_STREQ(m.Get(0)->m_szNum, "1");
    m.Clear();
    EXPECT_EQ(m.GetSel(), -1);
}

TEST_F(ConnectDscTest, SaveCreatesTheDataFolderAndAPrivateFileThatLoadsBack) {
    ::rmdir(m_dir.File("Data").c_str());
    CConnectDscMng m;
    m.Add(Dsc("123456789012345", "87654321")); // both fields full
    m.Add(Dsc("777", ""));
    m.SetSel(1);
    ASSERT_EQ(m.Save(), 1);

    struct stat st {};
    ASSERT_EQ(::stat(File().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    Bytes expected = {1, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0};
    const char records[50] = "123456789012345\0"
                             "87654321\0"
                             "777";
    expected.insert(expected.end(), records, records + 50);
    EXPECT_EQ(ReadFileBytes(File()), expected);

    CConnectDscMng n;
    ASSERT_EQ(n.Load(), 1);
    ASSERT_EQ(n.GetCount(), 2);
    EXPECT_EQ(n.GetSel(), 1);
    EXPECT_STREQ(n.Get(0)->m_szNum, "123456789012345");
    EXPECT_STREQ(n.Get(0)->m_szPIN, "87654321");
    EXPECT_STREQ(n.Get(1)->m_szNum, "777");
}

TEST_F(ConnectDscTest, ADamagedFileLeavesAnEmptyList) {
    ExpectDamaged(FileWith(2, 1, 1));             // another version
    ExpectDamaged(Bytes{1, 0, 0, 0, 0, 0, 0, 0}); // header cut short
    ExpectDamaged(FileWith(1, 3, 2));             // 3 declared, 2 present
    ExpectDamaged(FileWith(1, 101, 101));         // more than the list holds
    Bytes partial = FileWith(1, 1, 1);
    partial.pop_back();
    ExpectDamaged(partial);

    // A text without its end is cut inside its field.
    WriteFileBytes(File(), FileWith(1, 100, 100));
    CConnectDscMng m;
    EXPECT_EQ(m.Load(), 1);
    EXPECT_EQ(m.GetCount(), 100);
    EXPECT_EQ(std::string(m.Get(1)->m_szNum), std::string(15, '5'));
    EXPECT_EQ(std::string(m.Get(1)->m_szPIN), std::string(8, '5'));
}

TEST_F(ConnectDscTest, AFailedSaveKeepsTheOldFile) {
    CConnectDscMng m;
    m.Add(Dsc("111"));
    ASSERT_EQ(m.Save(), 1);
    const Bytes old = ReadFileBytes(File());
    for (int i = 0; i < 50; ++i)
        m.Add(Dsc("222"));
    // A full disk: no file grows beyond 100 bytes.
    EXPECT_EQ(RunWithFileSizeLimit(100, [&m] { return m.Save(); }), 0);
    EXPECT_EQ(ReadFileBytes(File()), old);
    EXPECT_EQ(ListFolder(m_dir.File("Data")), std::vector<std::string>{"Connection.dat"});

    tk::SetProgramFolder(m_dir.File("missing"));
    EXPECT_EQ(m.Save(), 0);
    tk::SetProgramFolder(m_dir.File("Data/Connection.dat")); // Data cannot be made there
    EXPECT_EQ(m.Save(), 0);
    EXPECT_EQ(ReadFileBytes(File()), old);
}

TEST_F(ConnectDscTest, BytesInMemoryLoadAsTheFileDoesAndSaveAsItIsWritten) {
    CConnectDscMng m;
    m.Add(Dsc("603123456", "0000"));
    m.Add(Dsc("777"));
    m.SetSel(1);
    ASSERT_EQ(m.Save(), 1);
    Bytes bytes = m.SaveBytes();
    EXPECT_EQ(bytes, ReadFileBytes(File()));

    bytes.push_back(0xAB); // bytes after the last record do not matter
    CConnectDscMng n;
    ASSERT_EQ(n.LoadBytes(bytes.data(), bytes.size()), 1);
    ASSERT_EQ(n.GetCount(), 2);
    EXPECT_EQ(n.GetSel(), 1);
    EXPECT_STREQ(n.Get(0)->m_szNum, "603123456");
    EXPECT_STREQ(n.Get(1)->m_szPIN, "1234");

    // A damaged buffer empties the list like a damaged file.
    bytes.resize(bytes.size() - 2);
    EXPECT_EQ(n.LoadBytes(bytes.data(), bytes.size()), 0);
    EXPECT_EQ(n.GetCount(), 0);
    EXPECT_EQ(n.GetSel(), -1);
    EXPECT_EQ(n.LoadBytes(nullptr, 12), 0);
}

// The dialogs' rules: "Spojit", the buttons of the connection list, the selection after a
// delete and the modem the profile names after a modem is deleted.
TEST(ComSetRulesTest, ButtonsAndSelectionFollowTheListAndTheFields) {
    struct Connect {
        bool modem;
        bool numberEmpty;
        size_t pin;
        bool enabled;
    };
    for (const Connect& c : {Connect{true, false, 3, false}, Connect{true, false, 4, true},
                             Connect{true, false, 8, true}, Connect{false, false, 8, false},
                             Connect{true, true, 8, false}})
        EXPECT_EQ(CanConnectRemote(c.modem, c.numberEmpty, c.pin), c.enabled)
            << c.modem << c.numberEmpty << c.pin;

    struct Buttons {
        int count, selected;
        bool add, del;
    };
    for (const Buttons& b :
         {Buttons{0, -1, true, false}, Buttons{3, 1, true, true}, Buttons{3, 3, true, false},
          Buttons{99, -1, true, false}, Buttons{100, 0, false, true}}) {
        const ConnListButtons got = ConnListButtonsFor(b.count, b.selected);
        EXPECT_EQ(got.add, b.add) << b.count << "/" << b.selected;
        EXPECT_EQ(got.del, b.del) << b.count << "/" << b.selected;
        EXPECT_EQ(got.set, b.del) << b.count << "/" << b.selected;
    }

    struct AfterDelete {
        int deleted, countBefore, selected;
    };
    for (const AfterDelete& d :
         {AfterDelete{2, 3, 1}, AfterDelete{0, 3, 0}, AfterDelete{1, 3, 1}, AfterDelete{0, 1, -1},
          AfterDelete{-1, 3, -1}, AfterDelete{3, 3, -1}})
        EXPECT_EQ(SelectionAfterDelete(d.deleted, d.countBefore), d.selected)
            << d.deleted << " of " << d.countBefore;

    EXPECT_EQ(ModemIndexAfterDelete(2, 0), 1);  // the same modem, one place up
    EXPECT_EQ(ModemIndexAfterDelete(0, 2), 0);  // before the deleted one: unchanged
    EXPECT_EQ(ModemIndexAfterDelete(1, 1), -1); // the deleted one is no longer chosen
    EXPECT_EQ(ModemIndexAfterDelete(-1, 0), -1);
}

TEST(ComSetRulesTest, PortBoxEntriesStoreTheDevicePathAndTypedTextAsTyped) {
    SerialPortInfo usb;
    usb.m_strPath = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";
    usb.m_strDevice = "/dev/ttyUSB0";
    usb.m_strDescription = "FTDI FT232R (ttyUSB0)";
    SerialPortInfo uart;
    uart.m_strPath = uart.m_strDevice = "/dev/ttyS4";
    uart.m_strDescription = "ttyS4";
    const std::vector<PortChoice> choices = PortChoices({usb, uart});
    ASSERT_EQ(choices.size(), 6u);
    EXPECT_EQ(choices[0].m_strText, "COM1");
    EXPECT_EQ(choices[3].m_strPath, "COM4");
    EXPECT_EQ(choices[4].m_strText, "FTDI FT232R (ttyUSB0) \u2014 /dev/ttyUSB0");
    EXPECT_EQ(PortFromBoxText(choices[4].m_strText, choices), usb.m_strPath);
    EXPECT_EQ(PortFromBoxText(choices[5].m_strText, choices), "/dev/ttyS4");
    EXPECT_EQ(PortFromBoxText("COM2", choices), "COM2");
    EXPECT_EQ(PortFromBoxText("/dev/ttyACM7", choices), "/dev/ttyACM7");
    EXPECT_EQ(PortFromBoxText("", choices), "");
}

// The window and tk530ctl each change the list they read; the window saves last. The file
// keeps the other program's change and gets the window's own changes made over it.
TEST_F(ConnectDscTest, SavedChangesGoOverWhatTheOtherProgramSavedMeanwhile) {
    using Edit = std::function<void(CConnectDscMng&)>;
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    const auto pin = [](int i, const char* p) {
        return [i, p](CConnectDscMng& m) { m.Get(i)->SetPIN(p); };
    };
    const auto add = [](const char* num) {
        return [num](CConnectDscMng& m) { m.Add(Dsc(num, "3333")); };
    };
    const auto del = [](int i) { return [i](CConnectDscMng& m) { m.Delete(i); }; };
    const auto sel = [](int i) { return [i](CConnectDscMng& m) { m.SetSel(i); }; };
    struct Case {
        const char* what;
        Edit window, ctl;
        Pairs file;
        int chosen;
    };
    const Case cases[] = {
        {"added here, a PIN corrected there",
         add("333"),
         pin(1, "2929"),
         {{"111", "1111"}, {"222", "2929"}, {"333", "3333"}},
         0},
        {"a PIN changed here, added there",
         pin(0, "1919"),
         add("444"),
         {{"111", "1919"}, {"222", "2222"}, {"444", "3333"}},
         0},
        {"removed here, a PIN corrected there", del(0), pin(1, "2929"), {{"222", "2929"}}, 0},
        {"changed here, removed there",
         pin(1, "2929"),
         del(1),
         {{"111", "1111"}, {"222", "2929"}},
         0},
        {"chosen here, the one before removed there", sel(1), del(0), {{"222", "2222"}}, 0},
        {"chosen there, a PIN changed here",
         pin(1, "2929"),
         sel(1),
         {{"111", "1111"}, {"222", "2929"}},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CConnectDscMng first;
        first.Add(Dsc("111", "1111"));
        first.Add(Dsc("222", "2222"));
        first.SetSel(0);
        ASSERT_EQ(first.Save(), 1);
        CConnectDscMng window, ctl;
        ASSERT_EQ(window.Load(), 1);
        ASSERT_EQ(ctl.Load(), 1);
        c.window(window);
        c.ctl(ctl);
        ASSERT_EQ(ctl.SaveChanges(), 1);
        ASSERT_EQ(window.SaveChanges(), 1);

        CConnectDscMng disk;
        ASSERT_EQ(disk.Load(), 1);
        Pairs file;
        for (int i = 0; i < disk.GetCount(); ++i)
            file.emplace_back(disk.Get(i)->m_szNum, disk.Get(i)->m_szPIN);
        EXPECT_EQ(file, c.file);
        EXPECT_EQ(disk.GetSel(), c.chosen);
        // The window goes on with the list it saved.
        EXPECT_EQ(window.SaveBytes(), disk.SaveBytes());
        EXPECT_FALSE(window.ChangedHere());
    }
}
