#include "app/AppUITextLimit.h"

#include "base/Cp1250.h"
#include "sms/Recipients.h"

#include <QLineEdit>
#include <QMainWindow>
#include <QStatusBar>
#include <QToolTip>

#include <cstring>

namespace tk {

QString FirstNonCp1250(const QString& text) {
    const auto ucs4 = text.toUcs4();
    for (char32_t cp : ucs4)
        if (UnicodeToCp1250(cp) < 0)
            return QString::fromUcs4(&cp, 1);
    return {};
}

int Cp1250Length(const QString& text) {
    const auto ucs4 = text.toUcs4();
    for (char32_t cp : ucs4)
        if (UnicodeToCp1250(cp) < 0)
            return -1;
    return static_cast<int>(ucs4.size());
}

bool ToCp1250(const QString& text, std::string& out, QString* bad) {
    std::string badUtf8;
    if (Utf8ToCp1250(text.toStdString(), out, &badUtf8))
        return true;
    if (bad)
        *bad = QString::fromStdString(badUtf8);
    return false;
}

QString FromCp1250(const char* field, size_t room) {
    const size_t len = strnlen(field, room);
    return QString::fromStdString(Cp1250ToUtf8(std::string_view(field, len)));
}

QString RefusedCharHint(const QString& ch) {
    return QStringLiteral("Znak „%1“ nelze uložit (kódová stránka 1250).").arg(ch);
}

QString TooLongHint(int maxChars) {
    return QStringLiteral("Text může mít nejvýše %1 znaků.").arg(maxChars);
}

CCp1250Validator::CCp1250Validator(int maxChars, QLineEdit* edit)
    : QValidator(edit), m_nMax(maxChars), m_pEdit(edit) {}

QValidator::State CCp1250Validator::validate(QString& input, int& /*pos*/) const {
    const QString bad = FirstNonCp1250(input);
    if (!bad.isEmpty()) {
        Hint(RefusedCharHint(bad));
        return Invalid;
    }
    if (input.toUcs4().size() > static_cast<qsizetype>(m_nMax)) {
        Hint(TooLongHint(m_nMax));
        return Invalid;
    }
    return Acceptable;
}

void CCp1250Validator::Hint(const QString& text) const {
    if (!m_pEdit)
        return;
    if (auto* main = qobject_cast<QMainWindow*>(m_pEdit->window())) {
        main->statusBar()->showMessage(text, 4000);
        return;
    }
    QToolTip::showText(m_pEdit->mapToGlobal(QPoint(0, m_pEdit->height())), text, m_pEdit);
}

void LimitCp1250(QLineEdit* edit, int maxChars) {
    edit->setMaxLength(maxChars);
    edit->setValidator(new CCp1250Validator(maxChars, edit));
}

QValidator::State CDialNumberValidator::validate(QString& input, int& pos) const {
    const State state = CCp1250Validator::validate(input, pos);
    if (state != Acceptable)
        return state;
    std::string bad;
    const int error = CheckDialNumber(input.toStdString(), &bad);
    if (error == RCPT_OK)
        return Acceptable;
    if (error == RCPT_NO_DIGITS) // "+" before the first digit is typed
        return Intermediate;
    Hint(QString::fromStdString(DialNumberHint(error, bad)));
    return Invalid;
}

void LimitDialNumber(QLineEdit* edit, int maxChars) {
    edit->setMaxLength(maxChars);
    edit->setValidator(new CDialNumberValidator(maxChars, edit));
    edit->setToolTip(QStringLiteral("Telefonní číslo: jen číslice, na začátku smí být +."));
}

} // namespace tk
