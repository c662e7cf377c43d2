// The local SMS store: three lists ("Přijaté", "Odeslané", "K odeslání") of at most five
// messages each, kept in "SMS.dat" in the Data folder. A message read from the unit is
// deleted there once acknowledged, so the store is saved after every change that the user or
// the link makes: a crash or power cut must not lose a message.
//
// The control panel and tk530ctl may keep the same "SMS.dat" open at once. The file is the
// truth: every change the ...AndShow operations and StoreReceived make is a read-modify-write
// under the Data lock (base/DataLock.h): the file is read again when another program changed
// it, the change is applied to what it holds, and it is saved before the lock is released. A
// message the caller names by its index is found again by its content after such a reload.
#pragma once

#include "base/DataLock.h"
#include "sms/SMS.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What the screen keeps in step with the store: the list pane (rows) and the three list
// nodes of the tools tree (captions with the counts); each listener takes what it shows. Called on
// the thread that changes the store, right after (or, for removed rows, right before) the change.
class ISMSStoreListener {
public:
    virtual ~ISMSStoreListener() = default;
    // The message now at `index` of `list` is new: show it at the top of that list's view.
    virtual void OnSmsRowAdded(int list, int index) { (void)list, (void)index; }
    // These messages leave `list`: the indices (ascending) are those they had before. A
    // deletion calls this just before the messages are destroyed, a move just after.
    virtual void OnSmsRowsRemoved(int list, const int32_t* indices, int n) {
        (void)list, (void)indices, (void)n;
    }
    // The message at `index` of `list` changed in place.
    virtual void OnSmsRowUpdated(int list, int index) { (void)list, (void)index; }
    // The count of `list` may have changed: refresh its node (see ListNodeCaption).
    virtual void OnSmsListCountChanged(int list, int count) { (void)list, (void)count; }
    // A change could not be saved (errno-style code; EBUSY: another program held the Data
    // lock all the time, EBADMSG: the file another program wrote cannot be read whole, so
    // nothing was changed; otherwise why the file could not be written). Called after the lock is
    // released, so a listener may ask the user.
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
    // errno-style code of the last failed Save or change, 0 when the last one succeeded.
    int LastSaveError() const { return m_nSaveError; }

    // Reads "SMS.dat" again when another program changed it since this store last read or
    // wrote it; the listener hears of every list (OnSmsListCountChanged). A message this
    // program changed in place and has not saved yet is lost by a reload: the window follows
    // the file only between its changes. 1 reloaded, 0 unchanged, -1 the file cannot be read
    // whole (the lists stay as they were). Callers that change the store hold the Data lock.
    int SyncWithFile();
    // The file changed on disk since this store last read or wrote it.
    bool ChangedOnDisk() const { return !(tk::StampOf(FilePath()) == m_stamp); }
    // Saves the messages changed in place and not saved yet (at the end of a run), as a
    // change: over what the file holds now. 1 when nothing was left to save or it is saved.
    int SaveChanges();
    // What identifies the message at (list, index) across another program's changes (empty
    // when there is none): a position does not, a reload may have moved or removed it.
    std::vector<uint8_t> MessageKey(int list, int index) const;
    // The index the message named by `key` has in `list` now, or -1 when it is gone.
    int FindMessage(int list, const std::vector<uint8_t>& key) const;

    // Operations that keep the screen in step and save the store at once. Full lists lose
    // their oldest message to make room.
    // Every listener is told of every change, in the order they were added (the window's
    // node captions before the list pane). A listener removes itself before it goes.
    void AddListener(ISMSStoreListener* listener);
    void RemoveListener(ISMSStoreListener* listener);
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
    // refreshes its row. The message object stays the same (an editor keeps pointing at it);
    // when another program removed the message meanwhile, it is appended to its list again
    // rather than losing the change. Its index now, or -1 for a bad list or index, or when
    // the change could not be saved.
    int UpdateAndShow(int index, int list);
    // Where `sms` (an object of this store) is in `list` now, or -1 when it is in none: a
    // reload keeps the objects of the messages the file still holds.
    int IndexOf(const CSMS* sms, int list) const;
    void UpdateListNode(int list);
    // Node caption (UTF-8): name and count, "Přijaté (3)", "Přijaté (5) — 2 v archivu".
    std::string ListNodeCaption(int list) const;

