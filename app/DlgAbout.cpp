#include "app/DlgAbout.h"

#include "ui_DlgAbout.h"

#include <QIcon>

QString VersionText() {
    return QStringLiteral("Verze ") + QStringLiteral(TK530_VERSION);
}

QString ProgramFolderText(const tk::ProgramFolderInfo& folder) {
    const char* why = folder.given      ? "zvolená"
                      : folder.portable ? "u programu, přenosná"
                                        : "složka dat uživatele";
    QString text = QString::fromUtf8("Složka programu: ") + QString::fromStdString(folder.path) +
                   QStringLiteral(" (") + QString::fromUtf8(why) + QStringLiteral(")");
    if (!folder.error.empty())
        text +=
            QString::fromUtf8("\nSložku nelze vytvořit: ") + QString::fromStdString(folder.error);
    return text;
}

TFrmAbout::TFrmAbout(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint),
      m_pForm(std::make_unique<Ui::TFrmAbout>()) {
    m_pForm->setupUi(this);
    m_pForm->m_pImgInfo->setPixmap(QIcon(QStringLiteral(":/icons/tk530.svg")).pixmap(32, 32));
    m_pForm->m_pLblInfo2->setText(VersionText());
    m_pForm->m_pLblInfo3->setText(
        QString::fromUtf8("© 2026 Vývojáři projektu TK530 Control Panel"));
    m_pForm->m_pLblFolder->setText(ProgramFolderText(tk::ProgramFolderInUse()));
    setFixedSize(sizeHint().expandedTo(QSize(241, 153)));
}

TFrmAbout::~TFrmAbout() = default;
