// The RFC 2217 negotiation against recorded server exchanges: what the program sends, what it
// makes of the answers, and the data that passes through the telnet stream.
#include "link/Rfc2217.h"

#include <gtest/gtest.h>

using namespace telnet;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Cmd(uint8_t verb, uint8_t option) {
    return {IAC, verb, option};
}

Bytes Sb(uint8_t command, Bytes value) {
    Bytes b = {IAC, SB, OPT_COM_PORT, command};
    for (const uint8_t v : value)
        b.push_back(v);
    b.push_back(IAC);
    b.push_back(SE);
    return b;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts)
        for (const uint8_t b : p)
            all.push_back(b);
    return all;
}

// The server's answers to the settings of kDefaultDcb, each as given.
Bytes Answers(Bytes baud, uint8_t size, uint8_t parity, uint8_t stop, uint8_t flow) {
    return Join({Sb(CPO_SET_BAUDRATE + CPO_SERVER_OFFSET, std::move(baud)),
                 Sb(CPO_SET_DATASIZE + CPO_SERVER_OFFSET, {size}),
                 Sb(CPO_SET_PARITY + CPO_SERVER_OFFSET, {parity}),
                 Sb(CPO_SET_STOPSIZE + CPO_SERVER_OFFSET, {stop}),
                 Sb(CPO_SET_CONTROL + CPO_SERVER_OFFSET, {flow})});
}

const Bytes kBaud9600 = {0, 0, 0x25, 0x80};
const Bytes kDtrOff = Sb(CPO_SET_CONTROL + CPO_SERVER_OFFSET, {CONTROL_DTR_OFF});

struct Fed {
    Bytes data;
    Bytes reply;
};

Fed Feed(CRfc2217& t, const Bytes& in, bool byteByByte = false) {
    Fed f;
    if (!byteByByte) {
        t.Feed(in.data(), in.size(), f.data, f.reply);
        return f;
    }
    for (const uint8_t b : in)
        t.Feed(&b, 1, f.data, f.reply);
    return f;
}

} // namespace

TEST(Rfc2217, AgreeingServerGetsTheLocalSettingsAndConfirmsEachOfThem) {
    CRfc2217 t;
    EXPECT_EQ(t.Start(kDefaultDcb),
              Join({Cmd(WILL, OPT_BINARY), Cmd(WILL, OPT_COM_PORT), Cmd(DO, OPT_BINARY)}));
    EXPECT_FALSE(t.Settled());
    // The settings go once the server takes the port control, not before.
    const Fed agreed =
        Feed(t, Join({Cmd(DO, OPT_BINARY), Cmd(WILL, OPT_BINARY), Cmd(DO, OPT_COM_PORT)}));
    EXPECT_EQ(agreed.reply,
              Join({Sb(CPO_SET_BAUDRATE, kBaud9600), Sb(CPO_SET_DATASIZE, {8}),
                    Sb(CPO_SET_PARITY, {PARITY_NONE}), Sb(CPO_SET_STOPSIZE, {STOPSIZE_1}),
                    Sb(CPO_SET_CONTROL, {CONTROL_FLOW_HARDWARE}),
                    Sb(CPO_SET_CONTROL, {CONTROL_DTR_OFF})}))
        << "9600 8N1, RTS/CTS, DTR off; RTS belongs to the handshake";
    EXPECT_TRUE(agreed.data.empty());
    EXPECT_FALSE(t.Settled());
    const Fed answered = Feed(t, Join({Answers(kBaud9600, 8, 1, 1, 3), kDtrOff}), true);
    EXPECT_TRUE(answered.reply.empty()) << "answers are not answered again";
    EXPECT_TRUE(t.Settled());
    std::string reason;
    EXPECT_FALSE(t.Refused(&reason)) << reason;
    EXPECT_FALSE(t.NoFlowControl());
    EXPECT_EQ(t.Notes(), "");
}

// What the server answers decides whether the port opens, and what the trace notes.
TEST(Rfc2217, OnlyARefusedSpeedFramingOrPortControlFailsMissingAnswersAreNoted) {
    struct Case {
        const char* name;
        Bytes server;
        bool refused;
        const char* reason; // part of the refusal
        bool noFlow;
        const char* note; // part of the notes
    };
    const Bytes agree = Cmd(DO, OPT_COM_PORT);
    const Case cases[] = {
        {"all confirmed", Join({agree, Answers(kBaud9600, 8, 1, 1, 3), kDtrOff}), false, "", false,
         ""},
        {"other speed", Join({agree, Answers({0, 0, 0x12, 0xC0}, 8, 1, 1, 3), kDtrOff}), true,
         "rychlost 4800 místo 9600", false, ""},
        {"even parity", Join({agree, Answers(kBaud9600, 8, 3, 1, 3), kDtrOff}), true, "parita",
         false, ""},
        {"seven bits", Join({agree, Answers(kBaud9600, 7, 1, 1, 3), kDtrOff}), true,
         "počet datových bitů 7 místo 8", false, ""},
        {"modem control never answered", Join({agree, Answers(kBaud9600, 8, 1, 1, 3)}), false, "",
         false, "nepotvrdil signál DTR"},
        {"flow control ignored", Join({agree, Answers(kBaud9600, 8, 1, 1, 1), kDtrOff}), false, "",
         true, "jiné nastavení: řízení toku"},
        {"port control refused", Cmd(DONT, OPT_COM_PORT), true, "RFC 2217", false, ""},
        {"server silent", {}, false, "", false, "nepotvrdil nastavení sériového portu"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CRfc2217 t;
        t.Start(kDefaultDcb);
        Feed(t, c.server);
        t.GiveUp();
        std::string reason;
        EXPECT_EQ(t.Refused(&reason), c.refused) << reason;
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
        EXPECT_EQ(t.NoFlowControl(), c.noFlow);
        if (*c.note)
            EXPECT_NE(t.Notes().find(c.note), std::string::npos) << t.Notes();
        else
            EXPECT_EQ(t.Notes(), "");
    }
}

// Other options are refused, notices and commands never reach the data, 0xFF travels doubled
// both ways, and a command split across reads is still one command.
TEST(Rfc2217, DataPassesUnescapedBetweenRefusedOptionsAndNotices) {
    CRfc2217 t;
    t.Start(kDefaultDcb);
    const uint8_t kTerminalType = 24;
    const uint8_t kEcho = 1;
    const Bytes server =
        Join({{'A', IAC, IAC, 'B'},
              Cmd(DO, kTerminalType),
              Cmd(WILL, kEcho),
              Cmd(WILL, OPT_BINARY), // the answer to our DO: no answer back
              {IAC, SB, OPT_COM_PORT, 107, IAC, IAC, IAC, SE}, // a modem state notice
              {IAC, 241},                                      // NOP
              {'C', IAC}});
    const Fed f = Feed(t, server, true);
    EXPECT_EQ(f.data, (Bytes{'A', 0xFF, 'B', 'C'}));
    EXPECT_EQ(f.reply, Join({Cmd(WONT, kTerminalType), Cmd(DONT, kEcho)}));
    const Fed rest = Feed(t, {IAC, 'D'});
    EXPECT_EQ(rest.data, (Bytes{0xFF, 'D'})) << "the IAC of the last read escaped the next byte";

    Bytes escaped;
    const uint8_t frame[] = {0x05, 0xFF, 0x41, 0xFF, 0xFF, 0x0A};
    TelnetEscape(frame, sizeof frame, escaped);
    EXPECT_EQ(escaped, (Bytes{0x05, 0xFF, 0xFF, 0x41, 0xFF, 0xFF, 0xFF, 0xFF, 0x0A}));
}
