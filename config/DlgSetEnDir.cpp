#include "config/DlgSetEnDir.h"

#include "config/CfgImage.h"
#include "config/PaneFields.h"

#include "ui_DlgSetEnDir.h"

#include <QApplication>
#include <QFontMetrics>

namespace {
constexpr int kDirs = 16;
constexpr size_t kDirWidth = sizeof(CfgImage::m_aszEnDir[0]);
} // namespace

TFrmSetEnDir::TFrmSetEnDir(CfgImage& image, QWidget* parent)
    : QDialog(parent), m_image(image), m_pForm(std::make_unique<Ui::TFrmSetEnDir>()) {
    m_pForm->setupUi(this);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    // All sixteen directions have the room of the first.
    tk::LimitToField(m_pForm->m_pTxtEnDir, offsetof(CfgImage, m_aszEnDir));
    // The dialog is as narrow as its contents allow, but a window manager cuts a title that
    // does not fit: the group keeps the title's width (with room for the title bar's buttons).
    const QFontMetrics title(QApplication::font("QMdiSubWindowTitleBar"));
    m_pForm->m_pGrbMain->setMinimumWidth(title.horizontalAdvance(windowTitle()) + 120);
    connect(m_pForm->m_pBtnOk, &QPushButton::clicked, this, &TFrmSetEnDir::m_pBtnOkClick);
    connect(m_pForm->m_pBtnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TFrmSetEnDir::~TFrmSetEnDir() = default;

void TFrmSetEnDir::SetDir(int index) {
    m_nIndex = index;
    const bool valid = index >= 0 && index < kDirs;
    m_pForm->m_pTxtEnDir->setText(valid ? tk::FieldText(m_image.m_aszEnDir[index], kDirWidth)
                                        : QString());
    m_pForm->m_pTxtEnDir->selectAll();
    m_pForm->m_pTxtEnDir->setFocus();
}

void TFrmSetEnDir::m_pBtnOkClick() {
    if (m_nIndex >= 0 && m_nIndex < kDirs &&
        !tk::StoreFieldText(m_image.m_aszEnDir[m_nIndex], kDirWidth, m_pForm->m_pTxtEnDir->text()))
        return; // not reachable through the edit's limit: the dialog stays open
    accept();
}
