#include "sms/SMS.h"

#include "base/Cp1250.h"
#include "sms/Recipients.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

Strings Numbers(const CSMS& sms) {
    Strings out;
    for (int i = 0; i < sms.GetNumberCount(); ++i)
        out.emplace_back(sms.GetNumber(i));
    return out;
}

std::vector<uint8_t> Reply(const std::string& number, const std::string& text) {
    std::vector<uint8_t> r = {0x80, 0x29, 0x00, 0x00, 7, 12, 8, 14, 5, 9, 0};
    r.insert(r.end(), number.begin(), number.end());
    r.push_back(0);
    r.insert(r.end(), text.begin(), text.end());
    r.push_back(0);
    return r;
}

} // namespace

TEST(SMSRecord, RecipientLineParsing) {
    CSMS sms;
    EXPECT_EQ(sms.SetNumbers("111, 222"), RCPT_OK);
    EXPECT_EQ(sms.SetNumbers("Jana a Petr"), RCPT_BAD_CHAR);
    EXPECT_EQ(Numbers(sms), (Strings{"111", "222"})); // a faulty line changes nothing
    EXPECT_EQ(sms.SetNumbers(" , ;"), RCPT_OK);
    EXPECT_EQ(sms.GetNumberCount(), 0);
    EXPECT_EQ(sms.SetNumbers("1,2,3,4,5"), RCPT_TOO_MANY);
    EXPECT_EQ(sms.GetNumberCount(), 0);
    EXPECT_EQ(sms.SetNumbers("1234567890123456"), RCPT_OK);
    EXPECT_EQ(sms.SetNumbers("12345678901234567"), RCPT_TOO_LONG);
    EXPECT_EQ(Numbers(sms), Strings{"1234567890123456"});
    EXPECT_EQ(sms.SetNumbers("+420 123 456 789"), RCPT_OK);
    EXPECT_EQ(Numbers(sms), Strings{"+420123456789"});
    EXPECT_EQ(sms.SetNumbers("+420604111222, 605333444"), RCPT_OK);
    EXPECT_EQ(Numbers(sms), (Strings{"+420604111222", "605333444"}));
}

// Recipients as people write them: one rule for the editor and tk530ctl.
TEST(SMSRecipients, WrittenFormsGiveTheNumbersSent) {
    const struct {
        const char* line;
        Strings numbers;
    } good[] = {
        {"+420 777 123 456", {"+420777123456"}},
        {"(603) 11-22.33; [604] 111 222\n605111222", {"603112233", "604111222", "605111222"}},
        {"1\r\n2,,3;", {"1", "2", "3"}},
        {" ( +420 ) 777", {"+420777"}}, // "+" first once fillers go
        {"+420\xC2\xA0"
         "777\xE2\x80\x93"
         "123",
         {"+420777123"}},                               // pasted no-break space, dash
        {"+420.777.123.456.789", {"+420777123456789"}}, // 16 characters, whole
        {"1,2,3,4", {"1", "2", "3", "4"}},
        {"603111222,+420777", {"603111222", "+420777"}}, // "+" first in the second one
        {"", {}},
    };
    for (const auto& c : good) {
        const RecipientList r = ParseRecipients(c.line);
        EXPECT_EQ(r.error, RCPT_OK) << c.line << ": " << RecipientErrorText(r);
        EXPECT_EQ(r.numbers, c.numbers) << c.line;
        EXPECT_EQ(RecipientErrorText(r), "") << c.line;
    }

    const struct {
        const char* line;
        int error;
        const char* text; // part of the sentence the user reads
    } bad[] = {
        {"603111222, Jana", RCPT_BAD_CHAR, "Příjemce „Jana“: znak „J“"},
        {"777 123/456", RCPT_BAD_CHAR, "znak „/“"},
        {"60311122\xC5\xA1", RCPT_BAD_CHAR, "znak „š“"},
        {"603, - ( ) .", RCPT_NO_DIGITS, "„- ( ) .“ neobsahuje žádné číslo"},
        {"+", RCPT_NO_DIGITS, "neobsahuje"},
        {"++420", RCPT_PLUS_INSIDE, "znak + smí být jen na začátku"},
        {"+4207771234567890", RCPT_TOO_LONG, "má 17 znaků; číslo jich smí mít nejvýše 16"},
        {"1;2;3;4;5 55", RCPT_TOO_MANY, "nejvýše 4 příjemce („5 55“ je pátý)"},
    };
    for (const auto& c : bad) {
        const RecipientList r = ParseRecipients(c.line);
        EXPECT_EQ(r.error, c.error) << c.line;
        EXPECT_NE(RecipientErrorText(r).find(c.text), std::string::npos)
            << c.line << ": " << RecipientErrorText(r);
    }
    // The numbers before the faulty recipient are still named for the preview.
    EXPECT_EQ(ParseRecipients("603111222, Jana").numbers, Strings{"603111222"});
}

