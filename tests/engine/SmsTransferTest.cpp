#include "tests/engine/EngineFixture.h"

#include "base/SafeFile.h"
#include "sms/SMS.h"
#include "sms/SMSMng.h"

#include <cerrno>
#include <memory>
#include <sys/stat.h>

class SmsTransferTest : public EngineTest {
protected:
    void StartStore(bool modem = false) {
        StartAll(modem);
        m_com->SetSmsStore(&m_store);
        // What the main window does with the two sent events.
        m_ui.onSendEvent = [this](const CComEvent& ev) -> uint32_t {
            if (ev.m_nCode == CE_SMS_RECEIVED) {
                const bool stored = m_store.StoreReceived(*ev.m_pSms) >= 0;
                if (onReceived)
                    onReceived();
                return stored ? 1 : 0;
            }
            if (ev.m_nCode == CE_SMS_SENT)
                return m_store.MoveAndShow(static_cast<int>(ev.m_nArg), SMS_TOSEND, SMS_SENT) >= 0;
            return 0;
        };
    }

    void AddToSend(const std::string& numbers, const std::string& text) {
        CSMS sms;
        sms.SetNumbers(numbers);
        sms.SetText(text);
        ASSERT_GE(m_store.Add(sms, SMS_TOSEND), 0);
    }

    static SimSms Stored(const std::string& number, const std::string& text, uint16_t day) {
        SimSms s;
        s.time.wYear = 2008;
        s.time.wMonth = 12;
        s.time.wDay = day;
        s.time.wHour = 14;
        s.time.wMinute = 5;
        s.time.wSecond = 9;
        s.number = number;
        s.text = text;
        return s;
    }

    void Send(std::vector<int32_t> indices) {
        m_indices = std::move(indices);
        Run({CM_SEND_SMS, reinterpret_cast<uintptr_t>(m_indices.data()),
             static_cast<uint32_t>(m_indices.size())});
    }

    CSMSMng m_store;
    std::vector<int32_t> m_indices;
    std::function<void()> onReceived;
};

TEST_F(SmsTransferTest, NoStoredMessageEndsAfterOneFrame) {
    StartStore();
    Run({CM_READ_SMS, 0, 0});
    EXPECT_TRUE(m_ui.Errors().empty());
    EXPECT_EQ(Commands(), (Codes{0x20, 0x23, 0x29, 0x22, 0x86}));
    EXPECT_EQ(m_store.GetCount(SMS_RECEIVED), 0);
}

TEST_F(SmsTransferTest, ThreeStoredMessagesAreFetchedAndAcknowledgedInOrder) {
    StartStore();
    for (uint16_t day = 1; day <= 3; ++day)
        ASSERT_TRUE(Unit().AddStoredSms(Stored("+420777000" + std::to_string(day), "zpráva", day)));
    Run({CM_READ_SMS, 0, 0});
    EXPECT_TRUE(m_ui.Errors().empty());
    EXPECT_EQ(Commands(),
              (Codes{0x20, 0x23, 0x29, 0x2A, 0x29, 0x2A, 0x29, 0x2A, 0x29, 0x22, 0x86}));
    ASSERT_EQ(m_store.GetCount(SMS_RECEIVED), 3);
    for (int i = 0; i < 3; ++i) {
        const CSMS* sms = m_store.Get(i, SMS_RECEIVED);
        EXPECT_EQ(sms->m_nDay, i + 1);
        EXPECT_EQ(sms->m_nYear, 8);
        EXPECT_STREQ(sms->GetNumber(0), ("+420777000" + std::to_string(i + 1)).c_str());
        EXPECT_TRUE(sms->IsUnread());
    }
    EXPECT_TRUE(Unit().StoredSms().empty());
}

TEST_F(SmsTransferTest, AMessageIsOnDiskBeforeTheUnitDeletesIt) {
    StartStore();
    ASSERT_TRUE(Unit().AddStoredSms(Stored("+420777000111", "důležité", 5)));
    bool checked = false;
    onReceived = [this, &checked] {
        // The unit has not been told to delete it yet, and "SMS.dat" already holds it.
        EXPECT_EQ(Unit().StoredSms().size(), 1u);
        CSMSMng fromDisk;
        EXPECT_EQ(fromDisk.Load(), 1);
        EXPECT_EQ(fromDisk.GetCount(SMS_RECEIVED), 1);
        checked = true;
    };
    Run({CM_READ_SMS, 0, 0});
    EXPECT_TRUE(checked);
    EXPECT_TRUE(Unit().StoredSms().empty());
}

