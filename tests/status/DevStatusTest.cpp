#include "status/DevStatus.h"
#include "link/ComNotify.h"
#include "status/StatusText.h"
#include "status/SysTime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

using Ident = std::array<uint8_t, IDENT_REPLY_SIZE>;
using Gsm = std::array<uint8_t, GSM_REPLY_SIZE>;

void PutBE(uint8_t* p, uint32_t v, int width) {
    for (int i = 0; i < width; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * (width - 1 - i)));
}

// Replies as they come off the wire (texts of at most their room, no zero when full), turned
// to host order as the link does.
std::array<uint8_t, TYPE_REPLY_SIZE> TypeReply(uint16_t aux, uint16_t cfg) {
    std::array<uint8_t, TYPE_REPLY_SIZE> r{};
    PutBE(&r[4], aux, 2);
    PutBE(&r[6], cfg, 2);
    TypeReplyToHost(r.data());
    return r;
}

Ident IdentReply(const std::string& imei, const std::string& name) {
    Ident r{};
    r[4] = 1;
    r[5] = 5;
    PutBE(&r[6], 0xDEADBEEF, 4); // not used
    PutBE(&r[16], 2, 4);
    r[20] = 10;
    PutBE(&r[21], 12345, 4);
    r[25] = 7;
    imei.copy(reinterpret_cast<char*>(&r[26]), 16);
    name.copy(reinterpret_cast<char*>(&r[42]), 128);
    IdentReplyToHost(r.data());
    return r;
}

Gsm GsmReply(const std::string& op) {
    Gsm r = {0, 0, 0, 0, 0, 1, 2, 1, 20, 3};
    PutBE(&r[10], std::bit_cast<uint32_t>(12.5f), 4);
    PutBE(&r[14], std::bit_cast<uint32_t>(-1.0f), 4);
    PutBE(&r[18], 0x00FF, 2);
    op.copy(reinterpret_cast<char*>(&r[20]), 17);
    GsmReplyToHost(r.data());
    return r;
}

} // namespace

TEST(DevStatus, IdentificationFromTheWireAndItsChanges) {
    CDevStatus s;
    EXPECT_GE(s.m_Time.wYear, 2024); // the PC's time until the unit's is read
    const auto type = TypeReply(0x0102, 0x0304);
    const Ident ident = IdentReply("356938035643809", "Vr\xE1tnice");
    EXPECT_EQ(s.UpdateIdentification(type.data(), ident.data()),
              DEVID_TYPE_CHANGED | DEVID_IDENT_CHANGED);
    const CDevIdent& d = s.m_DevId;
    EXPECT_EQ(d.m_nTypeAux, 0x0102u);
    EXPECT_EQ(d.m_nCfgType, 0x0304u);
    EXPECT_EQ(FormatVersion(d.m_nFWMajor, d.m_nFWMinor), "1.05");
    EXPECT_EQ(FormatVersion(d.m_nHWMajor, d.m_nHWMinor), "2.10");
    EXPECT_EQ(FormatSerial(d.m_nSerNum), "00012345");
    EXPECT_EQ(d.m_nSerAux, 7);
    EXPECT_STREQ(d.m_szIMEI, "356938035643809");
    EXPECT_STREQ(d.m_szName, "Vr\xE1tnice");

    EXPECT_EQ(s.UpdateIdentification(type.data(), ident.data()), 0u); // the same unit again
    const auto type2 = TypeReply(0x0102, 0x0305);
    EXPECT_EQ(s.UpdateIdentification(type2.data(), ident.data()), DEVID_TYPE_CHANGED);
    Ident other = ident;
    other[21] ^= 1; // one byte of the serial number
    EXPECT_EQ(s.UpdateIdentification(type2.data(), other.data()), DEVID_IDENT_CHANGED);
}

