#include "print/journalrow.h"

#include "store/tablecursor.h"

JournalRow journalRowById(const TableCursor &view, qint64 id)
{
    JournalRow row;
    if (id <= 0)
        return row;
    const QVector<QString> stored = view.rowById(id);
    for (int i = 0; i < stored.size() && i < view.fieldNames().size(); ++i)
        row.insert(view.fieldNames()[i], TableCursor::valueText(stored[i], view.isDateField(i)));
    return row;
}

JournalRow currentJournalRow(TableCursor &view)
{
    JournalRow row;
    if (!view.isOpen() || (view.currentId() == 0 && view.state() != TableCursor::State::Insert))
        return row;
    for (int i = 0; i < view.fieldNames().size(); ++i)
        row.insert(view.fieldNames()[i], view.FieldText(i));
    return row;
}
