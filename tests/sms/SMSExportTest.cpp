#include "sms/SMSExport.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>

namespace {

CSMS Message(const std::string& text, const std::string& numbers) {
    CSMS sms;
    sms.SetText(text);
    sms.SetNumbers(numbers);
    sms.m_nDay = 7;
    sms.m_nMonth = 12;
    sms.m_nYear = 8;
    sms.m_nHour = 14;
    sms.m_nMinute = 5;
    sms.m_nSecond = 9;
    return sms;
}

std::string Line(const CSMS& sms) {
    CMemoryWriter out;
    EXPECT_EQ(sms.WriteText(out), 1);
    return std::string(out.Data().begin(), out.Data().end());
}

} // namespace

TEST(SMSExport, LineFormat) {
    EXPECT_EQ(Line(Message("Ahoj", "+420604111222, 605333444")),
              "14:05:09  7.12.2008\t+420604111222, 605333444\tAhoj\r\n");

    // CP1250 bytes and line breaks go out as stored.
    EXPECT_EQ(Line(Message("\x8Elu\x9Doulink\xFD\r\n2. \xF8\xE1\x64\x65k", "1")),
              "14:05:09  7.12.2008\t1\t\x8Elu\x9Doulink\xFD\r\n2. \xF8\xE1\x64\x65k\r\n");

    CSMS bare; // no number, no text
    bare.m_nHour = 0;
    bare.m_nDay = 31;
    bare.m_nMonth = 1;
    bare.m_nYear = 99;
    EXPECT_EQ(Line(bare), "00:00:00  31.1.2099\t\t\r\n");
}

TEST(SMSExport, NewFileAppendAndOverwrite) {
    TempDir dir;
    CSMSMng store;
    store.Add(Message("one", "1"), SMS_SENT);
    store.Add(Message("two", "2"), SMS_SENT);
    store.Add(Message("three", "3"), SMS_SENT);
    const std::string one = "14:05:09  7.12.2008\t1\tone\r\n";
    const std::string two = "14:05:09  7.12.2008\t2\ttwo\r\n";
    const std::string three = "14:05:09  7.12.2008\t3\tthree\r\n";
    const std::string path = dir.File("sms.txt");

    EXPECT_FALSE(SmsExportFileExists(path));
    EXPECT_EQ(ExportSmsList(store, SMS_SENT, path, SMS_EXPORT_APPEND), SMS_EXPORT_OK);
    EXPECT_EQ(ReadFileText(path), one + two + three);
    EXPECT_TRUE(SmsExportFileExists(path));

    ::chmod(path.c_str(), 0600);
    const int32_t selected[] = {0, 2};
    EXPECT_EQ(ExportSms(store, SMS_SENT, selected, 2, path, SMS_EXPORT_APPEND), SMS_EXPORT_OK);
    EXPECT_EQ(ReadFileText(path), one + two + three + one + three);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    const int32_t second[] = {1};
    EXPECT_EQ(ExportSms(store, SMS_SENT, second, 1, path, SMS_EXPORT_OVERWRITE), SMS_EXPORT_OK);
    EXPECT_EQ(ReadFileText(path), two);
    EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"sms.txt"});
    EXPECT_TRUE(ExportErrorText(SMS_EXPORT_OK).empty());
}

TEST(SMSExport, NoFileGivesTheErrorText) {
    TempDir dir;
    CSMSMng store;
    store.Add(Message("one", "1"), SMS_RECEIVED);
    const int r =
        ExportSmsList(store, SMS_RECEIVED, dir.File("missing/sms.txt"), SMS_EXPORT_OVERWRITE);
    EXPECT_EQ(r, SMS_EXPORT_NO_FILE);
    EXPECT_EQ(ExportErrorText(r), "Došlo k chybě při ukládání SMS do souboru.");

    // Nothing to export: no file is made.
    EXPECT_EQ(ExportSmsList(store, SMS_SENT, dir.File("empty.txt"), SMS_EXPORT_OVERWRITE),
              SMS_EXPORT_NOTHING);
    EXPECT_FALSE(FileExists(dir.File("empty.txt")));
}
