#include "config/TK630Cfg.h"

#include "config/CfgWriteTexts.h"
#include "link/LinkError.h"
#include "status/DevStatus.h"
#include "tests/support/DiskFull.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <unistd.h>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes BytesOf(const CfgImage& image) {
    const auto* p = reinterpret_cast<const uint8_t*>(&image);
    return Bytes(p, p + sizeof image);
}

CfgImage DefaultImage(uint8_t audioIn = 64) {
    CfgImage image;
    SetDefaults(image);
    image.m_nAIn = audioIn;
    return image;
}

Bytes CfgFile(uint32_t version, int32_t code, const Bytes& body) {
    Bytes b(8);
    for (size_t i = 0; i < 4; ++i) {
        b[i] = static_cast<uint8_t>(version >> (8 * i));
        b[4 + i] = static_cast<uint8_t>(static_cast<uint32_t>(code) >> (8 * i));
    }
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

Bytes DeviceOf(const CfgImage& image) {
    Bytes device(CFG_DEVICE_SIZE);
    ImageToDevice(device.data(), image);
    return device;
}

// Records what the configuration asked of the user interface and answers as scripted.
struct FakeHost : ICfgHost {
    int answer = CFG_YES;
    bool openOk = true, saveOk = true;
    std::string chosenName, offeredName, filter, ext;
    int asked = 0, openDialogs = 0, saveDialogs = 0, titles = 0, replaced = 0, leaves = 0;
    int reads = 0, writes = 0;
    std::vector<uint32_t> errors;

    int AskSave() override {
        ++asked;
        return answer;
    }
    bool AskOpenFileName(std::string& name, const std::string& f) override {
        ++openDialogs;
        filter = f;
        name = chosenName;
        return openOk;
    }
    bool AskSaveFileName(std::string& name, const std::string& f, const char* e) override {
        ++saveDialogs;
        filter = f;
        ext = e;
        offeredName = name;
        name = chosenName;
        return saveOk;
    }
    void ShowError(uint32_t textId) override { errors.push_back(textId); }
    void TitleChanged() override { ++titles; }
    void ConfigReplaced() override { ++replaced; }
    void LeaveCurrentPane() override { ++leaves; }
    uint32_t PostReadConfig(CTK630Cfg&) override {
        ++reads;
        return LE_BUSY;
    }
    uint32_t PostWriteConfig(CTK630Cfg&) override {
        ++writes;
        return LE_OK;
    }
};

struct CfgManager : ::testing::Test {
    TempDir dir;
    FakeHost host;
    CTK630Cfg cfg{&host};

    // Named after a saved file "a.cfg", then edited in memory; the host's records cleared.
    void NamedAndEdited() {
        ASSERT_EQ(cfg.SaveFile(dir.File("a.cfg")), 1);
        cfg.GetImage()->m_szPIN[0] = '1';
        cfg.SetModified();
        host = FakeHost{};
    }
};

} // namespace

TEST_F(CfgManager, SavingANewConfigurationWritesTheHeaderAndTheDefaultImage) {
    host.chosenName = dir.File("new.cfg");
    EXPECT_EQ(cfg.Save(false), 1);
    EXPECT_EQ(ReadFileBytes(dir.File("new.cfg")), CfgFile(1, -1, BytesOf(DefaultImage())));
    EXPECT_EQ(ReadFileBytes(dir.File("new.cfg")).size(), 1667u);
    EXPECT_EQ(cfg.GetFileName(), dir.File("new.cfg"));
    EXPECT_FALSE(cfg.IsModified());
    EXPECT_EQ(host.filter, "Soubory konfigurace (*.cfg)|*.cfg|Všechny soubory|*.*");
    EXPECT_EQ(host.ext, "cfg");
    EXPECT_EQ(host.leaves, 1);
    EXPECT_EQ(host.titles, 1);
    EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"new.cfg"});
}

