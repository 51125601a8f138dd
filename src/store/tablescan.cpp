#include "store/tablescan.h"

#include <QVarLengthArray>

#include <atomic>
#include <exception>
#include <future>
#include <memory>
#include <thread>

#include "common/failure.h"
#include "store/rawquery.h"
#include "store/rowfilter.h"
#include "store/sqldialect.h"
#include "store/tablestore.h"

namespace TableScan {

namespace {

// Reads every row of q, handing count views at a time to visit, until stop is set.
void visitRows(RawQuery &q, int count, const RowVisit &visit, const std::atomic<bool> *stop = nullptr)
{
    QVarLengthArray<QByteArrayView, 32> row(count);
    while ((!stop || !stop->load(std::memory_order_relaxed)) && q.next()) {
        for (int i = 0; i < count; ++i)
            row[i] = q.bytes(i);
        visit(row.constData());
    }
}

}

void walk(const RowSource &source, qint64 fromId, const QVector<int> &fields, const RowVisit &visit)
{
    QVector<QVariant> binds{fromId};
    RawQuery q(source.store(), source.select(source.columns(fields), {QStringLiteral("id >= ?")}, binds, QStringLiteral("ORDER BY id")),
               binds, RawQuery::Mode::Streaming);
    visitRows(q, int(fields.size()), visit);
}

void walkSplit(const RowSource &source, qint64 fromId, const QVector<int> &first, const RowVisit &visitFirst,
               const QVector<int> &second, const RowVisit &visitSecond)
{
    const QString firstColumns = source.columns(first);
    const QString secondColumns = source.columns(second);
    const auto walkHere = [&] {
        walk(source, fromId, first + second, [&](const QByteArrayView *row) {
            visitFirst(row);
            visitSecond(row + first.size());
        });
    };
    // On SQLite the second part reads the file through a connection of its
    // own; a server gets a second connection, made on the worker thread.
    TableStore &store = source.store();
    const bool onServer = store.engine() == TableStore::Engine::Server;
    ReadConnection other(store);
    if (!onServer && !other.handle())
        return walkHere();

    // Both parts end at the row that is last now, so that a row added
    // meanwhile cannot reach one part and not the other.
    qint64 lastId = 0;
    {
        RawQuery q(source.store(), QStringLiteral("SELECT max(id) FROM %1").arg(source.sqlTable()), {});
        if (q.next())
            lastId = q.integer(0);
    }
    const auto sqlFor = [&](const QString &columns, QVector<QVariant> &binds) {
        binds = {fromId, lastId};
        return source.select(columns, {QStringLiteral("id >= ?"), QStringLiteral("id <= ?")}, binds,
                             QStringLiteral("ORDER BY id"));
    };
    QVector<QVariant> secondBinds;
    const QString secondSql = sqlFor(secondColumns, secondBinds);
    std::unique_ptr<RawQuery> secondQuery;
    if (!onServer) {
        try {
            secondQuery = std::make_unique<RawQuery>(other.handle(), secondSql, secondBinds);
        } catch (const StoreError &) {
            return walkHere();   // the file refuses a second reader: read it here alone
        }
    }

    std::atomic<bool> stop{false};
    std::exception_ptr secondFailure;
    std::promise<bool> started;   // false: no second connection, the walk goes here alone
    std::future<bool> startedHere = started.get_future();
    std::thread worker([&] {
        std::unique_ptr<TableStore::WalkConnection> connection;
        bool told = false;
        try {
            if (onServer) {
                connection = std::make_unique<TableStore::WalkConnection>(store);
                if (!connection->isOpen()) {
                    started.set_value(false);
                    return;
                }
                secondQuery = std::make_unique<RawQuery>(connection->database(), secondSql, secondBinds,
                                                         RawQuery::Mode::Streaming);
            }
            started.set_value(true);
            told = true;
            visitRows(*secondQuery, int(second.size()), visitSecond, &stop);
        } catch (...) {
            secondFailure = std::current_exception();
            if (!told)
                started.set_value(true);
        }
        secondQuery.reset();   // the statement goes with its connection's thread
        connection.reset();
    });
    if (!startedHere.get()) {
        worker.join();
        return walkHere();
    }
    try {
        QVector<QVariant> binds;
        RawQuery q(source.store(), sqlFor(firstColumns, binds), binds, RawQuery::Mode::Streaming);
        visitRows(q, int(first.size()), visitFirst);
    } catch (...) {
        stop = true;
        worker.join();
        throw;
    }
    worker.join();
    if (secondFailure)
        std::rethrow_exception(secondFailure);
}

std::optional<QStringList> distinctByLatest(const RowSource &source, int field, int limit)
{
    const std::optional<Statement> seek = latestSeek(source, field, limit);
    if (!seek)
        return std::nullopt;
    RawQuery q(source.store(), seek->sql, seek->binds);
    return latestTexts(q, limit);
}

std::optional<Statement> latestSeek(const RowSource &source, int field, int limit, qint64 lastId)
{
    source.def().requireIndex(field);
    const QString &name = source.def().fieldName(field);
    QString index;
    {
        // Without an index that starts with the field every seek would be a walk.
        RawQuery q(source.store(), SqlDialect::indexOnFieldSql(source.store()), {source.sqlTable(), name});
        if (!q.next())
            return std::nullopt;
        index = q.text(0);
    }
    // d walks the index from each text to the next greater one, counting
    // them; for each, the last visible entry of that text in the index holds
    // its latest row. The index is named where the engine takes a hint: with
    // a filter the planner might otherwise walk the filter's index once for
    // every text.
    QVector<QVariant> binds{limit + 2};
    QStringList conditions;
    if (lastId > 0) {
        conditions << QStringLiteral("id <= ?");
        binds << lastId;
    }
    const QString filters = source.where(binds);
    if (!filters.isEmpty())
        conditions << QStringLiteral("(%1)").arg(filters);
    const QString col = QStringLiteral("\"%1\"").arg(name);
    return Statement{QStringLiteral("WITH RECURSIVE d(v, n) AS (SELECT min(%1), 1 FROM %2 UNION ALL "
                                    "SELECT (SELECT min(%1) FROM %2 WHERE %1 > d.v), d.n + 1 FROM d "
                                    "WHERE d.v IS NOT NULL AND d.n < ?) "
                                    "SELECT v, (SELECT id FROM %2%3 WHERE %1 = d.v%4 "
                                    "ORDER BY id DESC LIMIT 1) AS latest FROM d WHERE v IS NOT NULL ORDER BY latest")
                         .arg(col, source.sqlTable(), SqlDialect::indexHint(source.store(), index),
                              conditions.isEmpty() ? QString()
                                                   : QStringLiteral(" AND ") + conditions.join(QStringLiteral(" AND "))),
                     binds};
}

std::optional<QStringList> latestTexts(RawQuery &q, int limit)
{
    // Every distinct text comes back, the hidden ones without a row (first):
    // more than limit of them means the walk of d was cut short.
    QStringList texts;
    int seen = 0;
    while (q.next()) {
        if (++seen > limit)
            return std::nullopt;
        if (!q.isNull(1))
            texts << QString::fromUtf8(q.bytes(0));
    }
    return texts;
}

qint64 hiddenCount(const RowSource &source)
{
    QVector<QVariant> binds;
    const QString filters = source.where(binds);
    if (filters.isEmpty())
        return 0;
    RawQuery q(source.store(), QStringLiteral("SELECT (SELECT COUNT(*) FROM %1) - (SELECT COUNT(*) FROM %1 WHERE %2)")
                   .arg(source.sqlTable(), filters),
               binds);
    return q.next() ? q.integer(0) : 0;
}

}

