#include "connections/DlgFindUnit.h"

#include <QFile>
#include <QListWidget>
#include <QPushButton>

#include "ui_DlgFindUnit.h"

namespace {

QString RowText(const std::string& port, const QString& state) {
    return QFile::decodeName(QByteArray::fromStdString(port)) + " \u2013 " + state;
}

} // namespace

TFrmFindUnit::TFrmFindUnit(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_pForm(std::make_unique<Ui::TFrmFindUnit>()) {
    m_pForm->setupUi(this);
    Ui::TFrmFindUnit& f = *m_pForm;
    connect(f.m_pLsbFindPorts, &QListWidget::itemSelectionChanged, this, [this] { UpdateOk(); });
    connect(f.m_pLsbFindPorts, &QListWidget::itemDoubleClicked, this,
            [this] { m_pBtnFindOkClick(); });
    connect(f.m_pBtnFindOk, &QPushButton::clicked, this, [this] { m_pBtnFindOkClick(); });
}

TFrmFindUnit::~TFrmFindUnit() = default;

void TFrmFindUnit::done(int result) {
    m_search.Cancel(); // "Storno" while ports are still waiting: they give up at once
    QDialog::done(result);
}

void TFrmFindUnit::Start(const std::vector<std::string>& ports, const FindOptions& options) {
    Ui::TFrmFindUnit& f = *m_pForm;
    m_ports = ports;
    m_results.assign(ports.size(), LineCheckResult{});
    f.m_pLsbFindPorts->clear();
    for (const std::string& port : ports) {
        auto* item = new QListWidgetItem(RowText(port, "čekám\u2026"), f.m_pLsbFindPorts);
        item->setFlags(Qt::NoItemFlags); // only a port with a unit can be chosen (and reached)
    }
    f.m_pLblFindState->setText(QString("Hledám jednotku na %1 %2\u2026")
                                   .arg(ports.size())
                                   .arg(ports.size() == 1 ? "portu" : "portech"));
    m_search.Start<std::vector<LineCheckResult>>(
        [this, ports, options](const CancelCheck& cancel) {
            // Each verdict is shown as it comes; the widgets are touched on their own thread.
            return FindUnit(ports, options, cancel,
                            [this](size_t index, const LineCheckResult& result) {
                                QMetaObject::invokeMethod(
                                    this, [this, index, result] { OnPortDone(index, result); },
                                    Qt::QueuedConnection);
                            });
        },
        [this](std::vector<LineCheckResult> results) { OnSearchDone(std::move(results)); });
}

void TFrmFindUnit::OnPortDone(size_t index, const LineCheckResult& result) {
    QListWidgetItem* item = m_pForm->m_pLsbFindPorts->item(static_cast<int>(index));
    if (!item || index >= m_ports.size())
        return;
    m_results[index] = result;
    item->setText(RowText(m_ports[index], QString::fromStdString(FindVerdictText(result))));
    if (result.m_verdict == LINE_OK)
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
}

void TFrmFindUnit::OnSearchDone(std::vector<LineCheckResult> results) {
    Ui::TFrmFindUnit& f = *m_pForm;
    std::vector<int> found;
    for (size_t i = 0; i < results.size() && i < m_ports.size(); ++i) {
        OnPortDone(i, results[i]);
        if (results[i].m_verdict == LINE_OK)
            found.push_back(static_cast<int>(i));
    }
    if (found.empty()) {
        f.m_pLblFindState->setText("Na žádném portu neodpověděla jednotka. Zkontrolujte kabel a "
                                   "napájení jednotky, nebo zadejte port ručně.");
        f.m_pBtnFindCancel->setText("Zavřít");
        f.m_pBtnFindCancel->setFocus();
    } else if (found.size() > 1) {
        f.m_pLblFindState->setText("Jednotka odpovídá na více portech: vyberte port a stiskněte "
                                   "OK.");
        f.m_pLsbFindPorts->setCurrentRow(found.front());
        f.m_pLsbFindPorts->setFocus();
    } else {
        f.m_pLblFindState->clear();
        f.m_pLsbFindPorts->setCurrentRow(found.front());
    }
    UpdateOk();
    emit searchFinished();
    if (found.size() == 1 && isVisible())
        m_pBtnFindOkClick(); // nothing to choose
}

void TFrmFindUnit::UpdateOk() {
    const QListWidgetItem* item = m_pForm->m_pLsbFindPorts->currentItem();
    m_pForm->m_pBtnFindOk->setEnabled(item && item->isSelected() && !m_search.Running());
}

void TFrmFindUnit::m_pBtnFindOkClick() {
    QListWidget* list = m_pForm->m_pLsbFindPorts;
    const QListWidgetItem* item = list->currentItem();
    const int row = item && item->isSelected() ? list->row(item) : -1;
    if (row < 0 || m_search.Running() || static_cast<size_t>(row) >= m_ports.size() ||
        m_results[static_cast<size_t>(row)].m_verdict != LINE_OK)
        return;
    m_strChosen = m_ports[static_cast<size_t>(row)];
    m_chosenResult = m_results[static_cast<size_t>(row)];
    accept();
}
