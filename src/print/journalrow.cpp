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

qsizetype breaksToBlanks(char16_t *text, qsizetype n)
{
    qsizetype out = 0;
    for (qsizetype i = 0; i < n; ++i) {
        char16_t c = text[i];
        if ((c >= u'\n' && c <= u'\r') || c == u'\x85' || c == u'\x2028' || c == u'\x2029') {
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
            c = u' ';
        }
        text[out++] = c;
    }
    return out;
}

QString oneLine(QString text)
{
    text.truncate(breaksToBlanks(reinterpret_cast<char16_t *>(text.data()), text.size()));
    return text;
}
