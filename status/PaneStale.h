// A status pane's values while the unit does not answer: they stay as they were, greyed, and
// the group's caption says when they were last good ("Stav GSM — naposledy 14:05:09"), so
// frozen values never pass for live ones.
#pragma once

class QString;
class QWidget;

// Marks the frame's values stale with `lastSeen` ("naposledy 14:05:09", "dosud nenačteno"), or
// live again when it is empty. Only the look changes: the values and the controls stay as they
// are. Read-only fields get the window's background either way.
void ShowStale(QWidget* frame, const QString& lastSeen);
bool IsStale(const QWidget* frame);
