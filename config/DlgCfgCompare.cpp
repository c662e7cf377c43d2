#include "config/DlgCfgCompare.h"

#include "app/AppUIStableLayout.h"

#include "ui_DlgCfgCompare.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QLayout>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTreeWidget>

#include <algorithm>

namespace {

constexpr int kPaneRole = Qt::UserRole;
constexpr int kParamRole = Qt::UserRole + 1;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

TFrmCfgCompare::TFrmCfgCompare(QWidget* owner)
    : QDialog(owner), m_pForm(std::make_unique<Ui::TFrmCfgCompare>()) {
    m_pForm->setupUi(this);
    tk::ReserveCaptions(m_pForm->m_pBtnClose,
                        {m_pForm->m_pBtnClose->text(), QStringLiteral("Storno")});
    QTreeWidget* tree = m_pForm->m_pTrvDiff;
    // Enter and a double click both activate a row.
    connect(tree, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { ShowPaneOf(item); });
    connect(tree, &QTreeWidget::currentItemChanged, this, [this] { UpdateButtons(); });
    connect(m_pForm->m_pBtnShow, &QPushButton::clicked, this,
            [this, tree] { ShowPaneOf(tree->currentItem()); });
    connect(m_pForm->m_pBtnClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pForm->m_pBtnWrite, &QPushButton::clicked, this, &QDialog::accept);
}

void TFrmCfgCompare::SetQuestion(const QString& question, const QString& note) {
    m_bQuestion = true;
    Ui::TFrmCfgCompare& f = *m_pForm;
    setWindowTitle(QStringLiteral("Zápis do TK530"));
    f.m_pLblNote->setText(QStringLiteral("<b>%1</b>").arg(note.toHtmlEscaped()));
    f.m_pLblNote->setTextFormat(Qt::RichText);
    f.m_pLblNote->setVisible(!note.isEmpty());
    f.m_pLblQuestion->setText(question);
    f.m_pLblQuestion->setTextFormat(Qt::PlainText);
    f.m_pLblQuestion->setVisible(true);
    f.m_pLblDiff->setText(QStringLiteral("&Změny:"));
    f.m_pTrvDiff->headerItem()->setText(2, QStringLiteral("V jednotce"));
    f.m_pTrvDiff->headerItem()->setText(3, QStringLiteral("Zapíše se"));
    f.m_pBtnShow->setVisible(false);
    f.m_pBtnWrite->setVisible(true);
    f.m_pBtnClose->setText(QStringLiteral("Storno"));
    f.m_pBtnClose->setDefault(true);
    f.m_pBtnClose->setFocus();
}

TFrmCfgCompare::~TFrmCfgCompare() = default;

void TFrmCfgCompare::SetDiff(const std::vector<CfgDiffEntry>& diff, const QString& other) {
    QTreeWidget* tree = m_pForm->m_pTrvDiff;
    tree->clear();
    tree->headerItem()->setText(3, other);
    for (const CfgDiffEntry& d : diff) {
        const CfgField& f = *d.field;
        std::string where = CfgPaneCaption(f.pane);
        if (!f.group.empty())
            where += " › " + f.group;
        auto* item = new QTreeWidgetItem(tree, {Q(where), Q(f.label), Q(d.oldText), Q(d.newText)});
        item->setData(0, kPaneRole, f.pane);
        item->setData(0, kParamRole, f.paneParam);
    }
    m_pForm->m_pLblResult->setText(diff.empty() ? QStringLiteral("Žádné rozdíly")
                                                : QStringLiteral("Rozdílů: %1").arg(diff.size()));
    FitColumns();
    if (QTreeWidgetItem* first = tree->topLevelItem(0))
        tree->setCurrentItem(first);
    UpdateButtons();
    tree->setFocus();
}

void TFrmCfgCompare::FitColumns() {
    QTreeWidget* tree = m_pForm->m_pTrvDiff;
    QHeaderView* header = tree->header();
    int total = 0;
    for (int column = 0; column < tree->columnCount(); ++column) {
        tree->resizeColumnToContents(column);
        const int width = std::max(tree->columnWidth(column), header->sectionSizeHint(column));
        tree->setColumnWidth(column, width);
        total += width;
    }
    const QMargins margins = layout() ? layout()->contentsMargins() : QMargins();
    const int needed = total + 2 * tree->frameWidth() +
                       tree->verticalScrollBar()->sizeHint().width() + margins.left() +
                       margins.right() + 8;
    int limit = needed;
    if (const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
        limit = screen->availableGeometry().width() * 9 / 10;
    const int width = std::min(std::max(this->width(), needed), limit);
    setMinimumWidth(std::min(needed, limit));
    resize(width, height());
}

void TFrmCfgCompare::UpdateButtons() {
    const QTreeWidgetItem* item = m_pForm->m_pTrvDiff->currentItem();
    m_pForm->m_pBtnShow->setEnabled(item && item->data(0, kPaneRole).toInt() != CFG_PANE_NONE);
}

void TFrmCfgCompare::ShowPaneOf(QTreeWidgetItem* item) {
    // Carried bytes belong to no pane: there is nothing to show. A question is answered only
    // by its buttons.
    if (m_bQuestion || !item || item->data(0, kPaneRole).toInt() == CFG_PANE_NONE)
        return;
    const int pane = item->data(0, kPaneRole).toInt();
    const int param = item->data(0, kParamRole).toInt();
    accept();
    if (m_onShowPane)
        m_onShowPane(pane, param);
}
