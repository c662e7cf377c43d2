#include "config/CfgImage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes BytesOf(const CfgImage& image) {
    const auto* p = reinterpret_cast<const uint8_t*>(&image);
    return Bytes(p, p + sizeof image);
}

CfgImage Defaults() {
    CfgImage image;
    std::memset(&image, 0xAB, sizeof image); // SetDefaults must not rely on a zeroed image
    SetDefaults(image);
    return image;
}

} // namespace

TEST(CfgImage, NewConfigurationByteByByte) {
    Bytes expected(CFG_IMAGE_SIZE, 0);
    const char pin[] = "7093";
    std::memcpy(&expected[0x003], pin, 4);
    for (int i = 0; i < 8; ++i) {
        const std::string text = "Alarm " + std::to_string(i + 1);
        std::memcpy(&expected[0x0C8 + 63 + 129 * i], text.data(), text.size());
    }
    const uint8_t audio[] = {64, 64, 4, 1, 1, 0, 1};
    std::memcpy(&expected[0x4D0], audio, sizeof audio);
    const char dirs[] = "1234567890";
    for (int i = 0; i < 10; ++i)
        expected[0x4E7 + 8 * i] = static_cast<uint8_t>(dirs[i]);
    const uint8_t timing[] = {8, 3, 60, 5, 9, 2};
    std::memcpy(&expected[0x581], timing, sizeof timing);
    expected[0x5A1] = 1;
    expected[0x5A2] = 5;
    expected[0x5A3] = 4;
    for (int i = 0; i < 5; ++i)
        expected[0x5A4 + 43 * i + 42] = 255;
    EXPECT_EQ(BytesOf(Defaults()), expected);
}

TEST(CfgImage, DeviceLayoutIsTheHeaderAndTheImage) {
    const CfgImage image = Defaults();
    Bytes device(CFG_DEVICE_SIZE, 0xCC);
    ImageToDevice(device.data(), image);
    EXPECT_EQ(Bytes(device.begin(), device.begin() + 6), (Bytes{0, 1, 0, 0, 0, 0}));
    EXPECT_EQ(Bytes(device.begin() + 6, device.end()), BytesOf(image));
}

TEST(CfgImage, ThresholdIsLittleEndianInTheImageAndBigEndianOnTheWire) {
    CfgImage image = Defaults();
    image.m_fLowVal = 1.0f;
    const Bytes bytes = BytesOf(image);
    EXPECT_EQ(Bytes(bytes.begin() + 0x2D, bytes.begin() + 0x31), (Bytes{0x00, 0x00, 0x80, 0x3F}));
    Bytes device(CFG_DEVICE_SIZE);
    ImageToDevice(device.data(), image);
    EXPECT_EQ(Bytes(device.begin() + 0x33, device.begin() + 0x37), (Bytes{0x3F, 0x80, 0x00, 0x00}));

    CfgImage back = Defaults();
    DeviceToImage(back, device.data());
    EXPECT_EQ(float{back.m_fLowVal}, 1.0f);
    // The device buffer is only read: converting it twice gives the same image.
    DeviceToImage(back, device.data());
    EXPECT_EQ(float{back.m_fLowVal}, 1.0f);
}

TEST(CfgImage, DeviceToImageAfterImageToDeviceGivesTheSameImage) {
    CfgImage image = Defaults();
    std::memset(image.m_abHead, 0x5A, sizeof image.m_abHead);
    CopyTextField(image.m_szResetTxt, sizeof image.m_szResetTxt, "Restart jednotky", 64);
    image.m_fLowVal = 123.25f;
    image.m_aRenum[2].m_nMode = RENUM_ADDITIONAL;
    std::memset(image.m_abCallRes1, 0x77, sizeof image.m_abCallRes1);
    Bytes device(CFG_DEVICE_SIZE);
    ImageToDevice(device.data(), image);
    CfgImage back;
    std::memset(&back, 0, sizeof back);
    DeviceToImage(back, device.data());
    EXPECT_EQ(BytesOf(back), BytesOf(image));
}

