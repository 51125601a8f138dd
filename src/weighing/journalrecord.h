#pragma once
// One row of the weighing journal (BD_main.db): 25 fields in a fixed order.
//
// The weighing, selection and printing code addresses the fields by position
// (WeighingRecord::Tara); grids, reports and filter lines by name
// (WeighingRecord::fieldName(WeighingRecord::Tara) is "Tara"). Both come from
// the one table in journalrecord.cpp, so they cannot drift apart.
//
// Markers: Ok_tara / Ok_brutto hold "1" while the record awaits its second
// pass and "0" once done; Ok_cicle holds "2" once the cycle is complete.

#include <QString>
#include <QStringList>

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

// Positions 0..12 are the thirteen fields the entry form describes a truck
// with; entry field ComboBox<i> holds position i - 1.
constexpr int EntryFieldCount = 13;

// The marker texts.
inline const QString Awaiting = QStringLiteral("1");
inline const QString Done = QStringLiteral("0");
inline const QString Completed = QStringLiteral("2");

// The field's name in the table ("N_Avto").
const QString &fieldName(int position);
// The caption the journal grids show the field under ("№ Автомобиля");
// empty for the three markers, which are not shown.
const QString &title(int position);
// All 25 names in their positions.
const QStringList &fieldNames();
// The position of a field name (exact spelling), -1 when there is none.
int position(const QString &name);

} // namespace WeighingRecord
