#include "config/TK630Cfg.h"

#include "base/FileIO.h"

#include "base/LinkResult.h"
#include "base/SafeFile.h"
#include "base/Texts.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void CopyImageIn(CfgImage& image, const uint8_t* buffer) {
    std::memcpy(&image, buffer, sizeof image);
    // A file holds the image byte for byte; its texts may run to the end of their fields.
    TerminateTexts(image);
}

constexpr CfgLayout kLayouts[] = {
    {CFG_LAYOUT_IMAGE, static_cast<int32_t>(CFG_IMAGE_SIZE), nullptr, CopyImageIn},
    {CFG_LAYOUT_DEVICE, static_cast<int32_t>(CFG_DEVICE_SIZE), ImageToDevice, DeviceToImage},
};
constexpr int32_t kLayoutCount = static_cast<int32_t>(std::size(kLayouts));

constexpr size_t LargestLayout() {
    size_t largest = 0;
    for (const CfgLayout& l : kLayouts)
        largest = std::max(largest, static_cast<size_t>(l.m_nSize));
    return largest;
}

void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t GetLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Reads up to `size` bytes of a regular file; the number read, or -1 when it cannot be opened
// or read. A FIFO or device would block or never end, so only regular files are read.
ssize_t ReadFileHead(const std::string& name, uint8_t* buf, size_t size) {
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    const ssize_t got = tk::ReadUpTo(fd, buf, size);
    ::close(fd);
    return got;
}

} // namespace

// ---- CTKCfgDataMng ----

CTKCfgDataMng::CTKCfgDataMng() {
    SetDefaults(m_Image);
}

const CfgLayout* CTKCfgDataMng::FindLayout(int32_t code) {
    for (const CfgLayout& l : kLayouts)
        if (l.m_nCode == code)
            return &l;
    return nullptr;
}

uint8_t* CTKCfgDataMng::PrepareBuffer(int32_t code) {
    const CfgLayout* layout = FindLayout(code);
    if (!layout)
        return nullptr;
    m_nLayout = static_cast<int32_t>(layout - kLayouts);
    if (m_nBufSize < layout->m_nSize) {
        m_pBuf.reset();
        m_nBufSize = 0;
        m_pBuf.reset(new (std::nothrow) uint8_t[static_cast<size_t>(layout->m_nSize)]());
        if (!m_pBuf)
            return nullptr;
        m_nBufSize = layout->m_nSize;
    }
    return m_pBuf.get();
}

const CfgLayout* CTKCfgDataMng::GetLayout() const {
    if (!m_pBuf || m_nLayout < 0 || m_nLayout >= kLayoutCount)
        return nullptr;
    return &kLayouts[m_nLayout];
}

void CTKCfgDataMng::Export() {
    const CfgLayout* layout = GetLayout();
    if (layout && layout->m_pfnExport && m_nBufSize >= layout->m_nSize)
        layout->m_pfnExport(m_pBuf.get(), m_Image);
}

void CTKCfgDataMng::Import() {
    const CfgLayout* layout = GetLayout();
    if (layout && layout->m_pfnImport && m_nBufSize >= layout->m_nSize)
        layout->m_pfnImport(m_Image, m_pBuf.get());
}

// ---- the file format ----

void BuildCfgFile(uint8_t (&file)[CFG_FILE_SIZE], const CfgImage& image) {
    PutLe32(file, CFG_FILE_VERSION);
    PutLe32(file + 4, static_cast<uint32_t>(CFG_LAYOUT_IMAGE));
    std::memcpy(file + CFG_FILE_HEADER_SIZE, &image, sizeof image);
}

bool WriteCfgFile(const std::string& path, const CfgImage& image, tk::FileOwner owner) {
    if (path.empty())
        return false;
    uint8_t file[CFG_FILE_SIZE];
    BuildCfgFile(file, image);
    return tk::WriteFileAtomically(path, file, sizeof file, 0600, owner); // it holds the SIM PIN
}

// ---- CTK630Cfg ----

CTK630Cfg::CTK630Cfg(ICfgHost* host) : m_pHost(host) {}

void CTK630Cfg::ShowError(uint32_t textId) {
    if (m_pHost)
        m_pHost->ShowError(textId);
}

std::string CTK630Cfg::FileFilter() const {
    std::string filter(GetText(TXT_FILTER_CFG));
    filter += '|';
    filter += GetText(TXT_FILTER_ALL);
    return filter;
}

