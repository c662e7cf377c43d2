#include "tests/engine/EngineFixture.h"

#include "base/SafeFile.h"
#include "config/CfgBackup.h"
#include "config/TK630Cfg.h"
#include "tests/support/FramePeer.h"
#include "tests/support/PtyPair.h"

#include <cstring>
#include <sys/stat.h>

namespace {

std::vector<uint8_t> DeviceLayoutOf(const CfgImage& image) {
    std::vector<uint8_t> device(CFG_DEVICE_SIZE);
    ImageToDevice(device.data(), image);
    return device;
}

uint32_t StepsAfterBegin(const std::vector<ProgressRecord>& progress, uint32_t caption) {
    uint32_t steps = 0;
    bool in = false;
    for (const auto& p : progress) {
        if (p.type == PM_BEGIN)
            in = p.value == caption;
        else if (in && p.type == PM_STEP)
            steps += p.value;
    }
    return steps;
}

} // namespace

class DeviceOpsTest : public EngineTest {
protected:
    CTK630Cfg m_cfg;
};

TEST_F(DeviceOpsTest, ReadingTheConfigurationTakesTenBlocksAndReplacesTheImage) {
    StartAll();
    CfgImage unitImage;
    SetDefaults(unitImage);
    CopyTextField(unitImage.m_szPIN, sizeof unitImage.m_szPIN, "4321", 5);
    unitImage.m_fLowVal = 12.5f;
    ASSERT_TRUE(Unit().SetConfigMemory(DeviceLayoutOf(unitImage)));
    ASSERT_EQ(m_cfg.SaveFile(m_dir.File("site.cfg")), 1);
    m_cfg.SetModified();

    Run({CM_READ_CFG, reinterpret_cast<uintptr_t>(&m_cfg), 0});
    EXPECT_TRUE(m_ui.Errors().empty());
    EXPECT_EQ(std::memcmp(m_cfg.GetImage(), &unitImage, sizeof unitImage), 0);
    EXPECT_EQ(Commands(), (Codes{0x20, 0x23, 0x28, 0x28, 0x28, 0x28, 0x28, 0x28, 0x28, 0x28, 0x28,
                                 0x28, 0x22, 0x86}));
    // Blocks of 170 bytes, the last one of 135, each asked by offset and length.
    const auto requests = Unit().Requests();
    EXPECT_EQ(requests[2].payload,
              (std::vector<uint8_t>{0x80, 0x28, 0x01, 0xFF, 0, 0, 0, 0, 0, 170}));
    EXPECT_EQ(requests[4].payload,
              (std::vector<uint8_t>{0x80, 0x28, 0x01, 0xFF, 0, 0, 0x01, 0x54, 0, 0xAA}));
    EXPECT_EQ(requests[11].payload,
              (std::vector<uint8_t>{0x80, 0x28, 0x01, 0xFF, 0, 0, 0x05, 0xFA, 0, 135}));
    EXPECT_EQ(StepsAfterBegin(m_ui.Progress(), TXT_CAP_READ_CFG), 10u);
    const auto codes = m_ui.EventCodes();
    EXPECT_NE(std::find(codes.begin(), codes.end(), CE_CFG_READ), codes.end());
    // A read changes neither the file name nor the modified flag.
    EXPECT_EQ(m_cfg.GetFileName(), m_dir.File("site.cfg"));
    EXPECT_TRUE(m_cfg.IsModified());
}

