#pragma once
// The trail of hand edits of the journal. Weights on a legal document must
// not change without a trace: while a cursor is audited, every row it posts
// or deletes leaves one entry per field in the table BD_audit, written in the
// same transaction as the change, so that a change whose entry cannot be
// written is not made either. The grids never show this table.

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>

class TableStore;

struct AuditEntry
{
    QString at;            // local time, yyyy-MM-dd HH:mm:ss
    QString operatorName;  // the signed-in operator
    QString action;        // "edit", "insert" or "delete"
    QString table;         // as the program names it ("BD_main.db")
    qint64 rowId = 0;
    QString field;
    QString oldText;       // empty for an inserted row
    QString newText;       // empty for a deleted row
};

namespace AuditTrail {

enum class Action { Edit, Insert, Delete };

// Creates BD_audit in the store when it is missing and touches
// nothing else. True when it was created. Throws StoreError.
bool ensureTable(TableStore &store);

// Writes the entries of one change of a row: for an edit only the fields
// whose text differs, for an insert or a delete every field. Meant to run
// inside the change's transaction; throws StoreError (a missing table too).
void write(TableStore &store, Action action, const QString &table, qint64 rowId, const QStringList &fields,
           const QVector<QString> &oldTexts, const QVector<QString> &newTexts);

// The entries in the order they were written, from the given day on (all
// when since is null). Throws StoreError.
QVector<AuditEntry> read(TableStore &store, const QDate &since = QDate());

}
