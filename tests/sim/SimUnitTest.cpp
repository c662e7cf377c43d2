// The virtual unit against the program's own exchange over the pseudo-terminal: every reply
// layout byte by byte, the unit's state machines, and each fault kind.
#include "tests/sim/SimLink.h"

#include "base/Cp1250.h"
#include "config/CfgImage.h"

#include <atomic>
#include <thread>

namespace {

Bytes ReadRequest(uint16_t offset, uint16_t length) {
    Bytes req = {0x80, CMD_READ_CFG, 0x01, 0xFF, 0x00, 0x00};
    for (const uint16_t v : {offset, length}) {
        req.push_back(static_cast<uint8_t>(v >> 8));
        req.push_back(static_cast<uint8_t>(v));
    }
    return req;
}

Bytes WriteRequest(uint16_t offset, const Bytes& data) {
    Bytes req = ReadRequest(offset, static_cast<uint16_t>(data.size()));
    req[1] = CMD_WRITE_CFG;
    req.insert(req.end(), data.begin(), data.end());
    return req;
}

Bytes DefaultDeviceLayout() {
    CfgImage image;
    SetDefaults(image);
    Bytes device(CFG_DEVICE_SIZE);
    ImageToDevice(device.data(), image);
    return device;
}

} // namespace

class SimUnitTest : public SimLinkTest {
protected:
    void SetUp() override { Start(); }

    // The program's block loop: blocks of at most 170 bytes, each reply's echo checked.
    LinkResult ReadConfig(uint32_t length, Bytes& out, int& blocks) {
        out.clear();
        blocks = 0;
        for (uint32_t offset = 0; offset < length;) {
            const auto n = static_cast<uint16_t>(std::min<uint32_t>(length - offset, 170));
            const Bytes req = ReadRequest(static_cast<uint16_t>(offset), n);
            Bytes reply;
            const LinkResult r = Exchange(req, reply, 10 + n);
            if (r != LE_OK)
                return r;
            if (!std::equal(req.begin() + 6, req.end(), reply.begin() + 6))
                return LE_BAD_REPLY;
            out.insert(out.end(), reply.begin() + 10, reply.end());
            offset += n;
            ++blocks;
        }
        return LE_OK;
    }
};

TEST_F(SimUnitTest, TypeAndIdentificationReplyLayouts) {
    EXPECT_EQ(Ask(CMD_GET_TYPE, 8), (Bytes{0x80, 0x20, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01}));

    SimIdent id;
    id.fwMajor = 1;
    id.fwMinor = 5;
    id.hwMajor = 0x01020304;
    id.hwMinor = 10;
    id.serial = 12345678;
    id.serialAux = 7;
    id.imei = "356000012345678";
    id.name = std::string(127, 'N');
    Unit().SetIdent(id);
    const Bytes r = Ask(CMD_GET_IDENT, 170);
    EXPECT_EQ(Bytes(r.begin(), r.begin() + 6), (Bytes{0x80, 0x23, 0x01, 0x00, 1, 5}));
    EXPECT_EQ(Bytes(r.begin() + 6, r.begin() + 16), Bytes(10, 0)); // unused fields
    EXPECT_EQ(Bytes(r.begin() + 16, r.begin() + 26),
              (Bytes{0x01, 0x02, 0x03, 0x04, 10, 0x00, 0xBC, 0x61, 0x4E, 7}));
    EXPECT_EQ(std::string(r.begin() + 26, r.begin() + 41), id.imei);
    EXPECT_EQ(r[41], 0);
    EXPECT_EQ(std::string(r.begin() + 42, r.begin() + 169), id.name);
    EXPECT_EQ(r[169], 0);
}

TEST_F(SimUnitTest, GsmAndInputsOutputsReplyLayouts) {
    SimGsm g;
    g.gsmState = 4;
    g.simState = 6;
    g.netState = 4;
    g.signal = 31;
    g.refused = 9;
    g.credit1 = 1.0f;
    g.credit2 = -2.5f;
    g.cellId = 0x00FF;
    g.operatorName = "ABCDEFGHIJKLMNOP"; // 16 characters: the terminator takes byte 36
    Unit().SetGsm(g);
    Bytes expected{0x80, 0x24, 0x01, 0x00, 0x00, 4,    6,    4,    31,   9,
                   0x3F, 0x80, 0x00, 0x00, 0xC0, 0x20, 0x00, 0x00, 0x00, 0xFF};
    expected.insert(expected.end(), g.operatorName.begin(), g.operatorName.end());
    expected.push_back(0);
    EXPECT_EQ(Ask(CMD_GET_GSM, 37), expected);

    Unit().SetInputs(0x15);
    EXPECT_EQ(Ask(CMD_GET_IO, 7), (Bytes{0x80, 0x26, 0x01, 0x00, 0x15, 0x00, 0x00}));
}

