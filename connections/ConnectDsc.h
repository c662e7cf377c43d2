// The remote units the user dials through a modem: each one's telephone number and login
// PIN, the list of them with the chosen one, and their file "Data/Connection.dat".
#pragma once

#include "base/DataLock.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// One remote connection, written to the file byte for byte. Texts are zero-terminated
// CP1250; bytes after the zero do not matter.
struct CConnectDsc {
    char m_szNum[16] = {}; // number of the unit's data line, at most 15 characters
    char m_szPIN[9] = {};  // login PIN, at most 8 characters

    // Take a text, cut to the field (15 and 8 characters), always terminated.
    void SetNum(const char* num);
    void SetPIN(const char* pin);
};

static_assert(sizeof(CConnectDsc) == 25);

inline constexpr int CONNECT_MAX = 100;
inline constexpr uint32_t CONNECT_FILE_VERSION = 1;

class CConnectDscMng {
public:
    CConnectDscMng() = default;
    ~CConnectDscMng() = default;
    CConnectDscMng(const CConnectDscMng&) = delete;
    CConnectDscMng& operator=(const CConnectDscMng&) = delete;

    // Empties the list; nothing chosen.
    void Clear();

    // Appends a copy. Its index, or -1 when the list is full (CONNECT_MAX) or memory is short.
    int Add(const CConnectDsc& dsc);

    // Removes one descriptor; an index that names none does nothing. The chosen index is
    // left as it is, even when it now names another descriptor or none.
    void Delete(int index);

    // The descriptor at `index`, or nullptr when there is none.
    CConnectDsc* Get(int index);
    const CConnectDsc* Get(int index) const;

    int GetCount() const { return static_cast<int>(m_aDsc.size()); }

    // The chosen descriptor's index; -1, or any index that names no descriptor, means none.
    int GetSel() const { return m_nSel; }
    void SetSel(int index) { m_nSel = index; }

    // Reads "Connection.dat". 1 on success; 0 otherwise, and then the list is empty with
    // nothing chosen (a damaged file never leaves part of a list).
    int Load();
    // The same from the bytes of a file; bytes after the last record are ignored.
    int LoadBytes(const uint8_t* data, size_t size);

    // Writes "Connection.dat" (readable by its owner only, as it holds PINs), creating the
    // Data folder when it is missing. 1 on success; 0 otherwise, and the old file stays.
    int Save() const;
    // The bytes that Save writes.
    std::vector<uint8_t> SaveBytes() const;

    // The control panel and tk530ctl share the file. The list changed here since it last
    // read or wrote the file (a dialog's edit, a PIN typed after a refusal).
    bool ChangedHere() const;
    // Reads the file again when another program changed it and this list holds no change of
    // its own. 1 read again, 0 not.
    int SyncWithFile();
    // Saves a list changed here, under the Data lock (waiting for it up to `waitMs`). When
    // another program saved the file meanwhile, the list becomes the file's with this list's
    // own changes (descriptors added, removed or changed since it last read, by number) made
    // over it. 1 when nothing was left to save or it is saved; 0 when the lock stayed taken or
    // the save failed (the change stays in memory).
    int SaveChanges(int waitMs = tk::kDataLockWaitMs);

private:
    void RememberFile(const tk::FileStamp& stamp) const;
    // Makes this list's changes since it last read or wrote the file over `disk`.
    void MergeInto(CConnectDscMng& disk) const;

    std::vector<std::unique_ptr<CConnectDsc>> m_aDsc;
    int32_t m_nSel = -1;
    // The file when this list last read or wrote it, and the bytes it held then.
    mutable tk::FileStamp m_stamp;
    mutable std::vector<uint8_t> m_base = SaveBytes();
};
