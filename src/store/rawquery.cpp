#include "store/rawquery.h"

#include <QSqlDriver>
#include <QVarLengthArray>
#include <cstring>
#include <sqlite3.h>

#include "common/failure.h"
#include "store/tablestore.h"

namespace {
sqlite3 *engineHandle()
{
    const QVariant h = TableStore::connection().driver()->handle();
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
}

ReadConnection::ReadConnection()
{
    sqlite3 *store = engineHandle();
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
    // As the store's connection: no memory map (see TableStore::open); a
    // walk reads each page once, so a small cache does.
    sqlite3_exec(m_db, "PRAGMA mmap_size=0; PRAGMA cache_size=-4096", nullptr, nullptr, nullptr);
}

ReadConnection::~ReadConnection()
{
    sqlite3_close(m_db);
}

RawQuery::RawQuery(const QString &sql, const QVector<QVariant> &binds) : RawQuery(engineHandle(), sql, binds) {}

RawQuery::RawQuery(sqlite3 *db, const QString &sql, const QVector<QVariant> &binds)
{
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

bool RawQuery::next()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    fail(static_cast<sqlite3 *>(m_db));
}

qint64 RawQuery::integer(int column) const { return sqlite3_column_int64(m_stmt, column); }

bool RawQuery::isNull(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }

QString RawQuery::text(int column) const
{
    if (sqlite3_column_type(m_stmt, column) == SQLITE_NULL)
        return QString();
    const auto *utf8 = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    const int bytes = sqlite3_column_bytes(m_stmt, column);
    return bytes == 0 ? QString(QLatin1String("")) : QString::fromUtf8(utf8, bytes);
}

QByteArrayView RawQuery::bytes(int column) const
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    return text ? QByteArrayView(text, sqlite3_column_bytes(m_stmt, column)) : QByteArrayView();
}

PackedRow RawQuery::packed(int first, int count) const
{
    PackedRow r;
    r.bounds.resize(count * 2);
    // Two passes: sizes first, then one buffer filled with plain copies.
    QVarLengthArray<const char *, 32> texts(count);
    int total = 0;
    for (int i = 0; i < count; ++i) {
        const int c = first + i;
        r.bounds[2 * i] = total;
        // The engine gives a null pointer for NULL (our tables hold no blobs).
        texts[i] = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, c));
        if (!texts[i]) {
            r.bounds[2 * i + 1] = -1;
            continue;
        }
        const int bytes = sqlite3_column_bytes(m_stmt, c);
        r.bounds[2 * i + 1] = bytes;
        total += bytes;
    }
    r.utf8 = QByteArray(total, Qt::Uninitialized);
    char *out = r.utf8.data();
    for (int i = 0; i < count; ++i)
        if (r.bounds[2 * i + 1] > 0)
            std::memcpy(out + r.bounds[2 * i], texts[i], size_t(r.bounds[2 * i + 1]));
    return r;
}
