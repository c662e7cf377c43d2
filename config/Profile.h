// The PC-side settings that outlive a run: how the unit is reached (serial port or modem),
// which port and modem, whether the link is traced, and the main window's sizes. Kept in
// "Profile.dat" beside the executable, read at start and written at the end. tk530ctl changes
// the connection record of the same file while the window runs: the window takes those
// changes (SyncWithFile) and writes back at the end only what it changed itself (SaveMerged).
#pragma once

#include "base/DataLock.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

inline constexpr int32_t CONN_LOCAL = 1;  // serial port ("lokální přístup")
inline constexpr int32_t CONN_REMOTE = 2; // modem call ("vzdálený přístup")

inline constexpr int32_t PROFILE_VERSION = 3;
inline constexpr size_t PROFILE_FILE_SIZE = 80;
inline constexpr size_t PROFILE_CONN_SIZE = 28;
inline constexpr size_t PROFILE_WND_SIZE = 48;
static_assert(4 + PROFILE_CONN_SIZE + PROFILE_WND_SIZE == PROFILE_FILE_SIZE);

// Results of Load and Save.
inline constexpr int PROFILE_OK = 1;
inline constexpr int PROFILE_ERR_LOAD = 96;     // missing, unreadable or not version 3
inline constexpr int PROFILE_ERR_CREATE = 97;   // not created, or its version not written
inline constexpr int PROFILE_ERR_WINDOW = 99;   // window record not written, or not committed
inline constexpr int PROFILE_ERR_CONN = 101;    // connection record not written
inline constexpr int PROFILE_ERR_PORT = 102;    // a port path that cannot be kept (a line break)
inline constexpr int PROFILE_ERR_OPTIONS = 103; // Profile.dat saved, kOptionsFileName not
inline constexpr int PROFILE_ERR_BUSY = 104;    // another program held the Data lock all the time

// A port path longer than m_szPort holds lives in this file beside Profile.dat, one line, and
// m_szPort holds kPortMarker: no device has that name, so a program that does not know the
// file fails to open it with a message that names it.
inline constexpr char kPortFileName[] = "ProfilePort.txt";
inline constexpr char kPortMarker[] = "*ProfilePort.txt";

// Settings added after Profile.dat's layout was fixed live in this file beside it, one
// "key=value" a line; a missing file or key is the default. Only settings that differ from
// their default are written, and the file goes when none does.
inline constexpr char kOptionsFileName[] = "ProfileOptions.txt";

// The kinds of file whose dialogs open where the user last chose such a file.
enum class FolderKind { Config, Export };
inline constexpr int FOLDER_KIND_COUNT = 2;

class CProfile {
public:
    CProfile();

    // The screen size from which the default window size is computed (1024 x 768 until
    // told otherwise). The owner gives it before Load.
    void SetScreenSize(int width, int height);

    // Both records at their defaults: local access on "COM1", no trace, no modem, a window of
    // 8/10 x 6/10 of the screen, SMS columns 120, 300, 130 and a tree panel of 200.
    void SetDefaults();

    // Reads "Profile.dat". PROFILE_OK, or PROFILE_ERR_LOAD with every field at its default.
    // A file that ends early gives the defaults for every field it does not hold whole.
    int Load();
    // The same from the bytes of a file; bytes after the first 80 are ignored.
    int LoadBytes(const uint8_t* data, size_t size);

    // Writes "Profile.dat" so that a failed save leaves the old file as it was. Calls
    // m_onBeforeSave first. PROFILE_OK or one of the PROFILE_ERR_* codes.
    int Save();
    // The 80 bytes that Save writes (m_onBeforeSave is not called).
    void SaveBytes(uint8_t (&file)[PROFILE_FILE_SIZE]) const;

