#include "config/Profile.h"

#include "base/FileIO.h"

#include "base/ProgramFolder.h"
#include "base/SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kFileName[] = "Profile.dat";
constexpr int32_t kDefaultColWidths[3] = {120, 300, 130};
constexpr char kReadBeforeWriteKey[] = "read_before_write";
// Indexed by FolderKind.
constexpr const char* kFolderKeys[FOLDER_KIND_COUNT] = {"folder_config", "folder_export"};

void PutI32(uint8_t* p, int32_t value) {
    tk::PutLE32(p, static_cast<uint32_t>(value));
}

int32_t GetI32(const uint8_t* p) {
    return static_cast<int32_t>(tk::GetLE32(p));
}

// A value is taken from a record only when the file holds all of its bytes: half a number
// or half a port name would be worse than the default.
bool Whole(size_t got, size_t offset, size_t width) {
    return got >= offset + width;
}

} // namespace

CProfile::CProfile() {
    SetDefaults();
}

void CProfile::SetScreenSize(int width, int height) {
    m_nScreenWidth = width;
    m_nScreenHeight = height;
}

void CProfile::SetDefaults() {
    SetConnDefaults();
    SetWindowDefaults();
}

void CProfile::SetConnDefaults() {
    m_bReadBeforeWrite = true;
    m_nConnType = CONN_LOCAL;
    m_bBadConnType = false;
    m_bLog = 0;
    SetPort("COM1");
    m_nModem = -1;
}

void CProfile::SetWindowDefaults() {
    m_nWidth = m_nScreenWidth / 10 * 8;
    m_nHeight = m_nScreenHeight / 10 * 6;
    for (int i = 0; i < 9; ++i)
        m_anColWidth[i] = kDefaultColWidths[i % 3];
    m_nPgCtlWidth = 0; // as wide as the navigator's tabs need (the window knows the font)
    for (std::string& folder : m_astrFolder)
        folder.clear();
}

void CProfile::SetPort(const char* port) {
    std::memset(m_szPort, 0, sizeof m_szPort);
    m_strLongPort.clear();
    if (port != nullptr)
        std::memcpy(m_szPort, port, strnlen(port, sizeof m_szPort - 1));
}

namespace {

bool IsMarker(const char (&port)[19]) {
    return std::strncmp(port, kPortMarker, sizeof port) == 0;
}

} // namespace

void CProfile::ReadOptionsFile() {
    std::string content;
    if (tk::ReadFileContent(tk::ProgramFile(kOptionsFileName), content, 4096,
                            tk::kReadProgramFile) != 0)
        return;
    m_otherOptions.clear();
    size_t pos = 0;
    while (pos < content.size()) {
        size_t end = content.find('\n', pos);
        if (end == std::string::npos)
            end = content.size();
        std::string line = content.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq);
        bool known = key == kReadBeforeWriteKey;
        if (known)
            m_bReadBeforeWrite = line.substr(eq + 1) != "0";
        for (int kind = 0; kind < FOLDER_KIND_COUNT; ++kind) {
            if (key == kFolderKeys[kind]) {
                m_astrFolder[kind] = line.substr(eq + 1);
                known = true;
            }
        }
        // Keys this program does not know (a newer one wrote them) are kept for the next save.
        if (!known)
            m_otherOptions.push_back(std::move(line));
    }
}

bool CProfile::WriteOptionsFile() const {
    const std::string path = tk::ProgramFile(kOptionsFileName);
    std::string content;
    if (!m_bReadBeforeWrite)
        content += std::string(kReadBeforeWriteKey) + "=0\n";
    for (int kind = 0; kind < FOLDER_KIND_COUNT; ++kind)
        if (!m_astrFolder[kind].empty())
            content += std::string(kFolderKeys[kind]) + "=" + m_astrFolder[kind] + "\n";
    for (const std::string& line : m_otherOptions)
        content += line + "\n";
    if (content.empty())
        return ::unlink(path.c_str()) == 0 || errno == ENOENT;
    return tk::WriteFileAtomically(path, content.data(), content.size(), 0644);
}

