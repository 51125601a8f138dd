#include "store/audittrail.h"

#include <QDateTime>
#include <QSqlQuery>

#include "common/failure.h"
#include "common/session.h"
#include "store/hashchain.h"
#include "store/schema.h"
#include "store/sqldialect.h"
#include "store/tablestore.h"

namespace AuditTrail {

namespace {
const char *actionName(Action a)
{
    switch (a) {
    case Action::Edit: return "edit";
    case Action::Insert: return "insert";
    case Action::Delete: return "delete";
    }
    return "";
}

// Every field of the trail in its order, quoted.
QString columnList()
{
    QStringList cols;
    for (const QString &f : Schema::audit().names())
        cols << QStringLiteral("\"%1\"").arg(f);
    return cols.join(QStringLiteral(", "));
}
}

bool ensureTable(TableStore &store)
{
    if (store.tableExists(Tables::Audit))
        return false;
    QSqlQuery q(store.connection());
    store.releaseReaders();
    TableStore::check(q.exec(QStringLiteral("CREATE TABLE %1 (%2)")
                                 .arg(TableStore::sqlName(Tables::Audit), Schema::columnsSql(store, Schema::audit()))),
                      q);
    TableStore::check(q.exec(QStringLiteral("CREATE INDEX %1_at ON %1 (\"%2\")")
                                 .arg(TableStore::sqlName(Tables::Audit), AuditRecord::fieldName(AuditRecord::At))),
                      q);
    store.bumpGeneration();
    return true;
}

void write(TableStore &store, Action action, const QString &table, qint64 rowId, const QStringList &fields,
           const QVector<QString> &oldTexts, const QVector<QString> &newTexts)
{
    QSqlQuery q(store.connection());
    TableStore::check(q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (?, ?, ?, ?, ?, ?, ?, ?)%3")
                                    .arg(TableStore::sqlName(Tables::Audit), columnList(),
                                         SqlDialect::insertReturning(store))),
                      q);
    const QString at = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const QVariant none(QMetaType::fromType<QString>());
    // The change's link of the hash chain vouches for the rows written here.
    QVector<ChainEntry::TrailField> linked;
    qint64 first = 0, last = 0;
    for (int i = 0; i < fields.size(); ++i) {
        const QString before = action == Action::Insert ? QString() : oldTexts.value(i);
        const QString after = action == Action::Delete ? QString() : newTexts.value(i);
        if (action == Action::Edit && before == after)
            continue;
        q.addBindValue(at);
        q.addBindValue(Session::OperatorName);
        q.addBindValue(QString::fromLatin1(actionName(action)));
        q.addBindValue(table);
        q.addBindValue(rowId);
        q.addBindValue(fields[i]);
        q.addBindValue(action == Action::Insert ? none : QVariant(before));
        q.addBindValue(action == Action::Delete ? none : QVariant(after));
        TableStore::check(q.exec(), q);
        last = SqlDialect::insertedId(store, q);
        if (first == 0)
            first = last;
        linked.append({fields[i], action == Action::Insert ? QString() : before,
                       action == Action::Delete ? QString() : after});
    }
    if (linked.isEmpty())
        return;
    HashChain::extend(store, ChainEntry::ofTrail(QString::fromLatin1(actionName(action)), table, rowId, at,
                                          Session::OperatorName, linked),
                      Tables::Audit, first, last);
}

QVector<AuditEntry> read(TableStore &store, const QDate &since)
{
    QSqlQuery q(store.connection());
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(columnList(), TableStore::sqlName(Tables::Audit));
    if (since.isValid())
        sql += QStringLiteral(" WHERE \"%1\" >= ?").arg(AuditRecord::fieldName(AuditRecord::At));
    sql += QStringLiteral(" ORDER BY id");
    TableStore::check(q.prepare(sql), q);
    if (since.isValid())
        q.addBindValue(since.toString(Qt::ISODate));
    TableStore::check(q.exec(), q);
    QVector<AuditEntry> out;
    while (q.next())
        out.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                    q.value(4).toLongLong(), q.value(5).toString(), q.value(6).toString(), q.value(7).toString()});
    return out;
}

}
