// The dialog of one renumbering entry: input prefix, resulting number and whether the number
// replaces the dialled digits or follows them. It edits the entry in the image directly, and
// only with "OK".
#pragma once

#include <QDialog>

#include <memory>

class CTK630Cfg;
class IPrompts;
namespace Ui {
class TFrmRenumItem;
}

class TFrmRenumItem : public QDialog {
    Q_OBJECT
public:
    TFrmRenumItem(CTK630Cfg& cfg, IPrompts& prompts, QWidget* owner);
    ~TFrmRenumItem() override;

    // Fills the dialog from entry `index` (0..4) and edits that entry.
    void SetItem(int index);
    int Index() const { return iIndex; }

private:
    void iBtnOkClick();

    CTK630Cfg& m_cfg;
    IPrompts& m_prompts;
    std::unique_ptr<Ui::TFrmRenumItem> m_pForm;
    int iIndex = 0;
};