TEST_F(SmsTransferTest, AFailedAcknowledgementStillKeepsTheMessage) {
    StartStore();
    m_com->SetTimeoutScale(3);
    ASSERT_TRUE(Unit().AddStoredSms(Stored("123", "text", 1)));
    Unit().AddFault({0x2A, SimFaultKind::NoAnswer, 0, 1});
    Run({CM_READ_SMS, 0, 0});
    EXPECT_EQ(m_ui.Errors(), (std::vector<std::pair<uint32_t, uint32_t>>{{LE_TIMEOUT, 0x2A}}));
    EXPECT_EQ(m_store.GetCount(SMS_RECEIVED), 1);
}

TEST_F(SmsTransferTest, ALongMessageToTwoRecipientsTakesFourFramesAndEightSteps) {
    StartStore();
    const std::string text(200, 'a');
    AddToSend("+420111, +420222", text);
    Send({0});
    EXPECT_TRUE(m_ui.Errors().empty());
    const auto sent = Unit().SentMessages();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0].number, "+420111");
    EXPECT_EQ(sent[0].text, std::string(160, 'a'));
    EXPECT_EQ(sent[1].number, "+420111");
    EXPECT_EQ(sent[1].text, std::string(40, 'a'));
    EXPECT_EQ(sent[2].number, "+420222");
    EXPECT_EQ(sent[3].text, std::string(40, 'a'));
    for (const auto& p : m_ui.Progress()) {
        if (p.type == PM_BEGIN && p.value == TXT_CAP_SEND_SMS) {
            EXPECT_EQ(p.value2, 8u);
        }
    }
    // Every send frame is followed by state polls until the unit reports it sent.
    const Codes codes = Commands();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 0x2B), 4);
    EXPECT_GE(std::count(codes.begin(), codes.end(), 0x2C), 4 * 3);
    EXPECT_EQ(m_store.GetCount(SMS_TOSEND), 0);
    EXPECT_EQ(m_store.GetCount(SMS_SENT), 1);
}

TEST_F(SmsTransferTest, A160CharacterTextIsOnePartA161CharacterTextTwo) {
    StartStore();
    AddToSend("+420111", std::string(160, 'x'));
    AddToSend("+420111", std::string(161, 'y'));
    Send({0, 1});
    const auto sent = Unit().SentMessages();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].text.size(), 160u);
    EXPECT_EQ(sent[1].text.size(), 160u);
    EXPECT_EQ(sent[2].text, "y");
}

TEST_F(SmsTransferTest, SendingMessagesOneAndThreeTakesTheRightOnes) {
    StartStore();
    for (const char* t : {"zero", "one", "two", "three"})
        AddToSend("+420111", t);
    Send({1, 3});
    const auto sent = Unit().SentMessages();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].text, "one");
    EXPECT_EQ(sent[1].text, "three");
    ASSERT_EQ(m_store.GetCount(SMS_TOSEND), 2);
    EXPECT_STREQ(m_store.Get(0, SMS_TOSEND)->GetText(), "zero");
    EXPECT_STREQ(m_store.Get(1, SMS_TOSEND)->GetText(), "two");
    EXPECT_STREQ(m_store.Get(0, SMS_SENT)->GetText(), "one");
}

// tk530ctl deletes B from the to-send list [A, B, C, D] while A is being sent: the move of A
// reads the list again, and the chosen messages are the ones that go, never the one that took
// the place of another.
struct SendWhileDeleted {
    const char* name;
    std::vector<int32_t> chosen;
    std::vector<std::string> sent;
    std::vector<std::string> left;
    bool reported; // the chosen message that was gone is reported
};

class SmsSendReloadTest : public SmsTransferTest,
                          public ::testing::WithParamInterface<SendWhileDeleted> {};

