// tk530ctl's configuration commands end to end: the real executable against the virtual unit
// on a pseudo-terminal, checked by what it prints, its exit status, the files it wrote and
// the frames (or none) that reached the unit.
#include "base/ProgramFolder.h"
#include "config/CfgImage.h"
#include "config/TK630Cfg.h"
#include "tests/cli/CtlProcess.h"
#include "tests/support/TempDir.h"
#include "tools/sim/SimServer.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>

namespace {

using Bytes = std::vector<uint8_t>;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

size_t Lines(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t pos = 0; (pos = text.find(part, pos)) != std::string::npos; pos += part.size())
        ++n;
    return n;
}

Bytes CfgFile(const CfgImage& image) {
    uint8_t file[CFG_FILE_SIZE];
    BuildCfgFile(file, image);
    return Bytes(file, file + sizeof file);
}

Bytes DeviceOf(const CfgImage& image) {
    Bytes device(CFG_DEVICE_SIZE);
    ImageToDevice(device.data(), image);
    return device;
}

class CtlConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        tk::SetProgramFolder(m_dir.Path());
        m_sim = std::make_unique<CSimServer>();
        std::string error;
        ASSERT_TRUE(m_sim->Start(&error)) << error;
        SetDefaults(m_defaults);
    }
    void TearDown() override { m_sim->Stop(); }

    CtlResult Ctl(std::vector<std::string> args, const std::string& input = {}) {
        std::vector<std::string> all = {"--folder", m_dir.Path(), "--port", m_sim->SlavePath()};
        all.insert(all.end(), args.begin(), args.end());
        return RunCtl(all, input);
    }

    size_t WritesToUnit() const {
        size_t n = 0;
        for (const auto& r : m_sim->Unit().Requests())
            n += r.payload.size() > 1 && r.payload[1] == 0x27 ? 1 : 0;
        return n;
    }

    TempDir m_dir;
    std::unique_ptr<CSimServer> m_sim;
    CfgImage m_defaults;
};

} // namespace