TEST_F(CfgManager, RefusedFilesChangeNothing) {
    NamedAndEdited();
    const Bytes before = BytesOf(*cfg.GetImage());
    const Bytes image = BytesOf(DefaultImage());
    const Bytes cases[] = {
        CfgFile(2, -1, image),
        CfgFile(1, 0, image),
        CfgFile(1, 2, DeviceOf(DefaultImage())),
        CfgFile(1, 1, image), // 1667 bytes: too short for the device layout
        CfgFile(1, -1, Bytes(image.begin(), image.end() - 1)),
        Bytes{1, 0, 0, 0, 0xFF, 0xFF},
    };
    for (const Bytes& content : cases) {
        WriteFileBytes(dir.File("bad.cfg"), content);
        EXPECT_EQ(cfg.LoadFile(dir.File("bad.cfg")), 0) << content.size();
    }
    EXPECT_EQ(cfg.LoadFile(dir.File("missing.cfg")), 0);
    EXPECT_EQ(cfg.LoadFile(dir.Path()), 0); // a folder
    EXPECT_EQ(host.errors, std::vector<uint32_t>(std::size(cases) + 2, 101));
    EXPECT_EQ(BytesOf(*cfg.GetImage()), before);
    EXPECT_EQ(cfg.GetFileName(), dir.File("a.cfg"));
    EXPECT_TRUE(cfg.IsModified());
    EXPECT_EQ(host.titles + host.replaced, 0);
}

TEST_F(CfgManager, LoadsBothLayoutsAndIgnoresTrailingBytes) {
    CfgImage image = DefaultImage();
    image.m_fLowVal = 1.0f;
    image.m_abHead[1] = 0x42;
    WriteFileBytes(dir.File("dev.cfg"), CfgFile(1, 1, DeviceOf(image)));
    cfg.SetModified();
    EXPECT_EQ(cfg.LoadFile(dir.File("dev.cfg")), 1);
    EXPECT_EQ(float{cfg.GetImage()->m_fLowVal}, 1.0f); // big-endian in the file
    EXPECT_EQ(BytesOf(*cfg.GetImage()), BytesOf(image));
    EXPECT_EQ(cfg.GetFileName(), dir.File("dev.cfg"));
    EXPECT_FALSE(cfg.IsModified());

    Bytes content = CfgFile(1, -1, BytesOf(DefaultImage(99)));
    content.resize(content.size() + 5000, 0xEE);
    EXPECT_EQ(cfg.LoadBytes(content.data(), content.size(), "mem"), 1);
    EXPECT_EQ(cfg.GetImage()->m_nAIn, 99);
    EXPECT_EQ(cfg.GetFileName(), "mem");
    EXPECT_TRUE(host.errors.empty());
}

TEST_F(CfgManager, ATextRunningToTheEndOfItsFieldInAFileIsCut) {
    Bytes content = CfgFile(1, -1, BytesOf(DefaultImage()));
    std::memset(&content[8 + 0x0C8 + 63], 'a', 66); // first alarm text, no zero
    EXPECT_EQ(cfg.LoadBytes(content.data(), content.size()), 1);
    EXPECT_EQ(std::string(cfg.GetImage()->m_aAlarm[0].m_szASMS), std::string(65, 'a'));
    EXPECT_EQ(std::string(cfg.GetImage()->m_aAlarm[1].m_szACall), "");
}

TEST_F(CfgManager, SaveAsksForANameOnlyWhenUntitledOrSavingAs) {
    NamedAndEdited();
    EXPECT_EQ(cfg.Save(false), 1);
    EXPECT_EQ(host.saveDialogs, 0);
    EXPECT_EQ(ReadFileBytes(dir.File("a.cfg"))[8 + 3], '1');
    EXPECT_FALSE(cfg.IsModified());

    host.chosenName = dir.File("b.cfg");
    EXPECT_EQ(cfg.Save(true), 1);
    EXPECT_EQ(host.offeredName, dir.File("a.cfg"));
    EXPECT_EQ(cfg.GetFileName(), dir.File("b.cfg"));

    cfg.SetModified();
    host.saveOk = false;
    host.chosenName = dir.File("c.cfg");
    EXPECT_EQ(cfg.Save(true), 0);
    EXPECT_FALSE(FileExists(dir.File("c.cfg")));
    EXPECT_EQ(cfg.GetFileName(), dir.File("b.cfg"));
    EXPECT_TRUE(cfg.IsModified());
}

