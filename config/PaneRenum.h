// The pane of the virtual tie line: renumbering entries and DTMF settings: CPaneRenum with its
// frame TFrmRenum. The entries change in the image at once ("OK" of the item dialog,
// "Smazat"); the switch and the two DTMF values when the pane is left.
#pragma once

#include "app/PaneFrame.h"

#include <QWidget>

#include <memory>

class CPaneRenum;
class CTK630Cfg;
class TFrmRenumItem;
namespace Ui {
class TFrmRenum;
}

class TFrmRenum : public QWidget {
    Q_OBJECT
public:
    TFrmRenum(CPaneRenum& pane, CTK630Cfg& cfg, QWidget* parent);
    ~TFrmRenum() override;

    void LoadData();
    void StoreData();
    // Rewrites the row of entry `index` from the image, or all five rows for -1.
    void UpdateList(int index);
    // The item dialog, null until the first "Nastavit".
    TFrmRenumItem* ItemDialog() const { return iFrmItem; }

private:
    void iLsvRenumSelectItem();
    void iBtnSetClick();
    // Selects the first empty entry and opens the item dialog on it.
    void iBtnAddClick();
    // "Přidat" is offered while an entry is empty.
    void UpdateAddButton();
    void iBtnDelClick();
    int SelectedRow() const;

    CPaneRenum& m_pane;
    CTK630Cfg& m_cfg;
    std::unique_ptr<Ui::TFrmRenum> m_pForm;
    TFrmRenumItem* iFrmItem = nullptr; // child of this frame
};

class CPaneRenum : public CFramePane {
public:
    explicit CPaneRenum(IPaneHost& ui);

    void Leave() override;
    void Load(int param) override;

protected:
    QWidget* NewFrame(QWidget* parent) override;

private:
    TFrmRenum* Frm() const { return static_cast<TFrmRenum*>(m_pFrm); }
};
