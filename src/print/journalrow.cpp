#include "print/journalrow.h"

#include "store/tablecursor.h"

using WeighingRecord::Field;

JournalRow::JournalRow(std::initializer_list<std::pair<Field, QString>> texts) : m_present(true)
{
    for (const auto &[field, text] : texts)
        m_texts[size_t(field)] = text;
}

void JournalRow::set(Field field, const QString &text)
{
    m_texts[size_t(field)] = text;
    m_present = true;
}

// The view is a journal cursor: Open() has checked that its fields are the
// schema's, in the schema's order.
JournalRow journalRowById(const TableCursor &view, qint64 id)
{
    JournalRow row;
    if (id <= 0)
        return row;
    const QVector<QString> stored = view.rowById(id);
    for (int i = 0; i < stored.size() && i < WeighingRecord::FieldCount; ++i)
        row.set(Field(i), TableCursor::valueText(stored[i], view.isDateField(i)));
    return row;
}

JournalRow currentJournalRow(TableCursor &view)
{
    JournalRow row;
    if (!view.isOpen() || (view.currentId() == 0 && view.state() != TableCursor::State::Insert))
        return row;
    for (int i = 0; i < WeighingRecord::FieldCount; ++i)
        row.set(Field(i), view.FieldText(i));
    return row;
}