TEST(DevStatus, TextsWithoutTheirZeroStayInTheirFields) {
    CDevStatus s;
    const auto type = TypeReply(0, 0);
    const Ident ident = IdentReply("1234567890123456", std::string(128, 'N'));
    s.UpdateIdentification(type.data(), ident.data());
    EXPECT_EQ(std::string(s.m_DevId.m_szIMEI), "123456789012345");
    EXPECT_EQ(std::string(s.m_DevId.m_szName), std::string(127, 'N'));
    EXPECT_EQ(s.UpdateIdentification(type.data(), ident.data()), 0u);

    const Gsm gsm = GsmReply("OPERATOR-NAME-12345");
    ASSERT_EQ(s.UpdateGSM(gsm.data()), 1);
    EXPECT_EQ(std::string(s.m_GSM.m_szOperator), "OPERATOR-NAME-12");
    EXPECT_EQ(s.UpdateGSM(gsm.data()), 0);
}

TEST(DevStatus, GsmStateFromTheWireAndItsChanges) {
    CDevStatus s;
    const Gsm gsm = GsmReply("T-Mobile CZ");
    ASSERT_EQ(s.UpdateGSM(gsm.data()), 1);
    const CGSMState& g = s.m_GSM;
    EXPECT_EQ(GSMStateText(g.m_nGSMState), "klidový stav");
    EXPECT_EQ(SIMStateText(g.m_nSIMState), "OK");
    EXPECT_EQ(NetStateText(g.m_nNetState), "OK");
    EXPECT_EQ(g.m_nSignal, 20u);
    EXPECT_EQ(g.m_nWAC, 3u);
    EXPECT_EQ(FormatCredit(g.m_fCredit1), "12.50");
    EXPECT_EQ(g.m_fCredit2, -1.0f);
    EXPECT_EQ(FormatCellId(g.m_nBTS), "00FF");
    EXPECT_EQ(s.UpdateGSM(gsm.data()), 0);
    EXPECT_EQ(s.UpdateGSM(GsmReply("Vodafone CZ").data()), 1); // the operator alone

    for (size_t at = 4; at < 20; ++at) { // every byte counts but byte 4
        Gsm changed = gsm;
        changed[at] ^= 0x01;
        s.UpdateGSM(gsm.data());
        EXPECT_EQ(s.UpdateGSM(changed.data()), at == 4 ? 0 : 1) << at;
    }
    // A credit the unit cannot give (NaN) is no change when it comes again.
    Gsm nan = gsm;
    const float q = std::nanf("");
    std::memcpy(&nan[10], &q, sizeof q);
    EXPECT_EQ(s.UpdateGSM(nan.data()), 1);
    EXPECT_EQ(s.UpdateGSM(nan.data()), 0);

    EXPECT_EQ(GSMStateText(5), "");
    EXPECT_EQ(SIMStateText(7), "");
    EXPECT_EQ(NetStateText(4), "roaming");
}

TEST(DevStatus, InputsAndOutputs) {
    CDevStatus s;
    uint8_t reply[IO_REPLY_SIZE] = {0, 0, 0, 0, 0x05, 0xFE, 0x77};
    EXPECT_EQ(s.UpdateIO(reply), 1);
    EXPECT_EQ(s.UpdateIO(reply), 0);
    EXPECT_EQ(IOBitsText(s.m_IO.m_nInputs), "10100");
    EXPECT_EQ(IOBitsText(s.m_IO.m_nOutputs, 8), "01111111");
    reply[5] = 0xFF;
    EXPECT_EQ(s.UpdateIO(reply), 1);
}

TEST(DevStatus, ClockBothWays) {
    CDevStatus s;
    s.m_Time.wDayOfWeek = 3;
    s.m_Time.wMilliseconds = 456;
    const uint8_t reply[CLOCK_SIZE] = {0, 0, 0, 0, 7, 12, 8, 14, 5, 9};
    EXPECT_EQ(s.UpdateTime(reply), 1);
    EXPECT_EQ(s.m_Time, (SysTime{2008, 12, 3, 7, 14, 5, 9, 456}));
    EXPECT_EQ(s.UpdateTime(reply), 0);

    uint8_t req[CLOCK_SIZE] = {0x80, 0x31, 0x01, 0xFF};
    EncodeClock(SysTime{2099, 12, 4, 31, 23, 59, 58, 999}, req);
    const uint8_t expected[CLOCK_SIZE] = {0x80, 0x31, 0x01, 0xFF, 31, 12, 99, 23, 59, 58};
    EXPECT_EQ(std::memcmp(req, expected, sizeof req), 0);
    EXPECT_EQ(s.UpdateTime(req), 1);
    EXPECT_EQ(s.m_Time.wYear, 2099);
    EncodeClock(SysTime{1999, 1, 0, 1, 0, 0, 0, 0}, req);
    EXPECT_EQ(req[6], 255);
}

