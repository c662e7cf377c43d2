#include "config/PaneCtl.h"

#include "app/AppUITextLimit.h"
#include "base/Cp1250.h"
#include "config/CfgCatalogue.h"
#include "config/CfgImage.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMimeData>
#include <QStatusBar>
#include <QTextCursor>
#include <QToolTip>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

CUpDown::CUpDown(QWidget* parent) : QSpinBox(parent) {
    setWrapping(false);
    setAccelerated(true);
    setRange(0, 255);
}

void CUpDown::Setup(int min, int max, const QString& editName) {
    setRange(min, max);
    m_nDigits = static_cast<int>(QString::number(max).size());
    lineEdit()->setMaxLength(m_nDigits);
    lineEdit()->setObjectName(editName);
}

void CUpDown::SetupField(const char* key, const QString& editName) {
    const CfgField* field = CfgFindField(key);
    Setup(field ? field->min : 0, field ? field->max : 255, editName);
}

int CUpDown::Position() {
    interpretText();
    return value();
}

QValidator::State CUpDown::validate(QString& input, int& /*pos*/) const {
    if (input.isEmpty())
        return QValidator::Intermediate;
    if (input.size() > m_nDigits ||
        !std::all_of(input.begin(), input.end(), [](QChar c) { return c >= '0' && c <= '9'; }))
        return QValidator::Invalid;
    // Out of range is only "not yet": the value is brought into the range once typing ends.
    const int v = input.toInt();
    return v >= minimum() && v <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
}

void CUpDown::fixup(QString& input) const {
    bool ok = false;
    const int v = input.toInt(&ok);
    input = QString::number(ok ? std::clamp(v, minimum(), maximum()) : value());
}

CMemo::CMemo(QWidget* parent) : QPlainTextEdit(parent) {
    setTabChangesFocus(true);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    connect(this, &QPlainTextEdit::textChanged, this, &CMemo::OnTextChanged);
}

void CMemo::OnTextChanged() {
    if (m_bQuiet)
        return;
    const QString text = toPlainText();
    if (text == m_accepted)
        return;
    const int length = FieldLength(text);
    if (length >= 0 && length <= m_nMax) {
        m_accepted = text;
        emit changed();
        return;
    }
    const QString bad = tk::FirstNonCp1250(text);
    const QString hint = bad.isEmpty() ? tk::TooLongHint(m_nMax) : tk::RefusedCharHint(bad);
    // Undo the change and put the cursor back where the refused input began.
    const int pos = textCursor().position() - static_cast<int>(text.size() - m_accepted.size());
    m_bQuiet = true;
    setPlainText(m_accepted);
    QTextCursor cursor = textCursor();
    cursor.setPosition(std::clamp(pos, 0, static_cast<int>(m_accepted.size())));
    setTextCursor(cursor);
    m_bQuiet = false;
    Hint(hint);
}

int CMemo::FieldLength(const QString& shown) {
    int len = 0;
    for (char32_t cp : shown.toUcs4()) {
        if (cp == U'\n' || cp == 0x2028 || cp == 0x2029)
            len += 2; // CR LF in the field
        else if (tk::UnicodeToCp1250(cp) < 0)
            return -1;
        else
            ++len;
    }
    return len;
}

void CMemo::SetFieldText(const QString& text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    // Whatever the field holds is shown, also a text longer than the memo would take.
    m_bQuiet = true;
    setPlainText(shown);
    m_bQuiet = false;
    // A lone CR shows as a line break; unless the text is edited it goes back as it came.
    m_loaded = text;
    m_loadedShown = toPlainText();
    m_accepted = m_loadedShown;
}

QString CMemo::FieldText() const {
    QString text = toPlainText();
    if (text == m_loadedShown)
        return m_loaded;
    text.replace(QChar('\n'), QStringLiteral("\r\n"));
    return text;
}

int CMemo::Room() const {
    return m_nMax - FieldLength(toPlainText()) + FieldLength(textCursor().selectedText());
}

void CMemo::Hint(const QString& text) {
    tk::ShowHint(this, text);
}

void CMemo::keyPressEvent(QKeyEvent* event) {
    QString typed = event->text();
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        typed = QStringLiteral("\n");
    const bool inserts =
        !isReadOnly() && !typed.isEmpty() && std::all_of(typed.begin(), typed.end(), [](QChar c) {
            return c == '\n' || (c.unicode() >= 0x20 && c.unicode() != 0x7f);
        });
    if (inserts) {
        const QString bad = tk::FirstNonCp1250(typed);
        if (!bad.isEmpty()) {
            Hint(tk::RefusedCharHint(bad));
            event->accept();
            return;
        }
        if (FieldLength(typed) > Room()) {
            Hint(tk::TooLongHint(m_nMax));
            event->accept();
            return;
        }
    }
    QPlainTextEdit::keyPressEvent(event);
}

void CMemo::insertFromMimeData(const QMimeData* source) {
    if (!source || !source->hasText())
        return;
    QString text = source->text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QString bad = tk::FirstNonCp1250(text);
    if (!bad.isEmpty()) {
        Hint(tk::RefusedCharHint(bad));
        return;
    }
    // As in the edits, a paste that is too long is cut at the room left.
    int room = Room();
    QString fits;
    for (char32_t cp : text.toUcs4()) {
        const int len = cp == U'\n' ? 2 : 1;
        if (len > room)
            break;
        room -= len;
        fits += QString::fromUcs4(&cp, 1);
    }
    if (fits.size() < text.size())
        Hint(tk::TooLongHint(m_nMax));
    if (!fits.isEmpty())
        insertPlainText(fits);
}

namespace tk {

void CheckOne(std::initializer_list<QAbstractButton*> buttons, QAbstractButton* checked) {
    for (QAbstractButton* b : buttons) {
        if (b == checked)
            continue;
        // An exclusive button cannot be unchecked directly.
        const bool exclusive = b->autoExclusive();
        b->setAutoExclusive(false);
        b->setChecked(false);
        b->setAutoExclusive(exclusive);
    }
    if (checked)
        checked->setChecked(true);
}

namespace {

// The named values of a choice field; empty for a key the catalogue does not have.
std::span<const CfgChoice> ChoicesOf(const char* key) {
    const CfgField* field = CfgFindField(key);
    return field ? field->choices : std::span<const CfgChoice>();
}

} // namespace

void CheckChoice(const char* key, std::initializer_list<QAbstractButton*> buttons, int value) {
    const std::span<const CfgChoice> choices = ChoicesOf(key);
    QAbstractButton* checked = nullptr;
    for (size_t i = 0; i < choices.size() && i < buttons.size(); ++i)
        if (choices[i].value == value)
            checked = buttons.begin()[i];
    CheckOne(buttons, checked);
}

int CheckedChoice(const char* key, std::initializer_list<QAbstractButton*> buttons, int keep) {
    const std::span<const CfgChoice> choices = ChoicesOf(key);
    for (size_t i = 0; i < choices.size() && i < buttons.size(); ++i)
        if (buttons.begin()[i]->isChecked())
            return choices[i].value;
    return keep;
}

void ShowHint(QWidget* at, const QString& text) {
    if (!at)
        return;
    if (auto* main = qobject_cast<QMainWindow*>(at->window())) {
        main->statusBar()->showMessage(text, 4000);
        return;
    }
    QToolTip::showText(at->mapToGlobal(QPoint(0, at->height())), text, at);
}

} // namespace tk
