#include "link/ModemList.h"

#include "base/FileIO.h"
#include "base/ProgramFolder.h"
#include "base/SafeFile.h"
#include "base/SysError.h"
#include "link/PortAccess.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kHeader = "TK530 modem list 1";
constexpr const char* kFileName = "Modems.dat";

// The text of a field, or false when it is not zero-terminated within its width.
template <size_t N>
bool FieldText(const char (&field)[N], std::string_view* text) {
    const void* end = std::memchr(field, 0, N);
    if (!end)
        return false;
    *text = std::string_view(field, static_cast<size_t>(static_cast<const char*>(end) - field));
    return true;
}

bool HasControl(std::string_view s) {
    for (char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F)
            return true;
    }
    return false;
}

bool IsPrintableAscii(std::string_view s) {
    for (char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b > 0x7E)
            return false;
    }
    return true;
}

bool IsBlankText(std::string_view s) {
    return s.find_first_not_of(' ') == std::string_view::npos;
}

// Stores a value into a field; false when it does not fit.
template <size_t N>
bool SetField(char (&field)[N], std::string_view value) {
    if (value.size() > N - 1 || value.find('\0') != std::string_view::npos)
        return false;
    CopyField(field, value);
    return true;
}

} // namespace

CModemInf MakeModemInf(const std::string& name, const std::string& device) {
    CModemInf m{};
    CopyField(m.m_szName, name);
    CopyField(m.m_szDevice, device);
    CopyField(m.m_szBearer, DEFAULT_GSM_BEARER);
    m.m_nDeviceId = -1;
    m.m_bGsm = false;
    return m;
}

std::string ModemBearer(const CModemInf& modem) {
    std::string_view bearer;
    if (!FieldText(modem.m_szBearer, &bearer) || IsBlankText(bearer))
        return DEFAULT_GSM_BEARER;
    return std::string(bearer);
}

int ValidateModem(const CModemInf& modem) {
    std::string_view name, device, init, bearer;
    if (!FieldText(modem.m_szName, &name) || IsBlankText(name) || HasControl(name))
        return ML_BAD_NAME;
    if (!FieldText(modem.m_szDevice, &device) || device.empty() || device[0] != '/' ||
        HasControl(device))
        return ML_BAD_DEVICE;
    if (!FieldText(modem.m_szInit, &init) || !IsPrintableAscii(init))
        return ML_BAD_INIT;
    if (!FieldText(modem.m_szBearer, &bearer) || !IsPrintableAscii(bearer))
        return ML_BAD_BEARER;
    return 0;
}

std::string CModemMng::FilePath() {
    return tk::DataFile(kFileName);
}

CModemMng::LoadResult CModemMng::Load() {
    m_stamp = tk::StampOf(FilePath()); // before reading: a later save shows as a change
    const LoadResult result = LoadFile(FilePath());
    // The list may be saved over this file later: keep what could not be read.
    if (result == LoadResult::Damaged)
        tk::PreserveDamagedFile(FilePath(), 1u << 20); // bounded well above any list
    return result;
}

bool CModemMng::Save() const {
    if (!tk::EnsureFolder(tk::DataFolder()) || !SaveFile(FilePath()))
        return false;
    m_stamp = tk::StampOf(FilePath());
    return true;
}

int CModemMng::SyncWithFile() {
    const tk::FileStamp now = tk::StampOf(FilePath());
    if (now == m_stamp)
        return 0;
    CModemMng fresh;
    if (fresh.Load() == LoadResult::Damaged) {
        m_stamp = now; // told once; the list stays
        return -1;
    }
    m_modems = std::move(fresh.m_modems);
    m_stamp = fresh.m_stamp;
    return 1;
}

CModemMng::LoadResult CModemMng::LoadFile(const std::string& path) {
    m_modems.clear();
    std::string text;
    const int err = tk::ReadFileContent(path, text, MAX_FILE_SIZE, tk::kReadProgramFile);
    if (err != 0)
        return err == ENOENT ? LoadResult::Missing : LoadResult::Damaged;
    return Parse(text);
}