TEST(DevStatus, DisplayFormats) {
    EXPECT_EQ(FormatVersion(3, 123), "3.123");
    EXPECT_EQ(FormatVersion(0xFFFFFFFF, 0), "4294967295.00"); // never negative
    EXPECT_EQ(FormatCredit(-3.456f), "-3.46");
    EXPECT_EQ(FormatCellId(0xABCD), "ABCD");
}

// The one calendar of the program: which dates exist, seconds since 1970 and moving a time,
// across leap days, century years, a year's end and backwards before 1970.
TEST(SysTimeCalendar, DatesExistSecondsCountAndMovesKeepTheCalendar) {
    auto at = [](int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
        SysTime t;
        t.wYear = static_cast<uint16_t>(y);
        t.wMonth = static_cast<uint16_t>(mo);
        t.wDay = static_cast<uint16_t>(d);
        t.wHour = static_cast<uint16_t>(h);
        t.wMinute = static_cast<uint16_t>(mi);
        t.wSecond = static_cast<uint16_t>(s);
        return t;
    };
    const std::pair<SysTime, bool> valid[] = {
        {at(2000, 2, 29), true},
        {at(1900, 2, 29), false},
        {at(2024, 2, 29), true},
        {at(2023, 2, 29), false},
        {at(2023, 4, 31), false},
        {at(2023, 13, 1), false},
        {at(2023, 0, 1), false},
        {at(2023, 1, 0), false},
        {at(2023, 1, 1, 24), false},
        {at(2023, 1, 1, 23, 60), false},
        {at(2023, 1, 1, 23, 59, 60), false},
        {at(0, 1, 1), false},
        {at(9999, 12, 31, 23, 59, 59), true},
        {at(10000, 1, 1), false},
    };
    for (const auto& [t, ok] : valid)
        EXPECT_EQ(IsValidSysTime(t), ok) << t.wYear << "-" << t.wMonth << "-" << t.wDay << " "
                                         << t.wHour << ":" << t.wMinute << ":" << t.wSecond;
    SysTime ms = at(2023, 1, 1);
    ms.wMilliseconds = 1000;
    EXPECT_FALSE(IsValidSysTime(ms));

    EXPECT_EQ(SysTimeSeconds(at(1970, 1, 1)), 0);
    EXPECT_EQ(SysTimeSeconds(at(2000, 3, 1, 1, 2, 3)), 951868800 + 3723);
    EXPECT_EQ(SysTimeSeconds(at(1969, 12, 31, 23, 59, 59)), -1);

    // Moving: the new date, its day of week (0 = Sunday), the milliseconds kept.
    SysTime eve = at(2008, 12, 31, 23, 59, 50);
    eve.wMilliseconds = 999;
    const SysTime newYear = AddSeconds(eve, 15);
    EXPECT_EQ(newYear, (SysTime{2009, 1, 4, 1, 0, 0, 5, 999}));
    EXPECT_EQ(AddSeconds(at(2000, 3, 1), -1), (SysTime{2000, 2, 2, 29, 23, 59, 59, 0}));
    EXPECT_EQ(AddSeconds(at(2100, 3, 1), -86400), (SysTime{2100, 2, 0, 28, 0, 0, 0, 0}));
    EXPECT_EQ(AddSeconds(at(1970, 1, 1), -86400), (SysTime{1969, 12, 3, 31, 0, 0, 0, 0}));
    EXPECT_EQ(AddSeconds(at(2026, 12, 9, 12), 0).wDayOfWeek, 3); // a Wednesday
}