TEST_F(SimUnitTest, OutputsTakeWhatTheProgramComputesFromMaskAndValues) {
    Unit().SetOutputs(0x05);
    auto setOutputs = [&](uint8_t mask, uint8_t values) {
        const uint8_t current = Ask(CMD_GET_IO, 7)[5];
        const auto next = static_cast<uint8_t>((current & ~mask) | values);
        Ask(CMD_SET_OUTPUTS, 4, {next});
        return Unit().Requests().back().payload;
    };
    // Output 2 to 1 on a unit that reports 0x05 sends 0x05 unchanged.
    EXPECT_EQ(setOutputs(0x04, 0x04), (Bytes{0x80, 0x25, 0x01, 0xFF, 0x05}));
    // Output 0 to 0 sends 0x04, and the unit reports it back.
    EXPECT_EQ(setOutputs(0x01, 0x00), (Bytes{0x80, 0x25, 0x01, 0xFF, 0x04}));
    EXPECT_EQ(Ask(CMD_GET_IO, 7)[5], 0x04);
    EXPECT_EQ(Unit().Outputs(), 0x04);
}

TEST_F(SimUnitTest, ClockIsSetAndReadBackAndRunsOn) {
    auto fakeMs = std::make_shared<std::atomic<int64_t>>(5000);
    Start({}, [fakeMs] { return fakeMs->load(); });
    const Bytes setTime = {0x80, 0x31, 0x01, 0xFF, 0x07, 0x03, 0x08, 0x0E, 0x05, 0x09};
    Bytes reply;
    ASSERT_EQ(Exchange(setTime, reply, 4), LE_OK);
    EXPECT_EQ(Ask(CMD_GET_TIME, 10),
              (Bytes{0x80, 0x30, 0x01, 0x00, 0x07, 0x03, 0x08, 0x0E, 0x05, 0x09}));
    *fakeMs += 61 * 1000 + 500;
    EXPECT_EQ(Ask(CMD_GET_TIME, 10),
              (Bytes{0x80, 0x30, 0x01, 0x00, 0x07, 0x03, 0x08, 0x0E, 0x06, 0x0A}));
    const SysTime t = Unit().Clock();
    EXPECT_EQ(t.wYear, 2008);
    EXPECT_EQ(t.wDayOfWeek, 5); // a Friday
    EXPECT_EQ(t.wMilliseconds, 500);

    // A day that does not exist is refused and the clock keeps running as it was.
    EXPECT_EQ(Exchange({0x80, 0x31, 0x01, 0xFF, 30, 2, 8, 0, 0, 0}, reply, 4), LE_CONFIRM);
    EXPECT_EQ(reply[3], SIM_CONF_BAD_REQUEST);
    EXPECT_EQ(Ask(CMD_GET_TIME, 10)[9], 0x0A);
}

TEST_F(SimUnitTest, ConfigurationMemoryReadsAsTheDefaultDeviceLayout) {
    Bytes memory;
    int blocks = 0;
    ASSERT_EQ(ReadConfig(CFG_DEVICE_SIZE, memory, blocks), LE_OK);
    EXPECT_EQ(blocks, 10);
    EXPECT_EQ(memory, DefaultDeviceLayout());

    // 340 bytes are two full blocks; 341 bytes a third block of length 1.
    const size_t before = Unit().Requests().size();
    ASSERT_EQ(ReadConfig(340, memory, blocks), LE_OK);
    EXPECT_EQ(blocks, 2);
    ASSERT_EQ(ReadConfig(341, memory, blocks), LE_OK);
    EXPECT_EQ(blocks, 3);
    const auto log = Unit().Requests();
    ASSERT_EQ(log.size(), before + 5);
    EXPECT_EQ(log[before + 1].payload, ReadRequest(170, 170));
    EXPECT_EQ(log[before + 4].payload, ReadRequest(340, 1));
    const Bytes defaults = DefaultDeviceLayout();
    EXPECT_EQ(memory, Bytes(defaults.begin(), defaults.begin() + 341));

    // Offset 0x0154 and length 0x00AA travel as 01 54 00 AA and are echoed.
    Bytes reply;
    ASSERT_EQ(Exchange(ReadRequest(0x0154, 0x00AA), reply, 180), LE_OK);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 10),
              (Bytes{0x80, 0x28, 0x01, 0x00, 0x00, 0x00, 0x01, 0x54, 0x00, 0xAA}));
}

