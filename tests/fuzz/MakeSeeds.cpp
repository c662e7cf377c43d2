// Writes the seed corpora of the fuzz targets into <folder>/<target>/: files made by the
// program's own save functions, frames and replies as the unit sends them (built here, and
// taken from the virtual unit), and the answers of a modem.
//
//   tk_fuzz_seeds tests/fuzz/corpus
//
// The folders are emptied first, so the output is the same on every run.
#include "config/CfgImage.h"
#include "config/CfgJson.h"
#include "config/Profile.h"
#include "config/TK630Cfg.h"
#include "connections/ConnectDsc.h"
#include "link/Commands.h"
#include "link/FrameCodec.h"
#include "link/ModemList.h"
#include "sms/SMS.h"
#include "sms/SMSMng.h"
#include "status/DevStatus.h"
#include "tools/sim/VirtualUnit.h"

#include "base/ProgramFolder.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

fs::path g_out;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "tk_fuzz_seeds: %s\n", what.c_str());
    std::exit(1);
}

void Write(const std::string& target, const std::string& name, const Bytes& bytes) {
    const fs::path folder = g_out / target;
    fs::create_directories(folder);
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out)
        Fail("cannot write " + (folder / name).string());
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        Fail("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Append(Bytes& b, const Bytes& more) {
    b.insert(b.end(), more.begin(), more.end());
}

// A text in a field of `room` bytes: cut to the field (then without its zero), zero-filled.
void AppendText(Bytes& b, const char* text, size_t room) {
    const size_t len = std::min(std::strlen(text), room);
    b.insert(b.end(), text, text + len);
    b.insert(b.end(), room - len, 0);
}