TEST_P(SmsSendReloadTest, AMessageAnotherProgramDeletedIsSkippedNotReplaced) {
    const SendWhileDeleted& c = GetParam();
    StartStore();
    for (const char* t : {"A", "B", "C", "D"})
        AddToSend("+420111", t);
    ASSERT_EQ(m_store.Save(), 1);
    const auto moveSent = m_ui.onSendEvent;
    bool deleted = false;
    m_ui.onSendEvent = [&](const CComEvent& ev) -> uint32_t {
        if (ev.m_nCode == CE_SMS_SENT && !deleted) {
            deleted = true;
            CSMSMng ctl;
            const int32_t b = 1;
            EXPECT_EQ(ctl.Load(), 1);
            EXPECT_EQ(ctl.DeleteAndShow(SMS_TOSEND, &b, 1), 1);
        }
        return moveSent(ev);
    };
    Send(c.chosen);
    std::vector<std::string> sent;
    for (const auto& s : Unit().SentMessages())
        sent.push_back(s.text);
    EXPECT_EQ(sent, c.sent);
    std::vector<std::string> left;
    for (int i = 0; i < m_store.GetCount(SMS_TOSEND); ++i)
        left.emplace_back(m_store.Get(i, SMS_TOSEND)->GetText());
    EXPECT_EQ(left, c.left);
    EXPECT_EQ(m_store.GetCount(SMS_SENT), static_cast<int>(c.sent.size()));
    ASSERT_EQ(m_ui.Errors().size(), c.reported ? 1u : 0u);
    if (c.reported) {
        EXPECT_EQ(m_ui.Errors()[0].first, LE_SMS_FAILED);
    }
}

INSTANTIATE_TEST_SUITE_P(
    ChosenMessages, SmsSendReloadTest,
    ::testing::Values(SendWhileDeleted{"AAndB", {0, 1}, {"A"}, {"C", "D"}, true},
                      SendWhileDeleted{"AAndC", {0, 2}, {"A", "C"}, {"D"}, false}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(SmsTransferTest, ARefusedMessageGives12AndStaysToSend) {
    StartStore();
    SimSendOptions options;
    options.refuse = true;
    Unit().SetSendOptions(options);
    AddToSend("+420111", "text");
    Send({0});
    EXPECT_EQ(m_ui.Errors(), (std::vector<std::pair<uint32_t, uint32_t>>{{LE_SMS_FAILED, 0x2B}}));
    EXPECT_EQ(m_store.GetCount(SMS_TOSEND), 1);
    EXPECT_EQ(m_store.GetCount(SMS_SENT), 0);
}

TEST_F(SmsTransferTest, AFailedSendingGives12) {
    StartStore();
    SimSendOptions options;
    options.fail = true;
    Unit().SetSendOptions(options);
    AddToSend("+420111", "text");
    Send({0});
    EXPECT_EQ(m_ui.Errors().at(0).first, LE_SMS_FAILED);
    EXPECT_EQ(m_store.GetCount(SMS_TOSEND), 1);
}

TEST_F(SmsTransferTest, ARepeatAfterAPartialFailureSendsOnlyWhatIsStillWaiting) {
    StartStore();
    for (const char* t : {"A", "B", "C"})
        AddToSend("+420111", t);
    // The second message is refused once; the user repeats.
    Unit().AddFault({0x2B, SimFaultKind::Confirm, 1, 1, 1});
    m_ui.AnswerRepeat({true});
    Send({0, 2});
    EXPECT_EQ(m_ui.Errors().size(), 1u);
    std::vector<std::string> texts;
    for (const auto& s : Unit().SentMessages()) {
        if (s.accepted)
            texts.push_back(s.text);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"A", "C"}));
    ASSERT_EQ(m_store.GetCount(SMS_TOSEND), 1);
    EXPECT_STREQ(m_store.Get(0, SMS_TOSEND)->GetText(), "B");
}

