#pragma once
// Which rows of a table a cursor shows, and the SQL that reads them: the
// cursor's filter lines and a second condition and-ed with them, turned into
// a WHERE clause whose literals travel as bound values.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include "store/filterexpression.h"
#include "store/tabledef.h"

class TableStore;

struct RowFilter
{
    QStringList lines;
    bool active = false;
    FilterExpression expression;
    QStringList extraLines;   // the second condition (the journal page's completed weighings)
    bool extraActive = false;
    FilterExpression extra;

    bool inForce() const { return active || extraActive; }
    // The filter lines parsed against the table's fields. Throws StoreError.
    static FilterExpression parse(const TableDef &def, const QStringList &lines);
};

// One table of a store as queries see it: its fields as stored, its SQL
// name, and the rows its filter lets through.
class RowSource
{
public:
    RowSource(TableStore &store, const TableDef &def, const QString &sqlTable, const RowFilter &filter)
        : m_store(store), m_def(def), m_sqlTable(sqlTable), m_filter(filter)
    {
    }

    TableStore &store() const { return m_store; }

    const TableDef &def() const { return m_def; }
    const QString &sqlTable() const { return m_sqlTable; }
    bool isDate(int index) const { return m_def.field(index).kind == FieldKind::Date; }

    // The filters' condition ("" when none is in force); their values are appended to binds.
    QString where(QVector<QVariant> &binds) const;
    // "SELECT columns FROM table WHERE conditions AND filters tail". The binds
    // of the given conditions must already be in binds; the filters' are appended.
    QString select(const QString &columns, QStringList conditions, QVector<QVariant> &binds,
                   const QString &tail = QString()) const;
    // The quoted columns of the given fields, comma-separated. Throws
    // StoreError for a field out of range.
    QString columns(const QVector<int> &fields) const;
    // "id" and every field, quoted: the columns of a whole row.
    QString rowColumns() const;
    // The ids of the visible rows after afterId, in stored order, at most
    // limit of them (0: all); its values are appended to binds.
    QString idsAfter(qint64 afterId, int limit, QVector<QVariant> &binds) const;

private:
    TableStore &m_store;
    const TableDef &m_def;
    const QString &m_sqlTable;
    const RowFilter &m_filter;
};
