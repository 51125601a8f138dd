#pragma once
// The rules of a weighing against the truck register: the one-pass weighing
// "Брутто по сохранённой таре", the truck's permitted gross, and storing a
// tare from a completed tare pass ("Запомнить тару").

#include <QDate>
#include <QString>

#include "store/tablecursor.h"
#include "store/truckregister.h"
#include "weighing/weighlimits.h"

namespace StoredTare {

// Why a one-pass weighing of `gross` (weight text, in `unit`) against the
// truck's stored tare is refused on `today`, in the order the rules are
// tried (a tare stored, not too old, in the same unit, below the gross);
// empty when it may be stored.
QString refusal(const TruckRegister::Truck &truck, const QString &gross, const QString &unit,
                const WeighLimits &limits, const QDate &today);

// The truck's permitted gross in `unit`, when one is set and is in that unit
// (a permitted gross without a unit counts in the unit of the scale).
std::optional<double> permittedGross(const TruckRegister::Truck &truck, const QString &unit);
// The question asked before storing a gross above the permitted one.
QString overloadQuestion(const QString &number, const QString &gross, double permitted, const QString &unit);
// What BD_pass notes of such a gross stored.
QString overloadNote(const QString &gross, double permitted, const QString &unit);

// The post recorder that also stores the pass's tare as the truck's (row id
// from the post), in the same transaction.
TableCursor::PostRecorder rememberingTare(TableStore &store, TableCursor::PostRecorder recorder, TruckRegister::Truck truck);

}
