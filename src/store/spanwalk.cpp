#include "store/spanwalk.h"

#include <QVarLengthArray>

#include "store/rawquery.h"
#include "store/tablestore.h"

SpanWalk::SpanWalk(TableStore &store, const QString &table, const QStringList &fields, qint64 fromId, qint64 toId)
    : m_store(store), m_table(TableStore::sqlName(table)), m_fields(fields), m_from(fromId), m_to(toId),
      m_onServer(store.engine() == TableStore::Engine::Server)
{
    if (!m_onServer)
        m_reader = std::make_unique<ReadConnection>(store);
}

SpanWalk::~SpanWalk() = default;

bool SpanWalk::mayRunElsewhere() const { return m_onServer || (m_reader && m_reader->handle()); }

QString SpanWalk::sql() const
{
    QStringList columns;
    for (const QString &f : m_fields)
        columns << QStringLiteral("\"%1\"").arg(f);
    return QStringLiteral("SELECT %1 FROM \"%2\" WHERE id >= ? AND id <= ? ORDER BY id")
        .arg(columns.join(QStringLiteral(", ")), m_table);
}

void SpanWalk::walk(RawQuery &q, const RowVisit &visit, const std::atomic<bool> *stop) const
{
    QVarLengthArray<QByteArrayView, 32> row(m_fields.size());
    while ((!stop || !stop->load(std::memory_order_relaxed)) && q.next()) {
        for (int i = 0; i < m_fields.size(); ++i)
            row[i] = q.bytes(i);
        visit(row.constData());
    }
}

void SpanWalk::runHere(const RowVisit &visit)
{
    RawQuery q(m_store, sql(), {m_from, m_to}, RawQuery::Mode::Streaming);
    walk(q, visit, nullptr);
}

bool SpanWalk::run(const RowVisit &visit, const std::atomic<bool> &stop)
{
    if (!m_onServer) {
        if (!m_reader || !m_reader->handle())
            return false;
        RawQuery q(m_reader->handle(), sql(), {m_from, m_to});
        walk(q, visit, &stop);
        return true;
    }
    TableStore::WalkConnection connection(m_store);
    if (!connection.isOpen())
        return false;
    {
        RawQuery q(connection.database(), sql(), {m_from, m_to}, RawQuery::Mode::Streaming);
        walk(q, visit, &stop);
    }   // the statement goes before its connection
    return true;
}
