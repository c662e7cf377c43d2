#include "status/StatusEvents.h"

#include "app/PaneMng.h"
#include "link/ComNotify.h"
#include "status/PaneGSM.h"
#include "status/PaneTime.h"

void NoteStatusEvent(CPaneMng& panes, const CComEvent& ev) {
    switch (ev.m_nCode) {
    case CE_GSM:
    case CE_GSM_POLL:
    case CE_OFFLINE:
        if (auto* gsm = dynamic_cast<CPaneGSM*>(panes.GetPane(PANE_GSM)))
            gsm->OnEvent(ev);
        break;
    case CE_TIME:
        if (auto* time = dynamic_cast<CPaneTime*>(panes.GetPane(PANE_TIME)))
            time->OnClockRead(ev.m_Status.m_Time);
        break;
    default:
        break;
    }
}