TEST_F(DeviceOpsTest, EveryReadIsKeptAsABackupOfThatUnit) {
    StartAll();
    Run({CM_READ_CFG, reinterpret_cast<uintptr_t>(&m_cfg), 0});
    const auto backups = ListFolder(CfgBackupFolder());
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups[0].substr(0, 9), "00012345_");
    CTK630Cfg restored;
    ASSERT_EQ(restored.LoadFile(CfgBackupFolder() + "/" + backups[0]), 1);
    EXPECT_EQ(std::memcmp(restored.GetImage(), m_cfg.GetImage(), sizeof(CfgImage)), 0);
    // A backup holds the SIM PIN: the file and its folders are the user's alone.
    struct stat st {};
    ASSERT_EQ(::stat((CfgBackupFolder() + "/" + backups[0]).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(CfgBackupFolder().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // A configuration saved to a new file is private too.
    ASSERT_TRUE(WriteCfgFile(m_dir.File("saved.cfg"), *m_cfg.GetImage()));
    ASSERT_EQ(::stat(m_dir.File("saved.cfg").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// The fourth block's reply echoes a wrong offset, then (second round) a wrong length.
TEST_F(DeviceOpsTest, AWrongEchoGives8AndLeavesTheImage) {
    StartAll();
    CfgImage other;
    SetDefaults(other);
    other.m_nAIn = 99;
    ASSERT_TRUE(Unit().SetConfigMemory(DeviceLayoutOf(other)));
    for (const uint32_t field : {0u, 1u}) {
        SCOPED_TRACE(field == 0 ? "offset" : "length");
        Unit().ClearFaults();
        Unit().AddFault({0x28, SimFaultKind::BadEcho, field, 1, 3});
        const size_t errorsBefore = m_ui.Errors().size();
        Run({CM_READ_CFG, reinterpret_cast<uintptr_t>(&m_cfg), 0});
        const auto errors = m_ui.Errors();
        EXPECT_EQ(std::vector(errors.begin() + static_cast<ptrdiff_t>(errorsBefore), errors.end()),
                  (std::vector<std::pair<uint32_t, uint32_t>>{{LE_BAD_REPLY, 0x28}}));
        CfgImage defaults;
        SetDefaults(defaults);
        EXPECT_EQ(std::memcmp(m_cfg.GetImage(), &defaults, sizeof defaults), 0);
        const auto codes = m_ui.EventCodes();
        EXPECT_EQ(std::find(codes.begin(), codes.end(), CE_CFG_READ), codes.end());
        EXPECT_TRUE(ListFolder(m_dir.Path()).size() <= 2u); // no backup of a failed read
    }
}

TEST_F(DeviceOpsTest, WritingSendsTheDeviceLayoutInBlocks) {
    StartAll();
    CopyTextField(m_cfg.GetImage()->m_szPIN, 9, "5555", 5);
    m_cfg.GetImage()->m_fLowVal = 1.0f;
    Run({CM_WRITE_CFG, reinterpret_cast<uintptr_t>(&m_cfg), 0});
    EXPECT_TRUE(m_ui.Errors().empty());
    EXPECT_EQ(Unit().ConfigMemory(), DeviceLayoutOf(*m_cfg.GetImage()));
    const auto requests = Unit().Requests();
    ASSERT_EQ(requests.size(), 14u);
    EXPECT_EQ(requests[2].payload.size(), 180u);
    EXPECT_EQ(requests[11].payload.size(), 145u);
    EXPECT_EQ(StepsAfterBegin(m_ui.Progress(), TXT_CAP_WRITE_CFG), 10u);
    // The device layout carries the threshold big-endian at its bytes 0x33..0x36.
    EXPECT_EQ(Unit().ConfigMemory()[0x33], 0x3F);
}

TEST_F(DeviceOpsTest, WriteWithVerificationReadsEveryBlockBack) {
    StartAll();
    m_cfg.GetImage()->m_nTone = 4;
    Run({CM_WRITE_CFG, reinterpret_cast<uintptr_t>(&m_cfg), 1});
    EXPECT_TRUE(m_ui.Errors().empty());
    const Codes codes = Commands();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 0x27), 10);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 0x28), 10);
    EXPECT_EQ(StepsAfterBegin(m_ui.Progress(), TXT_CAP_WRITE_CFG), 20u);
}

// Before a write the unit's configuration is read and kept; the question carries it, and only
// a yes writes. Storno, a closed window and "no differences" leave the unit as it was.
TEST_F(DeviceOpsTest, AConfirmedWriteKeepsWhatTheUnitHadAndWritesOnlyOnYes) {
    StartAll();
    CfgImage unitImage;
    SetDefaults(unitImage);
    CopyTextField(unitImage.m_szPIN, sizeof unitImage.m_szPIN, "4321", 5);
    ASSERT_TRUE(Unit().SetConfigMemory(DeviceLayoutOf(unitImage)));
    *m_cfg.GetImage() = unitImage;
    CopyTextField(m_cfg.GetImage()->m_szPIN, 9, "5555", 5);
    m_cfg.GetImage()->m_nTone = 4;
    const uintptr_t cfg = reinterpret_cast<uintptr_t>(&m_cfg);
    const uint32_t ask = CFG_WRITE_BACKUP | CFG_WRITE_ASK;

    std::shared_ptr<const CfgImage> asked;
    uint32_t answer = 0;
    m_ui.onSendEvent = [&](const CComEvent& ev) {
        if (ev.m_nCode == CE_CFG_WRITE_QUERY)
            asked = ev.m_pCfg;
        return answer;
    };
    auto writes = [&] {
        const Codes codes = Commands();
        return std::count(codes.begin(), codes.end(), 0x27);
    };
    auto lastEvent = [&](int code) {
        const auto events = m_ui.Events();
        for (auto it = events.rbegin(); it != events.rend(); ++it)
            if (it->code == code)
                return *it;
        return EventRecord{};
    };

    Run({CM_WRITE_CFG, cfg, ask}); // Storno
    EXPECT_TRUE(m_ui.Errors().empty());
    EXPECT_EQ(writes(), 0);
    EXPECT_EQ(Unit().ConfigMemory(), DeviceLayoutOf(unitImage));
    ASSERT_TRUE(asked);
    EXPECT_EQ(std::memcmp(asked.get(), &unitImage, sizeof unitImage), 0);
    EXPECT_EQ(lastEvent(CE_CFG_WRITE_QUERY).arg, 2); // the PIN and the tone
    EXPECT_EQ(lastEvent(CE_CFG_WRITTEN).code, 0);
    const auto backups = ListConfigBackups();
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_TRUE(backups[0].beforeWrite);
    CTK630Cfg kept;
    ASSERT_EQ(kept.LoadFile(backups[0].path), 1);
    EXPECT_EQ(std::memcmp(kept.GetImage(), &unitImage, sizeof unitImage), 0);
    // The open configuration is not touched by the read before the write.
    EXPECT_EQ(m_cfg.GetImage()->m_nTone, 4);

    answer = 1; // Zapsat
    Run({CM_WRITE_CFG, cfg, ask});
    EXPECT_TRUE(m_ui.Errors().empty());
    EXPECT_EQ(Unit().ConfigMemory(), DeviceLayoutOf(*m_cfg.GetImage()));
    EXPECT_EQ(lastEvent(CE_CFG_WRITTEN).arg, 2);
    EXPECT_EQ(ListConfigBackups().size(), 2u);

    asked.reset();
    const auto before = writes();
    Run({CM_WRITE_CFG, cfg, ask}); // the unit holds it now
    EXPECT_FALSE(asked);
    EXPECT_EQ(writes(), before);
    EXPECT_EQ(lastEvent(CE_CFG_UNCHANGED).code, CE_CFG_UNCHANGED);

    // Without a question (the command-line companion) the backup is still taken first.
    m_cfg.GetImage()->m_nTone = 3;
    Run({CM_WRITE_CFG, cfg, CFG_WRITE_BACKUP});
    EXPECT_FALSE(asked);
    EXPECT_EQ(Unit().ConfigMemory()[6 + 0x586], 3);
    EXPECT_EQ(lastEvent(CE_CFG_WRITTEN).arg, 1);
    EXPECT_EQ(ListConfigBackups().size(), 4u);
}

TEST_F(DeviceOpsTest, NothingIsWrittenWhenTheUnitsConfigurationCannotBeKept) {
    StartAll();
    ASSERT_TRUE(tk::EnsureFolder(tk::DataFolder()));
    WriteFileBytes(CfgBackupFolder(), {1}); // a plain file where the backups belong
    m_cfg.GetImage()->m_nTone = 4;
    m_ui.onSendEvent = [](const CComEvent&) { return 1u; };
    Run({CM_WRITE_CFG, reinterpret_cast<uintptr_t>(&m_cfg), CFG_WRITE_BACKUP | CFG_WRITE_ASK});
    ASSERT_EQ(m_ui.Errors().size(), 1u);
    EXPECT_EQ(m_ui.Errors()[0].first, LE_BACKUP_FAILED);
    const Codes codes = Commands();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 0x27), 0);
    EXPECT_NE(Unit().ConfigMemory()[6 + 0x586], 4);
}

