// The differences between the open configuration and another one (a file, the unit, a
// backup), one row per field: the pane and group, the field's caption and both values. A
// double click or Enter on a row (or "Zobrazit záložku") closes the dialog and shows that
// field's pane in the main window, so the installer can go straight to the setting.
#pragma once

#include "config/CfgCatalogue.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <vector>

class QTreeWidgetItem;
namespace Ui {
class TFrmCfgCompare;
}

class TFrmCfgCompare : public QDialog {
    Q_OBJECT
public:
    explicit TFrmCfgCompare(QWidget* owner);
    ~TFrmCfgCompare() override;

    // Lists the differences; `other` names the configuration compared with ("Soubor a.cfg").
    void SetDiff(const std::vector<CfgDiffEntry>& diff, const QString& other);
    // Asked to show a pane (its id and parameter) after the dialog has closed.
    std::function<void(int pane, int param)> m_onShowPane;

private:
    void ShowPaneOf(QTreeWidgetItem* item);
    void UpdateButtons();

    std::unique_ptr<Ui::TFrmCfgCompare> m_pForm;
};
