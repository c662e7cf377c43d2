#include "config/DlgCfgBackups.h"

#include "base/CzechFormat.h"
#include "status/DevStatus.h"
#include "ui_DlgCfgBackups.h"

#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kIndexRole = Qt::UserRole;

} // namespace

std::string BackupTimeText(const CfgBackupInfo& b) {
    std::string out = tk::CzechDateTime(b.time.wYear, b.time.wMonth, b.time.wDay, b.time.wHour,
                                        b.time.wMinute, b.time.wSecond);
    if (b.suffix > 1)
        out += " (" + std::to_string(b.suffix) + ")";
    if (b.beforeWrite)
        out += " před zápisem";
    return out;
}

TFrmCfgBackups::TFrmCfgBackups(QWidget* owner)
    : QDialog(owner), m_pForm(std::make_unique<Ui::TFrmCfgBackups>()) {
    m_pForm->setupUi(this);
    QTreeWidget* tree = m_pForm->m_pTrvBackups;
    connect(tree, &QTreeWidget::currentItemChanged, this, [this] { UpdateButtons(); });
    connect(tree, &QTreeWidget::itemActivated, this,
            [this] { Choose(m_bCompareOnEnter ? m_onCompare : m_onOpen); });
    connect(m_pForm->m_pBtnOpen, &QPushButton::clicked, this, [this] { Choose(m_onOpen); });
    connect(m_pForm->m_pBtnCompare, &QPushButton::clicked, this, [this] { Choose(m_onCompare); });
    connect(m_pForm->m_pBtnClose, &QPushButton::clicked, this, &QDialog::reject);
}

TFrmCfgBackups::~TFrmCfgBackups() = default;

void TFrmCfgBackups::SetBackups(std::vector<CfgBackupInfo> backups, const std::string& folder) {
    // One unit's backups together, newest first; the unit read last comes first.
    std::vector<uint32_t> units;
    for (const CfgBackupInfo& b : backups)
        if (std::find(units.begin(), units.end(), b.serialNumber) == units.end())
            units.push_back(b.serialNumber);
    std::stable_sort(backups.begin(), backups.end(),
                     [&units](const CfgBackupInfo& a, const CfgBackupInfo& b) {
                         return std::find(units.begin(), units.end(), a.serialNumber) <
                                std::find(units.begin(), units.end(), b.serialNumber);
                     });
    m_backups = std::move(backups);

    QTreeWidget* tree = m_pForm->m_pTrvBackups;
    tree->clear();
    for (size_t i = 0; i < m_backups.size(); ++i) {
        const CfgBackupInfo& b = m_backups[i];
        const std::string serial = FormatSerial(b.serialNumber);
        auto* item = new QTreeWidgetItem(tree, {QString::fromStdString(serial),
                                                QString::fromStdString(BackupTimeText(b)),
                                                QStringLiteral("%1 B").arg(b.size)});
        item->setData(0, kIndexRole, static_cast<int>(i));
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setToolTip(0, QString::fromStdString(b.path));
    }
    const QString where = QString::fromStdString(folder);
    if (m_backups.empty()) {
        // The list itself says why it is empty; the row cannot be chosen.
        auto* none = new QTreeWidgetItem(tree, {QStringLiteral("Žádné zálohy")});
        none->setFlags(Qt::NoItemFlags);
        none->setFirstColumnSpanned(true);
        m_pForm->m_pLblFolder->setText(QStringLiteral("Složka záloh: %1").arg(where));
    } else {
        m_pForm->m_pLblFolder->setText(
            QStringLiteral("Záloh: %1, složka: %2").arg(m_backups.size()).arg(where));
        tree->setCurrentItem(tree->topLevelItem(0));
    }
    for (int column = 0; column < tree->columnCount(); ++column)
        tree->resizeColumnToContents(column);
    UpdateButtons();
    tree->setFocus();
}

const CfgBackupInfo* TFrmCfgBackups::Current() const {
    const QTreeWidgetItem* item = m_pForm->m_pTrvBackups->currentItem();
    if (!item || !(item->flags() & Qt::ItemIsEnabled))
        return nullptr;
    const int i = item->data(0, kIndexRole).toInt();
    return i >= 0 && static_cast<size_t>(i) < m_backups.size() ? &m_backups[i] : nullptr;
}

void TFrmCfgBackups::UpdateButtons() {
    const bool chosen = Current() != nullptr;
    m_pForm->m_pBtnOpen->setEnabled(chosen);
    m_pForm->m_pBtnCompare->setEnabled(chosen);
}

void TFrmCfgBackups::Choose(const std::function<void(const CfgBackupInfo&)>& then) {
    const CfgBackupInfo* chosen = Current();
    if (!chosen)
        return;
    const CfgBackupInfo backup = *chosen; // the list may be refilled by what follows
    accept();
    if (then)
        then(backup);
}
