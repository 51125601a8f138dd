#include "store/rawquery.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlResult>
#include <QVarLengthArray>
#include <cstdlib>
#include <cstring>
#include <libpq-fe.h>
#include <sqlite3.h>

#include "common/failure.h"
#include "store/tablestore.h"

namespace {
sqlite3 *engineHandle(TableStore &store)
{
    const QVariant h = store.connection().driver()->handle();
    sqlite3 *db = nullptr;
    if (h.isValid() && qstrcmp(h.typeName(), "sqlite3*") == 0)
        db = *static_cast<sqlite3 *const *>(h.data());
    if (!db)
        throw StoreError(QStringLiteral("Нет соединения с базой данных"));
    return db;
}

[[noreturn]] void fail(sqlite3 *db)
{
    throw StoreError(QString::fromUtf8(sqlite3_errmsg(db)));
}

// The SQL with its placeholders replaced by the numbers bound to them, or
// empty when a bound value is not a number. A number cannot change what a
// statement does; texts (what a person typed) always go as bound values.
QString withNumbers(const QString &sql, const QVector<QVariant> &binds)
{
    for (const QVariant &b : binds)
        if (b.isNull() || (b.typeId() != QMetaType::Int && b.typeId() != QMetaType::LongLong))
            return {};
    QString out;
    out.reserve(sql.size() + binds.size() * 8);
    QChar quote;
    qsizetype next = 0;
    for (const QChar c : sql) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'\'' || c == u'"') {
            quote = c;
        } else if (c == u'?') {
            if (next >= binds.size())
                return {};
            out += QString::number(binds[next++].toLongLong());
            continue;
        }
        out += c;
    }
    return next == binds.size() ? out : QString();
}

// The libpq result that holds a forward-only query's current row (one row
// a result: the query reads the server's rows one at a time).
const PGresult *rowResult(const QSqlQuery &q)
{
    const QVariant h = q.result()->handle();
    if (!h.isValid() || (qstrcmp(h.typeName(), "pg_result*") != 0 && qstrcmp(h.typeName(), "PGresult*") != 0))
        return nullptr;
    return *static_cast<const PGresult *const *>(h.constData());
}
}

ReadConnection::ReadConnection(TableStore &of)
{
    if (of.engine() != TableStore::Engine::SQLite)
        return;
    sqlite3 *store = engineHandle(of);
    // Uncommitted changes of the store's own connection would not be seen.
    if (!sqlite3_get_autocommit(store))
        return;
    const char *file = sqlite3_db_filename(store, "main");
    if (!file || !*file)
        return;
    if (sqlite3_open_v2(file, &m_db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        sqlite3_close(m_db);
        m_db = nullptr;
        return;
    }
    sqlite3_busy_timeout(m_db, 5000);
    // As the store's connection: no memory map (see TableStore::openFile); a
    // walk reads each page once, so a small cache does.
    sqlite3_exec(m_db, "PRAGMA mmap_size=0; PRAGMA cache_size=-4096", nullptr, nullptr, nullptr);
}

ReadConnection::~ReadConnection()
{
    sqlite3_close(m_db);
}

RawQuery::RawQuery(TableStore &store, const QString &sql, const QVector<QVariant> &binds, Mode mode)
    : RawQuery(store.engine() == TableStore::Engine::Server ? nullptr : engineHandle(store), sql, binds)
{
    if (!m_db)
        openOnServer(store.connection(), sql, binds, mode);
}


RawQuery::RawQuery(const QSqlDatabase &db, const QString &sql, const QVector<QVariant> &binds, Mode mode)
{
    m_ownConnection = true;
    openOnServer(db, sql, binds, mode);
}

void RawQuery::check(bool ok) const
{
    if (ok)
        return;
    if (!m_ownConnection)
        TableStore::check(false, *m_query);
    // A worker's connection: the store's own connection, and what it knows
    // of the server, belong to the window thread.
    const QString message = m_query->lastError().databaseText().trimmed();
    throw StoreError(message.isEmpty() ? m_query->lastError().text() : message);
}

RawQuery::RawQuery(sqlite3 *db, const QString &sql, const QVector<QVariant> &binds)
{
    if (!db)
        return;   // a server query, opened by the caller
    m_db = db;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &m_stmt, nullptr) != SQLITE_OK)
        fail(db);
    for (int i = 0; i < binds.size(); ++i) {
        const QVariant &b = binds[i];
        int rc;
        if (b.isNull())
            rc = sqlite3_bind_null(m_stmt, i + 1);
        else if (b.typeId() == QMetaType::Int || b.typeId() == QMetaType::LongLong)
            rc = sqlite3_bind_int64(m_stmt, i + 1, b.toLongLong());
        else {
            const QString s = b.toString();
            rc = sqlite3_bind_text16(m_stmt, i + 1, s.utf16(), int(s.size() * sizeof(char16_t)), SQLITE_TRANSIENT);
        }
        if (rc != SQLITE_OK) {
            sqlite3_finalize(m_stmt);
            m_stmt = nullptr;
            fail(db);
        }
    }
}

