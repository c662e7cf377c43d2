#include "sms/SMSMng.h"

#include "base/ProgramFolder.h"
#include "base/SafeFile.h"
#include "tests/support/DiskFull.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using Strings = std::vector<std::string>;

void PutU32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutString(Bytes& b, const std::string& s) {
    PutU32(b, static_cast<uint32_t>(s.size() + 1));
    b.insert(b.end(), s.begin(), s.end());
    b.push_back(0);
}

// One record of "SMS.dat" as the file layout has it.
Bytes Record(const std::string& text, const Strings& numbers = {"1"},
             uint32_t flags = 0x80000000u) {
    Bytes b = {7, 12, 8, 14, 5, 9};
    PutU32(b, flags);
    PutString(b, text);
    PutU32(b, static_cast<uint32_t>(numbers.size()));
    for (const auto& n : numbers)
        PutString(b, n);
    return b;
}

Bytes File(uint32_t version, uint32_t n0, uint32_t n1, uint32_t n2,
           const std::vector<Bytes>& records = {}) {
    Bytes b;
    for (uint32_t v : {version, n0, n1, n2})
        PutU32(b, v);
    for (const auto& r : records)
        b.insert(b.end(), r.begin(), r.end());
    return b;
}

CSMS Message(const std::string& text) {
    CSMS sms;
    sms.SetText(text);
    sms.AddNumber("604111222");
    return sms;
}

Strings Texts(const CSMSMng& store, int list) {
    Strings out;
    for (int i = 0; i < store.GetCount(list); ++i)
        out.emplace_back(store.Get(i, list)->GetText());
    return out;
}

void Fill(CSMSMng& store, int list, const std::string& prefix, int n) {
    for (int i = 0; i < n; ++i)
        ASSERT_EQ(store.Add(Message(prefix + std::to_string(i + 1)), list), i);
}

int LoadBytes(CSMSMng& store, const Bytes& bytes) {
    CMemoryReader reader(bytes);
    return store.LoadFrom(reader);
}

// The store as the next program start would find it on disk.
Strings TextsOnDisk(int list) {
    CSMSMng fresh;
    EXPECT_EQ(fresh.Load(), 1);
    return Texts(fresh, list);
}

// Records what the screen is told; a removal also notes the list's count at that moment.
class CRecorder : public ISMSStoreListener {
public:
    explicit CRecorder(const CSMSMng& store) : m_store(store) {}
    void OnSmsRowAdded(int list, int index) override { Log("add", list, {index}); }
    void OnSmsRowsRemoved(int list, const int32_t* indices, int n) override {
        std::vector<int> all(indices, indices + n);
        all.push_back(m_store.GetCount(list));
        Log("remove", list, all);
    }
    void OnSmsRowUpdated(int list, int index) override { Log("update", list, {index}); }
    void OnSmsListCountChanged(int list, int count) override { Log("count", list, {count}); }
    void OnSmsSaveFailed(int error) override { Log("save failed", error != 0, {}); }

    Strings events;

private:
    void Log(std::string s, int list, const std::vector<int>& values) {
        s += " " + std::to_string(list);
        for (int v : values)
            s += " " + std::to_string(v);
        events.push_back(s);
    }
    const CSMSMng& m_store;
};

class SMSStoreOnDisk : public ::testing::Test {
protected:
    void SetUp() override { tk::SetProgramFolder(dir.Path()); } // no Data folder yet
    TempDir dir;
};

} // namespace

TEST(SMSStore, FullListsRefuseAddAndMove) {
    CSMSMng store;
    Fill(store, SMS_SENT, "s", 5);
    Fill(store, SMS_TOSEND, "t", 2);
    EXPECT_EQ(store.Add(Message("sixth"), SMS_SENT), -2);
    auto adopted = std::make_unique<CSMS>(Message("adopted"));
    EXPECT_EQ(store.Add(adopted, SMS_SENT), -2);
    EXPECT_NE(adopted, nullptr); // still the caller's
    EXPECT_EQ(store.Move(0, SMS_TOSEND, SMS_SENT), -2);
    EXPECT_EQ(Texts(store, SMS_SENT), (Strings{"s1", "s2", "s3", "s4", "s5"}));
    EXPECT_EQ(Texts(store, SMS_TOSEND), (Strings{"t1", "t2"}));
    EXPECT_EQ(store.Add(Message("x"), 3), -1);
}

