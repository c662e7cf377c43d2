// The command queue of the link: the user interface hands the link worker at most three
// commands at a time (connect, operation, disconnect) and never waits for the unit.
#pragma once

#include <cstdint>

inline constexpr uint32_t CM_QUIT = 0;        // end the worker thread
inline constexpr uint32_t CM_CANCEL = 1;      // never queued: cancels the running transfer
inline constexpr uint32_t CM_CONNECT = 2;     // param1: 1 = stay online afterwards
inline constexpr uint32_t CM_DISCONNECT = 3;  // param1: 1 = close the main window afterwards
inline constexpr uint32_t CM_READ_CFG = 4;    // param1: the configuration object to fill
inline constexpr uint32_t CM_WRITE_CFG = 5;   // param1: the configuration object to send,
                                              // param2: CFG_WRITE_* flags
inline constexpr uint32_t CM_READ_STATUS = 6; // GSM, inputs/outputs and clock
inline constexpr uint32_t CM_SET_OUTPUTS =
    7;                                     // param1: mask of the outputs to change, param2: values
inline constexpr uint32_t CM_SET_TIME = 8; // param1: the time to set (a SysTime held by the caller)
inline constexpr uint32_t CM_READ_SMS = 9; // every SMS stored in the unit
inline constexpr uint32_t CM_SEND_SMS = 10; // param1: outbox indices (int32 array), param2: count

// How CM_WRITE_CFG goes (its param2).
// Read every block back after the write and compare it with what was sent.
inline constexpr uint32_t CFG_WRITE_VERIFY = 1;
// First read what the unit holds and keep it as a backup marked "before a write"; nothing is
// written when the backup cannot be kept.
inline constexpr uint32_t CFG_WRITE_BACKUP = 2;
// With CFG_WRITE_BACKUP: ask the user with the unit's configuration (CE_CFG_WRITE_QUERY) and
// write only after a yes; with no differences ask nothing and write nothing.
inline constexpr uint32_t CFG_WRITE_ASK = 4;

// One queued command. Pointers in it stay owned by the caller and must stay valid until the
// queue is empty again.
struct CComMsg {
    uint32_t m_nType = CM_QUIT;
    uintptr_t m_nParam1 = 0; // an integer or a pointer
    uint32_t m_nParam2 = 0;

    template <typename T>
    T* Param1As() const {
        return reinterpret_cast<T*>(m_nParam1);
    }
};

// The queue: three slots, filled only while empty.
class CComMsgMng {
public:
    static constexpr uint32_t SLOTS = 3;

    void Reset() {
        m_nCount = 0;
        m_nIndex = 0;
    }

    // Appends a command (after Reset when `reset` is set); false when all slots are taken.
    bool Push(const CComMsg& msg, bool reset) {
        if (reset)
            Reset();
        if (m_nCount == SLOTS)
            return false;
        m_aMsg[m_nCount++] = msg;
        return true;
    }

    // Entries not yet finished, the current one included.
    uint32_t Count() const { return m_nCount; }
    const CComMsg& Current() const { return m_aMsg[m_nIndex]; }

    // Moves on to the next entry; nullptr when the queue is empty.
    const CComMsg* Next() {
        if (m_nCount == 0)
            return nullptr;
        ++m_nIndex;
        --m_nCount;
        return m_nIndex < SLOTS ? &m_aMsg[m_nIndex] : nullptr;
    }

private:
    CComMsg m_aMsg[SLOTS];
    uint32_t m_nCount = 0;
    uint32_t m_nIndex = 0;
};