ApartRead::ApartRead(TableStore &store) : m_store(store)
{
    m_server = store.engine() == TableStore::Engine::Server;
    if (!m_server)
        m_file = std::make_unique<ReadConnection>(store);
}

ApartRead::~ApartRead() = default;

bool ApartRead::runsApart() const { return m_server || (m_file && m_file->handle()); }

void ApartRead::run(const QString &sql, const QVector<QVariant> &binds, const std::function<void(RawQuery &)> &read)
{
    runEach({TableScan::Statement{sql, binds}}, [&read](int, RawQuery &q) { read(q); });
}

void ApartRead::runEach(const QVector<TableScan::Statement> &statements,
                        const std::function<void(int, RawQuery &)> &read, const std::atomic<bool> *stop)
{
    const auto stopped = [stop] { return stop && stop->load(std::memory_order_relaxed); };
    if (m_server) {
        TableStore::WalkConnection connection(m_store);
        if (!connection.isOpen())
            throw StoreError(QStringLiteral("Нет второго соединения с %1").arg(m_store.describe()));
        for (int i = 0; i < statements.size() && !stopped(); ++i) {
            RawQuery q(connection.database(), statements[i].sql, statements[i].binds, RawQuery::Mode::Streaming);
            read(i, q);
        }
        return;
    }
    for (int i = 0; i < statements.size() && !stopped(); ++i) {
        if (m_file && m_file->handle()) {
            RawQuery q(m_file->handle(), statements[i].sql, statements[i].binds);
            read(i, q);
        } else {
            RawQuery q(m_store, statements[i].sql, statements[i].binds, RawQuery::Mode::Streaming);
            read(i, q);
        }
    }
}