TEST(SMSStore, MoveTakesTheSameMessageAndMarksIt) {
    CSMSMng store;
    Fill(store, SMS_TOSEND, "t", 3);
    auto owned = std::make_unique<CSMS>(Message("own"));
    CSMS* raw = owned.get();
    EXPECT_EQ(store.Add(owned, SMS_SENT), 0);
    EXPECT_EQ(owned, nullptr);
    EXPECT_EQ(raw->GetList(), SMS_SENT);

    CSMS* moving = store.Get(1, SMS_TOSEND);
    moving->SetUnread(false);
    EXPECT_EQ(store.Move(1, SMS_TOSEND, SMS_SENT), 1);
    EXPECT_EQ(store.Get(1, SMS_SENT), moving);
    EXPECT_EQ(moving->GetFlags(), static_cast<uint32_t>(SMS_SENT));
    EXPECT_EQ(Texts(store, SMS_TOSEND), (Strings{"t1", "t3"}));
    EXPECT_EQ(store.Move(2, SMS_TOSEND, SMS_SENT), -1);
    EXPECT_EQ(store.Delete(0, SMS_TOSEND), 1);
    EXPECT_EQ(store.Delete(1, SMS_TOSEND), -1);
    EXPECT_EQ(Texts(store, SMS_TOSEND), Strings{"t3"});
}

TEST_F(SMSStoreOnDisk, SaveAndLoadKeepEverything) {
    CSMSMng store;
    for (int list = 0; list < SMS_LIST_COUNT; ++list) {
        for (int i = 0; i <= list + 1; ++i) {
            CSMS sms = Message("list " + std::to_string(list) + "\r\nmsg " + std::to_string(i));
            sms.AddNumber(i == 1 ? "" : "+420"); // an empty number survives as a number
            sms.m_nDay = static_cast<uint8_t>(i + 1);
            sms.m_nMonth = static_cast<uint8_t>(list + 1);
            sms.m_nYear = 255;
            sms.m_nMinute = static_cast<uint8_t>(59 - i);
            sms.SetUnread(i % 2 == 0);
            store.Add(sms, list);
        }
    }
    store.Get(0, SMS_SENT)->SetText(std::string(640, '\xE8'));
    ASSERT_EQ(store.Save(), 1);
    const Bytes file = ReadFileBytes(dir.File("Data/SMS.dat"));
    ASSERT_GT(file.size(), 16u);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 16), File(1, 2, 3, 4));

    // Every field is in the record: what was loaded saves to the same bytes, in the same order.
    CSMSMng loaded;
    ASSERT_EQ(loaded.Load(), 1);
    EXPECT_EQ(Texts(loaded, SMS_TOSEND), Texts(store, SMS_TOSEND));
    EXPECT_STREQ(loaded.Get(1, SMS_RECEIVED)->GetNumber(1), "");
    ASSERT_EQ(loaded.Save(), 1);
    EXPECT_EQ(ReadFileBytes(dir.File("Data/SMS.dat")), file);
}

TEST(SMSStoreFile, ReadsTheStoredLayout) {
    // The unread bit is kept; the list bits are those of the list the record is in.
    const Bytes file = File(1, 1, 0, 1,
                            {Record("first", {"+420604111222", "2", "3", "4", "5"}, 0x80000002u),
                             Record("second", {}, 0)});
    CSMSMng store;
    ASSERT_EQ(LoadBytes(store, file), 1);
    const CSMS* first = store.Get(0, SMS_RECEIVED);
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first->GetText(), "first");
    EXPECT_EQ(first->GetFlags(), 0x80000000u);
    EXPECT_EQ(first->GetNumberCount(), 4); // numbers after the fourth are dropped
    EXPECT_STREQ(first->GetNumber(0), "+420604111222");
    EXPECT_EQ(first->m_nMonth, 12);
    EXPECT_EQ(first->m_nSecond, 9);
    ASSERT_NE(store.Get(0, SMS_TOSEND), nullptr);
    EXPECT_EQ(store.Get(0, SMS_TOSEND)->GetFlags(), 2u);
}

TEST_F(SMSStoreOnDisk, ADamagedFileIsKeptBeforeTheNextSaveReplacesIt) {
    ::mkdir(dir.File("Data").c_str(), 0755);
    const Bytes damaged = File(2, 1, 0, 0, {Record("from a newer program")});
    WriteFileBytes(dir.File("Data/SMS.dat"), damaged);
    CSMSMng store;
    EXPECT_EQ(store.Load(), 0);
    CSMS sms;
    sms.SetText("new");
    ASSERT_GE(store.AddAndShow(sms, SMS_TOSEND), 0); // saves over SMS.dat
    int copies = 0;
    for (const std::string& name : ListFolder(dir.File("Data"))) {
        if (name.rfind("SMS.dat.damaged-", 0) == 0) {
            ++copies;
            EXPECT_EQ(ReadFileBytes(dir.File("Data/" + name)), damaged);
        }
    }
    EXPECT_EQ(copies, 1);
}

