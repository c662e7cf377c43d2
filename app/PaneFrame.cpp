#include "app/PaneFrame.h"

#include "app/PaneHost.h"

#include <QFrame>
#include <QGridLayout>
#include <QScrollArea>
#include <QWidget>

CFramePane::CFramePane(IPaneHost& ui, int id, CTK630Cfg* cfg) : CPane(cfg), m_ui(ui), m_nId(id) {}

int CFramePane::Create() {
    QWidget* area = m_ui.PaneArea();
    if (!area)
        return PaneErrorCode(m_nId);
    // A frame taller or wider than the area scrolls inside it: the window never grows past
    // the screen to make room for a pane (at a large scale the status bar went off it).
    m_pScroll = new QScrollArea(area);
    m_pScroll->setObjectName(QStringLiteral("m_pScb%1").arg(m_nId));
    m_pScroll->setWidgetResizable(true);
    m_pScroll->setFrameShape(QFrame::NoFrame);
    m_pScroll->setFocusPolicy(Qt::NoFocus); // the frame's controls take the focus, not the area
    m_pFrm = NewFrame(m_pScroll);
    if (!m_pFrm) {
        delete m_pScroll;
        m_pScroll = nullptr;
        return PaneErrorCode(m_nId);
    }
    m_pScroll->setWidget(m_pFrm);
    m_pScroll->hide();
    m_pFrm->hide();
    // Every frame lies in the same cell of the area; only the visible one takes the space.
    if (auto* grid = qobject_cast<QGridLayout*>(area->layout()))
        grid->addWidget(m_pScroll, 0, 0);
    return 1;
}

void CFramePane::Show() {
    if (m_pFrm) {
        m_pFrm->show();
        m_pScroll->show();
    }
    EndLoad();
}

void CFramePane::Hide() {
    if (m_pFrm) {
        m_pScroll->hide();
        m_pFrm->hide();
    }
}