RawQuery::~RawQuery()
{
    if (m_stmt)
        sqlite3_finalize(m_stmt);
}

void RawQuery::openOnServer(const QSqlDatabase &db, const QString &sql, const QVector<QVariant> &binds, Mode mode)
{
    m_query = std::make_unique<QSqlQuery>(db);
    m_query->setForwardOnly(true);
    // The driver binds values by preparing the statement and running it with
    // EXECUTE, which makes the server gather every row before it sends the
    // first: a walk of the journal would wait for all of it. A statement
    // bound only to numbers (ids, counts) runs as it is, its rows streaming.
    const QString plain = binds.isEmpty() ? sql : withNumbers(sql, binds);
    bool ok;
    if (!plain.isEmpty()) {
        ok = m_query->exec(plain);
    } else {
        ok = m_query->prepare(sql);
        if (ok) {
            for (const QVariant &b : binds)
                m_query->addBindValue(b);
            ok = m_query->exec();
        }
    }
    check(ok);
    if (mode == Mode::Streaming)
        return;
    while (nextOnServer()) {
        const auto *r = static_cast<const PGresult *>(m_row);
        m_rows.push_back(packed(0, PQnfields(r)));
    }
    m_row = nullptr;
    m_query.reset();
    m_buffered = true;
}

// The query's next row from the server; an error that ends the rows early
// (the connection lost mid-way, say) is thrown, never taken for the end.
bool RawQuery::nextOnServer()
{
    if (m_query->next()) {
        m_row = rowResult(*m_query);
        if (!m_row)
            throw StoreError(QStringLiteral("Нет строки результата сервера"));
        return true;
    }
    m_row = nullptr;
    check(m_query->lastError().type() == QSqlError::NoError);
    return false;
}

bool RawQuery::next()
{
    if (m_buffered)
        return ++m_at < qsizetype(m_rows.size());
    if (m_query)
        return nextOnServer();
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    fail(static_cast<sqlite3 *>(m_db));
}

RawQuery::Cell RawQuery::cell(int column) const
{
    if (m_stmt) {
        // The engine gives a null pointer for NULL (our tables hold no blobs).
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
        return {text, text ? sqlite3_column_bytes(m_stmt, column) : 0};
    }
    if (m_buffered) {
        const PackedRow &r = m_rows[size_t(m_at)];
        if (r.isNull(column))
            return {nullptr, 0};
        return {r.utf8.constData() + r.bounds[2 * column], r.bounds[2 * column + 1]};
    }
    const auto *r = static_cast<const PGresult *>(m_row);
    if (PQgetisnull(r, 0, column))
        return {nullptr, 0};
    return {PQgetvalue(r, 0, column), PQgetlength(r, 0, column)};
}

qint64 RawQuery::integer(int column) const
{
    if (m_stmt)
        return sqlite3_column_int64(m_stmt, column);
    const Cell c = cell(column);
    return c.data ? QByteArray(c.data, c.size).toLongLong() : 0;
}

bool RawQuery::isNull(int column) const { return cell(column).data == nullptr; }

QString RawQuery::text(int column) const
{
    const Cell c = cell(column);
    if (!c.data)
        return QString();
    return c.size == 0 ? QString(QLatin1String("")) : QString::fromUtf8(c.data, c.size);
}

QByteArrayView RawQuery::bytes(int column) const
{
    const Cell c = cell(column);
    return c.data ? QByteArrayView(c.data, c.size) : QByteArrayView();
}

PackedRow RawQuery::packed(int first, int count) const
{
    PackedRow r;
    r.bounds.resize(count * 2);
    // Two passes: sizes first, then one buffer filled with plain copies.
    QVarLengthArray<Cell, 32> cells(count);
    int total = 0;
    for (int i = 0; i < count; ++i) {
        cells[i] = cell(first + i);
        r.bounds[2 * i] = total;
        if (!cells[i].data) {
            r.bounds[2 * i + 1] = -1;
            continue;
        }
        r.bounds[2 * i + 1] = cells[i].size;
        total += cells[i].size;
    }
    r.utf8 = QByteArray(total, Qt::Uninitialized);
    char *out = r.utf8.data();
    for (int i = 0; i < count; ++i)
        if (r.bounds[2 * i + 1] > 0)
            std::memcpy(out + r.bounds[2 * i], cells[i].data, size_t(r.bounds[2 * i + 1]));
    return r;
}
