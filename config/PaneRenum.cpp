#include "config/PaneRenum.h"

#include "app/Device.h"
#include "app/PaneHost.h"
#include "base/Texts.h"
#include "config/DlgRenum.h"
#include "config/PaneCtl.h"

#include "ui_PaneRenum.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QPalette>
#include <QStyle>

#include <algorithm>
#include <string>

namespace {

constexpr int kEntries = 5;
static_assert(sizeof(CfgImage::m_aRenum) / sizeof(CfgRenumItem) == kEntries);

// Texts 5 and 6 name the modes 0 and 1; the list cuts them as the unit's own tables do.
constexpr uint32_t kTxtModeFirst = 5;
constexpr size_t kModeTextMax = 31;

QString ModeText(uint8_t mode) {
    if (mode == RENUM_SUBSTITUTE || mode == RENUM_ADDITIONAL) {
        std::string text(GetText(kTxtModeFirst + mode));
        QString shown = QString::fromStdString(text);
        return shown.left(static_cast<qsizetype>(kModeTextMax));
    }
    // A mode only a file or a unit can hold: its number, so that it is seen.
    return QString::number(mode);
}

} // namespace

TFrmRenum::TFrmRenum(CPaneRenum& pane, CTK630Cfg& cfg, QWidget* parent)
    : QWidget(parent), m_pane(pane), m_cfg(cfg), m_pForm(std::make_unique<Ui::TFrmRenum>()) {
    m_pForm->setupUi(this);
    m_pForm->iUDPDDelay->SetupField("renum.dtmf_delay", QStringLiteral("iTxtPDDelay"));
    m_pForm->iUDPDWidth->SetupField("renum.dtmf_length", QStringLiteral("iTxtPDWidth"));
    m_pForm->iUDPDDelay->setValue(m_pForm->iUDPDDelay->minimum());
    m_pForm->iUDPDWidth->setValue(m_pForm->iUDPDWidth->minimum());

    QTreeWidget* lsv = m_pForm->iLsvRenum;
    // At least the widths of the tables the unit's installers know, never cutting a header.
    const QFontMetrics metrics(lsv->header()->font());
    for (int column : {0, 1}) {
        const int header = metrics.horizontalAdvance(lsv->headerItem()->text(column)) +
                           lsv->style()->pixelMetric(QStyle::PM_HeaderMargin) * 4 + 8;
        lsv->setColumnWidth(column, std::max(100, header));
    }
    // Empty entries are rows too: alternate shading shows all five even when none is used,
    // and the list is as tall as its five rows so that none hides below the edge.
    lsv->setAlternatingRowColors(true);
    lsv->setUniformRowHeights(true);
    lsv->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    lsv->header()->setStretchLastSection(true);
    // The selection stays visible while another control has the focus.
    QPalette palette = lsv->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    lsv->setPalette(palette);

    auto change = [this] { m_pane.OnDataChange(); };
    connect(m_pForm->iChbEnable, &QCheckBox::toggled, this, change);
    connect(m_pForm->iUDPDDelay, &QSpinBox::textChanged, this, change);
    connect(m_pForm->iUDPDWidth, &QSpinBox::textChanged, this, change);
    connect(lsv, &QTreeWidget::itemSelectionChanged, this, [this] { iLsvRenumSelectItem(); });
    connect(lsv, &QTreeWidget::itemDoubleClicked, this, [this] { iBtnSetClick(); });
    connect(m_pForm->iBtnSet, &QPushButton::clicked, this, [this] { iBtnSetClick(); });
    connect(m_pForm->iBtnAdd, &QPushButton::clicked, this, [this] { iBtnAddClick(); });
    connect(m_pForm->iBtnDel, &QPushButton::clicked, this, [this] { iBtnDelClick(); });
}

TFrmRenum::~TFrmRenum() = default;

void TFrmRenum::LoadData() {
    const CfgImage& image = *m_cfg.GetImage();
    m_pForm->iChbEnable->setChecked(image.m_nRenumEnable == 1);
    m_pForm->iUDPDDelay->setValue(image.m_nPDDelay);
    m_pForm->iUDPDWidth->setValue(image.m_nPDWidth);
    UpdateList(-1);
}

void TFrmRenum::StoreData() {
    CfgImage& image = *m_cfg.GetImage();
    // A value other than 0 and 1 shows unchecked and stays until the box is changed.
    if (m_pForm->iChbEnable->isChecked() != (image.m_nRenumEnable == 1))
        image.m_nRenumEnable = m_pForm->iChbEnable->isChecked() ? 1 : 0;
    image.m_nPDDelay = static_cast<uint8_t>(m_pForm->iUDPDDelay->Position());
    image.m_nPDWidth = static_cast<uint8_t>(m_pForm->iUDPDWidth->Position());
}

