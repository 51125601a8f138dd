#pragma once
// A generated journal for the benchmarks: the same mix of recurring and
// unique values as a busy weighbridge.

#include <QDate>
#include <QFile>
#include <QVector>
#include <algorithm>
#include <QElapsedTimer>
#include <QProcess>
#include <QTextStream>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariantList>
#include <memory>

#include "store/schema.h"
#include "store/tablestore.h"

namespace bench {

inline double ms(const QElapsedTimer &t) { return double(t.nsecsElapsed()) / 1e6; }

inline double median(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

inline QString fixed(double v, int decimals = 1) { return QString::number(v, 'f', decimals); }

// A journal field quoted for the shell's SQL, and the journal's table: named
// through the schema, so that the shell reads what the program reads.
inline QString column(WeighingRecord::Field f) { return QLatin1Char('"') + WeighingRecord::fieldName(f) + QLatin1Char('"'); }
inline QString journalTable() { return TableStore::sqlName(Tables::Journal); }

// A line of /proc/self/status in megabytes (Linux): "VmRSS:" the resident
// memory now, "VmHWM:" its peak since the last reset; -1 when unreadable.
inline double statusMb(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const qsizetype keyLength = qsizetype(qstrlen(key));
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(keyLength).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

// The prepared journal reopened as the program opens it, not as the
// generator left it; the database file's path.
inline QString reopen(std::unique_ptr<TableStore> &store, const QString &folder)
{
    store.reset();
    store = TableStore::open(folder);
    return TableStore::databasePath(folder);
}

// The rounds a benchmark runs: its third argument, or fallback.
inline int rounds(int argc, char *argv[], int fallback = 3)
{
    return argc > 3 ? std::max(1, QString(argv[3]).toInt()) : fallback;
}

// The sqlite3 shell running sql on the file, its output written to target
// (thrown away when empty), options (such as "-csv") before the file; ms, or
// -1 when the shell failed (its message goes to out).
inline double shell(const QString &file, const QString &sql, QTextStream &out, const QString &target = {},
                    const QStringList &options = {})
{
    QProcess p;
    p.setStandardOutputFile(target.isEmpty() ? QProcess::nullDevice() : target);
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral("sqlite3"), QStringList(options) << file << sql);
    if (!p.waitForFinished(600000) || p.exitCode() != 0) {
        out << "sqlite3 shell failed: " << p.readAllStandardError() << "\n";
        return -1;
    }
    return ms(t);
}

// What the sqlite3 shell prints for sql on the file, blanks trimmed; empty
// when the shell failed (its message goes to out).
inline QString shellOutput(const QString &file, const QString &sql, QTextStream &out)
{
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {file, sql});
    if (!p.waitForFinished(600000) || p.exitCode() != 0) {
        out << "sqlite3 shell failed: " << p.readAllStandardError() << "\n";
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// The same mix of recurring and unique values as a busy weighbridge: a few
// thousand trucks and drivers, a unique waybill number on every row.
inline void generateJournal(TableStore &store, int rows)
{
    const QStringList customers = {"ООО Комбинат", "ЗАО Стройка", "ИП Петров", "Агрофирма Заря", "ОАО Карьер"};
    const QStringList goods = {"песок", "щебень", "глина", "зерно", "цемент", "уголь"};
    QSqlDatabase db = store.connection();
    QSqlQuery q(db);
    q.exec("PRAGMA synchronous=OFF");
    db.transaction();
    QStringList cols, marks;
    for (const QString &f : Schema::journalFields()) {
        cols << "\"" + f + "\"";
        marks << "?";
    }
    q.prepare(QStringLiteral("INSERT INTO bd_main_db (%1) VALUES (%2)").arg(cols.join(','), marks.join(',')));
    auto *rng = QRandomGenerator::global();
    for (int i = 0; i < rows; ++i) {
        const int truck = int(rng->bounded(5000));
        const QVariantList values = {
            QStringLiteral("А%1ВС").arg(truck, 3, 10, QChar('0')), QStringLiteral("КамАЗ"),
            QStringLiteral("Водитель %1").arg(truck % 700), QStringLiteral("Автобаза %1").arg(truck % 40),
            customers[i % customers.size()] + QString::number(i % 300), QStringLiteral("Отправитель %1").arg(i % 90),
            QStringLiteral("Получатель %1").arg(i % 80), QStringLiteral("Склад %1").arg(i % 12),
            goods[i % goods.size()], i % 2 ? QStringLiteral("наличный") : QStringLiteral("безналичный"),
            QString::number(100000 + i), i % 3 ? QStringLiteral("") : QStringLiteral("ПР%1").arg(i % 500),
            QStringLiteral("Карьер %1").arg(i % 15), QStringLiteral("10,22"),
            QDate(2020, 1, 1).addDays(i / 400).toString(Qt::ISODate), QStringLiteral("12:00:00"),
            QStringLiteral("Оператор %1").arg(i % 5), QStringLiteral(""), QStringLiteral(""),
            QStringLiteral("15,32"), QStringLiteral("5,1"), QStringLiteral("т"), QStringLiteral("0"),
            QStringLiteral("0"), QStringLiteral("2")};
        for (const QVariant &v : values)
            q.addBindValue(v);
        if (!q.exec())
            qFatal("insert failed: %s", qPrintable(q.lastError().text()));
    }
    q.finish();
    if (!db.commit())
        qFatal("commit failed");
    q.exec("PRAGMA wal_checkpoint(TRUNCATE)");
    q.exec("PRAGMA synchronous=FULL");
}

// Opens the journal of the benchmark folder (argv[2], else a temporary one)
// into store and generates argv[1] rows (default 1,000,000) when it has no
// journal yet. Returns the folder.
inline QString prepareJournal(int argc, char *argv[], const QString &tempFolder, QTextStream &out,
                              std::unique_ptr<TableStore> &store)
{
    const int rows = argc > 1 ? QString(argv[1]).toInt() : 1000000;
    const QString folder = argc > 2 ? QString(argv[2]) : tempFolder;
    store = TableStore::openCreating(folder);
    if (!store->tableExists(Tables::Journal)) {
        Schema::createTables(*store);
        QElapsedTimer t;
        t.start();
        generateJournal(*store, rows);
        out << "generated " << rows << " rows in " << t.elapsed() << " ms\n";
    }
    return folder;
}

}
