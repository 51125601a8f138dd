#pragma once
// What an operator types or pastes into a one-line field stays as it was
// typed, on one line.

#include <QString>

#include "common/oneline.h"

class QComboBox;
class QLineEdit;

// Typed or pasted text gets no line break in the field; a text set by the
// program (a stored value shown, an entry picked from a list) is left as it is.
void keepOneLine(QLineEdit *edit);

// An editable list that keeps exactly what is typed: its entries that begin
// with the typed text, letter case counting, are offered in a popup, and only
// a pick puts an entry into the field. Qt's default would complete inline and
// ignore case, so that a typed "sand" left the field as a listed "SAND".
// Call it once the list has its model.
void keepTypedText(QComboBox *box);
