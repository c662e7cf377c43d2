#include "status/PaneIO.h"

#include "app/Device.h"
#include "app/PaneHost.h"
#include "status/StatusText.h"

#include "ui_PaneIO.h"

#include <QBrush>
#include <QColor>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelectionModel>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QStyleOptionViewItem>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidgetItem>

#include <algorithm>

namespace {

constexpr int COL_INPUT = 1;
constexpr int COL_OUTPUT = 2;
constexpr int FLASH_MS = 800;

// The state mark: a filled green disc for 1, a hollow grey ring for 0, so the shape tells
// the state as well as the colour does.
const QIcon& StateMark(bool on) {
    static const QIcon marks[2] = {[] {
                                       QPixmap pm(12, 12);
                                       pm.fill(Qt::transparent);
                                       QPainter p(&pm);
                                       p.setRenderHint(QPainter::Antialiasing);
                                       p.setPen(QPen(QColor(0x80, 0x80, 0x80), 2));
                                       p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
                                       return QIcon(pm);
                                   }(),
                                   [] {
                                       QPixmap pm(12, 12);
                                       pm.fill(Qt::transparent);
                                       QPainter p(&pm);
                                       p.setRenderHint(QPainter::Antialiasing);
                                       p.setPen(QPen(QColor(0x1B, 0x5E, 0x20), 1));
                                       p.setBrush(QColor(0x2E, 0xA0, 0x43));
                                       p.drawEllipse(QRectF(1, 1, 10, 10));
                                       return QIcon(pm);
                                   }()};
    return marks[on ? 1 : 0];
}

QColor Rgb(uint32_t rgb) {
    return QColor::fromRgb(static_cast<QRgb>(rgb));
}

// Draws the cells with grid lines, and a selected row in the selection colours whether or not
// the list has the focus, with a text colour that always stands out from the background
// (a cell's own colour, a flash or a greyed palette must never leave white on white).
class CIOCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        QPalette& pal = option->palette;
        const bool selected = option->state & QStyle::State_Selected;
        QColor back = pal.color(QPalette::Active, QPalette::Base);
        if (selected)
            back = pal.color(QPalette::Active, QPalette::Highlight);
        else if (option->backgroundBrush.style() != Qt::NoBrush)
            back = option->backgroundBrush.color();
        const QPalette::ColorRole textRole = selected ? QPalette::HighlightedText : QPalette::Text;
        const QColor text =
            Rgb(ReadableTextOn(back.rgb() & 0xFFFFFF, pal.color(QPalette::Active, textRole).rgb()));
        for (const QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
            pal.setColor(g, QPalette::Highlight, back);
            pal.setColor(g, textRole, text);
        }
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Midlight));
        painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
        painter->restore();
    }
};

void SetBit(QTreeWidgetItem* row, int column, uint8_t bits, int bit) {
    const char* text = IOBitText(bits, bit);
    if (row->text(column) != QLatin1String(text))
        row->setText(column, QString::fromLatin1(text));
    row->setIcon(column, StateMark(text[0] == '1'));
}

} // namespace

TFrmIO::TFrmIO(CPaneIO& pane, QWidget* parent)
    : QWidget(parent), m_pane(pane), m_pForm(std::make_unique<Ui::TFrmIO>()) {
    m_pForm->setupUi(this);
    QTreeWidget* list = m_pForm->m_pLsvIO;
    for (int c = 0; c < 3; ++c)
        list->setColumnWidth(c, 100);
    list->headerItem()->setTextAlignment(COL_INPUT, Qt::AlignCenter);
    list->headerItem()->setTextAlignment(COL_OUTPUT, Qt::AlignCenter);
    // A style sheet on the items would draw them itself and leave out the selection's
    // background under the white selected text: the delegate draws the grid instead.
    list->setItemDelegate(new CIOCellDelegate(list));
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TFrmIO::SelectionChanged);
    connect(m_pForm->m_pBtnSet1, &QPushButton::clicked, this, [this] { SetOutputs(true); });
    connect(m_pForm->m_pBtnSet0, &QPushButton::clicked, this, [this] { SetOutputs(false); });
    m_pFlash = new QTimer(this);
    m_pFlash->setSingleShot(true);
    m_pFlash->setInterval(FLASH_MS);
    connect(m_pFlash, &QTimer::timeout, this, &TFrmIO::EndFlash);
}

TFrmIO::~TFrmIO() = default;

void TFrmIO::Fill(const CIOState& io) {
    QTreeWidget* list = m_pForm->m_pLsvIO;
    if (list->topLevelItemCount() == 0) {
        for (int i = 0; i < IO_CHANNELS; ++i) {
            auto* row = new QTreeWidgetItem(
                list, QStringList{QStringLiteral("IO%1").arg(i + 1), QString(), QString()});
            row->setTextAlignment(COL_INPUT, Qt::AlignCenter);
            row->setTextAlignment(COL_OUTPUT, Qt::AlignCenter);
            row->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        }
    }
    const uint8_t changed = m_bFilled ? static_cast<uint8_t>(io.m_nInputs ^ m_nLastInputs) : 0;
    const QBrush flash(palette().color(QPalette::Highlight).lighter(160));
    for (int i = 0; i < IO_CHANNELS && i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = list->topLevelItem(i);
        SetBit(row, COL_INPUT, io.m_nInputs, i);
        SetBit(row, COL_OUTPUT, io.m_nOutputs, i);
        if (changed >> i & 1)
            row->setBackground(COL_INPUT, flash);
    }
    if (changed)
        m_pFlash->start();
    m_bFilled = true;
    m_nLastInputs = io.m_nInputs;
}

void TFrmIO::EndFlash() {
    QTreeWidget* list = m_pForm->m_pLsvIO;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        list->topLevelItem(i)->setBackground(COL_INPUT, QBrush());
}

std::vector<int> TFrmIO::SelectedRows() const {
    std::vector<int> rows;
    QTreeWidget* list = m_pForm->m_pLsvIO;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->isSelected())
            rows.push_back(i);
    return rows;
}

void TFrmIO::SelectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    // As the list reports each row: a row selected enables both buttons, a row deselected
    // disables them (so a Ctrl+click that deselects one row of several disables them too).
    bool enable = false;
    if (!selected.isEmpty())
        enable = true;
    else if (!deselected.isEmpty())
        enable = false;
    else
        return;
    m_pForm->m_pBtnSet1->setEnabled(enable);
    m_pForm->m_pBtnSet0->setEnabled(enable);
}

void TFrmIO::SetOutputs(bool toOne) {
    const OutputCommand cmd = OutputsFor(SelectedRows(), toOne);
    if (cmd.mask == 0)
        return; // nothing selected: no output would change
    m_pane.UI().Device().SetOutputs(cmd.mask, cmd.values);
}

CPaneIO::CPaneIO(IPaneHost& ui) : CStatusPane(ui, PANE_IO) {}

QWidget* CPaneIO::NewFrame(QWidget* parent) {
    return new TFrmIO(*this, parent);
}

void CPaneIO::Load(int param) {
    BeginLoad(param);
    if (TFrmIO* f = Frm())
        f->Fill(UI().Status().m_IO);
}
