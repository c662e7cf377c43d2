// What the configuration panes share between their frames and the image: the limits of the
// edits (the field's room in CP1250 characters), texts in and out of fixed CP1250 fields and
// the credit threshold in the Czech notation. The memo that keeps to its field is CMemo
// (config/PaneCtl.h).
#pragma once

#include <QString>

#include <cstddef>

class QLineEdit;

namespace tk {

// Limits an edit to the room of the text field at this image offset, as the catalogue of the
// configuration's fields gives it (the field's width less its terminator, in CP1250); a
// telephone number also to what the unit can dial. The edit is no wider than that room.
void LimitToField(QLineEdit* edit, size_t offset);
// The room (CP1250 characters) of the text field at this image offset.
int FieldRoom(size_t offset);

// The text of a field as the edit shows it.
QString FieldText(const char* field, size_t width);

// Stores an edit's text into a field of `width` bytes. A field that already holds this text
// is left as it is (the bytes after its terminator too), so a visit without edits changes
// nothing. False (field unchanged) when CP1250 cannot hold the text; the edits' limits refuse
// such characters as they are typed, so this is only a guard.
bool StoreFieldText(char* field, size_t width, const QString& text);

// The credit threshold as the pane shows it: the shortest decimal form that reads back as the
// same number, with a decimal comma ("12,5", "0").
QString FormatThreshold(float value);
// The number at the start of the text (blanks before it allowed, a decimal comma or point);
// text that does not begin with a number gives 0, anything after the number is ignored.
float ParseThreshold(const QString& text);

} // namespace tk