TEST_F(SMSStoreOnDisk, OtherVersionOrMissingFileLoadsNothing) {
    CSMSMng store;
    Fill(store, SMS_RECEIVED, "kept", 2);
    EXPECT_EQ(store.Load(), 0); // no file
    EXPECT_EQ(LoadBytes(store, File(2, 1, 0, 0, {Record("new")})), 0);
    EXPECT_EQ(LoadBytes(store, Bytes{1, 0, 0, 0, 1, 0, 0, 0, 0}), 0); // counts cut short
    EXPECT_EQ(Texts(store, SMS_RECEIVED), (Strings{"kept1", "kept2"}));
}

TEST(SMSStoreFile, CutInsideTheSecondSentRecord) {
    Bytes file = File(1, 5, 2, 1);
    for (const char* text : {"r0", "r1", "r2", "r3", "r4", "s0"}) {
        const Bytes r = Record(text);
        file.insert(file.end(), r.begin(), r.end());
    }
    const Bytes second = Record("s1", {"123456"});
    file.insert(file.end(), second.begin(), second.end() - 3);

    CSMSMng store;
    Fill(store, SMS_SENT, "old", 3);
    Fill(store, SMS_TOSEND, "waiting", 2);
    EXPECT_EQ(LoadBytes(store, file), 0);
    EXPECT_EQ(Texts(store, SMS_RECEIVED), (Strings{"r0", "r1", "r2", "r3", "r4"}));
    EXPECT_EQ(Texts(store, SMS_SENT), Strings{"s0"});
    EXPECT_EQ(Texts(store, SMS_TOSEND), (Strings{"waiting1", "waiting2"}));
}

// A list longer than five is no store this program wrote: the surplus is not dropped but
// archived at the first save, which keeps a copy of the file too.
TEST_F(SMSStoreOnDisk, SurplusRecordsOfAListGoToTheArchiveAtTheFirstSave) {
    std::vector<Bytes> records;
    for (int i = 0; i < 7; ++i)
        records.push_back(Record("r" + std::to_string(i)));
    records.push_back(Record("sent"));
    ::mkdir(dir.File("Data").c_str(), 0700);
    WriteFileBytes(dir.File("Data/SMS.dat"), File(1, 7, 1, 0, records));
    CSMSMng store;
    EXPECT_EQ(store.Load(), 1);
    EXPECT_EQ(Texts(store, SMS_RECEIVED), (Strings{"r0", "r1", "r2", "r3", "r4"}));
    EXPECT_EQ(Texts(store, SMS_SENT), Strings{"sent"});
    EXPECT_EQ(store.SurplusCount(), 2u);
    EXPECT_TRUE(store.IsDamaged());
    ASSERT_GE(store.AddAndShow(Message("new"), SMS_TOSEND), 0);
    const std::string archive = ReadFileText(CSMSMng::ArchivePath());
    EXPECT_NE(archive.find("r5"), std::string::npos) << archive;
    EXPECT_LT(archive.find("r5"), archive.find("r6")) << archive;
    EXPECT_EQ(store.SurplusCount(), 0u);
    EXPECT_FALSE(store.IsDamaged());
}

// A damaged file stays as it is while nothing changes (reading it copies nothing); the first
// change tells the listener where the copy is while the file still holds the damage, once.
TEST_F(SMSStoreOnDisk, ADamagedFileIsLeftAloneUntilAChangeWhichSaysFirstWhereTheCopyIs) {
    struct Told : CRecorder {
        using CRecorder::CRecorder;
        void OnSmsStoreDamaged(const std::string& copy) override {
            copies.push_back(copy);
            fileThen = ReadFileBytes(CSMSMng::FilePath());
        }
        Strings copies;
        Bytes fileThen;
    };
    ::mkdir(dir.File("Data").c_str(), 0700);
    Bytes damaged = File(1, 2, 0, 0, {Record("first"), Record("second")});
    damaged.resize(damaged.size() - 4); // cut inside the second record
    WriteFileBytes(dir.File("Data/SMS.dat"), damaged);
    for (int i = 0; i < 2; ++i) {
        CSMSMng reader;
        EXPECT_EQ(reader.Load(), 0);
        EXPECT_TRUE(reader.IsDamaged());
    }
    EXPECT_EQ(ListFolder(dir.File("Data")), Strings{"SMS.dat"});

    CSMSMng store;
    Told told(store);
    store.AddListener(&told);
    EXPECT_EQ(store.Load(), 0);
    EXPECT_EQ(Texts(store, SMS_RECEIVED), Strings{"first"});
    ASSERT_GE(store.AddAndShow(Message("new"), SMS_TOSEND), 0);
    ASSERT_EQ(told.copies.size(), 1u);
    EXPECT_EQ(told.fileThen, damaged);
    EXPECT_EQ(ReadFileBytes(told.copies[0]), damaged);
    EXPECT_FALSE(store.IsDamaged());
    ASSERT_GE(store.AddAndShow(Message("newer"), SMS_TOSEND), 0);
    EXPECT_EQ(told.copies.size(), 1u);
    EXPECT_EQ(TextsOnDisk(SMS_RECEIVED), Strings{"first"});
}

