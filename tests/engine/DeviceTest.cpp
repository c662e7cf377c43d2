#include "app/Device.h"
#include "base/DataLock.h"
#include "base/ProgramFolder.h"
#include "config/Profile.h"
#include "sms/SMS.h"
#include "tests/support/RecordingUI.h"
#include "tests/support/TempDir.h"
#include "tools/sim/SimServer.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace {

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        tk::SetProgramFolder(m_dir.Path());
        ASSERT_TRUE(m_sim.Start());
        m_profile.SetPort(m_sim.SlavePath().c_str());
        m_device = std::make_unique<CTK630>(m_profile);
        m_device->m_Com.SetPauseMs(0);
        m_device->m_Com.SetSmsPollMs(5);
        m_device->m_Com.SetProgressSink(&m_ui);
        m_device->m_Com.SetEventSink(&m_ui);
        m_ui.onSendEvent = [this](const CComEvent& ev) -> uint32_t {
            if (ev.m_nCode == CE_SMS_RECEIVED)
                return m_device->OnSmsReceived(*ev.m_pSms);
            if (ev.m_nCode == CE_SMS_SENT)
                return m_device->OnSmsSent(static_cast<int>(ev.m_nArg));
            return 0;
        };
        ASSERT_EQ(m_device->Start(), 1u);
    }

    void TearDown() override {
        m_device.reset();
        m_sim.Stop();
    }

    void AddToSend(const char* numbers, const char* text) {
        CSMS sms;
        sms.SetNumbers(numbers);
        sms.SetText(text);
        ASSERT_GE(m_device->m_SMS.Add(sms, SMS_TOSEND), 0);
    }

    TempDir m_dir;
    CSimServer m_sim;
    CProfile m_profile;
    RecordingUI m_ui;
    std::unique_ptr<CTK630> m_device;
};

} // namespace

TEST_F(DeviceTest, SendingLeavesOutMessagesWithoutRecipientOrText) {
    AddToSend("", "no recipient");
    AddToSend("+420111", "");
    EXPECT_EQ(m_device->SendSms({0, 1}), 0u); // nothing to send: nothing queued
    EXPECT_FALSE(m_device->m_Com.IsBusy());
    AddToSend("+420222", "ok");
    ASSERT_EQ(m_device->SendSms({0, 1, 2}), 1u);
    ASSERT_TRUE(m_device->m_Com.WaitIdle(20000));
    EXPECT_TRUE(m_ui.Errors().empty());
    ASSERT_EQ(m_sim.Unit().SentMessages().size(), 1u);
    EXPECT_EQ(m_sim.Unit().SentMessages()[0].text, "ok");
    EXPECT_EQ(m_device->m_SMS.GetCount(SMS_TOSEND), 2);
    EXPECT_EQ(m_device->m_SMS.GetCount(SMS_SENT), 1);
}

TEST_F(DeviceTest, ReadSmsStoresTheMessagesAndTheFileHoldsThem) {
    SimSms s;
    s.time = GetLocalTime();
    s.number = "+420600";
    s.text = "ahoj";
    ASSERT_TRUE(m_sim.Unit().AddStoredSms(s));
    ASSERT_EQ(m_device->ReadSms(), 1u);
    ASSERT_TRUE(m_device->m_Com.WaitIdle(20000));
    EXPECT_EQ(m_device->m_SMS.GetCount(SMS_RECEIVED), 1);
    CSMSMng disk;
    ASSERT_EQ(disk.Load(), 1);
    ASSERT_EQ(disk.GetCount(SMS_RECEIVED), 1);
    EXPECT_STREQ(disk.Get(0, SMS_RECEIVED)->GetText(), "ahoj");
}

