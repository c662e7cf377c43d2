// Input limits of the edit fields. Every text the unit or a file keeps is CP1250 in a fixed
// field, so an edit takes at most the field's room less the terminator, counted in CP1250
// bytes (one Czech letter is one byte there, whatever it takes in UTF-16), and refuses a
// character that CP1250 cannot hold as it is typed or pasted, with a short hint (in the main
// window's status bar, or as a tooltip at the edit inside a dialog). Nothing is then dropped
// when the text is stored.
#pragma once

#include <QString>
#include <QValidator>

class QLineEdit;

namespace tk {

// The first character of text that CP1250 cannot hold, or an empty string when it holds all.
QString FirstNonCp1250(const QString& text);
// Number of CP1250 bytes text takes, or -1 when CP1250 cannot hold it.
int Cp1250Length(const QString& text);
// QString <-> CP1250 bytes of a field (the core's conversion; a character CP1250 cannot hold
// makes ToCp1250 return false and name it in `bad`).
bool ToCp1250(const QString& text, std::string& out, QString* bad = nullptr);
QString FromCp1250(const char* field, size_t room);

// Accepts texts of at most maxChars CP1250 characters; anything else is refused whole, with
// the hint shown at the edit it belongs to.
class CCp1250Validator : public QValidator {
    Q_OBJECT
public:
    CCp1250Validator(int maxChars, QLineEdit* edit);
    State validate(QString& input, int& pos) const override;
    int MaxChars() const { return m_nMax; }

protected:
    void Hint(const QString& text) const;

private:
    int m_nMax;
    QLineEdit* m_pEdit;
};

// A telephone number the unit dials or sends SMS to: as CCp1250Validator, and only digits
// after at most one leading "+" (CheckDialNumber); a blank, a letter or a dash is refused as
// it is typed or pasted, with the hint that says what a number holds.
class CDialNumberValidator : public CCp1250Validator {
    Q_OBJECT
public:
    using CCp1250Validator::CCp1250Validator;
    State validate(QString& input, int& pos) const override;
};

// Puts the limit on an edit: maxChars = the field's room less its terminator (a field of 66
// bytes takes 65 characters). Also sets maxLength, so a paste is cut, never wrapped.
void LimitCp1250(QLineEdit* edit, int maxChars);

// The limit of a telephone number field: LimitCp1250 with CDialNumberValidator, and a tooltip
// that says what the field takes.
void LimitDialNumber(QLineEdit* edit, int maxChars);

// The hint text for a refused character ("Znak „€“ nelze uložit (kódová stránka 1250).").
QString RefusedCharHint(const QString& ch);
QString TooLongHint(int maxChars);

} // namespace tk
