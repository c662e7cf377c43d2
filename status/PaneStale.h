// A status pane's values while the unit does not answer: they stay as they were, greyed, and
// the group's caption says when they were last good ("Stav GSM — naposledy 14:05:09"), so
// frozen values never pass for live ones.
#pragma once

#include "app/PaneFrame.h"

#include <cstdint>

class QString;
class QWidget;

// Marks the frame's values stale with `lastSeen` ("naposledy 14:05:09", "dosud nenačteno"), or
// live again when it is empty. Only the look changes: the values and the controls stay as they
// are. Read-only fields get the window's background either way.
void ShowStale(QWidget* frame, const QString& lastSeen);
bool IsStale(const QWidget* frame);

// The base of the four status panes: their frames go stale when the unit stops answering
// (CE_NO_ANSWER, with its last answer) and while offline (with the time the values were read,
// or "dosud nenačteno"), and live again when the unit answers.
class CStatusPane : public CFramePane {
public:
    CStatusPane(IPaneHost& ui, int id) : CFramePane(ui, id, nullptr) {}
    void OnComEvent(const CComEvent& ev) override;

private:
    bool m_bRead = false;       // a session has read the status records
    bool m_bSilent = false;     // the unit does not answer
    int64_t m_nSilentSince = 0; // its last answer while silent (seconds since the epoch)
};
