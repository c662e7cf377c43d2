// Controls that keep their place while their text changes: a button whose caption switches
// ("Vyzkoušet" / "Přerušit") or a hint that comes and goes must not move the controls around
// it, or the next click lands on something else than the user aimed at.
#pragma once

#include <QString>

#include <initializer_list>

class QAbstractButton;
class QLabel;

namespace tk {

// The button is at least as wide as its widest caption, whichever it shows.
void ReserveCaptions(QAbstractButton* button, std::initializer_list<QString> captions);

// The label keeps room for `lines` lines of text, also while hidden or empty.
void ReserveLines(QLabel* label, int lines);

} // namespace tk