TEST_F(DeviceOpsTest, AFailureInTheMiddleOfAWriteNamesItsCommand) {
    StartAll();
    m_com->SetTimeoutScale(3);
    m_cfg.GetImage()->m_nTone = 3;
    CopyTextField(m_cfg.GetImage()->m_szPIN, 9, "8888", 5);
    Unit().AddFault({0x27, SimFaultKind::NoAnswer, 0, SIM_FAULT_ALWAYS, 4});
    Run({CM_WRITE_CFG, reinterpret_cast<uintptr_t>(&m_cfg), 0});
    EXPECT_EQ(m_ui.Errors(), (std::vector<std::pair<uint32_t, uint32_t>>{{LE_TIMEOUT, 0x27}}));
    // The blocks written before stay written; nothing is undone.
    const auto memory = Unit().ConfigMemory();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&memory[6 + 0x003])), "8888");
    EXPECT_EQ(memory[6 + 0x586], 2); // m_nTone lies in the ninth block: not reached
    EXPECT_EQ(Commands().back(), 0x86);
}

TEST_F(DeviceOpsTest, AnUnknownDeviceTypeGives7BeforeAnyBlock) {
    StartAll();
    SimIdent ident = Unit().Ident();
    ident.cfgType = 5;
    Unit().SetIdent(ident);
    Run({CM_READ_CFG, reinterpret_cast<uintptr_t>(&m_cfg), 0});
    EXPECT_EQ(m_ui.Errors().at(0).first, LE_UNSUPPORTED);
    EXPECT_EQ(Commands(), (Codes{0x20, 0x23, 0x22, 0x86}));
}

