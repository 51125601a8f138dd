#include "store/tablecopy.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QStringList>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <memory>

#include "common/failure.h"
#include "store/audittrail.h"
#include "store/hashchain.h"
#include "store/passlog.h"
#include "store/truckregister.h"
#include "store/rawquery.h"
#include "store/schema.h"
#include "store/sqldialect.h"
#include "store/tablestore.h"

namespace TableCopy {

namespace {

struct SourceFile
{
    sqlite3 *db = nullptr;
    ~SourceFile() { sqlite3_close(db); }
};

struct Statement
{
    sqlite3_stmt *stmt = nullptr;
    ~Statement() { sqlite3_finalize(stmt); }
};

[[noreturn]] void sourceFailed(sqlite3 *db, const QString &file)
{
    throw StoreError(QStringLiteral("%1: %2").arg(file, QString::fromUtf8(sqlite3_errmsg(db))));
}

QStringList sourceColumns(sqlite3 *db, const QString &file, const QString &sqlTable)
{
    Statement s;
    const QByteArray sql = QStringLiteral("SELECT name FROM pragma_table_info('%1')").arg(sqlTable).toUtf8();
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &s.stmt, nullptr) != SQLITE_OK)
        sourceFailed(db, file);
    QStringList columns;
    int rc;
    while ((rc = sqlite3_step(s.stmt)) == SQLITE_ROW)
        columns << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s.stmt, 0)));
    if (rc != SQLITE_DONE)
        sourceFailed(db, file);
    return columns;
}

QStringList serverColumns(TableStore &store, const QString &sqlTable)
{
    RawQuery q(store, SqlDialect::columnsSql(store), {sqlTable});
    QStringList columns;
    while (q.next())
        columns << q.text(0);
    return columns;
}

PGconn *serverConnection(TableStore &store)
{
    const QVariant h = store.connection().driver()->handle();
    if (!h.isValid() || (qstrcmp(h.typeName(), "pg_conn*") != 0 && qstrcmp(h.typeName(), "PGconn*") != 0))
        throw StoreError(QStringLiteral("Копирование возможно только на сервер PostgreSQL"));
    return *static_cast<PGconn *const *>(h.constData());
}

[[noreturn]] void serverFailed(PGconn *conn, const QString &table)
{
    throw StoreError(QStringLiteral("Таблица %1 не скопирована: %2")
                         .arg(table, QString::fromUtf8(PQerrorMessage(conn)).trimmed()));
}

// A value in COPY's text form: backslash, tab and line ends escaped.
void appendValue(QByteArray &line, const char *text, int size)
{
    if (!text) {
        line += "\\N";
        return;
    }
    for (int i = 0; i < size; ++i) {
        const char c = text[i];
        switch (c) {
        case '\\': line += "\\\\"; break;
        case '\t': line += "\\t"; break;
        case '\n': line += "\\n"; break;
        case '\r': line += "\\r"; break;
        default: line += c;
        }
    }
}