TEST_F(SimUnitTest, BlockWriteIsReadBackAndOutOfRangeBlocksAreRefused) {
    Bytes data(170);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7);
    Bytes reply;
    ASSERT_EQ(Exchange(WriteRequest(0x0154, data), reply, 10), LE_OK);
    EXPECT_EQ(reply, (Bytes{0x80, 0x27, 0x01, 0x00, 0x00, 0x00, 0x01, 0x54, 0x00, 0xAA}));
    ASSERT_EQ(Exchange(ReadRequest(0x0154, 170), reply, 180), LE_OK);
    EXPECT_EQ(Bytes(reply.begin() + 10, reply.end()), data);

    // The last byte of the memory is in range; anything past it, an empty or an oversized
    // block is refused and changes nothing.
    EXPECT_EQ(Exchange(ReadRequest(CFG_DEVICE_SIZE - 1, 1), reply, 11), LE_OK);
    const Bytes memory = Unit().ConfigMemory();
    for (const Bytes& bad : {ReadRequest(CFG_DEVICE_SIZE - 169, 170), ReadRequest(0, 0),
                             ReadRequest(0, 171), WriteRequest(CFG_DEVICE_SIZE - 1, {1, 2})}) {
        EXPECT_EQ(Exchange(bad, reply, 10), LE_CONFIRM);
        EXPECT_NE(reply[3], 0);
    }
    Bytes lying = WriteRequest(0, {1, 2, 3});
    lying[9] = 4; // the length says more than the frame carries
    EXPECT_EQ(Exchange(lying, reply, 10), LE_CONFIRM);
    EXPECT_EQ(Unit().ConfigMemory(), memory);
}

TEST_F(SimUnitTest, StoredMessagesComeOldestFirstAndLeaveOnAcknowledge) {
    SimSms first{{2008, 12, 0, 7, 14, 5, 9, 0}, "+420600111222", ""};
    ASSERT_TRUE(tk::Utf8ToCp1250("Příliš žluťoučký kůň", first.text));
    const SimSms second{{2009, 1, 0, 2, 3, 4, 5, 0}, "602", "B"};
    ASSERT_TRUE(Unit().AddStoredSms(first));
    ASSERT_TRUE(Unit().AddStoredSms(second));
    EXPECT_FALSE(Unit().AddStoredSms({second.time, std::string(100, '1'), std::string(76, 'x')}));

    Bytes expected{0x80, 0x29, 0x01, 0x00, 7, 12, 8, 14, 5, 9, 0};
    expected.insert(expected.end(), first.number.begin(), first.number.end());
    expected.push_back(0);
    expected.insert(expected.end(), first.text.begin(), first.text.end());
    expected.push_back(0);
    Bytes reply;
    ASSERT_EQ(Exchange(Request(CMD_GET_SMS), reply, 188), LE_OK);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + expected.size()), expected);
    EXPECT_EQ(reply[expected.size()], 0xEE); // nothing after the text's terminator
    // Without the acknowledge the same message comes again.
    EXPECT_EQ(Ask(CMD_GET_SMS, 188)[11], '+');

    Ask(CMD_ACK_SMS, 4);
    EXPECT_EQ(Ask(CMD_GET_SMS, 188)[11], '6');
    Ask(CMD_ACK_SMS, 4);
    EXPECT_EQ(Exchange(Request(CMD_GET_SMS), reply, 188), LE_CONFIRM);
    EXPECT_EQ(reply[3], 1);
    EXPECT_EQ(Exchange(Request(CMD_ACK_SMS), reply, 4), LE_CONFIRM);
    EXPECT_TRUE(Unit().StoredSms().empty());
}

