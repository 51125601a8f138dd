#pragma once
// A walk of a few fields over a fixed span of a table's stored rows, in id
// order and whatever filter a cursor has, for the long reads of the whole
// journal that go on while the window thread keeps using the store: on
// SQLite through a second reader of the file, on a server through a
// connection the worker makes itself.

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

class ReadConnection;
class TableStore;

class SpanWalk
{
public:
    using RowVisit = std::function<void(const QByteArrayView *)>;

    // On the window thread: rows fromId <= id <= toId of the table (its
    // name as the program spells it), reading the named fields.
    SpanWalk(TableStore &store, const QString &table, const QStringList &fields, qint64 fromId, qint64 toId);
    ~SpanWalk();
    SpanWalk(const SpanWalk &) = delete;
    SpanWalk &operator=(const SpanWalk &) = delete;

    // Whether run() may be worth a try on another thread; where no second
    // connection can see what the store's sees (a journal in memory, a
    // transaction under way), only runHere() walks.
    bool mayRunElsewhere() const;

    // On the window thread, on the store's own connection. Throws StoreError.
    void runHere(const RowVisit &visit);
    // On one worker thread, on a connection of its own; stops early once
    // stop is set. False when no connection could be had (nothing visited).
    // Throws StoreError.
    bool run(const RowVisit &visit, const std::atomic<bool> &stop);

private:
    QString sql() const;
    void walk(class RawQuery &q, const RowVisit &visit, const std::atomic<bool> *stop) const;

    TableStore &m_store;
    QString m_table;
    QStringList m_fields;
    qint64 m_from;
    qint64 m_to;
    bool m_onServer;
    std::unique_ptr<ReadConnection> m_reader;
};
