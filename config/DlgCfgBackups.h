// The backups of configurations read from units, by unit (the unit with the newest backup
// first) and time: open one as a new untitled configuration, or compare it with the open one.
// Both close the dialog first and leave the rest (the save question, the comparison) to the
// callbacks.
#pragma once

#include "config/CfgBackup.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <vector>

namespace Ui {
class TFrmCfgBackups;
}

class TFrmCfgBackups : public QDialog {
    Q_OBJECT
public:
    explicit TFrmCfgBackups(QWidget* owner);
    ~TFrmCfgBackups() override;

    // Lists the backups (as ListConfigBackups gives them) of the folder; none: says so.
    void SetBackups(std::vector<CfgBackupInfo> backups, const std::string& folder);
    // The backups in the order shown.
    const std::vector<CfgBackupInfo>& Backups() const { return m_backups; }

    // What Enter or a double click on a row does: compare (the dialog was asked for to
    // compare) or open.
    void SetCompareOnEnter(bool compare) { m_bCompareOnEnter = compare; }

    std::function<void(const CfgBackupInfo&)> m_onOpen;
    std::function<void(const CfgBackupInfo&)> m_onCompare;

private:
    // The backup of the current row, or null.
    const CfgBackupInfo* Current() const;
    void Choose(const std::function<void(const CfgBackupInfo&)>& then);
    void UpdateButtons();

    std::unique_ptr<Ui::TFrmCfgBackups> m_pForm;
    std::vector<CfgBackupInfo> m_backups;
    bool m_bCompareOnEnter = false;
};

// "2026-12-08 14:05:09", or with the suffix of a second backup in that second ("… (2)").
std::string BackupTimeText(const CfgBackupInfo& backup);
