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
    // Turns the dialog into the question before a write to the unit: `question` above the
    // list and `note` (when not empty) in bold above it; the columns are what the unit holds
    // and what will be written; the buttons "Zapsat" (accepts) and "Storno" (rejects, the
    // default and focused, so Enter and Escape both keep the unit as it is). No row opens a
    // pane while the question is open. Call after SetDiff.
    void SetQuestion(const QString& question, const QString& note);
    bool IsQuestion() const { return m_bQuestion; }

    // Asked to show a pane (its id and parameter) after the dialog has closed.
    std::function<void(int pane, int param)> m_onShowPane;

private:
    void ShowPaneOf(QTreeWidgetItem* item);
    void UpdateButtons();
    // Every column as wide as its contents and its header, and the dialog as wide as the
    // columns (within the screen).
    void FitColumns();

    std::unique_ptr<Ui::TFrmCfgCompare> m_pForm;
    bool m_bQuestion = false;
};
