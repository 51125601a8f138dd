#pragma once
// One journal row as the printed papers read it: each field's text by name,
// exactly as the journal holds it (the date as dd.MM.yyyy), but for the line
// breaks a stored value may hold: a printed value is one line, so each break
// is a blank.

#include <QHash>
#include <QString>

class TableCursor;

using JournalRow = QHash<QString, QString>;

// The row with that id, read through view without moving it (its filters do
// not apply); empty when the journal has no such row. Throws StoreError.
JournalRow journalRowById(const TableCursor &view, qint64 id);
// The view's current row (the one being edited, while it is); empty when
// the view has none. Throws StoreError.
JournalRow currentJournalRow(TableCursor &view);
