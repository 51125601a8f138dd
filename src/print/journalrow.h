#pragma once
// One journal row as the printed papers read it: each field's text by its
// place in the schema (row[WeighingRecord::Tara]), exactly as the journal
// holds it (the date as dd.MM.yyyy), but for the line breaks a stored value
// may hold: a printed value is one line, so each break is a blank.

#include <QMetaType>
#include <QString>

#include <array>

#include "store/schema.h"

class TableCursor;

class JournalRow
{
public:
    JournalRow() = default;   // no row
    // A row of the given texts; fields not given are empty.
    JournalRow(std::initializer_list<std::pair<WeighingRecord::Field, QString>> texts);

    bool isEmpty() const { return !m_present; }
    // The field's text; empty when there is no row.
    const QString &operator[](WeighingRecord::Field field) const { return m_texts[size_t(field)]; }
    void set(WeighingRecord::Field field, const QString &text);

private:
    std::array<QString, WeighingRecord::FieldCount> m_texts;
    bool m_present = false;
};
Q_DECLARE_METATYPE(JournalRow)

// The row with that id, read through view without moving it (its filters do
// not apply); empty when the journal has no such row. Throws StoreError.
JournalRow journalRowById(const TableCursor &view, qint64 id);
// The view's current row (the one being edited, while it is); empty when
// the view has none. Throws StoreError.
JournalRow currentJournalRow(TableCursor &view);
