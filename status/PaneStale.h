// A status pane's values while the unit does not answer: they stay as they were, greyed, and
// the group's caption says when they were last good ("Stav GSM — naposledy 14:05:09"), so
// frozen values never pass for live ones.
#pragma once

#include "app/PaneFrame.h"

class QString;
class QWidget;

// Marks the frame's values stale with `lastSeen` ("naposledy 14:05:09"), or live again when
// it is empty. Only the look changes: the values and the controls stay as they are.
void ShowStale(QWidget* frame, const QString& lastSeen);
bool IsStale(const QWidget* frame);

// The base of the four status panes: their frames go stale when the unit stops answering
// (CE_NO_ANSWER, with its last answer) and live again when it answers or the session ends.
class CStatusPane : public CFramePane {
public:
    CStatusPane(IPaneHost& ui, int id) : CFramePane(ui, id, nullptr) {}
    void OnComEvent(const CComEvent& ev) override;
};