// A "+" is a number's first character or a fault, wherever else it stands.
TEST(SMSRecipients, PlusOnlyFirstInEveryPosition) {
    const std::string digits = "420777123456";
    for (size_t at = 0; at <= digits.size(); ++at) {
        std::string written = digits;
        written.insert(at, "+");
        const RecipientList r = ParseRecipients(written);
        EXPECT_EQ(r.error, at == 0 ? RCPT_OK : RCPT_PLUS_INSIDE) << written;
    }
    // In the written form too: after a blank, a bracket or a dash the "+" is still inside.
    const std::string spaced = "420 777-123 (456)";
    for (size_t at = 0; at <= spaced.size(); ++at) {
        std::string written = spaced;
        written.insert(at, "+");
        EXPECT_EQ(ParseRecipients(written).error, at == 0 ? RCPT_OK : RCPT_PLUS_INSIDE) << written;
    }
    EXPECT_EQ(ParseRecipients("+420777123456").numbers, Strings{"+420777123456"});
}

// A stored number is dialled as it stands: the fillers a recipient line forgives are faults.
TEST(SMSRecipients, StoredNumbersHoldOnlyDigitsAfterALeadingPlus) {
    struct Case {
        const char* number;
        int error;
        const char* bad;
    } cases[] = {
        {"", RCPT_OK, ""},
        {"603111222", RCPT_OK, ""},
        {"+420603111222", RCPT_OK, ""},
        {"+", RCPT_NO_DIGITS, ""},
        {"603 111 222", RCPT_BAD_CHAR, " "},
        {"603-111", RCPT_BAD_CHAR, "-"},
        {"Jana", RCPT_BAD_CHAR, "J"},
        {"60\xC2\xA0"
         "3",
         RCPT_BAD_CHAR, "\xC2\xA0"}, // a no-break space, whole
        {"*101#", RCPT_BAD_CHAR, "*"},
        {"420+603", RCPT_PLUS_INSIDE, ""},
        {"++420", RCPT_PLUS_INSIDE, ""},
    };
    for (const Case& c : cases) {
        std::string bad;
        EXPECT_EQ(CheckDialNumber(c.number, &bad), c.error) << c.number;
        EXPECT_EQ(bad, c.bad) << c.number;
        EXPECT_EQ(DialNumberHint(c.error, bad).empty(), c.error == RCPT_OK) << c.number;
    }
    EXPECT_EQ(DialNumberHint(RCPT_BAD_CHAR, "J").substr(0, 12), "Znak „J“");
    EXPECT_EQ(DialNumberHint(RCPT_BAD_CHAR, " ").substr(0, 6), "Mezera");
}

TEST(SMSRecord, NumberSlots) {
    CSMS sms;
    sms.SetNumbers("1, 2, 3, 4");
    EXPECT_EQ(sms.AddNumber("5"), -1);
    sms.RemoveNumber(1);
    EXPECT_EQ(Numbers(sms), (Strings{"1", "3", "4"}));
    sms.SetNumber("7", 3); // an empty slot: lands in the first empty one
    EXPECT_EQ(Numbers(sms), (Strings{"1", "3", "4", "7"}));
    sms.SetNumber("123456789012345678", 0);
    EXPECT_STREQ(sms.GetNumber(0), "1234567890123456");
    EXPECT_EQ(sms.GetNumber(4), nullptr);

    CSMS target;
    target = sms;
    target.SetNumbers("9");
    sms = target; // surplus numbers of the target go
    EXPECT_EQ(Numbers(sms), Strings{"9"});
}

TEST(SMSRecord, PartCountsAndTextLimit) {
    CSMS sms;
    EXPECT_EQ(sms.GetPartCount(), 0); // no text at all
    const std::pair<size_t, int> parts[] = {{0, 0}, {160, 1}, {161, 2}, {640, 4}};
    for (const auto& [length, count] : parts) {
        sms.SetText(std::string(length, 'a'));
        EXPECT_EQ(sms.GetPartCount(), count) << length;
    }
    // The store never holds more than four parts: what it saves must load again.
    sms.SetText(std::string(700, 'a'));
    EXPECT_EQ(sms.GetTextLength(), 640u);
}

TEST(SMSRecord, TextBufferGrowsInStepsAndIsReused) {
    // A new buffer: the next multiple of 160 above the need (length + 1), plus one.
    const std::pair<size_t, uint32_t> fresh[] = {{0, 161}, {159, 321}, {160, 321}, {320, 481}};
    for (const auto& [length, size] : fresh) {
        CSMS sms;
        sms.SetText(std::string(length, 'x'));
        EXPECT_EQ(sms.GetTextSize(), size) << length;
    }
    // Kept while the text fits and wastes at most 160 bytes.
    CSMS sms;
    const std::pair<size_t, uint32_t> steps[] = {{160, 321}, {320, 321}, {161, 321},
                                                 {321, 481}, {5, 161},   {159, 161}};
    for (const auto& [length, size] : steps) {
        sms.SetText(std::string(length, 'x'));
        EXPECT_EQ(sms.GetTextSize(), size) << length;
    }
    // The text may come from the message's own buffer.
    sms.SetText(std::string(150, 'y'));
    sms.SetText(sms.GetText() + 100);
    EXPECT_EQ(std::string(sms.GetText()), std::string(50, 'y'));
}

