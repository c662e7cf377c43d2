#include "config/PaneCallEnDirs.h"

#include "app/Device.h"
#include "app/PaneHost.h"
#include "config/DlgSetEnDir.h"
#include "config/PaneFields.h"

#include "ui_PaneCallEnDirs.h"

#include <QMouseEvent>

namespace {
constexpr int kDirs = 16;
constexpr size_t kDirWidth = sizeof(CfgImage::m_aszEnDir[0]);
} // namespace

TFrmCallEnDirs::TFrmCallEnDirs(CPaneCallEnDirs& pane, QWidget* parent)
    : QWidget(parent), m_pane(pane), m_pForm(std::make_unique<Ui::TFrmCallEnDirs>()) {
    m_pForm->setupUi(this);
    QTreeWidget* list = m_pForm->m_pLsvEnDirs;
    // A click on empty space removes the selection (the buttons follow it).
    list->viewport()->installEventFilter(this);
    connect(list, &QTreeWidget::itemSelectionChanged, this,
            &TFrmCallEnDirs::m_pLsvEnDirsSelectItem);
    connect(list, &QTreeWidget::itemDoubleClicked, this, &TFrmCallEnDirs::m_pBtnSetClick);
    connect(m_pForm->m_pBtnSet, &QPushButton::clicked, this, &TFrmCallEnDirs::m_pBtnSetClick);
    connect(m_pForm->m_pBtnDel, &QPushButton::clicked, this, &TFrmCallEnDirs::m_pBtnDelClick);
}

TFrmCallEnDirs::~TFrmCallEnDirs() = default;

bool TFrmCallEnDirs::eventFilter(QObject* watched, QEvent* event) {
    QTreeWidget* list = m_pForm->m_pLsvEnDirs;
    if (watched == list->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (!list->itemAt(mouse->position().toPoint()))
            list->clearSelection();
    }
    return QWidget::eventFilter(watched, event);
}

void TFrmCallEnDirs::ShowDirs(int index) {
    const CfgImage& image = *m_pane.Cfg().GetImage();
    QTreeWidget* list = m_pForm->m_pLsvEnDirs;
    const int first = index < 0 ? 0 : index;
    const int last = index < 0 ? kDirs - 1 : index;
    for (int i = first; i <= last && i < kDirs; ++i) {
        const QString text = tk::FieldText(image.m_aszEnDir[i], kDirWidth);
        const QString caption = text.isEmpty() ? QStringLiteral("-") : text;
        while (list->topLevelItemCount() <= i)
            new QTreeWidgetItem(list);
        list->topLevelItem(i)->setText(0, caption);
    }
}

int TFrmCallEnDirs::Selected() const {
    const QList<QTreeWidgetItem*> items = m_pForm->m_pLsvEnDirs->selectedItems();
    return items.isEmpty() ? -1 : m_pForm->m_pLsvEnDirs->indexOfTopLevelItem(items.first());
}

void TFrmCallEnDirs::m_pLsvEnDirsSelectItem() {
    const bool selected = Selected() >= 0;
    m_pForm->m_pBtnSet->setEnabled(selected);
    m_pForm->m_pBtnDel->setEnabled(selected);
}

void TFrmCallEnDirs::m_pBtnSetClick() {
    const int index = Selected();
    if (index < 0)
        return;
    if (!m_pDlgSetEnDir)
        m_pDlgSetEnDir = new TFrmSetEnDir(*m_pane.Cfg().GetImage(), this);
    m_pDlgSetEnDir->SetDir(index);
    if (m_pDlgSetEnDir->exec() == QDialog::Accepted) {
        ShowDirs(index);
        m_pane.Cfg().SetModified();
    }
}

void TFrmCallEnDirs::m_pBtnDelClick() {
    const int index = Selected();
    if (index < 0)
        return;
    m_pane.Cfg().GetImage()->m_aszEnDir[index][0] = '\0';
    ShowDirs(index);
    m_pane.Cfg().SetModified();
}

CPaneCallEnDirs::CPaneCallEnDirs(IPaneHost& ui)
    : CFramePane(ui, PANE_CALLENDIRS, &ui.Device().m_Cfg) {}

QWidget* CPaneCallEnDirs::NewFrame(QWidget* parent) {
    return new TFrmCallEnDirs(*this, parent);
}

void CPaneCallEnDirs::Load(int param) {
    BeginLoad(param);
    if (TFrmCallEnDirs* frm = Frm())
        frm->ShowDirs(-1);
}