qint64 copyTable(TableStore &store, sqlite3 *source, const QString &file, const QString &table)
{
    const QString sqlTable = TableStore::sqlName(table);
    const QStringList columns = serverColumns(store, sqlTable);
    if (columns.isEmpty())
        throw StoreError(QStringLiteral("На сервере нет таблицы %1; ничего не скопировано").arg(table));
    const QStringList available = sourceColumns(source, file, sqlTable);
    QStringList quoted;
    for (const QString &c : columns) {
        // A file made before the pass records' later columns copies without them: they take their defaults.
        if (!available.contains(c, Qt::CaseInsensitive) && table == Tables::Passes && PassLog::laterColumns().contains(c))
            continue;
        if (!available.contains(c, Qt::CaseInsensitive))
            throw StoreError(QStringLiteral("В таблице %1 файла %2 нет поля %3; ничего не скопировано")
                                 .arg(table, file, c));
        quoted << QStringLiteral("\"%1\"").arg(c);
    }
    {
        RawQuery q(store, QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(sqlTable), {});
        if (q.next())
            throw StoreError(QStringLiteral("Таблица %1 на сервере уже содержит записи; ничего не скопировано")
                                 .arg(table));
    }

    Statement rows;
    const QByteArray select =
        QStringLiteral("SELECT %1 FROM %2 ORDER BY id").arg(quoted.join(QStringLiteral(", ")), sqlTable).toUtf8();
    if (sqlite3_prepare_v2(source, select.constData(), -1, &rows.stmt, nullptr) != SQLITE_OK)
        sourceFailed(source, file);

    PGconn *conn = serverConnection(store);
    const QByteArray copy =
        QStringLiteral("COPY %1 (%2) FROM STDIN").arg(sqlTable, quoted.join(QStringLiteral(", "))).toUtf8();
    PGresult *started = PQexec(conn, copy.constData());
    const bool copying = PQresultStatus(started) == PGRES_COPY_IN;
    PQclear(started);
    if (!copying)
        serverFailed(conn, table);

    const int count = int(columns.size());
    qint64 copied = 0;
    QByteArray chunk;
    chunk.reserve(1 << 20);
    bool sent = true;
    int rc;
    while (sent && (rc = sqlite3_step(rows.stmt)) == SQLITE_ROW) {
        for (int i = 0; i < count; ++i) {
            if (i > 0)
                chunk += '\t';
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(rows.stmt, i));
            appendValue(chunk, text, text ? sqlite3_column_bytes(rows.stmt, i) : 0);
        }
        chunk += '\n';
        ++copied;
        if (chunk.size() >= (1 << 20)) {
            sent = PQputCopyData(conn, chunk.constData(), int(chunk.size())) == 1;
            chunk.clear();
        }
    }
    if (sent && !chunk.isEmpty())
        sent = PQputCopyData(conn, chunk.constData(), int(chunk.size())) == 1;
    // A source that fails part-way ends the copy with an error, so that the
    // server keeps none of it.
    const bool sourceOk = sent && rc == SQLITE_DONE;
    const QByteArray sourceError = sourceOk ? QByteArray() : QByteArray(sqlite3_errmsg(source));
    PQputCopyEnd(conn, sourceOk ? nullptr : "source failed");
    bool done = true;
    while (PGresult *r = PQgetResult(conn)) {
        done = done && PQresultStatus(r) == PGRES_COMMAND_OK;
        PQclear(r);
    }
    if (!sourceOk && sent)
        throw StoreError(QStringLiteral("%1: %2").arg(file, QString::fromUtf8(sourceError)));
    if (!done || !sent)
        serverFailed(conn, table);

    QSqlQuery q(store.connection());
    TableStore::check(q.exec(SqlDialect::moveIdsPastSql(sqlTable)), q);
    return copied;
}

bool sourceHasTable(sqlite3 *db, const QString &table)
{
    Statement s;
    if (sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?", -1, &s.stmt,
                           nullptr)
        != SQLITE_OK)
        return false;
    const QByteArray name = TableStore::sqlName(table).toUtf8();
    sqlite3_bind_text(s.stmt, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
    return sqlite3_step(s.stmt) == SQLITE_ROW;
}

} // namespace

QVector<Copied> fromSqlite(TableStore &store, const QString &sqliteFile)
{
    if (store.engine() != TableStore::Engine::Server)
        throw StoreError(QStringLiteral("Копирование возможно только на сервер PostgreSQL"));
    if (!QFileInfo(sqliteFile).isFile())
        throw StoreError(QStringLiteral("База данных WE не найдена: %1").arg(sqliteFile));
    SourceFile source;
    if (sqlite3_open_v2(QFile::encodeName(sqliteFile).constData(), &source.db, SQLITE_OPEN_READONLY, nullptr)
        != SQLITE_OK)
        sourceFailed(source.db, sqliteFile);
    sqlite3_busy_timeout(source.db, 5000);
    // One read transaction over the whole file: a program still weighing
    // into it cannot make the copy of one table older than another's.
    if (sqlite3_exec(source.db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
        sourceFailed(source.db, sqliteFile);

    QStringList tables{Tables::Journal, Tables::Operators, Tables::Administrators};
    for (const QString &t : tables)
        if (!sourceHasTable(source.db, t))
            throw StoreError(QStringLiteral("В файле %1 нет таблицы %2; ничего не скопировано").arg(sqliteFile, t));
    for (const QString &t : {Tables::Audit, Tables::Passes, Tables::Chain, Tables::Trucks})
        if (sourceHasTable(source.db, t))
            tables << t;
    const bool chained = tables.contains(Tables::Chain);

    if (!store.tableExists(Tables::Journal) && !store.tableExists(Tables::Operators)
        && !store.tableExists(Tables::Administrators))
        Schema::createTables(store);
    else
        Schema::ensureLogTables(store);

    QVector<Copied> copied;
    TableStore::Transaction transaction(store);
    // The server's chain starts afresh: the file's own chain replaces it,
    // or, for a file without one, it starts after the rows copied.
    QSqlQuery clear(store.connection());
    TableStore::check(clear.exec(QStringLiteral("DELETE FROM %1").arg(TableStore::sqlName(Tables::Chain))), clear);
    for (const QString &t : tables)
        copied.append({t, copyTable(store, source.db, sqliteFile, t)});
    if (!chained)
        HashChain::restart(store);
    transaction.commit();
    store.bumpGeneration();
    return copied;
}

}