TEST(SMSStoreFile, UntrustedSizesStopTheLoad) {
    auto withTextSize = [](uint32_t size) {
        Bytes r = {1, 1, 1, 1, 1, 1, 0, 0, 0, 0};
        PutU32(r, size);
        r.resize(r.size() + 5000, 'a'); // plenty of bytes behind a wild size
        return r;
    };
    Bytes hugeNumber = Record("t", {});
    hugeNumber.resize(hugeNumber.size() - 4);
    PutU32(hugeNumber, 1);
    PutU32(hugeNumber, 0xFFFFFFFFu);
    hugeNumber.resize(hugeNumber.size() + 100, '1');
    const std::pair<const char*, Bytes> cases[] = {
        {"huge text size", withTextSize(0xFFFFFFF0u)},
        {"text size 0", withTextSize(0)},
        {"text size 642", Record(std::string(641, 'x'))},
        {"number size 18", Record("t", {std::string(17, '1')})},
        {"huge number size", hugeNumber},
    };
    for (const auto& [what, bad] : cases) {
        SCOPED_TRACE(what);
        // The largest record the store writes loads; the bad one stops the load.
        const Bytes file = File(1, 3, 1, 0,
                                {Record(std::string(640, 'x'), {std::string(16, '9')}), bad,
                                 Record("after"), Record("sent")});
        CSMSMng store;
        Fill(store, SMS_SENT, "old", 1);
        EXPECT_EQ(LoadBytes(store, file), 0);
        ASSERT_EQ(store.GetCount(SMS_RECEIVED), 1);
        EXPECT_EQ(store.Get(0, SMS_RECEIVED)->GetTextLength(), 640u);
        EXPECT_EQ(Texts(store, SMS_SENT), Strings{"old1"});
    }
}

TEST(SMSStoreFile, EveryCutOfAFileFailsCleanly) {
    const Bytes file = File(1, 2, 1, 1,
                            {Record("a", {"1", "22"}), Record("bb", {}), Record("ccc", {"333"}),
                             Record("dddd", {"4", "", "44"})});
    for (size_t size = 0; size < file.size(); ++size) {
        CSMSMng store;
        CMemoryReader reader(file.data(), size);
        EXPECT_EQ(store.LoadFrom(reader), 0) << size;
    }
    CSMSMng store;
    EXPECT_EQ(LoadBytes(store, file), 1);
    EXPECT_EQ(Texts(store, SMS_TOSEND), Strings{"dddd"});
}

TEST_F(SMSStoreOnDisk, AddToAFullListDropsTheOldestAndSavesAtOnce) {
    // Two listeners (the window's node captions and the list pane) hear the same story; one
    // that left hears nothing more.
    CSMSMng store;
    CRecorder screen(store);
    CRecorder nodes(store);
    CRecorder gone(store);
    store.AddListener(&screen);
    store.AddListener(&nodes);
    store.AddListener(&gone);
    store.AddListener(&nodes); // twice is still once
    store.RemoveListener(&gone);
    for (int i = 1; i <= 5; ++i)
        EXPECT_EQ(store.AddAndShow(Message("m" + std::to_string(i)), SMS_RECEIVED), i - 1);
    screen.events.clear();
    nodes.events.clear();
    auto received = std::make_unique<CSMS>(Message("m6"));
    EXPECT_EQ(store.AddAndShow(received, SMS_RECEIVED), 4);
    EXPECT_EQ(received, nullptr);
    const Strings expected = {"m2", "m3", "m4", "m5", "m6"};
    EXPECT_EQ(Texts(store, SMS_RECEIVED), expected);
    EXPECT_EQ(screen.events, (Strings{"remove 0 0 5", "count 0 4", "add 0 4", "count 0 5"}));
    EXPECT_EQ(nodes.events, screen.events);
    EXPECT_TRUE(gone.events.empty());
    EXPECT_EQ(TextsOnDisk(SMS_RECEIVED), expected);
}