TEST_F(SimUnitTest, SendStateRunsThroughProgressToSentOrFailed) {
    auto send = [&](const std::string& number, const std::string& text) {
        Bytes data(number.begin(), number.end());
        data.push_back(0);
        data.insert(data.end(), text.begin(), text.end());
        data.push_back(0);
        Bytes reply;
        const LinkResult r = Exchange(Request(CMD_SEND_SMS, data), reply, 4);
        return r == LE_OK ? 0 : reply[3];
    };
    auto poll = [&] { return Ask(CMD_GET_SMS_STATE, 5)[4]; };

    Unit().SetSendOptions({2, false, false});
    EXPECT_EQ(send("+420600111222", "Ahoj"), 0);
    EXPECT_EQ(poll(), 1);
    EXPECT_EQ(poll(), 1);
    EXPECT_EQ(poll(), 2);
    EXPECT_EQ(poll(), 2);

    Unit().SetSendOptions({1, true, false});
    EXPECT_EQ(send("602", std::string(160, 'x')), 0);
    EXPECT_EQ(poll(), 1);
    EXPECT_EQ(poll(), 0);

    EXPECT_EQ(send("602", std::string(161, 'x')), 1); // more than one part
    Unit().SetSendOptions({0, false, true});
    EXPECT_EQ(send("602", "refused"), 1);
    Bytes reply;
    EXPECT_EQ(Exchange(Request(CMD_SEND_SMS, {'6', 0, 'x'}), reply, 4), LE_CONFIRM);

    const auto sent = Unit().SentMessages();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0].number, "+420600111222");
    EXPECT_EQ(sent[0].text, "Ahoj");
    EXPECT_TRUE(sent[1].accepted);
    EXPECT_FALSE(sent[2].accepted);
    EXPECT_FALSE(sent[3].accepted);
}

TEST_F(SimUnitTest, LoginChecksThePinAndBlocksAfterWrongOnesInARow) {
    Unit().SetPin("4321");
    Unit().SetBlockAfter(3);
    auto login = [&](const std::string& pin) {
        Bytes reply;
        const LinkResult r = Exchange(Request(CMD_LOGIN, LoginData(pin)), reply, 4);
        EXPECT_EQ(r, reply[3] ? LE_CONFIRM : LE_OK);
        return reply[3];
    };
    EXPECT_EQ(login("1111"), 3);
    EXPECT_EQ(login("1111"), 3);
    EXPECT_EQ(login("4321"), 0); // a right PIN starts the count again
    EXPECT_TRUE(Unit().IsLoggedIn());
    EXPECT_EQ(login("432"), 3);
    EXPECT_EQ(login("43210"), 3);
    EXPECT_FALSE(Unit().IsBlocked());
    EXPECT_EQ(login(""), 3);
    EXPECT_TRUE(Unit().IsBlocked());
    EXPECT_EQ(login("4321"), 6);
    Unit().Unblock();
    EXPECT_EQ(login("4321"), 0);
    Unit().SetBadPinCode(SIM_CONF_BAD_PIN_4); // the other answer of a refusing unit
    EXPECT_EQ(login("1111"), 4);
    EXPECT_FALSE(Unit().IsLoggedIn());
}

TEST_F(SimUnitTest, UnknownAndMalformedRequestsAreRefused) {
    Bytes reply;
    EXPECT_EQ(Exchange(Request(0x40), reply, 4), LE_CONFIRM);
    EXPECT_EQ(reply, (Bytes{0x80, 0x40, 0x01, SIM_CONF_UNKNOWN}));
    EXPECT_EQ(Exchange(Request(CMD_LOCAL_END), reply, 4), LE_CONFIRM); // its data byte missing
    EXPECT_EQ(Exchange(Request(CMD_LOCAL_END, {0x00}), reply, 4), LE_OK);
    EXPECT_EQ(Exchange({0x80, CMD_GET_IO, 0x01, 0x00}, reply, 7), LE_CONFIRM); // not a request
    EXPECT_EQ(Exchange(Request(CMD_LOGOUT), reply, 4), LE_OK);
}

TEST_F(SimUnitTest, LineFaultsHitTheirCommandForTheirCount) {
    Unit().AddFault({CMD_GET_IO, SimFaultKind::NoAnswer, 0, 1, 0});
    Unit().AddFault({CMD_GET_GSM, SimFaultKind::BadChecksum, 0, 1, 0});
    Unit().AddFault({CMD_GET_TIME, SimFaultKind::Delay, 400, 1, 0});
    Bytes reply;
    // A lost reply: the exchange's second attempt gets through.
    EXPECT_EQ(Exchange(Request(CMD_GET_IO), reply, 7, 500, 3), LE_OK);
    EXPECT_EQ(Unit().RequestCount(), 2u);
    EXPECT_EQ(Exchange(Request(CMD_GET_GSM), reply, 37), LE_CRC);
    EXPECT_EQ(Exchange(Request(CMD_GET_GSM), reply, 37), LE_OK);
    EXPECT_EQ(Exchange(Request(CMD_GET_TIME), reply, 10, 150), LE_TIMEOUT);
    // The late reply comes all the same.
    uint8_t byte = 0;
    do
        ASSERT_EQ(m_port.Read(&byte, 1, 2000), LE_OK);
    while (byte != FRAME_END);
    EXPECT_EQ(Exchange(Request(CMD_GET_TIME), reply, 10, 150), LE_OK);
    EXPECT_EQ(Unit().Faults()[0].count, 0u);

    // Noise goes out before the frame: read the line raw.
    Unit().AddFault({SIM_ANY_COMMAND, SimFaultKind::Noise, 5, 1, 0});
    const Bytes frame = EncodeFrame(Request(CMD_GET_TYPE));
    ASSERT_EQ(m_port.Write(frame.data(), static_cast<uint32_t>(frame.size()), 1000), LE_OK);
    const Bytes answer = EncodeFrame(Bytes{0x80, 0x20, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01});
    Bytes raw(5 + answer.size());
    ASSERT_EQ(m_port.Read(raw.data(), static_cast<uint32_t>(raw.size()), 2000), LE_OK);
    EXPECT_EQ(std::count(raw.begin(), raw.begin() + 5, FRAME_START), 0);
    EXPECT_EQ(Bytes(raw.begin() + 5, raw.end()), answer);
}

