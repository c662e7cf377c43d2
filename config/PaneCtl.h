// Controls and helpers of the configuration frames: the up-down with its edit, the memo
// limited as it is typed, and radio buttons that can show "none of these" for a value the
// frame has no button for.
#pragma once

#include "config/PaneFields.h"

#include <QPlainTextEdit>
#include <QSpinBox>
#include <QString>

#include <cstddef>
#include <initializer_list>

class QAbstractButton;
class QLineEdit;
class QMimeData;

// An edit with its up-down. The arrows step within the range and do not wrap; a typed value
// is taken as typed and brought into the range when the edit loses focus (300 shows as 255),
// so the position never leaves the range. The edit inside carries the form's edit name.
class CUpDown : public QSpinBox {
    Q_OBJECT
public:
    explicit CUpDown(QWidget* parent = nullptr);

    QLineEdit* Edit() const { return lineEdit(); }
    // Range and the name of the edit; the edit takes as many digits as the maximum has.
    void Setup(int min, int max, const QString& editName);
    // The same with the range the configuration's catalogue gives the field `key`.
    void SetupField(const char* key, const QString& editName);
    // The position, after a value still being typed has been taken (and clamped): what a
    // frame stores, also when the edit still has the focus.
    int Position();

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;

private:
    int m_nDigits = 3;
};

// A memo that holds at most the room of its field in CP1250: a line break takes two bytes
// there (CR LF). A character CP1250 cannot hold, or a key that would make the text too long,
// is refused with the same hint as in the edits; a paste that is too long is cut. Any other
// change (an input method's text, a drop, undo) is checked as it lands and undone with the
// hint when it breaks the limit, so the text is always one its field can hold and no edit is
// lost when the pane stores it. `changed` is emitted for every change that stays.
class CMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CMemo(QWidget* parent = nullptr);

    void SetMaxChars(int maxChars) { m_nMax = maxChars; }
    int MaxChars() const { return m_nMax; }

    // The text of a field (line breaks as CR LF) into the memo, and the memo's text as the
    // field holds it.
    void SetFieldText(const QString& text);
    QString FieldText() const;
    // CP1250 bytes the shown text takes in its field; -1 when CP1250 cannot hold it.
    static int FieldLength(const QString& shown);

signals:
    void changed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    // Room left for an insertion that replaces the current selection.
    int Room() const;
    void Hint(const QString& text);
    void OnTextChanged();
    int m_nMax = 64;
    QString m_accepted; // the text as last checked
    bool m_bQuiet = false;
    QString m_loaded;      // the field's text as last set
    QString m_loadedShown; // and as the memo showed it then
};

namespace tk {

// Checks one of the buttons, or none of them when `checked` is null (a value the frame has
// no button for). The buttons stay mutually exclusive.
void CheckOne(std::initializer_list<QAbstractButton*> buttons, QAbstractButton* checked);

// The radio buttons of the choice field `key`, one for each of its named values in catalogue
// order (the order the pane shows them). CheckChoice checks the button of `value`, or none for
// a value the catalogue does not name; CheckedChoice gives the value of the checked button, or
// `keep` when none is checked (a value the pane does not know stays).
void CheckChoice(const char* key, std::initializer_list<QAbstractButton*> buttons, int value);
int CheckedChoice(const char* key, std::initializer_list<QAbstractButton*> buttons, int keep);

// A hint at a control: the main window's status bar, or a tooltip inside a dialog.
void ShowHint(QWidget* at, const QString& text);

} // namespace tk
