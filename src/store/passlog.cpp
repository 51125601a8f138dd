#include "store/passlog.h"

#include <QCryptographicHash>
#include <QSqlQuery>
#include <QSqlRecord>

#include "common/failure.h"
#include "store/sqldialect.h"
#include "store/tablestore.h"

namespace {
const char *Columns = "\"RowId\", \"Pass\", \"Mode\", \"Weight\", \"Unit\", \"At\", \"IndicatorDate\", "
                      "\"IndicatorTime\", \"Operator\", \"Station\", \"Trace\", \"TareFrom\", \"TareDay\", \"TareRow\", "
                      "\"Overload\"";
}

FieldValues PassRecord::facts() const
{
    FieldValues out{{QStringLiteral("pass"), QString::number(pass)},
            {QStringLiteral("mode"), mode},
            {QStringLiteral("weight"), weight},
            {QStringLiteral("unit"), unit},
            {QStringLiteral("indicator-date"), indicatorDate},
            {QStringLiteral("indicator-time"), indicatorTime},
            {QStringLiteral("station"), station},
            {QStringLiteral("trace-sha256"), PassLog::traceDigest(encodedTrace)}};
    out += laterFacts();
    return out;
}

FieldValues PassRecord::laterFacts() const
{
    // Only when there is something to say, so that the links of the passes
    // before them read as they always did.
    FieldValues out;
    if (!tareFrom.isEmpty())
        out += FieldValues{{QStringLiteral("tare-from"), tareFrom},
                           {QStringLiteral("tare-day"), tareDay},
                           {QStringLiteral("tare-row"), QString::number(tareRow)}};
    if (!overload.isEmpty())
        out += FieldValues{{QStringLiteral("overload"), overload}};
    return out;
}

ChainEntry PassRecord::chainEntry(const FieldValues &journalValues) const
{
    ChainEntry e;
    e.action = QStringLiteral("pass");
    e.table = Tables::Journal;
    e.rowId = rowId;
    e.at = at;
    e.operatorName = operatorName;
    e.values = journalValues;
    e.facts = facts();
    return e;
}

namespace PassLog {

QString traceDigest(const QString &encodedTrace)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(encodedTrace.toUtf8(), QCryptographicHash::Sha256).toHex());
}

bool ensureTable(TableStore &store)
{
    if (store.tableExists(Tables::Passes))
        return false;
    QSqlQuery q(store.connection());
    store.releaseReaders();
    const QString text = SqlDialect::textType(store);
    const QString passes = TableStore::sqlName(Tables::Passes);
    TableStore::check(q.exec(QStringLiteral("CREATE TABLE %1 (%2, \"RowId\" BIGINT NOT NULL, \"Pass\" INTEGER NOT NULL, "
                                            "\"Mode\" %3 NOT NULL, \"Weight\" %3 NOT NULL, \"Unit\" %3 NOT NULL, "
                                            "\"At\" %3 NOT NULL, \"IndicatorDate\" %3 NOT NULL, "
                                            "\"IndicatorTime\" %3 NOT NULL, \"Operator\" %3 NOT NULL, "
                                            "\"Station\" %3 NOT NULL, \"Trace\" %3 NOT NULL, "
                                            "\"TareFrom\" %3 NOT NULL DEFAULT '', \"TareDay\" %3 NOT NULL DEFAULT '', "
                                            "\"TareRow\" BIGINT NOT NULL DEFAULT 0, \"Overload\" %3 NOT NULL DEFAULT '')")
                                 .arg(passes, SqlDialect::idColumn(store), text)),
                      q);
    TableStore::check(q.exec(QStringLiteral("CREATE INDEX %1_row ON %1 (\"RowId\")").arg(passes)), q);
    store.bumpGeneration();
    return true;
}

const QStringList &laterColumns()
{
    static const QStringList columns = {"TareFrom", "TareDay", "TareRow", "Overload"};
    return columns;
}

