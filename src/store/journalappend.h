#pragma once
// Many journal rows written at once (a prepared demo journal, a copy for a
// measurement): one transaction, one statement prepared once, every value
// bound. No trail and no chain links: these rows were never weighed.

#include <QSqlQuery>
#include <QString>
#include <QVector>

#include "store/tablestore.h"

class JournalAppend
{
public:
    // Begins the transaction. Throws StoreError.
    explicit JournalAppend(TableStore &store);
    JournalAppend(const JournalAppend &) = delete;
    JournalAppend &operator=(const JournalAppend &) = delete;

    // One row, its texts by WeighingRecord::Field; a missing or null text
    // is stored empty, as the program stores a field left blank.
    void append(const QVector<QString> &texts);
    qint64 appended() const { return m_rows; }
    // Ends the transaction; without it the destructor rolls every row back.
    void commit();

private:
    TableStore &m_store;
    TableStore::Transaction m_transaction;
    QSqlQuery m_insert;
    qint64 m_rows = 0;
};