TEST(CfgImage, AnyDeviceHeaderIsConvertedAllTheSame) {
    const CfgImage image = Defaults();
    Bytes device(CFG_DEVICE_SIZE);
    ImageToDevice(device.data(), image);
    device[0] = 0x12;
    device[1] = 0x34;
    device[5] = 0xFF;
    CfgImage back;
    DeviceToImage(back, device.data());
    EXPECT_EQ(BytesOf(back), BytesOf(image));
}

TEST(CfgImage, AnAlarmTextOf65CharactersFillsItsFieldOnly) {
    CfgImage image = Defaults();
    const std::string text(65, 'x');
    CopyTextField(image.m_aAlarm[0].m_szASMS, sizeof image.m_aAlarm[0].m_szASMS, text.c_str(),
                  text.size() + 1);
    EXPECT_EQ(std::string(image.m_aAlarm[0].m_szASMS), text);
    EXPECT_EQ(image.m_aAlarm[0].m_szASMS[65], '\0');
    EXPECT_EQ(std::string(image.m_aAlarm[1].m_szACall), "");
    EXPECT_EQ(std::string(image.m_aAlarm[1].m_szASMS), "Alarm 2");
    Bytes device(CFG_DEVICE_SIZE);
    ImageToDevice(device.data(), image);
    CfgImage back;
    DeviceToImage(back, device.data());
    EXPECT_EQ(std::string(back.m_aAlarm[0].m_szASMS), text);
}

// A text as long as its field (or longer) keeps width - 1 characters and its terminator;
// nothing beyond the field is touched.
TEST(CfgImage, CopyTextFieldTerminatesATextAsLongAsTheField) {
    constexpr size_t kWidth = 9;
    for (const size_t length : {kWidth - 1, kWidth, kWidth + 4}) {
        SCOPED_TRACE(length);
        const std::string text(length, 'p');
        char buf[kWidth + 2];
        std::memset(buf, 0x5A, sizeof buf);
        CopyTextField(buf, kWidth, text.c_str(), text.size() + 1);
        EXPECT_EQ(std::string(buf, kWidth), std::string(kWidth - 1, 'p') + '\0');
        EXPECT_EQ(buf[kWidth], 0x5A);
        EXPECT_EQ(buf[kWidth + 1], 0x5A);
    }
}

TEST(CfgImage, ATextWithoutTerminatorFromTheUnitIsCutInsideItsField) {
    Bytes device(CFG_DEVICE_SIZE);
    ImageToDevice(device.data(), Defaults());
    std::memset(&device[6 + 0x003], '9', 9);  // PIN field full, no zero
    std::memset(&device[6 + 0x046], 'r', 65); // reset text full, no zero
    CfgImage back;
    DeviceToImage(back, device.data());
    EXPECT_EQ(std::string(back.m_szPIN), "99999999");
    EXPECT_EQ(std::string(back.m_szResetTxt), std::string(64, 'r'));
    EXPECT_EQ(back.m_nRAccess, 0); // the byte after the PIN field is untouched
    EXPECT_EQ(std::string(back.m_szCreditTxt), "");
}

TEST(CfgImage, TextsInsideByteBlocksFromTheUnitAreCutInsideTheirFields) {
    Bytes device(CFG_DEVICE_SIZE);
    ImageToDevice(device.data(), Defaults());
    std::memset(&device[6 + 0x0C8 + 129 * 7 + 63], 's', 66); // last alarm text, no zero
    std::memset(&device[6 + 0x024], 'c', 9);                 // credit command, no zero
    std::memset(&device[6 + 0x4E7 + 8 * 15], '7', 8);        // last enabled direction
    std::memset(&device[6 + 0x58B], '1', 21);                // monthly call number
    CfgImage back;
    DeviceToImage(back, device.data());
    EXPECT_EQ(std::string(back.m_aAlarm[7].m_szASMS), std::string(65, 's'));
    EXPECT_EQ(std::string(back.m_szCCmd), std::string(8, 'c'));
    EXPECT_EQ(std::string(back.m_aszEnDir[15]), std::string(7, '7'));
    EXPECT_EQ(std::string(back.m_szMCall), std::string(20, '1'));
    EXPECT_EQ(float{back.m_fLowVal}, 0.0f);
    EXPECT_EQ(back.m_nAIn, 64);
    EXPECT_EQ(back.m_nMCallMusic, 0);
}
