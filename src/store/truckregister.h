#pragma once
// The truck register (table BD_trucks): per truck number, exactly as typed,
// the tare stored from a completed tare pass (weight text and unit), the day
// it was weighed, who weighed it, the journal row it came from, and an
// optional permitted gross weight. A truck that comes back often is then
// weighed once per trip against its stored tare.
//
// One row per truck number: a unique index keeps two weighbridges storing a
// tare for the same truck at once from making two rows.

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

class TableStore;

namespace Tables {
inline const QString Trucks = QStringLiteral("BD_trucks");
}

namespace TruckRegister {

// The register's columns, in their stored order.
enum Column : int { Number = 0, Tare, Unit, Day, Operator, RowId, MaxGross, ColumnCount };
const QStringList &columnNames();   // "N_Avto", "Tara", "Ed_izm", "Dat", "Klad", "RowId", "Max_brutto"
const QString &columnTitle(int column);

struct Truck
{
    QString number;
    QString tare;          // weight text; empty when no tare is stored
    QString unit;          // "кг" or "т"
    QDate day;             // the day the tare was weighed
    QString operatorName;
    qint64 rowId = 0;      // the journal row the tare came from; 0 when typed in by hand
    QString maxGross;      // weight text in `unit`; empty: no limit
};

// Creates BD_trucks when it is missing; true when it was created. Throws StoreError.
bool ensureTable(TableStore &store);
bool available(TableStore &store);

// The truck's row as stored now; nothing when the truck is not registered.
// Throws StoreError.
std::optional<Truck> find(TableStore &store, const QString &number);

// The stored texts of the truck's latest journal row, the journal's fields
// in their positions; empty when the journal holds none. Throws StoreError.
QVector<QString> latestJournalRow(TableStore &store, const QString &number);

// Stores or replaces the truck's tare, day, operator and row, keeping its
// permitted gross. Meant to run inside the transaction of the pass that
// weighed the tare. Throws StoreError.
void storeTare(TableStore &store, const Truck &truck);

}
