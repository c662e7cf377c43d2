#include "config/CfgImage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// The runs of the image that the conversion moves as units, in image order.
enum class Run { Bytes, Text };
struct Section {
    size_t offset;
    size_t size;
    Run kind;
};

constexpr Section kSections[] = {
    {0x000, 3, Run::Bytes},       // m_abHead
    {0x003, 9, Run::Text},        // m_szPIN
    {0x00C, 2, Run::Bytes},       // m_nRAccess, m_nSMSMode
    {0x00E, 21, Run::Text},       // m_szForwardNum
    {0x023, 14, Run::Bytes},      // credit block: m_nCMode, m_szCCmd, m_fLowVal
    {0x031, 21, Run::Text},       // m_szInfoSMS
    {0x046, 65, Run::Text},       // m_szResetTxt
    {0x087, 65, Run::Text},       // m_szCreditTxt
    {0x0C8, 8 * 129, Run::Bytes}, // eight alarm records
    {0x4D0, 7, Run::Bytes},       // audio block
    {0x4D7, 180, Run::Bytes},     // dialling block
    {0x58B, 22, Run::Bytes},      // monthly call block
    {0x5A1, 218, Run::Bytes},     // renumbering block
};

constexpr bool SectionsCoverTheImage() {
    size_t next = 0;
    for (const Section& s : kSections) {
        if (s.offset != next)
            return false;
        next = s.offset + s.size;
    }
    return next == CFG_IMAGE_SIZE;
}
static_assert(SectionsCoverTheImage());

// Device bytes of the credit threshold, big-endian on the wire.
constexpr size_t kDeviceLowVal = offsetof(CfgImage, m_fLowVal) + CFG_DEVICE_OFFSET;
static_assert(kDeviceLowVal == 0x33);

template <size_t N>
void Terminate(char (&field)[N]) {
    if (std::memchr(field, 0, N) == nullptr)
        field[N - 1] = '\0';
}

void CopySections(uint8_t* dst, size_t dstBase, const uint8_t* src, size_t srcBase) {
    for (const Section& s : kSections) {
        uint8_t* to = dst + dstBase + s.offset;
        const uint8_t* from = src + srcBase + s.offset;
        if (s.kind == Run::Bytes)
            std::memcpy(to, from, s.size);
        else
            CopyTextField(reinterpret_cast<char*>(to), s.size, reinterpret_cast<const char*>(from),
                          s.size);
    }
}

} // namespace

void CopyTextField(char* field, size_t width, const char* text, size_t textMax) {
    if (width == 0)
        return;
    const size_t len = std::min({strnlen(text, textMax), width - 1});
    std::memmove(field, text, len);
    std::memset(field + len, 0, width - len);
}

void SetDefaults(CfgImage& image) {
    std::memset(&image, 0, sizeof image);
    CopyTextField(image.m_szPIN, sizeof image.m_szPIN, CFG_DEFAULT_PIN, sizeof CFG_DEFAULT_PIN);
    for (int i = 0; i < 8; ++i) {
        CfgAlarm& a = image.m_aAlarm[i];
        std::snprintf(a.m_szASMS, sizeof a.m_szASMS, "Alarm %d", i + 1);
    }
    image.m_nAIn = 64;
    image.m_nAOut = 64;
    const uint8_t audio[5] = {4, 1, 1, 0, 1};
    std::memcpy(image.m_abAudioRes, audio, sizeof audio);
    for (int i = 0; i < 10; ++i) {
        image.m_aszEnDir[i][0] = static_cast<char>(i < 9 ? '1' + i : '0');
    }
    image.m_nRRingLen = 8;
    image.m_nDDelay = 3;
    image.m_nDTimeout1 = 60;
    image.m_nDTimeout2 = 5;
    image.m_nMaxNumLen = 9;
    image.m_nTone = 2;
    image.m_nRenumEnable = 1;
    image.m_nPDDelay = 5;
    image.m_nPDWidth = 4;
    for (CfgRenumItem& r : image.m_aRenum)
        r.m_nMode = RENUM_EMPTY;
}

void ImageToDevice(uint8_t* device, const CfgImage& image) {
    // Header: 16-bit 1, 0, 0, big-endian.
    const uint8_t head[CFG_DEVICE_OFFSET] = {0x00, 0x01, 0x00, 0x00, 0x00, 0x00};
    std::memcpy(device, head, sizeof head);
    CopySections(device, CFG_DEVICE_OFFSET, reinterpret_cast<const uint8_t*>(&image), 0);
    std::reverse(device + kDeviceLowVal, device + kDeviceLowVal + 4);
}

void DeviceToImage(CfgImage& image, const uint8_t* device) {
    auto* dst = reinterpret_cast<uint8_t*>(&image);
    CopySections(dst, 0, device, CFG_DEVICE_OFFSET);
    const size_t lowVal = offsetof(CfgImage, m_fLowVal);
    std::reverse(dst + lowVal, dst + lowVal + 4);
    TerminateTexts(image);
}

void TerminateTexts(CfgImage& image) {
    Terminate(image.m_szPIN);
    Terminate(image.m_szForwardNum);
    Terminate(image.m_szCCmd);
    Terminate(image.m_szInfoSMS);
    Terminate(image.m_szResetTxt);
    Terminate(image.m_szCreditTxt);
    for (CfgAlarm& a : image.m_aAlarm) {
        Terminate(a.m_szACall);
        Terminate(a.m_szASMS1);
        Terminate(a.m_szASMS2);
        Terminate(a.m_szASMS);
    }
    Terminate(image.m_szAddDir);
    Terminate(image.m_szDelNum);
    for (auto& dir : image.m_aszEnDir)
        Terminate(dir);
    Terminate(image.m_szMCall);
    for (CfgRenumItem& r : image.m_aRenum) {
        Terminate(r.m_szENum);
        Terminate(r.m_szRNum);
    }
}
