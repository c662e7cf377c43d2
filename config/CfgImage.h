// The unit's whole configuration as one image of fixed size and layout, and the device
// layout in which the same content travels to and from the unit.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little,
              "the image holds the credit threshold little-endian, as the host does");

#pragma pack(push, 1)

// One alarm: whom to call, where to send the alarm SMS, and its text. 129 bytes.
struct CfgAlarm {
    char m_szACall[21];
    char m_szASMS1[21];
    char m_szASMS2[21];
    char m_szASMS[66];
};

// One renumbering entry. 43 bytes. m_nMode 255 marks an entry not in use.
struct CfgRenumItem {
    char m_szENum[21];
    char m_szRNum[21];
    uint8_t m_nMode;
};

inline constexpr uint8_t RENUM_SUBSTITUTE = 0;
inline constexpr uint8_t RENUM_ADDITIONAL = 1;
inline constexpr uint8_t RENUM_EMPTY = 255;

// The configuration image, 1659 bytes. Texts are zero-terminated CP1250 strings in fixed
// fields; "carried" bytes are edited by nobody and travel unchanged.
struct CfgImage {
    uint8_t m_abHead[3];      // carried
    char m_szPIN[9];          // PIN of the unit's SIM card
    uint8_t m_nRAccess;       // remote access allowed
    uint8_t m_nSMSMode;       // incoming SMS: 0 delete, 1 to the port, 2 forward
    char m_szForwardNum[21];  // forward incoming SMS to
    uint8_t m_nCMode;         // credit: 0 not at all, 1 kept on the SIM, 2 by m_szCCmd
    char m_szCCmd[9];         // credit query command
    float m_fLowVal;          // low-credit threshold
    char m_szInfoSMS[21];     // number that receives the information SMS
    char m_szResetTxt[65];    // information SMS after a reset
    char m_szCreditTxt[65];   // information SMS on low credit
    CfgAlarm m_aAlarm[8];     // alarms 1..8 (the panes edit 1..5)
    uint8_t m_nAIn;           // audio input level 0..100
    uint8_t m_nAOut;          // audio output level 0..100
    uint8_t m_abAudioRes[5];  // carried
    char m_szAddDir[8];       // direction completion
    char m_szDelNum[8];       // code for directions that are not enabled
    char m_aszEnDir[16][8];   // enabled directions; empty = not in use
    uint8_t m_abCallRes1[26]; // carried
    uint8_t m_nRRingLen;      // ringing after initialisation, 0.1 s
    uint8_t m_nDDelay;        // delay before dialling, 0.1 s
    uint8_t m_nDTimeout1;     // waiting for dialling, 1 s
    uint8_t m_nDTimeout2;     // number supervision time, 1 s
    uint8_t m_nMaxNumLen;     // maximum digits of a dialled number
    uint8_t m_nTone;          // dial tone 0..4
    uint8_t m_nSCode;         // programming character: 0 '#', 1 '*'
    uint8_t m_nTariff;        // tariff signalling
    uint8_t m_abCallRes2[2];  // carried
    char m_szMCall[21];       // number called once a month
    uint8_t m_nMCallMusic;    // melody of the monthly call
    uint8_t m_nRenumEnable;   // renumbering on
    uint8_t m_nPDDelay;       // DTMF sending delay
    uint8_t m_nPDWidth;       // length of the DTMF code
    CfgRenumItem m_aRenum[5];
};

#pragma pack(pop)

inline constexpr size_t CFG_IMAGE_SIZE = 1659;
inline constexpr size_t CFG_DEVICE_SIZE = 1665;
// In the device layout every field sits this many bytes further on.
inline constexpr size_t CFG_DEVICE_OFFSET = 6;

static_assert(sizeof(CfgAlarm) == 129);
static_assert(sizeof(CfgRenumItem) == 43);
static_assert(sizeof(CfgImage) == CFG_IMAGE_SIZE);
static_assert(offsetof(CfgImage, m_szPIN) == 0x003);
static_assert(offsetof(CfgImage, m_nRAccess) == 0x00C);
static_assert(offsetof(CfgImage, m_nSMSMode) == 0x00D);
static_assert(offsetof(CfgImage, m_szForwardNum) == 0x00E);
static_assert(offsetof(CfgImage, m_nCMode) == 0x023);
static_assert(offsetof(CfgImage, m_szCCmd) == 0x024);
static_assert(offsetof(CfgImage, m_fLowVal) == 0x02D);
static_assert(offsetof(CfgImage, m_szInfoSMS) == 0x031);
static_assert(offsetof(CfgImage, m_szResetTxt) == 0x046);
static_assert(offsetof(CfgImage, m_szCreditTxt) == 0x087);
static_assert(offsetof(CfgImage, m_aAlarm) == 0x0C8);
static_assert(offsetof(CfgImage, m_nAIn) == 0x4D0);
static_assert(offsetof(CfgImage, m_nAOut) == 0x4D1);
static_assert(offsetof(CfgImage, m_abAudioRes) == 0x4D2);
static_assert(offsetof(CfgImage, m_szAddDir) == 0x4D7);
static_assert(offsetof(CfgImage, m_szDelNum) == 0x4DF);
static_assert(offsetof(CfgImage, m_aszEnDir) == 0x4E7);
static_assert(offsetof(CfgImage, m_abCallRes1) == 0x567);
static_assert(offsetof(CfgImage, m_nRRingLen) == 0x581);
static_assert(offsetof(CfgImage, m_nDDelay) == 0x582);
static_assert(offsetof(CfgImage, m_nDTimeout1) == 0x583);
static_assert(offsetof(CfgImage, m_nDTimeout2) == 0x584);
static_assert(offsetof(CfgImage, m_nMaxNumLen) == 0x585);
static_assert(offsetof(CfgImage, m_nTone) == 0x586);
static_assert(offsetof(CfgImage, m_nSCode) == 0x587);
static_assert(offsetof(CfgImage, m_nTariff) == 0x588);
static_assert(offsetof(CfgImage, m_abCallRes2) == 0x589);
static_assert(offsetof(CfgImage, m_szMCall) == 0x58B);
static_assert(offsetof(CfgImage, m_nMCallMusic) == 0x5A0);
static_assert(offsetof(CfgImage, m_nRenumEnable) == 0x5A1);
static_assert(offsetof(CfgImage, m_nPDDelay) == 0x5A2);
static_assert(offsetof(CfgImage, m_nPDWidth) == 0x5A3);
static_assert(offsetof(CfgImage, m_aRenum) == 0x5A4);

// The PIN of a new configuration.
inline constexpr char CFG_DEFAULT_PIN[] = "7093";

// Fills an image with the content of a new configuration.
void SetDefaults(CfgImage& image);

// Builds the 1665-byte device layout from an image.
void ImageToDevice(uint8_t* device, const CfgImage& image);

// Fills an image from a device layout. The device buffer is only read; its header is neither
// tested nor stored. Every text of the result is terminated inside its field.
void DeviceToImage(CfgImage& image, const uint8_t* device);

// Cuts every text field of the image that holds no terminating zero to width - 1 characters.
// Texts inside the alarm records, the credit, dialling, monthly call and renumbering blocks
// travel as plain bytes, so a unit or a file can hand over such a field full to the brim; the
// panes read texts up to their zero.
void TerminateTexts(CfgImage& image);

// Copies a text into a field of `width` bytes: up to its terminating zero, cut to width - 1
// characters when it is longer, always terminated, the rest of the field zeroed.
void CopyTextField(char* field, size_t width, const char* text, size_t textMax);
