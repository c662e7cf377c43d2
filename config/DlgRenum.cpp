#include "config/DlgRenum.h"

#include "app/AppUITextLimit.h"
#include "app/Prompts.h"
#include "config/PaneCtl.h"
#include "config/TK630Cfg.h"

#include "ui_DlgRenum.h"

namespace {

constexpr int kNumRoom = static_cast<int>(sizeof(CfgRenumItem::m_szENum)) - 1;
static_assert(sizeof(CfgRenumItem::m_szENum) == sizeof(CfgRenumItem::m_szRNum));

} // namespace

TFrmRenumItem::TFrmRenumItem(CTK630Cfg& cfg, IPrompts& prompts, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint),
      m_cfg(cfg), m_prompts(prompts), m_pForm(std::make_unique<Ui::TFrmRenumItem>()) {
    m_pForm->setupUi(this);
    tk::LimitCp1250(m_pForm->iTxtENum, kNumRoom);
    tk::LimitCp1250(m_pForm->iTxtRNum, kNumRoom);
    connect(m_pForm->iBtnOk, &QPushButton::clicked, this, [this] { iBtnOkClick(); });
}

TFrmRenumItem::~TFrmRenumItem() = default;

void TFrmRenumItem::SetItem(int index) {
    iIndex = index;
    const CfgRenumItem& item = m_cfg.GetImage()->m_aRenum[index];
    // An entry not in use shows empty edits, whatever old texts its bytes still hold.
    const bool used = item.m_nMode != RENUM_EMPTY;
    m_pForm->iTxtENum->setText(used ? tk::FieldText(item.m_szENum, sizeof item.m_szENum)
                                    : QString());
    m_pForm->iTxtRNum->setText(used ? tk::FieldText(item.m_szRNum, sizeof item.m_szRNum)
                                    : QString());
    // An empty entry offers substitute dialling; a mode the dialog has no button for checks
    // neither and is kept unless one is chosen.
    QAbstractButton* mode = nullptr;
    if (item.m_nMode == RENUM_SUBSTITUTE || item.m_nMode == RENUM_EMPTY)
        mode = m_pForm->iRdbInitDial;
    else if (item.m_nMode == RENUM_ADDITIONAL)
        mode = m_pForm->iRdbPostDial;
    tk::CheckOne({m_pForm->iRdbInitDial, m_pForm->iRdbPostDial}, mode);
    m_pForm->iTxtENum->setFocus();
}

void TFrmRenumItem::iBtnOkClick() {
    CfgRenumItem& item = m_cfg.GetImage()->m_aRenum[iIndex];
    std::string prefix, number;
    QString bad;
    // The edits refuse what CP1250 cannot hold; a text set around them is refused here,
    // before anything of the entry changes.
    if (!tk::ToCp1250(m_pForm->iTxtENum->text(), prefix, &bad) ||
        !tk::ToCp1250(m_pForm->iTxtRNum->text(), number, &bad)) {
        m_prompts.Error(tk::RefusedCharHint(bad).toStdString());
        return;
    }
    tk::StoreFieldText(item.m_szENum, sizeof item.m_szENum, m_pForm->iTxtENum->text());
    tk::StoreFieldText(item.m_szRNum, sizeof item.m_szRNum, m_pForm->iTxtRNum->text());
    if (m_pForm->iRdbInitDial->isChecked())
        item.m_nMode = RENUM_SUBSTITUTE;
    else if (m_pForm->iRdbPostDial->isChecked())
        item.m_nMode = RENUM_ADDITIONAL;
    accept();
}