TEST_F(SmsTransferTest, KeepaliveFetchesStoredMessagesOnALocalPort) {
    StartStore();
    Run({CM_CONNECT, 1, 0});
    ASSERT_TRUE(Unit().AddStoredSms(Stored("555", "mezitím", 2)));
    ASSERT_TRUE(m_ui.WaitEvent(CE_SMS_RECEIVED, 1, 10000));
    Run({CM_DISCONNECT, 0, 0});
    EXPECT_EQ(m_store.GetCount(SMS_RECEIVED), 1);
    EXPECT_TRUE(Unit().StoredSms().empty());
}

// A state reply without its state byte is neither "sent" nor "failed".
TEST_F(SmsTransferTest, AStateReplyWithoutTheStateGives8AndTheMessageStaysToSend) {
    StartStore();
    AddToSend("+420111", "text");
    Unit().AddFault({0x2C, SimFaultKind::Short, 4});
    Send({0});
    EXPECT_EQ(m_ui.Errors(), (std::vector<std::pair<uint32_t, uint32_t>>{{LE_BAD_REPLY, 0x2C}}));
    EXPECT_EQ(m_store.GetCount(SMS_TOSEND), 1);
    EXPECT_EQ(m_store.GetCount(SMS_SENT), 0);
}

// The PC could not save a message (a full disk, an I/O error): it is not acknowledged, so the
// unit keeps it, and the user sees the save error. Once the disk is back the read takes it.
TEST_F(SmsTransferTest, AMessageThePcCannotSaveStaysOnTheUnit) {
    StartStore();
    ASSERT_TRUE(Unit().AddStoredSms(Stored("+420777000111", "neztratit", 5)));
    const tk::SyncFunction old = tk::ReplaceSyncFunction([](int) {
        errno = EIO;
        return -1;
    });
    Run({CM_READ_SMS, 0, 0});
    tk::ReplaceSyncFunction(old);
    EXPECT_EQ(m_ui.Errors(),
              (std::vector<std::pair<uint32_t, uint32_t>>{{LE_SMS_NOT_STORED, 0x29}}));
    EXPECT_EQ(LinkErrorText(LE_SMS_NOT_STORED), GetText(TXT_SMS_SAVE_ERROR));
    EXPECT_EQ(Commands(), (Codes{0x20, 0x23, 0x29, 0x22, 0x86})); // no acknowledgement
    EXPECT_EQ(Unit().StoredSms().size(), 1u);
    EXPECT_EQ(m_store.GetCount(SMS_RECEIVED), 0);
    m_ui.Clear();
    Run({CM_READ_SMS, 0, 0});
    EXPECT_TRUE(m_ui.Errors().empty());
    EXPECT_TRUE(Unit().StoredSms().empty());
    ASSERT_EQ(m_store.GetCount(SMS_RECEIVED), 1);
}

// Eight messages read into a list of five: the three oldest, never shown, go to the archive
// before they leave the list, so all eight are on disk.
TEST_F(SmsTransferTest, ReadingMoreThanTheListHoldsKeepsEveryMessageOnDisk) {
    StartStore();
    for (uint16_t day = 1; day <= 8; ++day)
        ASSERT_TRUE(Unit().AddStoredSms(
            Stored("+42077700000" + std::to_string(day), "message " + std::to_string(day), day)));
    Run({CM_READ_SMS, 0, 0});
    EXPECT_TRUE(m_ui.Errors().empty());
    EXPECT_TRUE(Unit().StoredSms().empty());
    ASSERT_EQ(m_store.GetCount(SMS_RECEIVED), 5);
    CSMSMng disk;
    ASSERT_EQ(disk.Load(), 1);
    ASSERT_EQ(disk.GetCount(SMS_RECEIVED), 5);
    EXPECT_STREQ(disk.Get(0, SMS_RECEIVED)->GetNumber(0), "+420777000004");
    EXPECT_EQ(m_store.ArchivedCount(), 3);
    const std::string archive = ReadFileText(CSMSMng::ArchivePath());
    for (int day = 1; day <= 3; ++day) {
        EXPECT_NE(archive.find("+42077700000" + std::to_string(day)), std::string::npos) << day;
        EXPECT_NE(archive.find("message " + std::to_string(day)), std::string::npos) << day;
    }
    EXPECT_EQ(archive.find("+420777000004"), std::string::npos);
    struct stat st {};
    ASSERT_EQ(::stat(CSMSMng::ArchivePath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}
