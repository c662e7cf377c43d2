#include "link/HayesReader.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Feeds the text and returns the completed lines.
std::vector<std::string> Lines(CHayesReader& reader, const std::string& text) {
    std::vector<std::string> lines;
    for (char c : text) {
        if (reader.Feed(static_cast<uint8_t>(c)))
            lines.push_back(reader.Line());
    }
    return lines;
}

} // namespace

TEST(HayesReader, ConnectLineTakesItsLfAndLeavesTheUnitsFirstByte) {
    const std::string wire = "\r\nCONNECT 9600\r\n\x05\x80\x20";
    CHayesReader reader;
    const auto* data = reinterpret_cast<const uint8_t*>(wire.data());
    size_t pos = 0;
    bool done = false;
    pos += reader.Feed(data + pos, wire.size() - pos, &done);
    ASSERT_TRUE(done);
    EXPECT_EQ(reader.Line(), "");
    pos += reader.Feed(data + pos, wire.size() - pos, &done);
    ASSERT_TRUE(done);
    EXPECT_EQ(reader.Line(), "CONNECT 9600");
    // Nothing of the line end is left in front of the data.
    ASSERT_EQ(pos, wire.size() - 3);
    EXPECT_EQ(data[pos], 0x05);
    // The rest makes no line by itself.
    pos += reader.Feed(data + pos, wire.size() - pos, &done);
    EXPECT_FALSE(done);
    EXPECT_EQ(pos, wire.size());
}

TEST(HayesReader, CrEndsALineOnlyWhenAsked) {
    CHayesReader reader;
    // Echo with CR alone, then a verbose result.
    EXPECT_EQ(Lines(reader, "AT\r\r\nOK\r\n"), (std::vector<std::string>{"AT", "OK"}));
    reader.Reset();
    EXPECT_TRUE(Lines(reader, "0\r").empty()); // a numeric result never ends without CR mode
    reader.Reset();
    reader.SetCrEndsLine(true);
    EXPECT_EQ(Lines(reader, "0\r"), (std::vector<std::string>{"0"}));
    EXPECT_EQ(Lines(reader, "AT\r\r\nOK\r\n"), (std::vector<std::string>{"AT", "", "", "OK", ""}));
}

TEST(HayesReader, OverlongLinesAreCutAndFlagged) {
    CHayesReader reader;
    auto lines = Lines(reader, std::string(1000, 'X') + "\n");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), CHayesReader::MAX_LINE);
    EXPECT_TRUE(reader.Overlong());
    lines = Lines(reader, "OK\r\n");
    EXPECT_EQ(lines, std::vector<std::string>{"OK"});
    EXPECT_FALSE(reader.Overlong());
}

TEST(HayesReader, ClassifiesResultLines) {
    struct Case {
        const char* line;
        HayesLine kind;
    };
    const Case cases[] = {
        {"", HayesLine::Empty},
        {"   ", HayesLine::Empty},
        {"OK", HayesLine::Ok},
        {" ok ", HayesLine::Ok},
        {"CONNECT", HayesLine::Connect},
        {"CONNECT 9600", HayesLine::Connect},
        {"CONNECT 9600/ARQ", HayesLine::Connect},
        {"CONNECTED", HayesLine::Unknown},
        {"BUSY", HayesLine::Failure},
        {"NO CARRIER", HayesLine::Failure},
        {"NO DIALTONE", HayesLine::Failure},
        {"NO DIAL TONE", HayesLine::Failure},
        {"NO ANSWER", HayesLine::Failure},
        {"ERROR", HayesLine::Failure},
        {"+CME ERROR: 4", HayesLine::Failure},
        {"+CMS ERROR: 500", HayesLine::Failure},
        {"DELAYED", HayesLine::Failure},
        {"BLACKLISTED", HayesLine::Failure},
        {"RING", HayesLine::Info},
        {"+CRING: ASYNC", HayesLine::Info},
        {"CARRIER 9600", HayesLine::Info},
        {"PROTOCOL: LAPM", HayesLine::Info},
        {"COMPRESSION: V42BIS", HayesLine::Info},
        {"+CR: ASYNC", HayesLine::Info},
        {"+CREG: 1", HayesLine::Info},
        {"^RSSI:20", HayesLine::Info},
        {"+:", HayesLine::Unknown},
        {"OKAY", HayesLine::Unknown},
        {"#!\x01garbage", HayesLine::Unknown},
        {"7", HayesLine::Unknown}, // numeric codes only where asked for
    };
    for (const Case& c : cases)
        EXPECT_EQ(ClassifyHayesLine(c.line), c.kind) << '"' << c.line << '"';
}

TEST(HayesReader, EchoAndNumericCodesDependOnTheContext) {
    EXPECT_EQ(ClassifyHayesLine("ATZ", "ATZ"), HayesLine::Echo);
    EXPECT_EQ(ClassifyHayesLine("atd123", "ATD123"), HayesLine::Echo);
    EXPECT_EQ(ClassifyHayesLine("ATZ", "AT"), HayesLine::Unknown);
    struct Case {
        const char* code;
        HayesLine kind;
        const char* name;
    };
    const Case numeric[] = {
        {"0", HayesLine::Ok, "OK"},
        {"1", HayesLine::Connect, "CONNECT"},
        {"2", HayesLine::Info, "RING"},
        {"3", HayesLine::Failure, "NO CARRIER"},
        {"4", HayesLine::Failure, "ERROR"},
        {"5", HayesLine::Connect, "CONNECT 1200"},
        {"6", HayesLine::Failure, "NO DIALTONE"},
        {"7", HayesLine::Failure, "BUSY"},
        {"8", HayesLine::Failure, "NO ANSWER"},
        {"10", HayesLine::Connect, "CONNECT 2400"},
        {"12", HayesLine::Connect, "CONNECT 9600"},
        {"19", HayesLine::Connect, "CONNECT 115200"},
        {"47", HayesLine::Connect, "47"}, // a speed this table does not name
    };
    for (const Case& c : numeric) {
        EXPECT_EQ(ClassifyHayesLine(c.code, "", true), c.kind) << c.code;
        EXPECT_EQ(HayesReasonText(c.code, true), c.name) << c.code;
    }
    EXPECT_EQ(HayesReasonText("7"), "7");
}

TEST(HayesReader, ReasonTextIsPrintableAndShort) {
    EXPECT_EQ(HayesReasonText("  +CME ERROR: 4 "), "+CME ERROR: 4");
    EXPECT_EQ(HayesReasonText("a\x01\xE8z"), "a??z");
    EXPECT_EQ(HayesReasonText(std::string(100, 'X')).size(), 60u);
}