    // Writes the profile over what "Profile.dat" holds now, under the Data lock: the window
    // record always (the sizes are the window's own), and of the connection record only the
    // fields this program changed since it last read or wrote the file; the other fields take
    // the file's values (another program may have set them). PROFILE_OK, PROFILE_ERR_BUSY, or
    // Save's error.
    int SaveMerged();
    // Takes the connection fields that another program changed in "Profile.dat" since this
    // profile last read or wrote it, except those changed here meanwhile (they win at
    // SaveMerged). The window record stays. True when the file had changed.
    bool SyncWithFile();

    // Puts a port name into m_szPort, cut to the field and always terminated.
    void SetPort(const char* port);

    // The port the user chose, whole: m_szPort, or, for a path longer than the field holds
    // (a /dev/serial/by-id name), the path kept beside Profile.dat. Every place that opens
    // the port or shows the profile's port uses this, never m_szPort directly.
    std::string PortPath() const;
    // Stores a port the user chose: a short name in m_szPort as it stands; a longer path so
    // that PortPath gives it back after Save and a restart, while Profile.dat keeps its layout
    // (Save writes the path into kPortFileName first). PROFILE_OK, or PROFILE_ERR_PORT for a
    // path that cannot be kept (a line break in it).
    int SetPortPath(const std::string& path);

    // Lets the window that owns the sizes put its current ones into the window record.
    std::function<void(CProfile&)> m_onBeforeSave;

    // Connection record (28 bytes in the file).
    int32_t m_nConnType;
    // The file gave an access that is neither local nor remote: the default (local) is used,
    // and the programs say so.
    bool m_bBadConnType = false;
    uint8_t m_bLog;
    char m_szPort[19];
    int32_t m_nModem;

    // Window record (48 bytes in the file).
    int32_t m_nWidth;
    int32_t m_nHeight;
    int32_t m_anColWidth[9]; // received, sent and to-send SMS lists: three columns each
    int32_t m_nPgCtlWidth;

    // Kept in kOptionsFileName. Before a write to the unit, read and back up its configuration
    // and ask with the differences (on by default; over a modem the read costs call time).
    bool m_bReadBeforeWrite = true;

    // The folder the dialogs for this kind of file open in: the one where such a file was
    // last chosen, while it still exists; empty when none was chosen or it is gone (the dialog
    // then opens where it would anyway).
    std::string LastFolder(FolderKind kind) const;
    // Remembers the folder of a chosen file for its kind (kept in kOptionsFileName at the next
    // save). False, and nothing changes, for a path with no folder part or one that a line of
    // the file cannot hold.
    bool NoteFolder(FolderKind kind, const std::string& chosenFile);

private:
    // The connection record as the user sees it (the whole port path).
    struct ConnFields {
        int32_t type = 0;
        uint8_t log = 0;
        std::string port;
        int32_t modem = 0;
        bool operator==(const ConnFields&) const = default;
    };
    ConnFields Conn() const;
    // Fields not changed here since the file was last read or written take `disk`'s values.
    void MergeConn(const CProfile& disk);
    void RememberFile(const tk::FileStamp& stamp);

    void SetConnDefaults();
    void SetWindowDefaults();
    void PutConnRecord(uint8_t* rec) const;
    void PutWindowRecord(uint8_t* rec) const;
    void TakeConnRecord(const uint8_t* rec, size_t got);
    void TakeWindowRecord(const uint8_t* rec, size_t got);

    void ReadOptionsFile();
    bool WriteOptionsFile() const;
    std::string ReadPortFile() const;
    static bool WritePortFile(const std::string& path);

    std::string m_astrFolder[FOLDER_KIND_COUNT]; // the window's own, like the sizes
    // Lines of kOptionsFileName with keys this program does not know (another version's),
    // written back as they came so a save here does not drop what that version set.
    std::vector<std::string> m_otherOptions;
    std::string m_strLongPort; // the whole path while m_szPort holds kPortMarker
    int m_nScreenWidth = 1024;
    int m_nScreenHeight = 768;
    tk::FileStamp m_stamp;   // Profile.dat when this profile last read or wrote it
    ConnFields m_loadedConn; // the connection record it held then
};
