// "Najít jednotku": the search for the unit over several ports, shown as it goes. Each port
// has a line that says "čekám…" until its verdict is known. The search runs on a thread of
// its own, so the window stays usable; "Storno" stops it and closes the window. With one
// unit found the window closes by itself with that port; with several the user picks one
// (the list, then "Ok").
#pragma once

#include "link/DlgModem.h" // CDlgJob
#include "link/FindUnit.h"

#include <QDialog>

#include <memory>
#include <string>
#include <vector>

namespace Ui {
class TFrmFindUnit;
}

class TFrmFindUnit : public QDialog {
    Q_OBJECT
public:
    explicit TFrmFindUnit(QWidget* owner);
    ~TFrmFindUnit() override;

    // Starts the search over `ports` (shown in this order). Call once, before exec().
    void Start(const std::vector<std::string>& ports, const FindOptions& options = {});

    // After "Ok" (or the only unit found): the port and what the check said there.
    const std::string& ChosenPort() const { return m_strChosen; }
    const LineCheckResult& ChosenResult() const { return m_chosenResult; }

    void done(int result) override;

signals:
    // Every port has its verdict (tests wait for it); emitted before the window closes by
    // itself.
    void searchFinished();

private:
    void OnPortDone(size_t index, const LineCheckResult& result);
    void OnSearchDone(std::vector<LineCheckResult> results);
    void UpdateOk();
    void m_pBtnFindOkClick();

    std::unique_ptr<Ui::TFrmFindUnit> m_pForm;
    std::vector<std::string> m_ports;
    std::vector<LineCheckResult> m_results;
    std::string m_strChosen;
    LineCheckResult m_chosenResult;
    CDlgJob m_search{this}; // last: joined before the form goes
};
