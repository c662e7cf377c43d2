// A "*.cfg" file of any content, loaded into a configuration that holds another file. With
// layout code 1 the content is the unit's arrangement, so this also drives the conversion of
// the configuration blocks read from a unit.
//
// Checked: a refused file leaves the image, the file name and the modified flag as they
// were; an accepted one gives an image whose every text is terminated inside its field, which
// is the file's content (the image layout byte for byte, apart from those terminators), which
// saved again loads to the same image, and which goes to the unit's arrangement and back with
// the same texts and every other byte unchanged.
#include "tests/fuzz/FuzzCheck.h"

#include "config/CfgImage.h"
#include "config/TK630Cfg.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Field {
    size_t offset;
    size_t size;
};

// Every text field of the image.
std::vector<Field> TextFields() {
    std::vector<Field> f;
    auto add = [&f](size_t offset, size_t size) { f.push_back({offset, size}); };
    add(offsetof(CfgImage, m_szPIN), sizeof(CfgImage::m_szPIN));
    add(offsetof(CfgImage, m_szForwardNum), sizeof(CfgImage::m_szForwardNum));
    add(offsetof(CfgImage, m_szCCmd), sizeof(CfgImage::m_szCCmd));
    add(offsetof(CfgImage, m_szInfoSMS), sizeof(CfgImage::m_szInfoSMS));
    add(offsetof(CfgImage, m_szResetTxt), sizeof(CfgImage::m_szResetTxt));
    add(offsetof(CfgImage, m_szCreditTxt), sizeof(CfgImage::m_szCreditTxt));
    for (size_t i = 0; i < 8; ++i) {
        const size_t alarm = offsetof(CfgImage, m_aAlarm) + i * sizeof(CfgAlarm);
        add(alarm + offsetof(CfgAlarm, m_szACall), sizeof(CfgAlarm::m_szACall));
        add(alarm + offsetof(CfgAlarm, m_szASMS1), sizeof(CfgAlarm::m_szASMS1));
        add(alarm + offsetof(CfgAlarm, m_szASMS2), sizeof(CfgAlarm::m_szASMS2));
        add(alarm + offsetof(CfgAlarm, m_szASMS), sizeof(CfgAlarm::m_szASMS));
    }
    add(offsetof(CfgImage, m_szAddDir), sizeof(CfgImage::m_szAddDir));
    add(offsetof(CfgImage, m_szDelNum), sizeof(CfgImage::m_szDelNum));
    for (size_t i = 0; i < 16; ++i)
        add(offsetof(CfgImage, m_aszEnDir) + 8 * i, 8);
    add(offsetof(CfgImage, m_szMCall), sizeof(CfgImage::m_szMCall));
    for (size_t i = 0; i < 5; ++i) {
        const size_t item = offsetof(CfgImage, m_aRenum) + i * sizeof(CfgRenumItem);
        add(item + offsetof(CfgRenumItem, m_szENum), sizeof(CfgRenumItem::m_szENum));
        add(item + offsetof(CfgRenumItem, m_szRNum), sizeof(CfgRenumItem::m_szRNum));
    }
    return f;
}

const std::vector<Field> kTexts = TextFields();

const uint8_t* Bytes(const CfgImage& image) {
    return reinterpret_cast<const uint8_t*>(&image);
}

uint32_t GetLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void CheckTexts(const CfgImage& image) {
    for (const Field& f : kTexts)
        FUZZ_CHECK(std::memchr(Bytes(image) + f.offset, 0, f.size) != nullptr);
}

// The image a file of the image layout must give: its bytes, with every text that has no
// zero cut by its last byte.
void CheckImageLayout(const CfgImage& image, const uint8_t* content) {
    std::unique_ptr<uint8_t[]> expected(new uint8_t[CFG_IMAGE_SIZE]);
    std::memcpy(expected.get(), content, CFG_IMAGE_SIZE);
    for (const Field& f : kTexts) {
        if (std::memchr(expected.get() + f.offset, 0, f.size) == nullptr)
            expected[f.offset + f.size - 1] = 0;
    }
    FUZZ_CHECK(std::memcmp(expected.get(), Bytes(image), CFG_IMAGE_SIZE) == 0);
}

// The image with every text field cleared after its zero: what the unit's arrangement keeps
// of a text (the bytes after the end of a text mean nothing).
std::unique_ptr<uint8_t[]> TextsOnly(const CfgImage& image) {
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[CFG_IMAGE_SIZE]);
    std::memcpy(bytes.get(), &image, CFG_IMAGE_SIZE);
    for (const Field& f : kTexts) {
        uint8_t* text = bytes.get() + f.offset;
        const size_t len = strnlen(reinterpret_cast<const char*>(text), f.size);
        std::memset(text + len, 0, f.size - len);
    }
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A configuration that came from a file and was then edited.
    CTK630Cfg cfg;
    {
        CfgImage other;
        SetDefaults(other);
        std::memcpy(other.m_szPIN, "1111", 5);
        uint8_t file[CFG_FILE_SIZE];
        BuildCfgFile(file, other);
        FUZZ_CHECK(cfg.LoadBytes(file, sizeof file, "old.cfg") == 1);
        cfg.SetModified();
    }
    const CfgImage before = *cfg.GetImage();

    // libFuzzer's buffer is the file, allocated to the byte.
    if (cfg.LoadBytes(data, size, "new.cfg") != 1) {
        FUZZ_CHECK(std::memcmp(&before, cfg.GetImage(), sizeof before) == 0);
        FUZZ_CHECK(cfg.GetFileName() == "old.cfg" && cfg.IsModified());
        return 0;
    }
    FUZZ_CHECK(cfg.GetFileName() == "new.cfg" && !cfg.IsModified());
    FUZZ_CHECK(size >= CFG_FILE_HEADER_SIZE && GetLe32(data) == CFG_FILE_VERSION);
    const auto layout = static_cast<int32_t>(GetLe32(data + 4));
    const CfgImage& image = *cfg.GetImage();
    CheckTexts(image);
    if (layout == CFG_LAYOUT_IMAGE) {
        FUZZ_CHECK(size >= CFG_FILE_SIZE);
        CheckImageLayout(image, data + CFG_FILE_HEADER_SIZE);
    } else {
        FUZZ_CHECK(layout == CFG_LAYOUT_DEVICE && size >= CFG_FILE_HEADER_SIZE + CFG_DEVICE_SIZE);
    }

    // Saved again, it loads the same.
    uint8_t file[CFG_FILE_SIZE];
    BuildCfgFile(file, image);
    CTK630Cfg again;
    FUZZ_CHECK(again.LoadBytes(file, sizeof file) == 1);
    FUZZ_CHECK(std::memcmp(again.GetImage(), &image, sizeof image) == 0);

    // To the unit and back: the same texts, every other byte unchanged.
    std::unique_ptr<uint8_t[]> device(new uint8_t[CFG_DEVICE_SIZE]);
    ImageToDevice(device.get(), image);
    CfgImage back;
    SetDefaults(back);
    DeviceToImage(back, device.get());
    FUZZ_CHECK(std::memcmp(TextsOnly(back).get(), TextsOnly(image).get(), CFG_IMAGE_SIZE) == 0);
    return 0;
}
