// The user's list of data modems, kept in "Modems.dat" in the Data folder. Linux has no
// register of installed modems, so the user names each one, says which serial device it is
// on and how to set it up.
//
// The file is plain text (CP1250, LF line ends), for example:
//
//   TK530 modem list 1
//   [modem]
//   name=Siemens MC35i
//   device=/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0
//   init=AT&F
//   gsm=1
//   bearer=AT+CBST=7,0,1
//
// The first line names the format. Each "[modem]" starts an entry; "name" and "device" are
// required, the others optional. Blank lines and lines starting with '#' are ignored, and so
// are unknown keys (a later version may add some). Anything else makes the whole file
// damaged: it then reads as an empty list.
#pragma once

#include "base/DataLock.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

// The data bearer of a GSM modem: 9600 bit/s V.32, non-transparent.
inline constexpr const char* DEFAULT_GSM_BEARER = "AT+CBST=7,0,1";

// One modem of the list.
struct CModemInf {
    char m_szName[32];    // display name, CP1250, at most 31 characters
    int32_t m_nDeviceId;  // index in the modem list
    char m_szDevice[256]; // serial device path, preferably /dev/serial/by-id/...
    char m_szInit[128];   // initialisation string sent after the standard set-up; may be empty
    bool m_bGsm;          // a GSM modem: the bearer command is sent before dialling
    char m_szBearer[64];  // bearer command; empty means DEFAULT_GSM_BEARER
};

// A modem with the given name and device and the default settings (no init string, not GSM,
// the default bearer). Both texts are cut to their fields.
CModemInf MakeModemInf(const std::string& name, const std::string& device);

// The bearer command that is sent for a GSM modem.
std::string ModemBearer(const CModemInf& modem);

// Results of the list operations (an index, or one of these).
enum : int {
    ML_BAD_NAME = -1,   // empty, or holds a control character
    ML_BAD_DEVICE = -2, // empty, not an absolute path, or holds a control character
    ML_BAD_INIT = -3,   // not printable ASCII (a CR would smuggle in another command)
    ML_BAD_BEARER = -4, // likewise
    ML_FULL = -5,       // MAX_MODEMS reached
    ML_BAD_INDEX = -6,
};

// Puts text into a field of a modem entry: cut to the field's room, the rest zeroed.
template <size_t N>
void CopyField(char (&field)[N], std::string_view text) {
    const size_t n = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, N - n);
}

// 0 when the entry could be stored, else one of the codes above. The fields must be
// zero-terminated.
int ValidateModem(const CModemInf& modem);

// Why the modem's device cannot be used now, in short Czech words for a list ("zařízení
// neexistuje", "chybí oprávnění (skupina dialout)", "není sériové zařízení"); empty when it
// exists and this user may read and write it. Opens nothing.
std::string ModemDeviceProblem(const CModemInf& modem);

class CModemMng {
public:
    static constexpr size_t MAX_MODEMS = 64;
    static constexpr size_t MAX_FILE_SIZE = 64 * 1024;

    enum class LoadResult { Loaded, Missing, Damaged };

    // Reads "Modems.dat" of the Data folder. A missing or damaged file leaves an empty list.
    LoadResult Load();
    // Reads the file again when another program changed it since this list last read or
    // wrote it (a change made here is saved at once, so none is lost). 1 read again, 0 not
    // changed, -1 the new file is damaged (the list stays as it was).
    int SyncWithFile();
    // Writes the list safely, creating the Data folder if needed. True on success.
    bool Save() const;

    // The same on any file, and on text in memory.
    LoadResult LoadFile(const std::string& path);
    bool SaveFile(const std::string& path) const;
    LoadResult Parse(const std::string& text);
    std::string Format() const;

    size_t Count() const { return m_modems.size(); }
    // nullptr for an index out of range.
    const CModemInf* Get(size_t index) const;

    // Appends a copy; its m_nDeviceId becomes its index. The index, or a negative code.
    int Add(const CModemInf& modem);
    // Replaces an entry (keeping its index). The index, or a negative code.
    int Set(size_t index, const CModemInf& modem);
    // Removes an entry; the later ones move up and are renumbered. The index or ML_BAD_INDEX.
    int Remove(size_t index);
    void Clear() { m_modems.clear(); }

    // The path of the list file.
    static std::string FilePath();

private:
    void Renumber();

    std::vector<CModemInf> m_modems;
    mutable tk::FileStamp m_stamp; // the file when this list last read or wrote it
};