std::string CProfile::LastFolder(FolderKind kind) const {
    const std::string& folder = m_astrFolder[static_cast<int>(kind)];
    struct stat st {};
    // A folder deleted or unmounted since would leave the dialog in a place that is not there.
    if (folder.empty() || ::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return {};
    return folder;
}

bool CProfile::NoteFolder(FolderKind kind, const std::string& chosenFile) {
    const size_t slash = chosenFile.find_last_of('/');
    if (slash == std::string::npos || chosenFile.find_first_of("\r\n") != std::string::npos)
        return false;
    m_astrFolder[static_cast<int>(kind)] = slash == 0 ? "/" : chosenFile.substr(0, slash);
    return true;
}

std::string CProfile::ReadPortFile() const {
    std::string content;
    if (tk::ReadFileContent(tk::ProgramFile(kPortFileName), content, 4096, tk::kReadProgramFile) !=
        0)
        return {};
    const size_t end = content.find_first_of("\r\n");
    if (end != std::string::npos)
        content.resize(end);
    if (content.find('\0') != std::string::npos)
        return {};
    return content;
}

bool CProfile::WritePortFile(const std::string& path) {
    const std::string line = path + "\n";
    return tk::WriteFileAtomically(tk::ProgramFile(kPortFileName), line.data(), line.size(), 0644);
}

std::string CProfile::PortPath() const {
    if (!IsMarker(m_szPort))
        return std::string(m_szPort, strnlen(m_szPort, sizeof m_szPort));
    if (!m_strLongPort.empty())
        return m_strLongPort;
    // The file beside the profile is gone: the marker itself, which no device is called, so
    // that opening it fails with a message that names it.
    const std::string kept = ReadPortFile();
    return kept.empty() ? std::string(kPortMarker) : kept;
}

int CProfile::SetPortPath(const std::string& path) {
    if (path.size() < sizeof m_szPort && path != kPortMarker &&
        path.find('\0') == std::string::npos) {
        SetPort(path.c_str());
        return PROFILE_OK;
    }
    // One line of a file: a path with a line break (or a zero byte) cannot be kept whole.
    if (path.find_first_of(std::string("\r\n\0", 3)) != std::string::npos || path.size() > 4000)
        return PROFILE_ERR_PORT;
    // Save writes the file: a path given for one run only changes nothing on disk.
    SetPort(kPortMarker);
    m_strLongPort = path;
    return PROFILE_OK;
}

void CProfile::PutConnRecord(uint8_t* rec) const {
    PutI32(rec, m_nConnType);
    rec[4] = m_bLog;
    std::memcpy(rec + 5, m_szPort, sizeof m_szPort);
    PutI32(rec + 24, m_nModem);
}

void CProfile::PutWindowRecord(uint8_t* rec) const {
    PutI32(rec, m_nWidth);
    PutI32(rec + 4, m_nHeight);
    for (int i = 0; i < 9; ++i)
        PutI32(rec + 8 + 4 * i, m_anColWidth[i]);
    PutI32(rec + 44, m_nPgCtlWidth);
}

void CProfile::TakeConnRecord(const uint8_t* rec, size_t got) {
    if (Whole(got, 0, 4)) {
        // Any other value would be shown as one access and used as the other.
        const int32_t type = GetI32(rec);
        m_bBadConnType = type != CONN_LOCAL && type != CONN_REMOTE;
        m_nConnType = m_bBadConnType ? CONN_LOCAL : type;
    }
    if (Whole(got, 4, 1))
        m_bLog = rec[4];
    if (Whole(got, 5, sizeof m_szPort)) {
        std::memcpy(m_szPort, rec + 5, sizeof m_szPort);
        // A damaged file must not leave the port name without its end.
        m_szPort[sizeof m_szPort - 1] = '\0';
    }
    if (Whole(got, 24, 4))
        m_nModem = GetI32(rec + 24);
}

void CProfile::TakeWindowRecord(const uint8_t* rec, size_t got) {
    if (Whole(got, 0, 4))
        m_nWidth = GetI32(rec);
    if (Whole(got, 4, 4))
        m_nHeight = GetI32(rec + 4);
    for (size_t i = 0; i < 9; ++i) {
        if (Whole(got, 8 + 4 * i, 4))
            m_anColWidth[i] = GetI32(rec + 8 + 4 * i);
    }
    if (Whole(got, 44, 4))
        m_nPgCtlWidth = GetI32(rec + 44);
}

int CProfile::Load() {
    // Whatever the file does not give is the default for this screen, however the fields
    // were edited before.
    SetDefaults();
    const std::string path = tk::ProgramFile(kFileName);
    // Stamped before reading: a save by another program meanwhile shows as a change later.
    RememberFile(tk::StampOf(path));
    const int fd = tk::OpenProgramFile(path); // a planted link or FIFO is no profile
    if (fd < 0)
        return PROFILE_ERR_LOAD;
    uint8_t file[PROFILE_FILE_SIZE];
    const ssize_t got = tk::ReadUpTo(fd, file, sizeof file);
    ::close(fd);
    if (got < 0)
        return PROFILE_ERR_LOAD;
    const int result = LoadBytes(file, static_cast<size_t>(got));
    if (IsMarker(m_szPort))
        m_strLongPort = ReadPortFile();
    m_loadedConn = Conn();
    if (result == PROFILE_OK)
        ReadOptionsFile();
    return result;
}

CProfile::ConnFields CProfile::Conn() const {
    return {m_nConnType, m_bLog, PortPath(), m_nModem};
}

void CProfile::RememberFile(const tk::FileStamp& stamp) {
    m_stamp = stamp;
    m_loadedConn = Conn();
}

void CProfile::MergeConn(const CProfile& disk) {
    const ConnFields mine = Conn();
    if (mine.type == m_loadedConn.type)
        m_nConnType = disk.m_nConnType;
    if (mine.log == m_loadedConn.log)
        m_bLog = disk.m_bLog;
    if (mine.port == m_loadedConn.port) {
        std::memcpy(m_szPort, disk.m_szPort, sizeof m_szPort);
        m_strLongPort = disk.m_strLongPort;
    }
    if (mine.modem == m_loadedConn.modem)
        m_nModem = disk.m_nModem;
}

bool CProfile::SyncWithFile() {
    const std::string path = tk::ProgramFile(kFileName);
    const tk::FileStamp now = tk::StampOf(path);
    if (now == m_stamp)
        return false;
    CProfile disk;
    const int read = disk.Load();
    m_stamp = disk.m_stamp;
    if (read == PROFILE_OK) {
        MergeConn(disk);
        // What the file holds now is the base: a field changed here still differs from it.
        m_loadedConn = disk.m_loadedConn;
    }
    return true;
}

int CProfile::SaveMerged() {
    if (m_onBeforeSave)
        m_onBeforeSave(*this);
    tk::CDataLock lock;
    if (!lock.Acquire(tk::kDataLockWaitMs) && lock.Busy())
        return PROFILE_ERR_BUSY;
    CProfile disk;
    if (disk.Load() == PROFILE_OK)
        MergeConn(disk);
    return Save();
}

int CProfile::LoadBytes(const uint8_t* data, size_t size) {
    SetDefaults();
    if (data == nullptr || size < 4 || GetI32(data) != PROFILE_VERSION)
        return PROFILE_ERR_LOAD;
    size -= 4;
    TakeConnRecord(data + 4, std::min(size, PROFILE_CONN_SIZE));
    if (size > PROFILE_CONN_SIZE)
        TakeWindowRecord(data + 4 + PROFILE_CONN_SIZE,
                         std::min(size - PROFILE_CONN_SIZE, PROFILE_WND_SIZE));
    return PROFILE_OK;
}

void CProfile::SaveBytes(uint8_t (&file)[PROFILE_FILE_SIZE]) const {
    PutI32(file, PROFILE_VERSION);
    PutConnRecord(file + 4);
    PutWindowRecord(file + 4 + PROFILE_CONN_SIZE);
}

int CProfile::Save() {
    if (m_onBeforeSave)
        m_onBeforeSave(*this);

    uint8_t file[PROFILE_FILE_SIZE];
    SaveBytes(file);
    const uint8_t* const conn = file + 4;
    const uint8_t* const wnd = conn + PROFILE_CONN_SIZE;

    // The long path first: Profile.dat must never point to a file that is not there yet.
    const bool longPort = IsMarker(m_szPort) && !m_strLongPort.empty();
    if (longPort && ReadPortFile() != m_strLongPort && !WritePortFile(m_strLongPort))
        return PROFILE_ERR_CONN;

    tk::CSafeFileWriter writer;
    if (!writer.Open(tk::ProgramFile(kFileName), 0644) || !writer.Write(file, 4))
        return PROFILE_ERR_CREATE;
    if (!writer.Write(conn, PROFILE_CONN_SIZE))
        return PROFILE_ERR_CONN;
    if (!writer.Write(wnd, PROFILE_WND_SIZE) || !writer.Commit())
        return PROFILE_ERR_WINDOW;
    if (!IsMarker(m_szPort))
        ::unlink(tk::ProgramFile(kPortFileName).c_str()); // a long path chosen before
    RememberFile(tk::StampOf(tk::ProgramFile(kFileName)));
    return WriteOptionsFile() ? PROFILE_OK : PROFILE_ERR_OPTIONS;
}