TEST_F(DeviceTest, SetTimeAndOutputsGoThroughTheQueue) {
    SysTime t{};
    t.wYear = 2030;
    t.wMonth = 1;
    t.wDay = 2;
    t.wHour = 3;
    t.wMinute = 4;
    t.wSecond = 5;
    ASSERT_EQ(m_device->SetTime(&t), 1u);
    EXPECT_EQ(m_device->SetTime(nullptr), LE_BUSY);
    ASSERT_TRUE(m_device->m_Com.WaitIdle(20000));
    EXPECT_EQ(m_device->m_Com.StatusSnapshot().m_Time.wYear, 2030);
    ASSERT_EQ(m_device->SetOutputs(0x03, 0xFF), 1u);
    ASSERT_TRUE(m_device->m_Com.WaitIdle(20000));
    EXPECT_EQ(m_sim.Unit().Outputs(), 0x03);
}

// One program at a time holds the lock, and only for its change: another waits for it as
// long as it is told, and is refused with a Czech message when it stays taken. Within one
// process a take inside a change that holds it shares it.
TEST(DataLock, AnotherProgramWaitsBrieflyAndIsRefusedWhenItStaysTaken) {
    TempDir dir;
    tk::SetProgramFolder(dir.Path());
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t other = ::fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        tk::CDataLock held;
        const char ok = held.Acquire() ? '1' : '0';
        (void)!::write(ready[1], &ok, 1);
        char go = 0;
        (void)!::read(release[0], &go, 1); // until the parent lets go
        ::usleep(300 * 1000);              // still held while the parent waits
        ::_exit(0);
    }
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, '1');
    EXPECT_TRUE(FileExists(dir.File("Data")));

    tk::CDataLock mine;
    EXPECT_FALSE(mine.Acquire(100));
    EXPECT_TRUE(mine.Busy());
    EXPECT_NE(mine.Error().find("jiný program"), std::string::npos) << mine.Error();
    (void)!::write(release[1], "g", 1);
    EXPECT_TRUE(mine.Acquire(tk::kDataLockWaitMs)); // the other's change ends meanwhile
    tk::CDataLock nested;
    EXPECT_TRUE(nested.Acquire());
    nested.Release();
    EXPECT_TRUE(mine.IsHeld());
    int status = 0;
    ::waitpid(other, &status, 0);
    for (const int fd : {ready[0], ready[1], release[0], release[1]})
        ::close(fd);
}

// A change a window makes in place, without saving it itself, survives the end of the program.
TEST_F(DeviceTest, TheStoreIsSavedWhenTheDeviceEnds) {
    CSMS sms;
    sms.SetNumbers("+420600");
    sms.SetText("přečtená");
    ASSERT_GE(m_device->m_SMS.Add(sms, SMS_RECEIVED), 0);
    ASSERT_GE(m_device->m_SMS.Add(sms, SMS_TOSEND), 0);
    m_device->m_SMS.Get(0, SMS_RECEIVED)->SetUnread(false);
    m_device->m_SMS.Get(0, SMS_TOSEND)->SetText("upravená");
    m_device.reset();
    CSMSMng disk;
    ASSERT_EQ(disk.Load(), 1);
    ASSERT_EQ(disk.GetCount(SMS_RECEIVED), 1);
    EXPECT_FALSE(disk.Get(0, SMS_RECEIVED)->IsUnread());
    ASSERT_EQ(disk.GetCount(SMS_TOSEND), 1);
    EXPECT_STREQ(disk.Get(0, SMS_TOSEND)->GetText(), "upravená");
}

// The editor's send button with an index the to-send list does not hold: -1, nothing queued
// (and so no "Nejsou žádné SMS k odeslání.").
TEST_F(DeviceTest, SendingAnEditedMessageThatIsNotThereGivesMinusOne) {
    AddToSend("+420111", "jedna");
    EXPECT_EQ(m_device->SendEdited(1), -1);
    EXPECT_EQ(m_device->SendEdited(-1), -1);
    EXPECT_FALSE(m_device->m_Com.IsBusy());
    EXPECT_EQ(m_device->SendEdited(0), 1);
    ASSERT_TRUE(m_device->m_Com.WaitIdle(20000));
    EXPECT_EQ(m_device->m_SMS.GetCount(SMS_SENT), 1);
}