    // Scratch list of message indices, ascending: filled by the SMS commands with the
    // messages they act on, and handed to the link worker by the send command.
    std::array<int32_t, SMS_LIST_MAX> m_anSel{};

private:
    // Calls `tell` with every listener; a listener added or removed meanwhile does not upset
    // the round (it goes over the list as it was).
    template <typename F>
    void Tell(F&& tell) {
        const std::vector<ISMSStoreListener*> listeners = m_listeners;
        for (ISMSStoreListener* listener : listeners)
            tell(*listener);
    }
    static bool IsList(int list) { return list >= 0 && list < SMS_LIST_COUNT; }
    int Append(std::unique_ptr<CSMS> sms, int list);
    int DeleteRows(int list, const int32_t* indices, int n);
    // False (nothing evicted) when the oldest message could not be archived.
    bool EvictOldest(int list);
    bool Archive(const CSMS& sms);
    // Starts a change: takes the Data lock and reads the file again if another program
    // changed it. False (LastSaveError set, the listener told) when the lock stays taken or
    // the file cannot be read; nothing may be changed then.
    // `keep` names messages (list, index) whose objects survive a reload in place of the
    // message they were, with the changes made to them in place; their indices are updated.
    // `reloaded` tells whether the lists were read again. Without `tell` the listener does
    // not hear of a failure (the caller reports it).
    bool BeginChange(tk::CDataLock& lock, std::vector<std::pair<int, int>>* keep = nullptr,
                     bool* reloaded = nullptr, bool tell = true);
    // The file read again (SyncWithFile), keeping the objects of `keep` as BeginChange says.
    int Reload(std::vector<std::pair<int, int>>* keep);
    // The record that identifies the message at (list, index): as last read or written when
    // the store still knows it, else as it is now.
    std::vector<uint8_t> KeyOf(int list, int index) const;
    // Reads the file into this store's lists (Load without its bookkeeping).
    int ReadFile();
    // Saves under the lock, releases it, then tells the listener of a failure.
    void SaveAfterChange(tk::CDataLock& lock);
    void Failed(int error, bool tell);
    // The record of a message as the file holds it: what identifies it across a reload.
    static std::vector<uint8_t> Record(const CSMS& sms);
    // The two records are of one message, read or unread.
    static bool SameMessage(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);
    // The first index in `list` not yet `taken` whose message has this record, or -1.
    int FindRecord(int list, const std::vector<uint8_t>& record, std::vector<bool>& taken) const;
    // The records of the lists as last read or written (m_aBase) and the file's stamp then.
    void RememberFile(const tk::FileStamp& stamp);

    std::array<std::vector<std::unique_ptr<CSMS>>, SMS_LIST_COUNT> m_aList;
    std::vector<ISMSStoreListener*> m_listeners;
    std::vector<std::unique_ptr<CSMS>> m_surplus;
    bool m_bDamaged = false;
    int m_nSaveError = 0;
    int m_nArchived = 0;
    // A message already in the archive that went back into its list (its store could not be
    // saved): evicting it again must not write it twice. Cleared when it is destroyed.
    const CSMS* m_pArchivedKept = nullptr;
    // Messages another program removed while this one may still point at them (an open
    // editor): kept alive, never shown, until the store ends.
    std::vector<std::unique_ptr<CSMS>> m_retired;
    tk::FileStamp m_stamp;
    tk::FileStamp m_badStamp; // a file another program wrote that could not be read
    std::array<std::vector<std::vector<uint8_t>>, SMS_LIST_COUNT> m_aBase;
};