QStringList ensureColumns(TableStore &store)
{
    QStringList added;
    if (!store.tableExists(Tables::Passes))
        return added;
    const QSqlRecord have = store.connection().record(TableStore::sqlName(Tables::Passes));
    QSqlQuery q(store.connection());
    store.releaseReaders();
    for (const QString &name : laterColumns()) {
        if (have.contains(name))
            continue;
        const QString type = name == QLatin1String("TareRow") ? QStringLiteral("BIGINT NOT NULL DEFAULT 0")
                                                              : SqlDialect::textType(store) + QStringLiteral(" NOT NULL DEFAULT ''");
        TableStore::check(q.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN \"%2\" %3")
                                     .arg(TableStore::sqlName(Tables::Passes), name, type)),
                          q);
        added << name;
    }
    if (!added.isEmpty())
        store.bumpGeneration();
    return added;
}

bool available(TableStore &store)
{
    if (!store.tableExists(Tables::Passes) || !store.tableExists(Tables::Chain))
        return false;
    const QSqlRecord have = store.connection().record(TableStore::sqlName(Tables::Passes));
    for (const QString &name : laterColumns())
        if (!have.contains(name))
            return false;
    return true;
}

void write(TableStore &store, PassRecord &record, const FieldValues &journalValues)
{
    record.encodedTrace = PassTrace::encode(record.trace);
    QSqlQuery q(store.connection());
    TableStore::check(q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)%3")
                                    .arg(TableStore::sqlName(Tables::Passes), QLatin1String(Columns),
                                         SqlDialect::insertReturning(store))),
                      q);
    // Texts go in as '' rather than NULL.
    const auto text = [](const QString &s) { return s.isNull() ? QString(QLatin1String("")) : s; };
    q.addBindValue(record.rowId);
    q.addBindValue(record.pass);
    for (const QString *s : {&record.mode, &record.weight, &record.unit, &record.at, &record.indicatorDate,
                             &record.indicatorTime, &record.operatorName, &record.station, &record.encodedTrace})
        q.addBindValue(text(*s));
    q.addBindValue(text(record.tareFrom));
    q.addBindValue(text(record.tareDay));
    q.addBindValue(record.tareRow);
    q.addBindValue(text(record.overload));
    TableStore::check(q.exec(), q);
    record.id = SqlDialect::insertedId(store, q);
    HashChain::extend(store, record.chainEntry(journalValues), Tables::Passes, record.id, record.id);
}

QVector<PassRecord> forRow(TableStore &store, qint64 rowId)
{
    QSqlQuery q(store.connection());
    q.setForwardOnly(true);
    TableStore::check(q.prepare(QStringLiteral("SELECT id, %1 FROM %2 WHERE \"RowId\" = ? ORDER BY id")
                                    .arg(QLatin1String(Columns), TableStore::sqlName(Tables::Passes))),
                      q);
    q.addBindValue(rowId);
    TableStore::check(q.exec(), q);
    QVector<PassRecord> out;
    while (q.next()) {
        PassRecord r;
        r.id = q.value(0).toLongLong();
        r.rowId = q.value(1).toLongLong();
        r.pass = q.value(2).toInt();
        r.mode = q.value(3).toString();
        r.weight = q.value(4).toString();
        r.unit = q.value(5).toString();
        r.at = q.value(6).toString();
        r.indicatorDate = q.value(7).toString();
        r.indicatorTime = q.value(8).toString();
        r.operatorName = q.value(9).toString();
        r.station = q.value(10).toString();
        r.encodedTrace = q.value(11).toString();
        r.trace = PassTrace::decode(r.encodedTrace);
        r.tareFrom = q.value(12).toString();
        r.tareDay = q.value(13).toString();
        r.tareRow = q.value(14).toLongLong();
        r.overload = q.value(15).toString();
        out.append(r);
    }
    return out;
}

}