TEST_F(SMSStoreOnDisk, ConfirmedSendingMovesIntoAFullSentList) {
    CSMSMng store;
    Fill(store, SMS_SENT, "s", 5);
    Fill(store, SMS_TOSEND, "t", 3);
    CRecorder screen(store);
    store.AddListener(&screen);
    store.m_anSel = {1, 2, 0, 0, 0}; // the send command's list must survive the move

    EXPECT_EQ(store.MoveAndShow(1, SMS_TOSEND, SMS_SENT), 4);
    const Strings sent = {"s2", "s3", "s4", "s5", "t2"};
    EXPECT_EQ(Texts(store, SMS_SENT), sent);
    EXPECT_EQ(Texts(store, SMS_TOSEND), (Strings{"t1", "t3"}));
    EXPECT_EQ(screen.events, (Strings{"remove 1 0 5", "count 1 4", "remove 2 1 2", "add 1 4",
                                      "count 2 2", "count 1 5"}));
    EXPECT_EQ(store.m_anSel[1], 2);
    EXPECT_EQ(TextsOnDisk(SMS_SENT), sent);
    EXPECT_EQ(TextsOnDisk(SMS_TOSEND), (Strings{"t1", "t3"}));
}

TEST_F(SMSStoreOnDisk, DeleteSelectedRowsAndChangesInPlace) {
    CSMSMng store;
    Fill(store, SMS_RECEIVED, "m", 5);
    CRecorder screen(store);
    store.AddListener(&screen);
    store.m_anSel = {3, 1, 3, 0, 0}; // out of order and twice: still exactly rows 1 and 3
    EXPECT_EQ(store.DeleteAndShow(SMS_RECEIVED, 3), 2);
    EXPECT_EQ(Texts(store, SMS_RECEIVED), (Strings{"m1", "m3", "m5"}));
    EXPECT_EQ(TextsOnDisk(SMS_RECEIVED), (Strings{"m1", "m3", "m5"}));

    store.Get(2, SMS_RECEIVED)->SetUnread(false);
    EXPECT_EQ(store.UpdateAndShow(2, SMS_RECEIVED), 2);
    EXPECT_EQ(store.UpdateAndShow(3, SMS_RECEIVED), -1);
    EXPECT_EQ(screen.events, (Strings{"remove 0 1 3 5", "count 0 3", "update 0 2"}));
    CSMSMng fresh;
    ASSERT_EQ(fresh.Load(), 1);
    EXPECT_FALSE(fresh.Get(2, SMS_RECEIVED)->IsUnread());
    EXPECT_EQ(store.ListNodeCaption(SMS_RECEIVED), "Přijaté (3)");
    EXPECT_EQ(store.ListNodeCaption(SMS_TOSEND), "K odeslání (0)");
}

TEST_F(SMSStoreOnDisk, SaveFailureIsReported) {
    WriteFileBytes(dir.File("Data"), {1}); // a plain file where the folder should be
    CSMSMng store;
    CRecorder screen(store);
    store.AddListener(&screen);
    EXPECT_EQ(store.AddAndShow(Message("m"), SMS_RECEIVED), 0);
    EXPECT_NE(store.LastSaveError(), 0);
    EXPECT_EQ(screen.events.back(), "save failed 1");
}