TEST_F(SimUnitTest, AnswerFaultsRefuseOrMisechoFromTheGivenRequestOn) {
    Unit().AddFault({CMD_LOGIN, SimFaultKind::Confirm, 6, 1, 0});
    Unit().AddFault({CMD_READ_CFG, SimFaultKind::BadEcho, 0, 1, 2});
    Unit().AddFault({CMD_WRITE_CFG, SimFaultKind::BadEcho, 1, 1, 0});
    Bytes reply;
    EXPECT_EQ(Exchange(Request(CMD_LOGIN, LoginData("1234")), reply, 4), LE_CONFIRM);
    EXPECT_EQ(reply[3], 6);
    EXPECT_FALSE(Unit().IsLoggedIn()); // a refused request changes nothing
    EXPECT_EQ(Exchange(Request(CMD_LOGIN, LoginData("1234")), reply, 4), LE_OK);

    Bytes memory;
    int blocks = 0;
    EXPECT_EQ(ReadConfig(CFG_DEVICE_SIZE, memory, blocks), LE_BAD_REPLY);
    EXPECT_EQ(blocks, 2); // the third block echoed offset 341 for 340
    ASSERT_EQ(Exchange(WriteRequest(0x10, {1}), reply, 10), LE_OK);
    EXPECT_EQ(Bytes(reply.begin() + 6, reply.end()), (Bytes{0x00, 0x10, 0x00, 0x02}));
}

TEST_F(SimUnitTest, HangUpInTheMiddleOfAReplyEndsTheLineUntilReopened) {
    Unit().AddFault({CMD_READ_CFG, SimFaultKind::HangUp, 0, 1, 1});
    Bytes memory;
    int blocks = 0;
    const LinkResult r = ReadConfig(CFG_DEVICE_SIZE, memory, blocks);
    EXPECT_TRUE(r == LE_SERIAL || r == LE_CRC) << r;
    EXPECT_EQ(blocks, 1);
    EXPECT_TRUE(m_server->IsHungUp());

    m_port.Close();
    std::string error;
    ASSERT_TRUE(m_server->Reopen(&error)) << error;
    ASSERT_EQ(m_port.Open(m_server->SlavePath(), kDefaultDcb), LE_OK);
    EXPECT_EQ(ReadConfig(CFG_DEVICE_SIZE, memory, blocks), LE_OK);
}

TEST_F(SimUnitTest, RepliesArePacedAtTheWireSpeed) {
    m_server->SetBaud(9600);
    const int64_t start = MonotonicMs();
    Bytes reply;
    ASSERT_EQ(Exchange(ReadRequest(0, 170), reply, 180), LE_OK);
    // At least 183 frame bytes at 960 bytes a second.
    EXPECT_GE(MonotonicMs() - start, 180);
}

TEST_F(SimUnitTest, RequestsAreLoggedWithTheirTimes) {
    const int64_t before = MonotonicMs();
    std::thread program([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        Ask(CMD_GET_TYPE, 8);
        Ask(CMD_GET_IO, 7);
    });
    EXPECT_TRUE(Unit().WaitForRequests(2, 5000));
    program.join();
    EXPECT_FALSE(Unit().WaitForRequests(3, 20));
    const auto log = Unit().Requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].payload, Request(CMD_GET_TYPE));
    EXPECT_EQ(log[1].payload, Request(CMD_GET_IO));
    EXPECT_GE(log[0].timeMs, before + 50);
    EXPECT_LE(log[0].timeMs, log[1].timeMs);
    EXPECT_LE(log[1].timeMs, MonotonicMs());
}
