// The window side of a pane: a CPane whose frame is a widget in the main window's pane area.
// A concrete pane makes its frame in NewFrame and fills it in Load; showing, hiding and the
// end of loading are done here.
//
//     class CPaneSIM : public CFramePane {
//     public:
//         explicit CPaneSIM(IPaneHost& ui) : CFramePane(ui, PANE_SIM, &ui.Device().m_Cfg) {}
//         void Leave() override;          // frame -> image
//         void Load(int param) override;  // BeginLoad(param), then image -> frame
//     protected:
//         QWidget* NewFrame(QWidget* parent) override { return new TFrmSIM(*this, parent); }
//     };
//
// The frame's change signals all go to the pane's OnDataChange, which marks the configuration
// modified unless the pane is filling the frame.
#pragma once

#include "app/PaneMng.h"

class IPaneHost;
class QScrollArea;
class QWidget;

class CFramePane : public CPane {
public:
    // id: the pane's id (its start-up error code follows from it); cfg as for CPane.
    CFramePane(IPaneHost& ui, int id, CTK630Cfg* cfg);

    // Makes the frame in the pane area, invisible, in a scroll area of its own.
    int Create() override;
    // Status and SMS panes take nothing from their frames.
    void Leave() override {}
    void Show() override;
    void Hide() override;

    QWidget* Frame() const { return m_pFrm; }
    int Id() const { return m_nId; }
    IPaneHost& UI() const { return m_ui; }

protected:
    // The frame, with the pane area as parent; null when it cannot be made.
    virtual QWidget* NewFrame(QWidget* parent) = 0;

    IPaneHost& m_ui;
    QWidget* m_pFrm = nullptr;        // owned by the main window, through m_pScroll
    QScrollArea* m_pScroll = nullptr; // the frame's place in the pane area
    int m_nId;
};