TEST(StatusText, SignalCreditDriftAndOutputs) {
    // Signal figure -> dBm; above 31 (99 in particular) the unit does not know.
    const std::pair<uint32_t, const char*> dbm[] = {
        {0, "-113 dBm"}, {17, "-79 dBm"}, {31, "-51 dBm"}, {32, "neznámý"}, {99, "neznámý"}};
    for (const auto& [signal, text] : dbm)
        EXPECT_EQ(SignalDbmText(signal), text) << signal;
    EXPECT_EQ(CreditText(12.5f), "12,50");
    EXPECT_EQ(CreditText(-3.456f), "-3,46");
    EXPECT_EQ(CreditText(std::nanf("")), "");
    EXPECT_EQ(CreditText(INFINITY), "");

    // Unit minus PC, across a midnight and a year's end, and its text.
    SysTime unit{2009, 1, 4, 1, 0, 0, 5, 0};
    SysTime pc{2008, 12, 3, 31, 23, 59, 50, 999};
    EXPECT_EQ(ClockDiffSeconds(unit, pc), 15);
    EXPECT_EQ(ClockDiffSeconds(pc, unit), -15);
    SysTime leap{2008, 3, 6, 1, 0, 0, 0, 0};
    SysTime feb{2008, 2, 4, 28, 0, 0, 0, 0};
    EXPECT_EQ(ClockDiffSeconds(leap, feb), 2 * 86400);
    EXPECT_EQ(DriftText(192), "+00:03:12 proti PC");
    EXPECT_EQ(DriftText(-3600), "-01:00:00 proti PC");
    EXPECT_EQ(DriftText(0), "+00:00:00 proti PC");
    EXPECT_EQ(DriftText(3 * 86400 + 1), "+72:00:01 proti PC");

    // Rows 0 and 2 are channels 1 and 3; rows beyond the output byte are no channel.
    EXPECT_EQ(OutputsFor({0, 2}, true), (OutputCommand{0x05, 0x05}));
    EXPECT_EQ(OutputsFor({0, 2}, false), (OutputCommand{0x05, 0x00}));
    EXPECT_EQ(OutputsFor({1, 3}, true), (OutputCommand{0x0A, 0x0A}));
    EXPECT_EQ(OutputsFor({}, true), (OutputCommand{0, 0}));
    EXPECT_EQ(OutputsFor({-1, 8}, true), (OutputCommand{0, 0}));

    // Text on a background: the preferred colour while it stands out, else black or white.
    EXPECT_NEAR(ContrastRatio(0x000000, 0xFFFFFF), 21.0, 1e-9);
    EXPECT_NEAR(ContrastRatio(0x777777, 0x777777), 1.0, 1e-9);
    const struct {
        uint32_t background, preferred, text;
    } text[] = {
        {0x308CC6, 0xFFFFFF, 0xFFFFFF},              // a blue selection keeps its white text
        {0xFFFFFF, 0xFFFFFF, 0x000000},              // white on white: black instead
        {0xC8DCF0, 0xFFFFFF, 0x000000},              // a light flash under selected text
        {0x2A2A2A, 0x303030, 0xFFFFFF},              // dark on dark: white instead
        {0xA8A8A8, 0xFFFFFF, 0x000000},              // a greyed selection
        {0x2A82DA, 0xFF000000 | 0xFFFFFF, 0xFFFFFF}, // the alpha byte is no colour
    };
    for (const auto& t : text)
        EXPECT_EQ(ReadableTextOn(t.background, t.preferred), t.text) << std::hex << t.background;
}