TEST_F(CfgManager, YesThenACancelledOrFailedSaveStopsNewOpenAndRead) {
    WriteFileBytes(dir.File("o.cfg"), CfgFile(1, -1, BytesOf(DefaultImage(77))));
    cfg.GetImage()->m_nAIn = 1;
    cfg.SetModified();
    host.saveOk = false; // the save dialog is cancelled
    cfg.New();
    EXPECT_EQ(cfg.GetImage()->m_nAIn, 1);
    EXPECT_TRUE(cfg.IsModified());
    EXPECT_EQ(cfg.Open(), 0);
    EXPECT_EQ(cfg.ReadFromUnit(), uint32_t{CFG_CANCEL});
    EXPECT_EQ(host.openDialogs + host.reads + host.replaced, 0);
    EXPECT_EQ(cfg.QuerySave(), CFG_CANCEL);

    host.saveOk = true; // a save that fails on the disk stops as well
    host.chosenName = dir.File("missing-folder/x.cfg");
    EXPECT_EQ(cfg.QuerySave(), CFG_CANCEL);
    EXPECT_TRUE(cfg.IsModified());

    host.chosenName = dir.File("saved.cfg"); // saved: the command goes on
    EXPECT_EQ(cfg.QuerySave(), CFG_YES);
    EXPECT_FALSE(cfg.IsModified());
    host.chosenName = dir.File("o.cfg");
    EXPECT_EQ(cfg.Open(), 1);
    EXPECT_EQ(cfg.GetImage()->m_nAIn, 77);
}

TEST_F(CfgManager, CancelStopsNewOpenAndRead) {
    NamedAndEdited();
    const Bytes before = BytesOf(*cfg.GetImage());
    host.answer = CFG_CANCEL;
    cfg.New();
    EXPECT_EQ(cfg.Open(), 0);
    EXPECT_EQ(cfg.ReadFromUnit(), uint32_t{CFG_CANCEL});
    EXPECT_EQ(host.asked, 3);
    EXPECT_EQ(host.openDialogs + host.saveDialogs + host.reads + host.replaced, 0);
    EXPECT_EQ(BytesOf(*cfg.GetImage()), before);
    EXPECT_TRUE(cfg.IsModified());

    host.answer = CFG_NO; // go on without saving
    cfg.New();
    EXPECT_EQ(ReadFileBytes(dir.File("a.cfg"))[8 + 3], '7');
    EXPECT_EQ(cfg.GetFileName(), "");
    EXPECT_FALSE(cfg.IsModified());
    EXPECT_EQ(cfg.QuerySave(), CFG_YES); // unmodified: no question
    EXPECT_EQ(host.asked, 4);
}

TEST_F(CfgManager, SettingTheFlagTwiceUpdatesTheTitleOnce) {
    EXPECT_FALSE(cfg.SetModified());
    EXPECT_TRUE(cfg.SetModified());
    EXPECT_EQ(host.titles, 1);
}

TEST_F(CfgManager, AFailedSaveLeavesTheOldFileAndTheState) {
    NamedAndEdited();
    const Bytes old = ReadFileBytes(dir.File("a.cfg"));
    WriteFileBytes(dir.File("plain"), {1});
    EXPECT_EQ(cfg.SaveFile(dir.File("missing/x.cfg")), 0);
    EXPECT_EQ(cfg.SaveFile(dir.File("plain/x.cfg")), 0);
    EXPECT_EQ(host.errors, (std::vector<uint32_t>{102, 102}));

    // A full disk while the old file is being replaced.
    EXPECT_EQ(RunWithFileSizeLimit(100,
                                   [this] {
                                       const bool ok = cfg.Save(false) == 0 &&
                                                       host.errors.size() == 3 &&
                                                       host.titles == 0 && cfg.IsModified() &&
                                                       cfg.GetFileName() == dir.File("a.cfg");
                                       return ok ? 0 : 1;
                                   }),
              0);
    EXPECT_EQ(ReadFileBytes(dir.File("a.cfg")), old);
    EXPECT_EQ(ListFolder(dir.Path()), (std::vector<std::string>{"a.cfg", "plain"}));
    EXPECT_EQ(cfg.GetFileName(), dir.File("a.cfg"));
    EXPECT_TRUE(cfg.IsModified());
}

TEST_F(CfgManager, AReadFromTheUnitLeavesTheFileNameAndTheFlag) {
    for (bool modified : {false, true}) {
        CTK630Cfg c(&host);
        ASSERT_EQ(c.SaveFile(dir.File("r.cfg")), 1);
        if (modified)
            c.SetModified();
        host.answer = CFG_NO;
        EXPECT_EQ(c.ReadFromUnit(), LE_BUSY);
        // What the worker does once all blocks are in.
        CfgImage fromUnit = DefaultImage(5);
        fromUnit.m_fLowVal = 2.5f;
        uint8_t* buf = c.GetDataMng().PrepareBuffer(1);
        ASSERT_NE(buf, nullptr);
        ImageToDevice(buf, fromUnit);
        c.GetDataMng().Import();
        EXPECT_EQ(BytesOf(*c.GetImage()), BytesOf(fromUnit));
        EXPECT_EQ(c.GetFileName(), dir.File("r.cfg"));
        EXPECT_EQ(c.IsModified(), modified);
    }
    EXPECT_EQ(host.reads, 2);
}