TEST_F(SMSStoreOnDisk, FullDiskKeepsTheOldFile) {
    {
        CSMSMng store;
        Fill(store, SMS_RECEIVED, "old", 2);
        ASSERT_EQ(store.Save(), 1);
    }
    const Bytes before = ReadFileBytes(dir.File("Data/SMS.dat"));
    const int status = RunWithFileSizeLimit(200, [] {
        CSMSMng store;
        if (store.Load() != 1)
            return 2;
        const int r = store.AddAndShow(Message(std::string(640, 'n')), SMS_RECEIVED);
        return r == 2 && store.LastSaveError() != 0 ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFileBytes(dir.File("Data/SMS.dat")), before);
    EXPECT_EQ(ListFolder(dir.File("Data")), Strings{"SMS.dat"});
}

// Within one list a move takes the message to the end; a full list refuses it as any full
// target does, and MoveAndShow does not evict from it (the oldest may be the one to move).
TEST(SMSStore, MoveWithinAFullListGivesMinus2AndChangesNothing) {
    CSMSMng store;
    Fill(store, SMS_TOSEND, "t", 5);
    EXPECT_EQ(store.Move(1, SMS_TOSEND, SMS_TOSEND), -2);
    EXPECT_EQ(store.MoveAndShow(1, SMS_TOSEND, SMS_TOSEND), -2);
    EXPECT_EQ(Texts(store, SMS_TOSEND), (Strings{"t1", "t2", "t3", "t4", "t5"}));
    store.Delete(4, SMS_TOSEND);
    EXPECT_EQ(store.Move(1, SMS_TOSEND, SMS_TOSEND), 3);
    EXPECT_EQ(Texts(store, SMS_TOSEND), (Strings{"t1", "t3", "t4", "t2"}));
}

// A received message that cannot be saved changes nothing: no eviction, no row, no count.
TEST_F(SMSStoreOnDisk, AReceivedMessageThatCannotBeSavedShiftsNothing) {
    CSMSMng store;
    for (int i = 1; i <= 5; ++i)
        ASSERT_GE(store.StoreReceived(Message("m" + std::to_string(i))), 0);
    CRecorder screen(store);
    store.AddListener(&screen);
    const tk::SyncFunction old = tk::ReplaceSyncFunction([](int) {
        errno = ENOSPC;
        return -1;
    });
    EXPECT_EQ(store.StoreReceived(Message("m6")), -1);
    tk::ReplaceSyncFunction(old);
    EXPECT_NE(store.LastSaveError(), 0);
    const Strings before = {"m1", "m2", "m3", "m4", "m5"};
    EXPECT_EQ(Texts(store, SMS_RECEIVED), before);
    EXPECT_TRUE(screen.events.empty());
    EXPECT_EQ(TextsOnDisk(SMS_RECEIVED), before);
    EXPECT_EQ(store.StoreReceived(Message("m6")), 4);
    EXPECT_EQ(TextsOnDisk(SMS_RECEIVED), (Strings{"m2", "m3", "m4", "m5", "m6"}));
    EXPECT_EQ(screen.events, (Strings{"remove 0 0 5", "add 0 4", "count 0 5"}));
}

// Whatever pushes an unread message out of a full list, it reaches the archive first, once;
// read messages and those the user deletes do not go there.
TEST_F(SMSStoreOnDisk, EveryUnreadMessageAFullListGivesUpReachesTheArchive) {
    const struct {
        const char* how;
        int list;
        bool unread;
        std::function<int(CSMSMng&)> push;
    } cases[] = {
        {"received into a full list", SMS_RECEIVED, true,
         [](CSMSMng& s) { return s.StoreReceived(Message("new")); }},
        {"received through the screen", SMS_RECEIVED, true,
         [](CSMSMng& s) { return s.AddAndShow(Message("new"), SMS_RECEIVED); }},
        {"sent into a full sent list", SMS_SENT, true,
         [](CSMSMng& s) {
             EXPECT_EQ(s.Add(Message("new"), SMS_TOSEND), 0);
             return s.MoveAndShow(0, SMS_TOSEND, SMS_SENT);
         }},
        {"an edited message saved for sending", SMS_TOSEND, true,
         [](CSMSMng& s) { return s.AddAndShow(Message("new"), SMS_TOSEND); }},
        {"read messages are the user's to keep", SMS_RECEIVED, false,
         [](CSMSMng& s) { return s.StoreReceived(Message("new")); }},
    };
    for (const auto& c : cases) {
        ::unlink(CSMSMng::ArchivePath().c_str());
        CSMSMng store;
        for (int i = 1; i <= SMS_LIST_MAX; ++i) {
            CSMS sms = Message("m" + std::to_string(i));
            sms.SetUnread(c.unread);
            ASSERT_GE(store.Add(sms, c.list), 0);
        }
        // The file is what each change starts from: it holds the full list.
        ASSERT_EQ(store.Save(), 1) << c.how;
        EXPECT_EQ(c.push(store), SMS_LIST_MAX - 1) << c.how;
        EXPECT_EQ(Texts(store, c.list).front(), "m2") << c.how;
        const Bytes archive = ReadFileBytes(CSMSMng::ArchivePath());
        const std::string text(archive.begin(), archive.end());
        EXPECT_EQ(text.find("\tm1\r\n") != std::string::npos, c.unread) << c.how << ": " << text;
        EXPECT_EQ(store.ArchivedCount(), c.unread ? 1 : 0) << c.how;
        store.m_anSel = {0, 1, 2, 3, 4};
        store.DeleteAndShow(c.list, SMS_LIST_MAX); // deleted on purpose: not archived
        EXPECT_EQ(ReadFileBytes(CSMSMng::ArchivePath()), archive) << c.how;
    }
}

// A received message whose store could not be saved is taken back; taking it in again later
// must not archive the evicted message a second time.
TEST_F(SMSStoreOnDisk, ARetriedReceiveArchivesTheEvictedMessageOnce) {
    CSMSMng store;
    for (int i = 1; i <= SMS_LIST_MAX; ++i)
        ASSERT_GE(store.StoreReceived(Message("m" + std::to_string(i))), 0);
    const tk::SyncFunction old = tk::ReplaceSyncFunction([](int) {
        errno = ENOSPC;
        return -1;
    });
    EXPECT_EQ(store.StoreReceived(Message("m6")), -1);
    tk::ReplaceSyncFunction(old);
    EXPECT_EQ(store.StoreReceived(Message("m6")), SMS_LIST_MAX - 1);
    const Bytes archive = ReadFileBytes(CSMSMng::ArchivePath());
    const std::string text(archive.begin(), archive.end());
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    EXPECT_EQ(store.ArchivedCount(), 1);
}

// Two programs on one folder: each store below stands for one of them (the control panel and
// tk530ctl). Whatever one saved is in the file after the other's next change, and what the
// caller named by an index is the message it saw, wherever the other program's change put it.
TEST_F(SMSStoreOnDisk, EveryChangeIsMadeOverWhatTheOtherProgramSavedMeanwhile) {
    CSMSMng window;
    Fill(window, SMS_RECEIVED, "w", 2);
    Fill(window, SMS_TOSEND, "t", 2);
    ASSERT_EQ(window.Save(), 1);
    CSMSMng ctl;
    ASSERT_EQ(ctl.Load(), 1);
    CRecorder screen(window);
    window.AddListener(&screen);

    // Both fetch a message from their own unit; the user writes one in the window.
    ASSERT_EQ(ctl.StoreReceived(Message("c1")), 2);
    ASSERT_EQ(window.StoreReceived(Message("w3")), 3);
    EXPECT_EQ(Texts(window, SMS_RECEIVED), (Strings{"w1", "w2", "c1", "w3"}));
    EXPECT_NE(std::find(screen.events.begin(), screen.events.end(), "count 0 3"),
              screen.events.end()); // the node showed the other program's message
    ASSERT_GE(ctl.AddAndShow(Message("t3"), SMS_TOSEND), 0);
    // The worker stamped t1 in place before sending it; it moves to the sent list with that.
    window.Get(0, SMS_TOSEND)->m_nHour = 23;
    ASSERT_EQ(window.MoveAndShow(0, SMS_TOSEND, SMS_SENT), 0);

    CSMSMng disk;
    ASSERT_EQ(disk.Load(), 1);
    EXPECT_EQ(Texts(disk, SMS_RECEIVED), (Strings{"w1", "w2", "c1", "w3"}));
    EXPECT_EQ(Texts(disk, SMS_TOSEND), (Strings{"t2", "t3"}));
    ASSERT_EQ(Texts(disk, SMS_SENT), Strings{"t1"});
    EXPECT_EQ(disk.Get(0, SMS_SENT)->m_nHour, 23);

    // At the end a store with nothing unsaved writes nothing: the stale one loses nothing.
    EXPECT_EQ(ctl.SaveChanges(), 1);
    EXPECT_EQ(TextsOnDisk(SMS_RECEIVED), (Strings{"w1", "w2", "c1", "w3"}));
    // A change made in place and never saved is saved over what the file holds by then.
    ctl.Get(0, SMS_RECEIVED)->SetUnread(false);
    ASSERT_EQ(window.StoreReceived(Message("w4")), 4);
    EXPECT_EQ(ctl.SaveChanges(), 1);
    ASSERT_EQ(disk.Load(), 1);
    EXPECT_EQ(Texts(disk, SMS_RECEIVED), (Strings{"w1", "w2", "c1", "w3", "w4"}));
    EXPECT_FALSE(disk.Get(0, SMS_RECEIVED)->IsUnread());
}

TEST_F(SMSStoreOnDisk, AnIndexNamesTheMessageTheCallerSawAfterTheOtherProgramMovedIt) {
    CSMSMng window;
    Fill(window, SMS_RECEIVED, "m", 3);
    ASSERT_EQ(window.Save(), 1);
    CSMSMng ctl;
    ASSERT_EQ(ctl.Load(), 1);
    const int32_t first = 0;
    ASSERT_EQ(ctl.DeleteAndShow(SMS_RECEIVED, &first, 1), 1); // m1 gone

    // The window marks m3 read (its row 2): the same object, now at index 1.
    CSMS* m3 = window.Get(2, SMS_RECEIVED);
    m3->SetUnread(false);
    EXPECT_EQ(window.UpdateAndShow(2, SMS_RECEIVED), 1);
    EXPECT_EQ(window.Get(1, SMS_RECEIVED), m3);
    EXPECT_EQ(Texts(window, SMS_RECEIVED), (Strings{"m2", "m3"}));

    // tk530ctl fetches c4 and deletes m2; the window deletes its row 1 (m3), not c4.
    ASSERT_EQ(ctl.StoreReceived(Message("c4")), 2);
    ASSERT_EQ(ctl.DeleteAndShow(SMS_RECEIVED, &first, 1), 1);
    const int32_t second = 1;
    EXPECT_EQ(window.DeleteAndShow(SMS_RECEIVED, &second, 1), 1);
    EXPECT_EQ(TextsOnDisk(SMS_RECEIVED), Strings{"c4"});

    // An edit of a message the other program deleted meanwhile is kept, not dropped.
    // tk530ctl still showed m3 at row 0: gone already, nothing is deleted (it reads c4 now).
    EXPECT_EQ(ctl.DeleteAndShow(SMS_RECEIVED, &first, 1), 0);
    window.Get(0, SMS_RECEIVED)->SetText("upraveno");
    ASSERT_EQ(ctl.DeleteAndShow(SMS_RECEIVED, &first, 1), 1);
    EXPECT_EQ(window.UpdateAndShow(0, SMS_RECEIVED), 0);
    EXPECT_EQ(TextsOnDisk(SMS_RECEIVED), Strings{"upraveno"});
}

TEST_F(SMSStoreOnDisk, AFileTheOtherProgramLeftUnreadableIsNeverSavedOver) {
    CSMSMng window;
    Fill(window, SMS_RECEIVED, "m", 1);
    ASSERT_EQ(window.Save(), 1);
    CRecorder screen(window);
    window.AddListener(&screen);
    const Bytes damaged = File(1, 3, 0, 0); // three records announced, none there
    WriteFileBytes(dir.File("Data/SMS.dat"), damaged);

    EXPECT_EQ(window.SyncWithFile(), -1);
    EXPECT_EQ(window.StoreReceived(Message("new")), -1); // the unit keeps it
    EXPECT_EQ(window.AddAndShow(Message("t"), SMS_TOSEND), -1);
    EXPECT_EQ(window.LastSaveError(), EBADMSG);
    EXPECT_EQ(screen.events.back(), "save failed 1");
    EXPECT_EQ(Texts(window, SMS_RECEIVED), Strings{"m1"});
    EXPECT_EQ(ReadFileBytes(dir.File("Data/SMS.dat")), damaged);
}

// An open editor points at the message it shows: a reload forced by another program's change
// keeps that object (with the file's content), and one the other program removed stays alive,
// in no list. A damaged file the window loaded and the other program saved sound is sound for
// the window too after it follows the file.
TEST_F(SMSStoreOnDisk, AReloadKeepsTheObjectsOfMessagesAndTakesTheFilesState) {
    CSMSMng window;
    Fill(window, SMS_TOSEND, "t", 3);
    ASSERT_EQ(window.Save(), 1);
    CSMS* t2 = window.Get(1, SMS_TOSEND);
    CSMS* t3 = window.Get(2, SMS_TOSEND);
    CSMSMng ctl;
    ASSERT_EQ(ctl.Load(), 1);
    const int32_t first = 0;
    ASSERT_EQ(ctl.DeleteAndShow(SMS_TOSEND, &first, 1), 1);
    ASSERT_GE(window.StoreReceived(Message("r1")), 0); // over the file: a reload
    EXPECT_EQ(Texts(window, SMS_TOSEND), (Strings{"t2", "t3"}));
    EXPECT_EQ(window.IndexOf(t2, SMS_TOSEND), 0);
    EXPECT_EQ(window.IndexOf(t3, SMS_TOSEND), 1);
    const int32_t second = 1;
    ASSERT_EQ(ctl.DeleteAndShow(SMS_TOSEND, &second, 1), 1); // t3, as tk530ctl saw it
    ASSERT_EQ(window.SyncWithFile(), 1);
    EXPECT_EQ(Texts(window, SMS_TOSEND), Strings{"t2"});
    EXPECT_EQ(window.IndexOf(t3, SMS_TOSEND), -1);
    EXPECT_STREQ(t3->GetText(), "t3"); // still there for its holder

    WriteFileBytes(dir.File("Data/SMS.dat"), File(1, 3, 0, 0)); // three announced, none there
    CSMSMng damaged;
    EXPECT_NE(damaged.Load(), 1);
    ASSERT_TRUE(damaged.IsDamaged());
    CSMSMng sound;
    EXPECT_NE(sound.Load(), 1);
    ASSERT_GE(sound.AddAndShow(Message("c1"), SMS_TOSEND), 0); // saves a sound file over it
    ASSERT_EQ(damaged.SyncWithFile(), 1);
    EXPECT_FALSE(damaged.IsDamaged());
    EXPECT_EQ(Texts(damaged, SMS_TOSEND), Strings{"c1"});
}
