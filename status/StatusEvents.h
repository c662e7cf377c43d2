// What the status panes keep across reloads is taken from the link's events as they arrive,
// whether the pane is shown or not: the signal's history (every poll, changed or not, and
// the polls the unit did not answer) and the moment the unit's clock was read.
#pragma once

class CPaneMng;
struct CComEvent;

// Called by the user-interface object for every event, before the event's pane reloads.
void NoteStatusEvent(CPaneMng& panes, const CComEvent& ev);
