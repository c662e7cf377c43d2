#include "app/PaneFrame.h"

#include "app/PaneHost.h"

#include <QGridLayout>
#include <QWidget>

CFramePane::CFramePane(IPaneHost& ui, int id, CTK630Cfg* cfg) : CPane(cfg), m_ui(ui), m_nId(id) {}

int CFramePane::Create() {
    QWidget* area = m_ui.PaneArea();
    if (!area)
        return PaneErrorCode(m_nId);
    m_pFrm = NewFrame(area);
    if (!m_pFrm)
        return PaneErrorCode(m_nId);
    m_pFrm->hide();
    // Every frame lies in the same cell of the area; only the visible one takes the space.
    if (auto* grid = qobject_cast<QGridLayout*>(area->layout()))
        grid->addWidget(m_pFrm, 0, 0);
    return 1;
}

void CFramePane::Show() {
    if (m_pFrm)
        m_pFrm->show();
    EndLoad();
}

void CFramePane::Hide() {
    if (m_pFrm)
        m_pFrm->hide();
}