TEST(SMSRecord, FlagsAndTime) {
    CSMS sms;
    EXPECT_TRUE(sms.IsUnread());
    sms.SetList(SMS_TOSEND);
    EXPECT_TRUE(sms.IsUnread());
    sms.SetUnread(false);
    EXPECT_EQ(sms.GetFlags(), 2u);
    SysTime t;
    t.wYear = 2300; // one byte holds the year modulo 256
    sms.SetTime(t);
    EXPECT_EQ(sms.m_nYear, 44);
}

TEST(SMSRecord, FromStoredMessageReply) {
    const auto reply = Reply("+420604111222", "Ahoj");
    const CSMS sms(reply.data(), reply.size());
    EXPECT_EQ(Numbers(sms), Strings{"+420604111222"});
    EXPECT_STREQ(sms.GetText(), "Ahoj");
    const uint8_t stamp[] = {sms.m_nDay,  sms.m_nMonth,  sms.m_nYear,
                             sms.m_nHour, sms.m_nMinute, sms.m_nSecond};
    EXPECT_EQ(std::vector<uint8_t>(stamp, stamp + 6), (std::vector<uint8_t>{7, 12, 8, 14, 5, 9}));
    EXPECT_TRUE(sms.IsUnread());

    const auto anonymous = Reply("", "Info");
    EXPECT_EQ(Numbers(CSMS(anonymous.data(), anonymous.size())), Strings{""});
}

TEST(SMSRecord, UnterminatedReplyIsCutAtItsEnd) {
    std::vector<uint8_t> reply = Reply("123", "");
    reply.pop_back();
    reply.resize(SMS_REPLY_MAX, 'T');
    reply.resize(SMS_REPLY_MAX + 20, 'X'); // past the reply's capacity: never read
    EXPECT_EQ(std::string(CSMS(reply.data(), reply.size()).GetText()),
              std::string(SMS_REPLY_MAX - 15, 'T'));

    std::vector<uint8_t> noEnd(11, 0);
    noEnd.resize(SMS_REPLY_MAX, '5');
    const CSMS longNumber(noEnd.data(), noEnd.size());
    EXPECT_STREQ(longNumber.GetNumber(0), "5555555555555555");
    EXPECT_STREQ(longNumber.GetText(), "");

    const uint8_t header[] = {0x80, 0x29, 0, 0, 1};
    const CSMS tiny(header, sizeof header);
    EXPECT_EQ(Numbers(tiny), Strings{""});
    EXPECT_STREQ(tiny.GetText(), "");
}

TEST(SMSRecord, UserTextToCp1250) {
    std::string out = "untouched";
    std::string bad;
    EXPECT_EQ(SmsTextFromUtf8("Ahoj 日本", out, &bad), SMS_INPUT_BAD_CHAR);
    EXPECT_EQ(out, "untouched");
    EXPECT_EQ(bad, "日");
    EXPECT_EQ(SmsTextFromUtf8("Žluťoučký\nkůň €", out), SMS_INPUT_OK);
    EXPECT_EQ(out, "\x8Elu\x9Dou\xE8k\xFD\r\nk\xF9\xF2 \x80");
    EXPECT_EQ(SmsTextFromUtf8(std::string(640, 'x'), out), SMS_INPUT_OK);
    // A line break counts two characters, as it is sent.
    EXPECT_EQ(SmsTextFromUtf8(std::string(639, 'x') + "\n", out), SMS_INPUT_TOO_LONG);
    // A text that comes back to the editor holds CR LF already: it stays as it is, however
    // often it is edited, and a bare LF beside it is completed.
    for (const char* text : {"a\nb", "a\r\nb"}) {
        SCOPED_TRACE(text);
        std::string again = text;
        for (int round = 0; round < 3; ++round) {
            ASSERT_EQ(SmsTextFromUtf8(again, out), SMS_INPUT_OK);
            EXPECT_EQ(out, "a\r\nb");
            again = tk::Cp1250ToUtf8(out);
        }
    }
    EXPECT_EQ(SmsTextFromUtf8("\r\n\n1\r\n", out), SMS_INPUT_OK);
    EXPECT_EQ(out, "\r\n\r\n1\r\n");
    EXPECT_EQ(SmsTextFromUtf8(std::string(638, 'x') + "\r\n", out), SMS_INPUT_OK);
}
