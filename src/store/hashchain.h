#pragma once
// One hash chain over everything the program changes in the journal: each
// stored pass, each edit-mode change and each deletion adds a link, in the
// same transaction as the change, to the table BD_chain. A link holds the
// change's canonical content (table, row id, fields and values, time,
// operator, and for a pass its record) and the SHA-256 of the link before it
// and that content, so a row changed, added or removed by any other tool, or
// a link taken out, shows when the chain is checked (store/chainverify.h).
// The first link, made when the table is created, says up to which row the
// journal held rows from before the chain: those are not logged.
//
// Links are added one at a time, whatever the number of stations on one
// server: extend() waits for the chain's lock (an advisory lock held to the
// end of the transaction on the server; on SQLite the transaction itself
// holds the file's write lock from its start).

#include <QByteArray>
#include <QPair>
#include <QString>
#include <QVector>

class TableStore;

namespace Tables {
inline const QString Chain = QStringLiteral("BD_chain");
}

using FieldValues = QVector<QPair<QString, QString>>;

struct ChainEntry
{
    QString action;        // "pass", "edit", "insert", "delete"; "start" for the first link
    QString table;         // as the program names it ("BD_main.db")
    qint64 rowId = 0;
    QString at;            // yyyy-MM-dd HH:mm:ss.zzz, the computer's time
    QString operatorName;
    FieldValues values;    // what the change left in the row's fields
    FieldValues was;       // what the fields held before (the trail's old texts)
    FieldValues facts;     // anything else the entry vouches for (a pass's record)

    // The text the link hashes: one "key=value" a line, values escaped, in
    // a fixed order. The same entry always gives the same bytes.
    QString canonical() const;
    static ChainEntry parse(const QString &canonical);

    // The entry of one change written to the trail of hand edits: per field
    // its text before (null for an inserted row) and after (null for a
    // deleted one), as the trail holds them.
    struct TrailField
    {
        QString field;
        QString before;
        QString after;
    };
    static ChainEntry ofTrail(const QString &action, const QString &table, qint64 rowId, const QString &at,
                              const QString &operatorName, const QVector<TrailField> &fields);
};

namespace HashChain {

// The hash of the link before the first one.
inline const QString Origin = QString(64, QLatin1Char('0'));

// SHA-256 of the previous link's hash and the content, as 64 hex digits.
QString linkHash(const QString &previous, const QString &content);
QString linkHash(const QByteArray &previousHex, const QByteArray &contentUtf8);

// Creates BD_chain with its first link when it is missing; true when it was
// created. Throws StoreError.
bool ensureTable(TableStore &store);

// Empties the chain and writes a first link that takes every journal row
// there now as from before the chain (a site copied onto a server without
// one). Inside a transaction. Throws StoreError.
void restart(TableStore &store);

// Adds the entry's link. Must run inside the change's transaction; waits
// for the chain's lock first. source/from/to name the rows the entry was
// written from (BD_pass or BD_audit ids), for the check. Throws StoreError.
void extend(TableStore &store, const ChainEntry &entry, const QString &source, qint64 from, qint64 to);

// The hash of the last link; empty without a chain. Throws StoreError.
QString lastLink(TableStore &store);

}