TEST(StatusText, SignalHistoryKeepsPollsGapsAndTheirCsv) {
    CSignalHistory h(5);
    EXPECT_FALSE(h.AddGap(1000)); // nothing to separate yet
    EXPECT_TRUE(h.Add(1000, 10));
    EXPECT_FALSE(h.Add(1200, 10)); // the change event and the poll of one read
    EXPECT_TRUE(h.Add(4000, 10));  // the next poll with the same value is a sample
    EXPECT_TRUE(h.AddGap(7000));
    EXPECT_FALSE(h.AddGap(10000)); // one gap however many polls are missed
    EXPECT_TRUE(h.Add(11000, 12));
    EXPECT_TRUE(h.Add(13000, 99)); // unknown: a gap too
    EXPECT_TRUE(h.Add(16000, 25));
    EXPECT_TRUE(h.Add(15000, 26)); // the PC's clock set back: kept in order
    using S = SignalSample;
    // Capacity 5: the oldest went.
    EXPECT_EQ(std::vector<S>(h.Samples().begin(), h.Samples().end()),
              (std::vector<S>{{7000, -1}, {11000, 12}, {13000, -1}, {16000, 25}, {16000, 26}}));
    const auto runs = h.Runs(0);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0], (std::vector<S>{{11000, 12}}));
    EXPECT_EQ(runs[1], (std::vector<S>{{16000, 25}, {16000, 26}}));
    EXPECT_EQ(h.Runs(12000).size(), 1u);

    const std::string csv = h.Csv();
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "čas;signál;dBm");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 6);
    EXPECT_NE(csv.find(";12;-89\n"), std::string::npos);
    EXPECT_NE(csv.find(";;\n"), std::string::npos);
    EXPECT_NE(csv.find(";26;-61\n"), std::string::npos);
    // Local time, seconds precision: "YYYY-MM-DD HH:MM:SS;".
    const size_t line2 = csv.find('\n') + 1;
    EXPECT_EQ(csv[line2 + 4], '-');
    EXPECT_EQ(csv[line2 + 19], ';');

    // The worker's events: values, an unanswered poll and the end of a session make gaps,
    // other events nothing.
    CSignalHistory fed;
    CDevStatus s;
    s.m_GSM.m_nSignal = 14;
    EXPECT_TRUE(fed.Note(CComEvent{CE_GSM, 0, s, nullptr, nullptr}, 1000));
    EXPECT_FALSE(fed.Note(CComEvent{CE_IO, 0, s, nullptr, nullptr}, 2000));
    EXPECT_FALSE(fed.Note(CComEvent{CE_ONLINE, 0, s, nullptr, nullptr}, 2500));
    EXPECT_TRUE(fed.Note(CComEvent{CE_GSM_POLL, 1, s, nullptr, nullptr}, 3000));
    EXPECT_TRUE(fed.Note(CComEvent{CE_GSM_POLL, 0, s, nullptr, nullptr}, 4000));
    s.m_GSM.m_nSignal = 20;
    EXPECT_TRUE(fed.Note(CComEvent{CE_GSM_POLL, 1, s, nullptr, nullptr}, 5000));
    EXPECT_TRUE(fed.Note(CComEvent{CE_OFFLINE, 0, s, nullptr, nullptr}, 6000));
    EXPECT_EQ(std::vector<S>(fed.Samples().begin(), fed.Samples().end()),
              (std::vector<S>{{1000, 14}, {3000, 14}, {4000, -1}, {5000, 20}, {6000, -1}}));
}

TEST(StatusText, AxisTicksFallOnRoundValues) {
    const struct {
        int low, high, maxTicks;
        AxisTicks ticks;
    } rows[] = {
        {SIGNAL_DBM_MIN, SIGNAL_DBM_MAX, 7, {-110, 10, 6}}, // the signal axis
        {SIGNAL_DBM_MIN, SIGNAL_DBM_MAX, 4, {-100, 20, 3}},
        {SIGNAL_DBM_MIN, SIGNAL_DBM_MAX, 2, {-100, 50, 1}},
        {0, 31, 7, {0, 5, 7}},
        {0, 31, 20, {0, 2, 16}},
        {-3, 3, 7, {-3, 1, 7}},
        {-7, -6, 1, {-6, 2, 1}}, // negative values round towards the range, not towards zero
        {1, 4, 1, {5, 5, 0}},    // steps 1 and 2 give too many, 5 none: no label at all
        {5, 5, 3, {5, 1, 1}},
        {5, 4, 3, {0, 1, 0}}, // an empty range
        {0, 10, 0, {0, 1, 0}},
    };
    for (const auto& r : rows) {
        const AxisTicks t = RoundTicks(r.low, r.high, r.maxTicks);
        EXPECT_EQ(t, r.ticks) << r.low << ".." << r.high << " max " << r.maxTicks << ": " << t.first
                              << " step " << t.step << " x" << t.count;
    }
}