TEST_F(DeviceOpsTest, OutputsChangeOnlyTheMaskedBits) {
    StartAll();
    Unit().SetOutputs(0x05);
    Run({CM_SET_OUTPUTS, 0x04, 0x04}); // output 2 to 1: already set
    Run({CM_SET_OUTPUTS, 0x01, 0x00}); // output 0 to 0
    std::vector<uint8_t> sent;
    for (const auto& r : Unit().Requests()) {
        if (r.payload[1] == 0x25)
            sent.push_back(r.payload.at(4));
    }
    EXPECT_EQ(sent, (std::vector<uint8_t>{0x05, 0x04}));
    EXPECT_EQ(Unit().Outputs(), 0x04);
    EXPECT_EQ(m_status.m_IO.m_nOutputs, 0x04);
}

TEST_F(DeviceOpsTest, SettingTheClockSendsItsBytesAndReadsItBack) {
    StartAll();
    SysTime t;
    t.wYear = 2008;
    t.wMonth = 3;
    t.wDay = 7;
    t.wHour = 14;
    t.wMinute = 5;
    t.wSecond = 9;
    Run({CM_SET_TIME, reinterpret_cast<uintptr_t>(&t), 0});
    const auto requests = Unit().Requests();
    EXPECT_EQ(requests[2].payload,
              (std::vector<uint8_t>{0x80, 0x31, 0x01, 0xFF, 0x07, 0x03, 0x08, 0x0E, 0x05, 0x09}));
    EXPECT_EQ(requests[3].payload[1], 0x30);
    EXPECT_EQ(m_status.m_Time.wYear, 2008);
    EXPECT_EQ(m_status.m_Time.wMonth, 3);
    EXPECT_EQ(m_status.m_Time.wHour, 14);
}

// A unit that echoes a block's offset and length but leaves its data out.
TEST(DeviceOpsShortReply, ABlockWithoutItsDataIsABadReply) {
    TempDir dir;
    tk::SetProgramFolder(dir.Path());
    PtyPair pty;
    FramePeer peer(pty.Master(), [](const Bytes& req) -> std::optional<PeerReply> {
        switch (req[1]) {
        case CMD_GET_TYPE:
            return FramePeer::Frame(FramePeer::Reply(req[1], 0, {0, 1, 0, 1}));
        case CMD_GET_IDENT:
            return FramePeer::Frame(FramePeer::Reply(req[1], 0, Bytes(166, 0)));
        case CMD_READ_CFG:
            return FramePeer::Frame(FramePeer::Reply(req[1], 0, Bytes(req.begin() + 4, req.end())));
        default:
            return FramePeer::Frame(FramePeer::Reply(req[1], 0));
        }
    });
    CProfile profile;
    profile.SetPort(pty.SlavePath().c_str());
    CDevStatus status;
    CTK630Com com(profile, status);
    com.SetPauseMs(0);
    ASSERT_FALSE(com.SerCom().Init());
    ASSERT_EQ(com.Connect({CM_CONNECT, 0, 0}), LE_OK);
    CTK630Cfg cfg;
    cfg.GetImage()->m_nAIn = 77;
    EXPECT_EQ(com.ReadConfig(&cfg), LE_BAD_REPLY);
    EXPECT_EQ(cfg.GetImage()->m_nAIn, 77); // the image stays as it was
    com.Disconnect();
}
