// The local SMS store: three lists ("Přijaté", "Odeslané", "K odeslání") of at most five
// messages each, kept in "SMS.dat" in the Data folder. A message read from the unit is
// deleted there once acknowledged, so the store is saved after every change that the user or
// the link makes: a crash or power cut must not lose a message.
#pragma once

#include "sms/SMS.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What the screen keeps in step with the store: the list pane (rows) and the three list
// nodes of the tools tree (captions with the counts). Called on the thread that changes the
// store, right after (or, for removed rows, right before) the change.
class ISMSStoreListener {
public:
    virtual ~ISMSStoreListener() = default;
    // The message now at `index` of `list` is new: show it at the top of that list's view.
    virtual void OnSmsRowAdded(int list, int index) = 0;
    // These messages leave `list`: the indices (ascending) are those they had before. A
    // deletion calls this just before the messages are destroyed, a move just after.
    virtual void OnSmsRowsRemoved(int list, const int32_t* indices, int n) = 0;
    // The message at `index` of `list` changed in place.
    virtual void OnSmsRowUpdated(int list, int index) = 0;
    // The count of `list` may have changed: refresh its node (see ListNodeCaption).
    virtual void OnSmsListCountChanged(int list, int count) = 0;
    // A change could not be saved (errno-style code); the store keeps it in memory and
    // saves it with the next change or at shutdown.
    virtual void OnSmsSaveFailed(int error) { (void)error; }
    // The first save over a store that was not loaded whole: what the file held was copied to
    // `copy` (empty when no copy could be made, and then nothing is saved). Called before
    // that save, once per damage, so that the user learns it before the file changes.
    virtual void OnSmsStoreDamaged(const std::string& copy) { (void)copy; }
};

class CSMSMng {
public:
    CSMSMng() = default;
    CSMSMng(const CSMSMng&) = delete;
    CSMSMng& operator=(const CSMSMng&) = delete;

    // Appends a copy of sms to `list` and marks it with the list. The new index, or -1 (bad
    // list), -2 (the list holds 5 already), -3 (no memory).
    int Add(const CSMS& sms, int list);
    // The same, taking over the message: on success `sms` is left empty; on failure it stays
    // with the caller.
    int Add(std::unique_ptr<CSMS>& sms, int list);
    // Destroys one message; later ones move down. 1, or -1 for a bad list or index.
    int Delete(int index, int list);
    void Clear(int list);
    // Moves a message to the end of `to`, marking it with the new list. The index in `to`,
    // -1 for a bad list or index, or -2 when `to` is full (nothing changes then; also when
    // `to` is `from`).
    int Move(int index, int from, int to);
    // nullptr for a bad list or index. Changes made through it are saved by UpdateAndShow.
    CSMS* Get(int index, int list);
    const CSMS* Get(int index, int list) const;
    int GetCount(int list) const;

    // "SMS.dat" in the Data folder. Load: 1, or 0 when the file is missing, of another
    // version or damaged (what was read before the damage stays loaded). Save: 1, or 0 when
    // the file could not be written; the old file is then untouched (LastSaveError tells why).
    // A store that was not loaded whole (a damaged file, or lists longer than they may be)
    // is saved only by a change: its first save keeps a copy of the file beside it and
    // archives the records that did not fit. IsDamaged tells whether that save is still due.
    int Load();
    int Save();
    bool IsDamaged() const { return m_bDamaged; }
    // The same on byte streams. Records beyond a list's five are not dropped: they wait in
    // SurplusCount for the next save, which archives them.
    int LoadFrom(CByteReader& file);
    size_t SurplusCount() const { return m_surplus.size(); }
    int SaveTo(CByteWriter& file) const;
    static std::string FilePath();
    // errno-style code of the last failed Save, 0 when the last Save succeeded.
    int LastSaveError() const { return m_nSaveError; }

    // Operations that keep the screen in step and save the store at once. Full lists lose
    // their oldest message to make room.
    void SetListener(ISMSStoreListener* listener) { m_pListener = listener; }
    // Add, evicting the oldest message when the list is full. The index or Add's error.
    int AddAndShow(const CSMS& sms, int list);
    int AddAndShow(std::unique_ptr<CSMS>& sms, int list);
    // Deletes the messages whose ascending indices are the first n entries of m_anSel.
    // The number of messages deleted.
    int DeleteAndShow(int list, int n);
    int DeleteAndShow(int list, const int32_t* indices, int n);
    // Move, evicting the oldest message of `to` when it is full (not within one list: the
    // oldest could be the one to move). Move's result.
    int MoveAndShow(int index, int from, int to);
    // A message read from the unit: into the received list, evicting the oldest when full,
    // and saved. Either all of it is done and on disk, or nothing changes (the unit keeps
    // its copy then): the new index, or -1 when it could not be saved (LastSaveError), -3
    // without memory.
    int StoreReceived(const CSMS& sms);

    // Messages never shown (still unread) are not lost when they leave a full list: each is
    // first appended to "SMSArchive.txt" in the Data folder (one export line a message, in
    // UTF-8, only ever appended to, for the user alone). ArchivedCount counts those this
    // store has written.
    static std::string ArchivePath();
    int ArchivedCount() const { return m_nArchived; }
    // Saves a message that was changed in place (opened and marked read, edited) and
    // refreshes its row. 1, or -1 for a bad list or index.
    int UpdateAndShow(int index, int list);
    void UpdateListNode(int list);
    // Node caption (UTF-8): name and count, "Přijaté (3)", "Přijaté (5) — 2 v archivu".
    std::string ListNodeCaption(int list) const;

    // Scratch list of message indices, ascending: filled by the SMS commands with the
    // messages they act on, and handed to the link worker by the send command.
    std::array<int32_t, SMS_LIST_MAX> m_anSel{};

private:
    static bool IsList(int list) { return list >= 0 && list < SMS_LIST_COUNT; }
    int Append(std::unique_ptr<CSMS> sms, int list);
    int DeleteRows(int list, const int32_t* indices, int n);
    // False (nothing evicted) when the oldest message could not be archived.
    bool EvictOldest(int list);
    bool Archive(const CSMS& sms);
    void SaveAfterChange();

    std::array<std::vector<std::unique_ptr<CSMS>>, SMS_LIST_COUNT> m_aList;
    ISMSStoreListener* m_pListener = nullptr;
    std::vector<std::unique_ptr<CSMS>> m_surplus;
    bool m_bDamaged = false;
    int m_nSaveError = 0;
    int m_nArchived = 0;
    // A message already in the archive that went back into its list (its store could not be
    // saved): evicting it again must not write it twice. Cleared when it is destroyed.
    const CSMS* m_pArchivedKept = nullptr;
};