CModemMng::LoadResult CModemMng::Parse(const std::string& text) {
    m_modems.clear();
    std::vector<CModemInf> modems;
    CModemInf current{};
    bool inEntry = false;
    // Keys seen in the current entry: name, device, init, gsm, bearer.
    bool seen[5] = {};

    auto finish = [&]() {
        if (!inEntry)
            return true;
        if (!seen[0] || !seen[1] || ValidateModem(current) != 0 || modems.size() >= MAX_MODEMS)
            return false;
        modems.push_back(current);
        return true;
    };

    if (text.size() > MAX_FILE_SIZE || text.find('\0') != std::string::npos)
        return LoadResult::Damaged;
    size_t pos = 0;
    bool first = true;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line(text.data() + pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (first) {
            if (line != kHeader)
                return LoadResult::Damaged;
            first = false;
            continue;
        }
        if (IsBlankText(line) || line[0] == '#')
            continue;
        if (line == "[modem]") {
            if (!finish())
                return LoadResult::Damaged;
            current = MakeModemInf("", "");
            std::memset(current.m_szBearer, 0, sizeof current.m_szBearer);
            std::fill(std::begin(seen), std::end(seen), false);
            inEntry = true;
            continue;
        }
        const size_t eq = line.find('=');
        if (!inEntry || eq == std::string_view::npos)
            return LoadResult::Damaged;
        const std::string_view key = line.substr(0, eq);
        const std::string_view value = line.substr(eq + 1);
        static constexpr std::string_view kKeys[] = {"name", "device", "init", "gsm", "bearer"};
        size_t k = 0;
        while (k < std::size(kKeys) && kKeys[k] != key)
            ++k;
        if (k == std::size(kKeys))
            continue; // written by a later version
        if (seen[k])
            return LoadResult::Damaged;
        seen[k] = true;
        bool ok = true;
        switch (k) {
        case 0:
            ok = SetField(current.m_szName, value);
            break;
        case 1:
            ok = SetField(current.m_szDevice, value);
            break;
        case 2:
            ok = SetField(current.m_szInit, value);
            break;
        case 3:
            ok = value == "0" || value == "1";
            current.m_bGsm = value == "1";
            break;
        default:
            ok = SetField(current.m_szBearer, value);
            break;
        }
        if (!ok)
            return LoadResult::Damaged;
    }
    if (first || !finish())
        return LoadResult::Damaged;
    m_modems = std::move(modems);
    Renumber();
    return LoadResult::Loaded;
}

std::string CModemMng::Format() const {
    std::string out = kHeader;
    out += "\n# Data modems of the control panel; texts in CP1250.\n";
    for (const CModemInf& m : m_modems) {
        out += "\n[modem]\nname=";
        out += m.m_szName;
        out += "\ndevice=";
        out += m.m_szDevice;
        out += "\ninit=";
        out += m.m_szInit;
        out += m.m_bGsm ? "\ngsm=1" : "\ngsm=0";
        out += "\nbearer=";
        out += m.m_szBearer;
        out += "\n";
    }
    return out;
}

bool CModemMng::SaveFile(const std::string& path) const {
    const std::string text = Format();
    return tk::WriteFileAtomically(path, text.data(), text.size());
}

const CModemInf* CModemMng::Get(size_t index) const {
    return index < m_modems.size() ? &m_modems[index] : nullptr;
}

int CModemMng::Add(const CModemInf& modem) {
    const int check = ValidateModem(modem);
    if (check != 0)
        return check;
    if (m_modems.size() >= MAX_MODEMS)
        return ML_FULL;
    m_modems.push_back(modem);
    Renumber();
    return static_cast<int>(m_modems.size() - 1);
}

int CModemMng::Set(size_t index, const CModemInf& modem) {
    if (index >= m_modems.size())
        return ML_BAD_INDEX;
    const int check = ValidateModem(modem);
    if (check != 0)
        return check;
    m_modems[index] = modem;
    Renumber();
    return static_cast<int>(index);
}

int CModemMng::Remove(size_t index) {
    if (index >= m_modems.size())
        return ML_BAD_INDEX;
    m_modems.erase(m_modems.begin() + static_cast<std::ptrdiff_t>(index));
    Renumber();
    return static_cast<int>(index);
}

void CModemMng::Renumber() {
    for (size_t i = 0; i < m_modems.size(); ++i)
        m_modems[i].m_nDeviceId = static_cast<int32_t>(i);
}

std::string ModemDeviceProblem(const CModemInf& modem) {
    const std::string device(modem.m_szDevice, strnlen(modem.m_szDevice, sizeof modem.m_szDevice));
    int err = 0;
    switch (CheckDevice(device, &err)) {
    case DEVICE_USABLE:
        return {};
    case DEVICE_GONE:
        return "zařízení neexistuje"; // a by-id link stays behind an unplugged adapter
    case DEVICE_NO_PERMISSION: {
        PortGroupHint hint;
        if (PortNeedsGroup(device, hint))
            return "chybí oprávnění (skupina " + hint.group + ")";
        return "chybí oprávnění";
    }
    case DEVICE_NOT_SERIAL:
        return "není sériové zařízení";
    case DEVICE_OTHER:
    default:
        return tk::SystemErrorText(err);
    }
}
