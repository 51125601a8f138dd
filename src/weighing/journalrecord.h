#pragma once
// One row of the weighing journal (BD_main.db) as the weighing code sees it.
// The 25 fields, their names and captions are the store's schema
// (store/schema.h, WeighingRecord::Field); this adds what the entry form and
// the weigh operation make of them.
//
// Markers: Ok_tara / Ok_brutto hold "1" while the record awaits its second
// pass and "0" once done; Ok_cicle holds "2" once the cycle is complete.

#include <QString>

#include "store/schema.h"

namespace WeighingRecord {

// Positions 0..12 are the thirteen fields the entry form describes a truck
// with; entry field ComboBox<i> holds position i - 1.
constexpr int EntryFieldCount = 13;

// The marker texts.
inline const QString Awaiting = QStringLiteral("1");
inline const QString Done = QStringLiteral("0");
inline const QString Completed = QStringLiteral("2");

} // namespace WeighingRecord