int CTK630Cfg::LoadBytes(const uint8_t* data, size_t size, std::string_view name) {
    // Everything is checked before anything changes, so a refused file leaves the image, the
    // name and the flag as they were.
    const CfgLayout* layout = nullptr;
    if (data && size >= CFG_FILE_HEADER_SIZE && GetLe32(data) == CFG_FILE_VERSION)
        layout = CTKCfgDataMng::FindLayout(static_cast<int32_t>(GetLe32(data + 4)));
    uint8_t* buf = nullptr;
    if (layout && size - CFG_FILE_HEADER_SIZE >= static_cast<size_t>(layout->m_nSize))
        buf = m_data.PrepareBuffer(layout->m_nCode);
    if (!buf) {
        ShowError(TXT_CFG_LOAD_ERROR);
        return 0;
    }
    std::memcpy(buf, data + CFG_FILE_HEADER_SIZE, static_cast<size_t>(layout->m_nSize));
    m_szFileName.assign(name);
    m_data.Import();
    m_bModified = false;
    m_bBlank = false;
    return 1;
}

int CTK630Cfg::LoadFile(const std::string& name) {
    // Bytes after the configuration are ignored, so no more than the largest layout is read.
    uint8_t file[CFG_FILE_HEADER_SIZE + LargestLayout()];
    const ssize_t got = name.empty() ? -1 : ReadFileHead(name, file, sizeof file);
    if (got < 0) {
        ShowError(TXT_CFG_LOAD_ERROR);
        return 0;
    }
    return LoadBytes(file, static_cast<size_t>(got), name);
}

int CTK630Cfg::SaveFile(const std::string& name) {
    if (!WriteCfgFile(name, *m_data.GetImage())) {
        ShowError(TXT_CFG_SAVE_ERROR);
        return 0;
    }
    m_szFileName = name;
    m_bModified = false;
    return 1;
}

int CTK630Cfg::QuerySave() {
    if (!m_bModified)
        return CFG_YES;
    const int answer = m_pHost ? m_pHost->AskSave() : CFG_NO;
    // "Yes" means the user wants the changes kept: when the save does not happen (dialog
    // cancelled, disk full), going on would drop them, so the command stops as on Cancel.
    if (answer == CFG_YES && Save(false) != 1)
        return CFG_CANCEL;
    return answer;
}

bool CTK630Cfg::SetModified() {
    const bool old = m_bModified;
    m_bModified = true;
    m_bBlank = false;
    if (!old && m_pHost)
        m_pHost->TitleChanged();
    return old;
}

void CTK630Cfg::New() {
    if (QuerySave() == CFG_CANCEL)
        return;
    SetDefaults(*m_data.GetImage());
    m_bModified = false;
    m_bBlank = true;
    m_szFileName.clear();
    if (m_pHost)
        m_pHost->ConfigReplaced();
}

int CTK630Cfg::Open() {
    if (QuerySave() == CFG_CANCEL || !m_pHost)
        return 0;
    std::string name = m_szFileName;
    if (!m_pHost->AskOpenFileName(name, FileFilter()))
        return 0;
    if (!LoadFile(name))
        return 0;
    m_pHost->ConfigReplaced();
    return 1;
}

int CTK630Cfg::OpenFile(const std::string& name, bool keepName) {
    if (QuerySave() == CFG_CANCEL || !LoadFile(name))
        return 0;
    if (!keepName)
        m_szFileName.clear();
    if (m_pHost)
        m_pHost->ConfigReplaced();
    return 1;
}

int CTK630Cfg::Save(bool saveAs) {
    if (m_pHost)
        m_pHost->LeaveCurrentPane();
    std::string name = m_szFileName;
    if (saveAs || name.empty()) {
        if (!m_pHost || !m_pHost->AskSaveFileName(name, FileFilter(), "cfg"))
            return 0;
    }
    if (!SaveFile(name))
        return 0;
    if (m_pHost)
        m_pHost->TitleChanged();
    return 1;
}

uint32_t CTK630Cfg::ReadFromUnit() {
    if (QuerySave() == CFG_CANCEL)
        return CFG_CANCEL;
    return m_pHost ? m_pHost->PostReadConfig(*this) : LE_START_FAILED;
}

uint32_t CTK630Cfg::WriteToUnit() {
    if (!m_pHost)
        return LE_START_FAILED;
    m_pHost->LeaveCurrentPane();
    return m_pHost->PostWriteConfig(*this);
}