void TFrmRenum::UpdateList(int index) {
    QTreeWidget* lsv = m_pForm->iLsvRenum;
    if (lsv->topLevelItemCount() == 0) {
        for (int i = 0; i < kEntries; ++i) {
            auto* row = new QTreeWidgetItem(lsv);
            row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        }
        index = -1; // the first filling covers every row
    }
    const int first = index < 0 ? 0 : index;
    const int last = index < 0 ? kEntries - 1 : index;
    if (first >= kEntries || last >= kEntries)
        return;
    const CfgImage& image = *m_cfg.GetImage();
    for (int i = first; i <= last; ++i) {
        const CfgRenumItem& item = image.m_aRenum[i];
        QTreeWidgetItem* row = lsv->topLevelItem(i);
        const bool used = item.m_nMode != RENUM_EMPTY;
        row->setText(0, used ? tk::FieldText(item.m_szENum, sizeof item.m_szENum) : QString());
        row->setText(1, used ? tk::FieldText(item.m_szRNum, sizeof item.m_szRNum) : QString());
        row->setText(2, used ? ModeText(item.m_nMode) : QString());
    }
    if (index < 0) {
        const int rowHeight = std::max(lsv->sizeHintForRow(0), lsv->fontMetrics().height());
        lsv->setMinimumHeight(lsv->header()->sizeHint().height() + rowHeight * kEntries +
                              2 * lsv->frameWidth() + 4);
    }
    UpdateAddButton();
}

void TFrmRenum::UpdateAddButton() {
    bool free = false;
    for (const CfgRenumItem& item : m_cfg.GetImage()->m_aRenum)
        free = free || item.m_nMode == RENUM_EMPTY;
    m_pForm->iBtnAdd->setEnabled(free);
}

void TFrmRenum::iBtnAddClick() {
    const CfgImage& image = *m_cfg.GetImage();
    for (int i = 0; i < kEntries; ++i) {
        if (image.m_aRenum[i].m_nMode != RENUM_EMPTY)
            continue;
        QTreeWidget* lsv = m_pForm->iLsvRenum;
        lsv->setCurrentItem(lsv->topLevelItem(i));
        lsv->setFocus(); // after the dialog the keys work on the new entry
        iBtnSetClick();
        return;
    }
}

int TFrmRenum::SelectedRow() const {
    const auto selected = m_pForm->iLsvRenum->selectedItems();
    return selected.isEmpty() ? -1 : m_pForm->iLsvRenum->indexOfTopLevelItem(selected.front());
}

void TFrmRenum::iLsvRenumSelectItem() {
    const bool selected = SelectedRow() >= 0;
    m_pForm->iBtnSet->setEnabled(selected);
    m_pForm->iBtnDel->setEnabled(selected);
}

void TFrmRenum::iBtnSetClick() {
    const int row = SelectedRow();
    if (row < 0 || row >= kEntries)
        return;
    if (!iFrmItem)
        iFrmItem = new TFrmRenumItem(m_cfg, m_pane.UI().Prompts(), this);
    iFrmItem->SetItem(row);
    if (iFrmItem->exec() != QDialog::Accepted)
        return;
    UpdateList(row);
    m_cfg.SetModified();
}

void TFrmRenum::iBtnDelClick() {
    const int row = SelectedRow();
    if (row < 0 || row >= kEntries)
        return;
    // Exactly the content of an entry in a new configuration.
    CfgRenumItem& item = m_cfg.GetImage()->m_aRenum[row];
    CopyTextField(item.m_szENum, sizeof item.m_szENum, "", 1);
    CopyTextField(item.m_szRNum, sizeof item.m_szRNum, "", 1);
    item.m_nMode = RENUM_EMPTY;
    UpdateList(row);
    m_cfg.SetModified();
}

CPaneRenum::CPaneRenum(IPaneHost& ui) : CFramePane(ui, PANE_RENUM, &ui.Device().m_Cfg) {}

QWidget* CPaneRenum::NewFrame(QWidget* parent) {
    return new TFrmRenum(*this, *m_pCfg, parent);
}

void CPaneRenum::Leave() {
    if (Frm())
        Frm()->StoreData();
}

void CPaneRenum::Load(int param) {
    BeginLoad(param);
    if (Frm())
        Frm()->LoadData();
}
