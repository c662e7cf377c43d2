// The unit's state file, the faults given on the command line, and the running clock.
#include "tools/sim/SimState.h"

#include "base/Cp1250.h"

#include <gtest/gtest.h>

namespace {

SysTime At(uint16_t y, uint16_t mo, uint16_t d, uint16_t h, uint16_t mi, uint16_t s) {
    SysTime t;
    t.wYear = y;
    t.wMonth = mo;
    t.wDay = d;
    t.wHour = h;
    t.wMinute = mi;
    t.wSecond = s;
    return t;
}

} // namespace

TEST(SimState, TextFormRoundTripsEveryField) {
    CVirtualUnit unit;
    SimUnitState s = unit.State();
    ASSERT_TRUE(tk::Utf8ToCp1250("Jednotka \"sklad\"\nŽluťoučký kůň\\", s.ident.name));
    s.ident.hwMajor = 0xFFFFFFFF;
    s.ident.cfgType = 0xFFFF;
    s.gsm.credit1 = 0.1f;
    s.gsm.credit2 = -1e30f;
    s.gsm.operatorName = "Tab\there\x01";
    s.inputs = 0x1F;
    s.clock = At(2099, 12, 31, 23, 59, 58);
    s.pin = "87654321";
    s.blocked = true;
    s.send = {7, true, true};
    s.stored.push_back({AddSeconds(At(2008, 3, 7, 14, 5, 9), 0), "+420 602", ""});
    ASSERT_TRUE(tk::Utf8ToCp1250("řádek 1\r\nřádek 2", s.stored[0].text));
    s.sent.push_back({"602", "", false, 0});
    s.config[0] = 0xAB;
    s.config.back() = 0xCD;

    const std::string text = FormatSimState(s);
    SimUnitState back = CVirtualUnit().State();
    std::string error;
    ASSERT_TRUE(ParseSimState(text, back, &error)) << error;
    EXPECT_EQ(FormatSimState(back), text);
    EXPECT_EQ(back.ident.name, s.ident.name);
    EXPECT_EQ(back.gsm.credit1, s.gsm.credit1);
    EXPECT_EQ(back.stored, s.stored);
    EXPECT_EQ(back.sent, s.sent);
    EXPECT_EQ(back.config, s.config);
    EXPECT_EQ(back.clock.wDayOfWeek, 4); // 31 December 2099 is a Thursday
}

TEST(SimState, ABadLineIsNamedAndChangesNothing) {
    const SimUnitState original = CVirtualUnit().State();
    const std::pair<const char*, const char*> cases[] = {
        {"inputs = 0x1FF", "line 2: bad number"},
        {"# comment\n\nnonsense", "line 4: expected key = value"},
        {"colour = 1", "unknown key"},
        {"name = bare", "double quotes"},
        {"name = \"\xE4\xB8\xAD\"", "code page 1250"},
        {"pin = \"123456789\"", "longer than 8"},
        {"clock = 2008-02-30 10:00:00", "YYYY-MM-DD"},
        {"sms = 2008-02-03 10:00:00 \"1\"", "expected 4"},
        {"config.0x0680 = 00 00", "beyond the end"},
        {"sms = 2008-02-03 10:00:00 \"1\" \"unterminated", "unterminated"},
    };
    for (const auto& [text, reason] : cases) {
        SimUnitState s = original;
        s.stored.push_back({At(2008, 1, 1, 0, 0, 0), "1", "keep"});
        std::string error;
        EXPECT_FALSE(ParseSimState(std::string("clock = 2001-01-01 00:00:00\n") + text, s, &error))
            << text;
        EXPECT_NE(error.find(reason), std::string::npos) << text << " -> " << error;
        EXPECT_EQ(s.stored.size(), 1u) << text;
    }
}

TEST(SimState, FaultsGivenAsText) {
    SimFault f;
    std::string error;
    ASSERT_TRUE(ParseSimFault("28:noanswer", f, &error)) << error;
    EXPECT_EQ(f, (SimFault{0x28, SimFaultKind::NoAnswer, 0, SIM_FAULT_ALWAYS, 0}));
    ASSERT_TRUE(ParseSimFault("0x24:badsum:2", f, &error)) << error;
    EXPECT_EQ(f, (SimFault{0x24, SimFaultKind::BadChecksum, 0, 2, 0}));
    ASSERT_TRUE(ParseSimFault("read_cfg:echo=length:1:5", f, &error)) << error;
    EXPECT_EQ(f, (SimFault{0x28, SimFaultKind::BadEcho, 1, 1, 5}));
    ASSERT_TRUE(ParseSimFault("*:delay=300", f, &error)) << error;
    EXPECT_EQ(f, (SimFault{SIM_ANY_COMMAND, SimFaultKind::Delay, 300, SIM_FAULT_ALWAYS, 0}));
    ASSERT_TRUE(ParseSimFault("CMD_LOGIN:confirm=6:1", f, &error)) << error;
    EXPECT_EQ(f, (SimFault{0x21, SimFaultKind::Confirm, 6, 1, 0}));
    ASSERT_TRUE(ParseSimFault("86:noise", f, &error)) << error;
    EXPECT_EQ(f.value, 8u);

    for (const char* bad : {"28", "zz:noanswer", "128:noanswer", "28:confirm", "28:confirm=0",
                            "28:noise=0", "28:hangup=1", "28:noanswer:0", "28:delay=x",
                            "28:echo=middle", "28:explode", "28:badsum:1:2:3"})
        EXPECT_FALSE(ParseSimFault(bad, f, &error)) << bad;
}

TEST(SimState, ClockRunsOnFromTheValueLastSet) {
    int64_t now = 1000;
    CVirtualUnit unit([&now] { return now; });
    ASSERT_TRUE(unit.SetClock(At(2099, 12, 31, 23, 59, 59)));
    now += 1500;
    const SysTime t = unit.Clock();
    EXPECT_EQ(t, (SysTime{2100, 1, 5, 1, 0, 0, 0, 500}));
    EXPECT_FALSE(unit.SetClock(At(2001, 2, 29, 0, 0, 0)));
    EXPECT_FALSE(unit.SetClock(At(2000, 1, 1, 24, 0, 0)));
    // A year before 2000 reads back wrapped, as the year byte carries it.
    EXPECT_TRUE(unit.SetClock(At(1999, 6, 1, 0, 0, 0)));
    const SimResponse r = unit.Process({0x80, 0x30, 0x01, 0xFF});
    EXPECT_EQ(r.payload[6], 0xFF);
}
