#pragma once
// The tables of the alias WE as the preparation tool creates them, described
// once: the journal, the two account tables and the trail of hand edits. The
// program itself never creates, restructures or empties a table; a cursor
// opening one of these refuses it when its columns differ.

#include <QString>
#include <QStringList>

#include "store/tabledef.h"

class TableStore;

// One row of the weighing journal (BD_main.db): 25 fields in a fixed order.
// Every other part names a field through this enum (WeighingRecord::Tara);
// its name in the table is fieldName(Tara), "Tara".
namespace WeighingRecord {

enum Field : int {
    N_Avto = 0,    // truck registration number
    Marcka,        // make of the truck
    FIO,           // driver
    AvtoPr,        // trucking company
    Zakazchik,     // customer
    Gruz_otprav,   // consignor
    Gruz_poluch,   // consignee
    Punkt,         // unloading point
    Tovar,         // goods
    Forma,         // form of payment
    N_List,        // waybill number
    N_pricepa,     // trailer number, empty when there is none
    Punkt_zagruz,  // loading point
    Netto,         // net weight (weight text)
    Dat,           // date of the latest pass (a date value)
    Time,          // time of day of the latest pass
    Klad,          // weigher of the latest pass
    Okpo,          // ОКПО code (journal page only)
    Zena,          // price (journal page only)
    Sum,           // gross weight (weight text)
    Tara,          // tare weight (weight text)
    Ed_izm,        // unit of the record's weights: "кг" or "т"
    Ok_tara,       // tare-first cycle marker
    Ok_brutto,     // gross-first cycle marker
    Ok_cicle,      // completion marker
    FieldCount
};

// The field's name in the table ("N_Avto"); empty out of range.
const QString &fieldName(int position);
// The caption the journal grids show the field under ("№ Автомобиля");
// empty for the three markers, which are not shown.
const QString &title(int position);
// All 25 names in their positions.
const QStringList &fieldNames();
// The position of a field name (exact spelling), -1 when there is none.
int position(const QString &name);
// The filter line that keeps the rows whose field is text: "[Ok_tara]='1'".
QString equalsLine(Field field, const QString &text);

} // namespace WeighingRecord

// The two account tables (operators, administrators) share these fields.
namespace AccountRecord {
enum Field : int { Name = 0, Password, FieldCount };
const QString &fieldName(int position);   // "Имя пользователя", "Пароль"
}

// The trail of hand edits, BD_audit.
namespace AuditRecord {
enum Field : int { At = 0, Operator, Action, TableName, RowId, FieldName, OldText, NewText, FieldCount };
const QString &fieldName(int position);
}

namespace Schema {

const TableDef &journal();
const TableDef &accounts();   // the fields of either account table
const TableDef &audit();
// The definition of one of the program's tables by its name (case ignored);
// nullptr for any other table.
const TableDef *forTable(const QString &tableName);

// Kept for the tools and benches: the fields' names in their positions.
inline const QStringList &journalFields() { return journal().names(); }
inline const QStringList &accountFields() { return accounts().names(); }

// The column list of a CREATE TABLE for def (the hidden id first).
QString columnsSql(const TableStore &store, const TableDef &def);

// Creates the three tables (and the trail of hand edits BD_audit, the pass records BD_pass and the
// hash chain BD_chain) in the store. Throws StoreError when
// any of them exists already (nothing is touched then) or creation fails.
void createTables(TableStore &store);

// Adds to a database prepared before them what is missing of the trail of
// hand edits, the pass records and the hash chain (whose first link then
// takes the journal's rows as from before it). The names of the tables
// added. Throws StoreError.
QStringList ensureLogTables(TableStore &store);

// Adds to the journal the indexes a database prepared before them lacks;
// the fields indexed now. Throws StoreError.
QStringList ensureIndexes(TableStore &store);

// Adds an account row (used by the preparation tool and by tests).
void addAccount(TableStore &store, const QString &table, const QString &name, const QString &password);

}
