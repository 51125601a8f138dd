#include "store/truckregister.h"

#include <QSqlQuery>

#include "common/failure.h"
#include "store/sqldialect.h"
#include "store/schema.h"
#include "store/tablestore.h"

namespace TruckRegister {

const QStringList &columnNames()
{
    static const QStringList names = {"N_Avto", "Tara", "Ed_izm", "Dat", "Klad", "RowId", "Max_brutto"};
    return names;
}

const QString &columnTitle(int column)
{
    static const QStringList titles = {
        QStringLiteral("№ Автомобиля"), QStringLiteral("Тара"),     QStringLiteral("Единицы"),
        QStringLiteral("Дата взвешивания тары"), QStringLiteral("Весовщик"), QStringLiteral("Запись журнала"),
        QStringLiteral("Допустимая масса брутто")};
    static const QString none;
    return column >= 0 && column < titles.size() ? titles[column] : none;
}

namespace {
QString quoted(int column) { return QStringLiteral("\"%1\"").arg(columnNames()[column]); }
}

bool ensureTable(TableStore &store)
{
    if (store.tableExists(Tables::Trucks))
        return false;
    QSqlQuery q(store.connection());
    store.releaseReaders();
    const QString text = SqlDialect::textType(store);
    QStringList cols{SqlDialect::idColumn(store)};
    for (int c = 0; c < ColumnCount; ++c)
        cols << (c == Day ? QStringLiteral("%1 DATE").arg(quoted(c))
                          : QStringLiteral("%1 %2 NOT NULL DEFAULT ''").arg(quoted(c), text));
    const QString table = TableStore::sqlName(Tables::Trucks);
    TableStore::check(q.exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(table, cols.join(QStringLiteral(", ")))), q);
    TableStore::check(q.exec(QStringLiteral("CREATE UNIQUE INDEX %1_number ON %1 (%2)").arg(table, quoted(Number))), q);
    store.bumpGeneration();
    return true;
}

bool available(TableStore &store) { return store.tableExists(Tables::Trucks); }

std::optional<Truck> find(TableStore &store, const QString &number)
{
    QSqlQuery q(store.connection());
    q.setForwardOnly(true);
    QStringList cols;
    for (int c = 0; c < ColumnCount; ++c)
        cols << quoted(c);
    TableStore::check(q.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                                    .arg(cols.join(QStringLiteral(", ")), TableStore::sqlName(Tables::Trucks),
                                         quoted(Number))),
                      q);
    q.addBindValue(number);
    TableStore::check(q.exec(), q);
    if (!q.next())
        return std::nullopt;
    Truck t;
    t.number = q.value(Number).toString();
    t.tare = q.value(Tare).toString();
    t.unit = q.value(Unit).toString();
    t.day = QDate::fromString(q.value(Day).toString().left(10), Qt::ISODate);
    t.operatorName = q.value(Operator).toString();
    t.rowId = q.value(RowId).toString().toLongLong();
    t.maxGross = q.value(MaxGross).toString();
    return t;
}

QVector<QString> latestJournalRow(TableStore &store, const QString &number)
{
    const QStringList &fields = Schema::journalFields();
    QStringList cols;
    for (const QString &f : fields)
        cols << QStringLiteral("\"%1\"").arg(f);
    QSqlQuery q(store.connection());
    q.setForwardOnly(true);
    TableStore::check(q.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ? ORDER BY id DESC LIMIT 1")
                                    .arg(cols.join(QStringLiteral(", ")), TableStore::sqlName(Tables::Journal),
                                         cols.first())),
                      q);
    q.addBindValue(number);
    TableStore::check(q.exec(), q);
    QVector<QString> out;
    if (!q.next())
        return out;
    for (int i = 0; i < fields.size(); ++i)
        out << q.value(i).toString();
    return out;
}

void storeTare(TableStore &store, const Truck &truck)
{
    // One statement, so that two weighbridges storing at once leave one row
    // holding the later tare; both engines know the upsert.
    QSqlQuery q(store.connection());
    store.releaseReaders();
    const QString sets = QStringList{QStringLiteral("%1 = excluded.%1").arg(quoted(Tare)),
                                     QStringLiteral("%1 = excluded.%1").arg(quoted(Unit)),
                                     QStringLiteral("%1 = excluded.%1").arg(quoted(Day)),
                                     QStringLiteral("%1 = excluded.%1").arg(quoted(Operator)),
                                     QStringLiteral("%1 = excluded.%1").arg(quoted(RowId))}
                             .join(QStringLiteral(", "));
    TableStore::check(q.prepare(QStringLiteral("INSERT INTO %1 (%2, %3, %4, %5, %6, %7) VALUES (?, ?, ?, ?, ?, ?) "
                                               "ON CONFLICT (%2) DO UPDATE SET %8")
                                    .arg(TableStore::sqlName(Tables::Trucks), quoted(Number), quoted(Tare),
                                         quoted(Unit), quoted(Day), quoted(Operator), quoted(RowId), sets)),
                      q);
    q.addBindValue(truck.number);
    q.addBindValue(truck.tare);
    q.addBindValue(truck.unit.isNull() ? QString(QLatin1String("")) : truck.unit);
    q.addBindValue(truck.day.toString(Qt::ISODate));
    q.addBindValue(truck.operatorName.isNull() ? QString(QLatin1String("")) : truck.operatorName);
    q.addBindValue(QString::number(truck.rowId));
    TableStore::check(q.exec(), q);
    store.bumpGeneration();
}

}