// What the write question warns about: defaults that nobody chose. An edit, a file or a read
// from a unit makes them chosen; New makes them blank again, a save does not.
TEST_F(CfgManager, OnlyAnUntouchedNewConfigurationIsBlank) {
    EXPECT_TRUE(cfg.IsBlank());
    ASSERT_EQ(cfg.SaveFile(dir.File("d.cfg")), 1);
    EXPECT_TRUE(cfg.IsBlank());
    cfg.SetModified();
    EXPECT_FALSE(cfg.IsBlank());
    host.answer = CFG_NO;
    cfg.New();
    EXPECT_TRUE(cfg.IsBlank());
    ASSERT_EQ(cfg.LoadFile(dir.File("d.cfg")), 1);
    EXPECT_FALSE(cfg.IsBlank());
    cfg.New();
    cfg.NoteReadFromUnit();
    EXPECT_FALSE(cfg.IsBlank());
}

// The unit is named as it names itself (CP1250 on the line), with its serial number.
TEST(CfgWriteTexts, NameTheUnitWithItsSerialNumber) {
    CDevIdent id;
    id.m_nSerNum = 12345;
    std::strcpy(id.m_szName, "Vr\xe1tnice \x9akola"); // "Vrátnice škola" in CP1250
    EXPECT_EQ(CfgWriteQuestion(id),
              "Zapsat do jednotky Vrátnice škola (výrobní číslo 00012345) tyto změny?");
    EXPECT_EQ(CfgWrittenText(id, 3),
              "Konfigurace zapsána do jednotky Vrátnice škola (výrobní číslo 00012345), počet "
              "změn: 3.");
    id.m_szName[0] = '\0';
    EXPECT_EQ(CfgWrittenText(id, -1),
              "Konfigurace zapsána do jednotky TK530 (výrobní číslo 00012345).");
}

TEST_F(CfgManager, WriteToUnitStoresThePaneAndAsksNothing) {
    cfg.SetModified();
    cfg.GetImage()->m_fLowVal = 1.0f;
    EXPECT_EQ(cfg.WriteToUnit(), LE_OK);
    EXPECT_EQ(host.leaves, 1);
    EXPECT_EQ(host.writes, 1);
    EXPECT_EQ(host.asked, 0);
    EXPECT_TRUE(cfg.IsModified());
    uint8_t* buf = cfg.GetDataMng().PrepareBuffer(1);
    cfg.GetDataMng().Export();
    EXPECT_EQ(Bytes(buf, buf + CFG_DEVICE_SIZE), DeviceOf(*cfg.GetImage()));
}

TEST(CfgDataMng, PrepareBufferSelectsKnownLayoutsAndOnlyGrows) {
    CTKCfgDataMng data;
    data.Import(); // nothing selected: nothing happens
    EXPECT_EQ(BytesOf(*data.GetImage()), BytesOf(DefaultImage()));
    for (int32_t code : {0, 2, -2, 0x10001})
        EXPECT_EQ(data.PrepareBuffer(code), nullptr) << code;
    EXPECT_EQ(data.GetLayout(), nullptr);

    uint8_t* device = data.PrepareBuffer(1);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(data.GetLayout()->m_nSize, 1665);
    device[1664] = 0x5A;
    // Back to the smaller layout: the same buffer, its content kept.
    EXPECT_EQ(data.PrepareBuffer(-1), device);
    EXPECT_EQ(data.GetBufferSize(), 1665);
    EXPECT_EQ(data.GetLayout()->m_nCode, -1);
    EXPECT_EQ(data.GetLayout()->m_nSize, 1659);
    EXPECT_EQ(device[1664], 0x5A);
    data.Export(); // the image layout has no export
    EXPECT_EQ(device[1664], 0x5A);
}

TEST(CfgWithoutHost, NothingIsAskedOrShown) {
    TempDir dir;
    CTK630Cfg cfg;
    cfg.SetModified();
    EXPECT_EQ(cfg.QuerySave(), CFG_NO);
    EXPECT_EQ(cfg.Save(false), 0); // untitled, nobody to ask
    EXPECT_EQ(cfg.LoadFile(dir.File("missing.cfg")), 0);
    EXPECT_EQ(cfg.ReadFromUnit(), LE_START_FAILED);
    EXPECT_EQ(cfg.SaveFile(dir.File("x.cfg")), 1);
    cfg.New();
    EXPECT_EQ(cfg.GetFileName(), "");
}