void AppendBE(Bytes& b, uint32_t v, int width) {
    for (int i = width - 1; i >= 0; --i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

Bytes ReplyHeader(uint8_t command, uint8_t confirmation = 0) {
    return {HEADER_REQUEST, command, HEADER_VERSION, confirmation};
}

// ---- replies as the unit sends them (big-endian numbers) ----

Bytes TypeReply() {
    Bytes b = ReplyHeader(CMD_GET_TYPE);
    AppendBE(b, 0x0530, 2);
    AppendBE(b, static_cast<uint32_t>(CFG_LAYOUT_DEVICE), 2);
    return b;
}

Bytes IdentReply(const char* name) {
    Bytes b = ReplyHeader(CMD_GET_IDENT);
    b.push_back(1); // firmware 1.05
    b.push_back(5);
    AppendBE(b, 0x01020304, 4);
    b.push_back(0);
    AppendBE(b, 0x05060708, 4);
    b.push_back(0);
    AppendBE(b, 2, 4); // hardware 2.10
    b.push_back(10);
    AppendBE(b, 12345, 4);
    b.push_back(1);
    AppendText(b, "356938035643809", 16);
    AppendText(b, name, 128);
    return b;
}

Bytes GsmReply(const char* op) {
    Bytes b = ReplyHeader(CMD_GET_GSM);
    b.insert(b.end(), {0, 1, 2, 1, 20, 0});
    AppendBE(b, std::bit_cast<uint32_t>(12.5f), 4);
    AppendBE(b, std::bit_cast<uint32_t>(-1.0f), 4);
    AppendBE(b, 0x00FF, 2);
    AppendText(b, op, 17);
    return b;
}

Bytes IoReply() {
    Bytes b = ReplyHeader(CMD_GET_IO);
    b.insert(b.end(), {0x03, 0x05, 0x00});
    return b;
}

// 7 December 2008, 14:05:09.
Bytes ClockReply() {
    Bytes b = ReplyHeader(CMD_GET_TIME);
    b.insert(b.end(), {7, 12, 8, 14, 5, 9});
    return b;
}

Bytes SmsReply(const std::string& number, const std::string& text) {
    Bytes b = ReplyHeader(CMD_GET_SMS);
    b.insert(b.end(), {7, 12, 8, 14, 5, 9, 0});
    b.insert(b.end(), number.begin(), number.end());
    b.push_back(0);
    b.insert(b.end(), text.begin(), text.end());
    b.push_back(0);
    if (b.size() > SMS_REPLY_MAX)
        b.resize(SMS_REPLY_MAX);
    return b;
}

Bytes CfgBlockReply(uint16_t offset, uint16_t n) {
    CfgImage image;
    SetDefaults(image);
    Bytes device(CFG_DEVICE_SIZE);
    ImageToDevice(device.data(), image);
    Bytes b = ReplyHeader(CMD_READ_CFG);
    b.insert(b.end(), {0, 0});
    AppendBE(b, offset, 2);
    AppendBE(b, n, 2);
    b.insert(b.end(), device.begin() + offset, device.begin() + offset + n);
    return b;
}

// ---- the targets ----

// Two bytes of capacity (little-endian), then the bytes on the line.
Bytes OnLine(uint16_t capacity, const Bytes& wire) {
    Bytes b = {static_cast<uint8_t>(capacity), static_cast<uint8_t>(capacity >> 8)};
    Append(b, wire);
    return b;
}

void FrameSeeds() {
    const std::string t = "frame_decoder";
    const Bytes logout = {HEADER_REQUEST, CMD_LOGOUT, HEADER_VERSION, HEADER_FILL};
    Write(t, "logout-request", OnLine(4, EncodeFrame(logout)));
    Write(t, "type-reply", OnLine(8, EncodeFrame(TypeReply())));
    Write(t, "ident-reply", OnLine(170, EncodeFrame(IdentReply("TK530 Brno"))));
    Write(t, "ident-reply-cut", OnLine(20, EncodeFrame(IdentReply("TK530 Brno"))));
    Write(t, "gsm-reply", OnLine(37, EncodeFrame(GsmReply("T-Mobile CZ"))));
    Write(t, "io-reply", OnLine(7, EncodeFrame(IoReply())));
    Write(t, "clock-reply", OnLine(10, EncodeFrame(ClockReply())));
    const Bytes setTime = {0x80, CMD_SET_TIME, 0x01, 0xFF, 0x07, 0x03, 0x08, 0x0E, 0x05, 0x09};
    Write(t, "set-time-request", OnLine(4, EncodeFrame(setTime)));
    Write(t, "sms-reply", OnLine(188, EncodeFrame(SmsReply("+420603123456", "Alarm 1"))));
    Write(t, "no-sms-reply", OnLine(188, EncodeFrame(ReplyHeader(CMD_GET_SMS, 1))));
    Write(t, "cfg-block-reply", OnLine(180, EncodeFrame(CfgBlockReply(0x0154, 0xAA))));
    Write(t, "control-bytes", OnLine(6, EncodeFrame(Bytes{0x00, 0x05, 0x09, 0x0A, 0x1F, 0x20})));
    Write(t, "low-checksum", OnLine(4, EncodeFrame(Bytes{0x80, 0x00, 0x01, 0x7F})));

    Bytes noisy = {0x0A, 0x09, 0xFF, 0x41, 0x00};
    Append(noisy, EncodeFrame(IoReply()));
    Write(t, "noise-first", OnLine(7, noisy));
    Bytes bad = EncodeFrame(ClockReply());
    bad[bad.size() - 2] ^= 0x40;
    Write(t, "bad-checksum", OnLine(10, bad));
    Bytes two = {FRAME_START, FRAME_END};
    Append(two, EncodeFrame(logout));
    Write(t, "empty-then-logout", OnLine(0x8004, two)); // no buffer at all
}

void StatusSeeds() {
    const std::string t = "dev_status";
    const auto record = [](uint8_t kind, const Bytes& reply) {
        Bytes b = {kind};
        Append(b, reply);
        return b;
    };
    Bytes ident = TypeReply();
    Append(ident, IdentReply("TK530 Brno"));
    Write(t, "ident", record(0, ident));
    Write(t, "gsm", record(1, GsmReply("T-Mobile CZ")));
    Write(t, "io", record(2, IoReply()));
    Write(t, "clock", record(3, ClockReply()));

    // A session: identification, then polls, one of them with another operator.
    Bytes session = record(0, ident);
    Append(session, record(1, GsmReply("T-Mobile CZ")));
    Append(session, record(2, IoReply()));
    Append(session, record(3, ClockReply()));
    Append(session, record(1, GsmReply("Vodafone CZ")));
    Bytes full = TypeReply();
    Append(full, IdentReply(std::string(140, 'N').c_str())); // no zero in the name's room
    Append(session, record(0, full));
    Write(t, "session", session);
}

void SmsReplySeeds() {
    const std::string t = "sms_reply";
    Write(t, "message", SmsReply("+420603123456", "Alarm 1: vstup 3 aktivni"));
    Write(t, "no-message", ReplyHeader(CMD_GET_SMS, 1));
    Write(t, "empty-number", SmsReply("", "Text bez odesilatele"));
    Write(t, "long-number", SmsReply("+4206031234567890123", "Dlouhe cislo"));
    Write(t, "full-reply", SmsReply("603123456", std::string(200, 'x'))); // no zero at the end
}

void CfgSeeds(const std::string& tmp) {
    const std::string t = "cfg_file";
    const std::string path = tmp + "/seed.cfg";
    CfgImage image;
    SetDefaults(image);
    if (!WriteCfgFile(path, image))
        Fail("cannot save " + path);
    Write(t, "default.cfg", ReadFile(path));

    // Every text as long as its field allows.
    CopyTextField(image.m_szResetTxt, sizeof image.m_szResetTxt, std::string(80, 'R').c_str(), 80);
    CopyTextField(image.m_aAlarm[7].m_szASMS, sizeof image.m_aAlarm[7].m_szASMS,
                  std::string(80, 'A').c_str(), 80);
    CopyTextField(image.m_aRenum[4].m_szRNum, sizeof image.m_aRenum[4].m_szRNum,
                  "123456789012345678901234", 24);
    image.m_aRenum[4].m_nMode = RENUM_ADDITIONAL;
    image.m_fLowVal = 50.5f;
    if (!WriteCfgFile(path, image))
        Fail("cannot save " + path);
    Write(t, "full-texts.cfg", ReadFile(path));

    // The unit's arrangement, as a file of layout code 1.
    Bytes device(CFG_FILE_HEADER_SIZE + CFG_DEVICE_SIZE);
    device[0] = CFG_FILE_VERSION;
    device[4] = CFG_LAYOUT_DEVICE;
    ImageToDevice(device.data() + CFG_FILE_HEADER_SIZE, image);
    Write(t, "device-layout.cfg", device);

    // The same configuration as `config export` writes it, and small hand-made documents.
    const std::string j = "cfg_json";
    auto text = [](const std::string& s) { return Bytes(s.begin(), s.end()); };
    image.m_aAlarm[0].m_szASMS[60] = 'x'; // a byte left after a text: "text_tails"
    Write(j, "export.json", text(CfgExportJson(image)));
    Write(j, "partial.json",
          text(R"({"settings":{"sim.pin":"1234","basic.tariff":30,"sim.tone":"none",)"
               R"("basic.remote_access":true,"sim.credit.low_value":12.5,)"
               R"("alarm[0].sms_text":"Po\u017e\u00e1r","reserved.head":"010203"}})"));
    Write(j, "faults.json",
          text(R"({"format":"tk530-config","version":1,"settings":{"dial.max_digits":99,)"
               R"("sim.pin":"123456789","sms.info.reset_text":"\ud83d\ude00","x":1},"y":[]})"));
}

void ProfileSeeds() {
    const std::string t = "profile";
    CProfile p;
    if (p.Save() != PROFILE_OK)
        Fail("cannot save the profile");
    Write(t, "default.dat", ReadFile(tk::ProgramFile("Profile.dat")));
    p.m_nConnType = CONN_REMOTE;
    p.m_bLog = 1;
    p.SetPort("/dev/ttyUSB0");
    p.m_nModem = 1;
    p.m_nWidth = 1200;
    p.m_anColWidth[4] = 333;
    if (p.Save() != PROFILE_OK)
        Fail("cannot save the profile");
    const Bytes remote = ReadFile(tk::ProgramFile("Profile.dat"));
    Write(t, "remote.dat", remote);
    Write(t, "cut.dat", Bytes(remote.begin(), remote.begin() + 30));
}

void ConnectionSeeds() {
    const std::string t = "connections";
    CConnectDscMng m;
    if (m.Save() != 1)
        Fail("cannot save the connection list");
    Write(t, "empty.dat", ReadFile(tk::DataFile("Connection.dat")));
    const char* numbers[] = {"603123456", "+420777888999", "123456789012345"};
    for (const char* n : numbers) {
        CConnectDsc d;
        d.SetNum(n);
        d.SetPIN("7093");
        m.Add(d);
    }
    m.SetSel(1);
    if (m.Save() != 1)
        Fail("cannot save the connection list");
    Write(t, "three.dat", ReadFile(tk::DataFile("Connection.dat")));
    while (m.GetCount() < CONNECT_MAX) {
        CConnectDsc d;
        d.SetNum(std::to_string(600000000 + m.GetCount()).c_str());
        d.SetPIN("12345678");
        m.Add(d);
    }
    if (m.Save() != 1)
        Fail("cannot save the connection list");
    Write(t, "full.dat", ReadFile(tk::DataFile("Connection.dat")));
}

void SmsStoreSeeds() {
    const std::string t = "sms_store";
    CSMSMng store;
    if (store.Save() != 1)
        Fail("cannot save the SMS store");
    Write(t, "empty.dat", ReadFile(tk::DataFile("SMS.dat")));

    const Bytes reply = SmsReply("+420603123456", "Alarm 1: vstup 3 aktivni");
    store.Add(CSMS(reply.data(), reply.size()), SMS_RECEIVED);
    CSMS sent;
    sent.SetNumbers("603123456, +420777888999");
    sent.SetText("Odeslana zprava\r\nna dva radky");
    sent.SetUnread(false);
    store.Add(sent, SMS_SENT);
    CSMS full;
    full.SetNumbers("1234567890123456,2234567890123456,3234567890123456,4234567890123456");
    full.SetText(std::string(SMS_MAX_TEXT, 'z'));
    store.Add(full, SMS_TOSEND);
    CSMS empty;
    empty.SetText("");
    store.Add(empty, SMS_TOSEND);
    if (store.Save() != 1)
        Fail("cannot save the SMS store");
    Write(t, "three-lists.dat", ReadFile(tk::DataFile("SMS.dat")));
}

// Replies of the virtual unit to the program's requests, at a fixed clock.
void VirtualUnitSeeds() {
    CVirtualUnit unit([] { return int64_t{0}; });
    SysTime clock;
    clock.wYear = 2008;
    clock.wMonth = 12;
    clock.wDay = 7;
    clock.wHour = 14;
    clock.wMinute = 5;
    clock.wSecond = 9;
    if (!unit.SetClock(clock))
        Fail("the virtual unit refuses the clock");
    SimSms stored;
    stored.time = clock;
    stored.number = "+420603123456";
    stored.text = "Vstup 1 aktivni";
    if (!unit.AddStoredSms(stored))
        Fail("the virtual unit refuses the message");

    const auto reply = [&unit](const Bytes& request) {
        const SimResponse r = unit.Process(request);
        if (!r.answer)
            Fail("the virtual unit did not answer");
        return r.payload;
    };
    const auto request = [](uint8_t command, const Bytes& data = {}) {
        Bytes b(HEADER_SIZE);
        PutRequestHeader(b.data(), command);
        Append(b, data);
        return b;
    };

    const std::string f = "frame_decoder";
    const Bytes type = reply(request(CMD_GET_TYPE));
    const Bytes ident = reply(request(CMD_GET_IDENT));
    const Bytes gsm = reply(request(CMD_GET_GSM));
    const Bytes io = reply(request(CMD_GET_IO));
    const Bytes time = reply(request(CMD_GET_TIME));
    Write(f, "sim-type", OnLine(TYPE_REPLY_SIZE, EncodeFrame(type)));
    Write(f, "sim-ident", OnLine(IDENT_REPLY_SIZE, EncodeFrame(ident)));
    Write(f, "sim-gsm", OnLine(GSM_REPLY_SIZE, EncodeFrame(gsm)));
    Write(f, "sim-io", OnLine(IO_REPLY_SIZE, EncodeFrame(io)));
    Write(f, "sim-clock", OnLine(CLOCK_SIZE, EncodeFrame(time)));
    // The first and the last block of the configuration (1665 = 9 x 170 + 135).
    Write(f, "sim-cfg-first",
          OnLine(180, EncodeFrame(reply(request(CMD_READ_CFG, {0, 0, 0, 0, 0, 170})))));
    Write(f, "sim-cfg-last",
          OnLine(180, EncodeFrame(reply(request(CMD_READ_CFG, {0, 0, 0x05, 0xFA, 0, 135})))));
    const Bytes sms = reply(request(CMD_GET_SMS));
    Write(f, "sim-sms", OnLine(SMS_REPLY_MAX, EncodeFrame(sms)));
    reply(request(CMD_ACK_SMS));
    Write(f, "sim-no-sms", OnLine(SMS_REPLY_MAX, EncodeFrame(reply(request(CMD_GET_SMS)))));
    Write(f, "sim-sms-state", OnLine(5, EncodeFrame(reply(request(CMD_GET_SMS_STATE)))));
    Write(f, "sim-unknown", OnLine(4, EncodeFrame(reply(request(0x40)))));

    const std::string st = "dev_status";
    Bytes session = {0};
    Append(session, type);
    Append(session, ident);
    for (const auto& [kind, r] : {std::pair<uint8_t, const Bytes&>{1, gsm}, {2, io}, {3, time}}) {
        session.push_back(kind);
        Append(session, r);
    }
    Write(st, "sim-session", session);
    Write("sms_reply", "sim-message", sms);
}

void ModemListSeeds(const std::string& tmp) {
    const std::string t = "modem_list";
    const std::string path = tmp + "/Modems.dat";
    CModemMng list;
    if (!list.SaveFile(path))
        Fail("cannot save the modem list");
    Write(t, "empty.dat", ReadFile(path));
    CModemInf gsm = MakeModemInf("Siemens MC35i", "/dev/serial/by-id/usb-FTDI_A1B2C3-if00-port0");
    std::strcpy(gsm.m_szInit, "AT&F");
    gsm.m_bGsm = true;
    list.Add(gsm);
    list.Add(MakeModemInf("Analogovy modem", "/dev/ttyS1"));
    if (!list.SaveFile(path))
        Fail("cannot save the modem list");
    Write(t, "two.dat", ReadFile(path));
}

// What modems answer the dialler: the first byte is the reader's mode (bit 0: CR ends a
// line; bit 1: numeric result codes).
void HayesSeeds() {
    const std::string t = "hayes_reader";
    const auto answer = [](uint8_t mode, const std::string& text) {
        Bytes b = {mode};
        b.insert(b.end(), text.begin(), text.end());
        return b;
    };
    Write(t, "numeric-wake-up", answer(3, "AT\r0\r"));
    Write(t, "verbose-set-up", answer(0, "ATE0V1\r\r\nOK\r\nAT&F\r\r\nOK\r\n"));
    Write(t, "connect", answer(0, "ATD603123456\r\r\nCONNECT 9600/RLP\r\n"));
    Write(t, "busy", answer(0, "\r\nRING\r\n\r\n+CREG: 1\r\n\r\nBUSY\r\n"));
    Write(t, "cme-error", answer(0, "AT+CBST=7,0,1\r\r\n+CME ERROR: 30\r\n"));
    Write(t, "no-carrier", answer(4, "\r\nCARRIER 9600\r\nPROTOCOL: LAPM\r\nNO CARRIER\r\n"));
    Write(t, "overlong", answer(0, std::string(300, 'x') + "\r\nOK\r\n"));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tk_fuzz_seeds <corpus folder>\n");
        return 2;
    }
    g_out = argv[1];
    char tmpl[] = "/tmp/tk_fuzz_seeds.XXXXXX";
    if (!::mkdtemp(tmpl))
        Fail("cannot make a temporary folder");
    const std::string tmp = tmpl;
    tk::SetProgramFolder(tmp);

    for (const char* target : {"frame_decoder", "dev_status", "sms_reply", "cfg_file", "cfg_json",
                               "profile", "connections", "sms_store", "modem_list", "hayes_reader"})
        fs::remove_all(g_out / target);
    FrameSeeds();
    StatusSeeds();
    SmsReplySeeds();
    CfgSeeds(tmp);
    ProfileSeeds();
    ConnectionSeeds();
    SmsStoreSeeds();
    VirtualUnitSeeds();
    ModemListSeeds(tmp);
    HayesSeeds();
    fs::remove_all(tmp);
    return 0;
}
