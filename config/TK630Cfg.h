// The program's one configuration: the image, the file it came from, whether it was changed,
// and the transfer buffer through which the link worker moves it to and from the unit.
#pragma once

#include "base/SafeFile.h"
#include "config/CfgImage.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// One arrangement of the configuration: its code (in configuration files, and the device type
// code the unit reports) and its size in bytes.
struct CfgLayout {
    int32_t m_nCode;
    int32_t m_nSize;
    void (*m_pfnExport)(uint8_t* buffer, const CfgImage& image); // null: no export
    void (*m_pfnImport)(CfgImage& image, const uint8_t* buffer);
};

inline constexpr int32_t CFG_LAYOUT_IMAGE = -1; // the image itself; files only
inline constexpr int32_t CFG_LAYOUT_DEVICE = 1; // the unit's arrangement

// Configuration file: 32-bit version, 32-bit layout code, the configuration in that layout.
inline constexpr uint32_t CFG_FILE_VERSION = 1;
inline constexpr size_t CFG_FILE_HEADER_SIZE = 8;
// What the program writes: the header with layout code -1 and the image.
inline constexpr size_t CFG_FILE_SIZE = CFG_FILE_HEADER_SIZE + CFG_IMAGE_SIZE;

// The image and the transfer buffer. The link worker uses it while a configuration transfer
// runs; the user interface is then held by the modal progress dialog, so no lock is needed.
class CTKCfgDataMng {
public:
    CTKCfgDataMng();
    CTKCfgDataMng(const CTKCfgDataMng&) = delete;
    CTKCfgDataMng& operator=(const CTKCfgDataMng&) = delete;

    // Selects the layout with this code and returns the transfer buffer, at least as large as
    // that layout. Null when no layout has the code or the buffer cannot be allocated. The
    // buffer only grows and keeps its content.
    uint8_t* PrepareBuffer(int32_t code);
    // The layout last selected, or null when there is no buffer or no selection.
    const CfgLayout* GetLayout() const;
    // Image -> buffer in the selected layout (before a write to the unit).
    void Export();
    // Buffer -> image from the selected layout (after a read from the unit).
    void Import();

    CfgImage* GetImage() { return &m_Image; }
    const CfgImage* GetImage() const { return &m_Image; }
    int32_t GetBufferSize() const { return m_nBufSize; }

    // The layout with this code, or null.
    static const CfgLayout* FindLayout(int32_t code);

private:
    std::unique_ptr<uint8_t[]> m_pBuf;
    int32_t m_nBufSize = 0;
    int32_t m_nLayout = -1;
    CfgImage m_Image;
};

class CTK630Cfg;

// Answers of the save question.
enum CfgAnswer : int { CFG_YES = 6, CFG_NO = 7, CFG_CANCEL = 2 };

// What the configuration needs from the user interface around it: questions, file dialogs,
// error messages, the window title, the panes and the link. The GUI and the command-line
// companion fill it in. Without a host nothing is asked or shown: the save question is
// answered No, file dialogs count as cancelled, and nothing is queued for the link.
class ICfgHost {
public:
    virtual ~ICfgHost() = default;
    // "Konfigurace byla změněna, chcete změny uložit?" (text 104) with Yes, No, Cancel.
    virtual int AskSave() = 0;
    // The open and save dialogs; false when cancelled. `name` comes in with the current file
    // name (may be empty) and goes out with the chosen one. `filter` is texts 61 | 60.
    virtual bool AskOpenFileName(std::string& name, const std::string& filter) = 0;
    virtual bool AskSaveFileName(std::string& name, const std::string& filter,
                                 const char* defaultExt) = 0;
    // An error box with this numbered text (101 load failed, 102 save failed).
    virtual void ShowError(uint32_t textId) = 0;
    // The file name or the modified flag changed: compose the title again.
    virtual void TitleChanged() = 0;
    // The whole image was replaced (new, opened): reload the panes and the title.
    virtual void ConfigReplaced() = 0;
    // The pane on screen stores its pending edits into the image.
    virtual void LeaveCurrentPane() = 0;
    // Queue {CM_READ_CFG, cfg} or {CM_WRITE_CFG, cfg} for the link; the queue's result.
    virtual uint32_t PostReadConfig(CTK630Cfg& cfg) = 0;
    virtual uint32_t PostWriteConfig(CTK630Cfg& cfg) = 0;
};

class CTK630Cfg {
public:
    explicit CTK630Cfg(ICfgHost* host = nullptr);
    CTK630Cfg(const CTK630Cfg&) = delete;
    CTK630Cfg& operator=(const CTK630Cfg&) = delete;

    void SetHost(ICfgHost* host) { m_pHost = host; }

    CfgImage* GetImage() { return m_data.GetImage(); }
    // The transfer buffer and layouts, for the link worker.
    CTKCfgDataMng& GetDataMng() { return m_data; }

    // The commands of the main window. Each asks before unsaved changes are lost.
    void New();
    // 1 when a file was opened.
    int Open();
    // Opens this file without the file dialog (a recent file, a dropped file, a backup),
    // after the save question like Open. With `keepName` false the configuration stays
    // untitled, so Save asks where to put it. 1 when it was opened.
    int OpenFile(const std::string& name, bool keepName = true);
    // 1 when the configuration was saved.
    int Save(bool saveAs);
    // The link queue's result, or CFG_CANCEL when the user cancelled the save question.
    // Without a host nothing can be queued: LE_START_FAILED.
    uint32_t ReadFromUnit();
    uint32_t WriteToUnit();

    // Offers to save a modified configuration; the answer (CFG_YES when not modified).
    int QuerySave();
    // Marks the configuration edited; the previous value of the flag.
    bool SetModified();
    bool IsModified() const { return m_bModified; }
    // A new configuration (at start or after New) that was neither edited, opened nor read
    // from a unit: its settings are the defaults nobody chose.
    bool IsBlank() const { return m_bBlank; }
    // The link worker has put a unit's configuration into the image.
    void NoteReadFromUnit() { m_bBlank = false; }
    // Full path of the current file; empty when untitled.
    const std::string& GetFileName() const { return m_szFileName; }

    // 1 success, 0 failure (error 101 shown; image, file name and flag unchanged).
    int LoadFile(const std::string& name);
    // The same from the bytes of a file; `name` becomes the file name on success.
    int LoadBytes(const uint8_t* data, size_t size, std::string_view name = {});
    // 1 success, 0 failure (error 102 shown; the old file, the file name and flag unchanged).
    int SaveFile(const std::string& name);

private:
    void ShowError(uint32_t textId);
    std::string FileFilter() const;

    CTKCfgDataMng m_data;
    // Any length the system takes: a path cut at some fixed width would save somewhere else.
    std::string m_szFileName;
    bool m_bModified = false;
    // Cleared by the link worker after a read; asked on the user-interface thread.
    std::atomic<bool> m_bBlank{true};
    ICfgHost* m_pHost = nullptr;
};

// The bytes of a configuration file holding this image: 1, -1, the image (1667 bytes).
void BuildCfgFile(uint8_t (&file)[CFG_FILE_SIZE], const CfgImage& image);

// Writes a configuration file through a temporary file; an old file stays intact on failure.
bool WriteCfgFile(const std::string& path, const CfgImage& image,
                  tk::FileOwner owner = tk::FileOwner::User);