TEST_F(CtlConfigTest, WriteConfigRefusesAFileThePanesCannotHoldAndSendsNothing) {
    std::mt19937 rng(7);
    Bytes random(CFG_FILE_SIZE);
    std::generate(random.begin(), random.end(), [&] { return static_cast<uint8_t>(rng()); });
    const uint8_t head[] = {1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    std::copy(std::begin(head), std::end(head), random.begin());
    const std::string file = m_dir.File("random.cfg");
    WriteFileBytes(file, random);
    const Bytes memory = m_sim->Unit().ConfigMemory();

    for (const char* mode : {"", "--dry-run", "--verify"}) {
        std::vector<std::string> args = {"write-config", file};
        if (*mode)
            args.emplace_back(mode);
        const CtlResult r = Ctl(args);
        EXPECT_EQ(r.status, 65) << mode;
        EXPECT_TRUE(Has(r.err, "--force")) << r.err;
        EXPECT_TRUE(Has(r.err, "sim.tone")) << r.err;
    }
    EXPECT_EQ(m_sim->Unit().RequestCount(), 0u); // not even a connection
    EXPECT_EQ(m_sim->Unit().ConfigMemory(), memory);
    const CtlResult check = Ctl({"config", "check", file});
    EXPECT_EQ(check.status, 1);
    EXPECT_TRUE(Has(check.out, "sim.tone (SIM karta › Oznamovací tón): hodnota "));
    // A number the unit could not dial is named too, and alone it fails the check.
    CfgImage spaced = m_defaults;
    std::strcpy(spaced.m_aAlarm[1].m_szACall, "603 111 222");
    WriteFileBytes(m_dir.File("spaced.cfg"), CfgFile(spaced));
    const CtlResult dial = Ctl({"config", "check", m_dir.File("spaced.cfg")});
    EXPECT_EQ(dial.status, 1);
    EXPECT_EQ(std::count(dial.out.begin(), dial.out.end(), '\n'), 1) << dial.out;
    EXPECT_TRUE(Has(dial.out, "alarm[1].call_number")) << dial.out;
    EXPECT_TRUE(Has(dial.out, "Mezera")) << dial.out;

    // Written on purpose, it arrives as it is.
    const CtlResult forced = Ctl({"write-config", file, "--force"});
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(WritesToUnit(), 10u);
    CTK630Cfg cfg;
    ASSERT_EQ(cfg.LoadFile(file), 1);
    EXPECT_EQ(m_sim->Unit().ConfigMemory(), DeviceOf(*cfg.GetImage()));
}

TEST_F(CtlConfigTest, DryRunShowsTheDifferencesAgainstTheUnitAndWritesNothing) {
    CfgImage edited = m_defaults;
    std::strcpy(edited.m_szPIN, "2468");
    edited.m_nRAccess = 1;
    const std::string file = m_dir.File("edited.cfg");
    WriteFileBytes(file, CfgFile(edited));
    const Bytes memory = m_sim->Unit().ConfigMemory();

    const CtlResult dry = Ctl({"write-config", file, "--dry-run"});
    EXPECT_EQ(dry.status, 1) << dry.err;
    EXPECT_TRUE(Has(dry.out, "PIN:  \"7093\" → \"2468\"  (sim.pin)")) << dry.out;
    EXPECT_TRUE(Has(dry.out, "povolit vzdálený přístup:  ne → ano")) << dry.out;
    EXPECT_EQ(Lines(dry.out, " → "), 2u);
    EXPECT_EQ(WritesToUnit(), 0u);
    EXPECT_EQ(m_sim->Unit().ConfigMemory(), memory);

    ASSERT_EQ(Ctl({"write-config", file}).status, 0);
    const CtlResult again = Ctl({"write-config", file, "--dry-run"});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(WritesToUnit(), 10u);
}

TEST_F(CtlConfigTest, FilesUnitAndBackupsAreShownComparedExportedImportedAndSet) {
    const std::string a = m_dir.File("a.cfg");
    const std::string b = m_dir.File("b.cfg");
    ASSERT_EQ(Ctl({"read-config", a}).status, 0); // also the first backup
    WriteFileBytes(b, ReadFileBytes(a));

    // The unit, its backups and the file hold the same configuration; each read of the unit
    // leaves a backup.
    EXPECT_EQ(Ctl({"config", "diff", "unit", "backup:1"}).status, 0);
    const CtlResult backups = Ctl({"backups", "--unit", "12345"});
    EXPECT_EQ(backups.status, 0);
    EXPECT_EQ(Lines(backups.out, "00012345_"), 2u) << backups.out;
    EXPECT_EQ(Ctl({"config", "diff", a, "backup:2"}).status, 0);
    EXPECT_EQ(Ctl({"config", "diff", a, "backup:3"}).status, 64);
    EXPECT_EQ(Lines(Ctl({"backups", "--unit", "4"}).out, ".cfg"), 0u);
    const CtlResult show = Ctl({"config", "show", "backup:1"});
    EXPECT_EQ(show.status, 0);
    EXPECT_TRUE(Has(show.out, "SIM karta\n")) << show.out;
    EXPECT_TRUE(Has(show.out, "  Oznamovací tón:              K + D\n")) << show.out;
    EXPECT_TRUE(Has(show.out, "  Alarm 3\n    alarm volání:\n"));

    // Three settings changed in place: the old file is kept, the diff lists exactly three.
    const Bytes before = ReadFileBytes(b);
    const CtlResult set = Ctl({"config", "set", b, "sim.pin=1357", "basic.audio.output=80",
                               "alarm[4].sms_text=Požár v hale"});
    EXPECT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(ReadFileBytes(b + ".bak"), before);
    const CtlResult diff = Ctl({"config", "diff", a, b});
    EXPECT_EQ(diff.status, 1);
    EXPECT_EQ(Lines(diff.out, " → "), 3u) << diff.out;
    EXPECT_TRUE(Has(diff.out, "Alarmy › Alarm 5\n  text SMS:  \"Alarm 5\" → \"Požár v hale\""));
    const CtlResult refused = Ctl({"config", "set", b, "sim.pin=123456789", "sim.colour=red"});
    EXPECT_EQ(refused.status, 64);
    EXPECT_TRUE(Has(refused.err, "sim.pin") && Has(refused.err, "sim.colour"));
    EXPECT_EQ(Lines(Ctl({"config", "diff", a, b}).out, " → "), 3u);

    // To JSON and back gives the same bytes; a JSON with faults is refused with each named.
    const std::string json = m_dir.File("b.json");
    ASSERT_EQ(Ctl({"config", "export", b, "-o", json}).status, 0);
    const std::string c = m_dir.File("c.cfg");
    const CtlResult imported = Ctl({"config", "import", json, "-o", c});
    EXPECT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(ReadFileBytes(c), ReadFileBytes(b));
    const CtlResult faults =
        Ctl({"config", "import", "-", "-o", m_dir.File("d.cfg"), "--base", "unit"},
            R"({"settings":{"dial.max_digits":99,"sms.info.reset_text":"😀 ☃","x":1}})");
    EXPECT_EQ(faults.status, 65);
    EXPECT_TRUE(Has(faults.err, "dial.max_digits (") && Has(faults.err, "„😀“") &&
                Has(faults.err, "\nx: "))
        << faults.err;
    EXPECT_FALSE(FileExists(m_dir.File("d.cfg")));
    // A short JSON over the unit's configuration changes just what it names.
    const CtlResult partial =
        Ctl({"config", "import", "-", "-o", m_dir.File("d.cfg"), "--base", "unit"},
            R"({"settings":{"sim.tone":"none"}})");
    EXPECT_EQ(partial.status, 0) << partial.err;
    const CtlResult one = Ctl({"--json", "config", "diff", a, m_dir.File("d.cfg")});
    EXPECT_EQ(one.out,
              "{\"equal\":false,\"differences\":[{\"key\":\"sim.tone\",\"pane\":\"SIM "
              "karta\",\"group\":\"\",\"label\":\"Oznamovací tón\",\"old\":\"K + "
              "D\",\"new\":\"bez tónu\",\"old_value\":\"k_d\",\"new_value\":\"none\"}]}\n");
}

// Copies of a configuration hold its PIN: the backup of config set takes the file's mode even
// over an older, looser backup, a new JSON export is private, and a link planted where the
// backup goes is refused without writing through it.
TEST_F(CtlConfigTest, CopiesArePrivateAndAPlantedBackupLinkIsRefused) {
    const std::string a = m_dir.File("a.cfg");
    ASSERT_EQ(Ctl({"read-config", a}).status, 0);
    ASSERT_EQ(::chmod(a.c_str(), 0600), 0);
    WriteFileBytes(a + ".bak", {1});
    ASSERT_EQ(::chmod((a + ".bak").c_str(), 0644), 0);
    const Bytes before = ReadFileBytes(a);
    const CtlResult set = Ctl({"config", "set", a, "sim.pin=1357"});
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(ReadFileBytes(a + ".bak"), before);
    struct stat st {};
    ASSERT_EQ(::stat((a + ".bak").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    const std::string victim = m_dir.File("victim.txt");
    WriteFileBytes(victim, {'v'});
    ASSERT_EQ(::unlink((a + ".bak").c_str()), 0);
    ASSERT_EQ(::symlink(victim.c_str(), (a + ".bak").c_str()), 0);
    const Bytes current = ReadFileBytes(a);
    const CtlResult planted = Ctl({"config", "set", a, "sim.pin=2468"});
    EXPECT_EQ(planted.status, 65) << planted.err;
    EXPECT_TRUE(Has(planted.err, "symbolický odkaz")) << planted.err;
    EXPECT_EQ(ReadFileBytes(victim), Bytes{'v'});
    EXPECT_EQ(ReadFileBytes(a), current);

    const std::string json = m_dir.File("a.json");
    ASSERT_EQ(Ctl({"config", "export", a, "-o", json}).status, 0);
    ASSERT_EQ(::stat(json.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}
