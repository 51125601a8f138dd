#pragma once
// The four passes a truck can be weighed in. A first pass creates a journal
// record; a second pass completes a record chosen among those awaiting it.

#include <QString>

#include "weighing/journalrecord.h"

enum class WeighingMode {
    TareBeforeLoading,     // first pass: empty truck, before loading
    GrossBeforeUnloading,  // first pass: loaded truck, before unloading
    GrossAfterLoading,     // second pass of a TareBeforeLoading record
    TareAfterUnloading,    // second pass of a GrossBeforeUnloading record
    GrossByStoredTare,     // one pass: loaded truck against its tare in the truck register
};

namespace WeighingModes {

inline bool isSecondPass(WeighingMode m)
{
    return m == WeighingMode::GrossAfterLoading || m == WeighingMode::TareAfterUnloading;
}

// The first pass a second-pass mode falls back to when no record is chosen;
// a first-pass mode is its own partner.
inline WeighingMode firstPassPartner(WeighingMode m)
{
    switch (m) {
    case WeighingMode::GrossAfterLoading:
        return WeighingMode::TareBeforeLoading;
    case WeighingMode::TareAfterUnloading:
        return WeighingMode::GrossBeforeUnloading;
    default:
        return m;
    }
}

// One pass stores a completed record.
inline bool isOnePass(WeighingMode m) { return m == WeighingMode::GrossByStoredTare; }

// Whether the pass weighs the tare (else the gross).
inline bool weighsTare(WeighingMode m)
{
    return m == WeighingMode::TareBeforeLoading || m == WeighingMode::TareAfterUnloading;
}

// The marker that says a record awaits the second pass `m` (Ok_tara for
// GrossAfterLoading, Ok_brutto for TareAfterUnloading), or that the first
// pass `m` sets.
inline WeighingRecord::Field awaitingMarker(WeighingMode m)
{
    return (m == WeighingMode::TareBeforeLoading || m == WeighingMode::GrossAfterLoading)
               ? WeighingRecord::Ok_tara
               : WeighingRecord::Ok_brutto;
}

// The text of the message that confirms a stored pass.
inline QString completionText(WeighingMode m)
{
    switch (m) {
    case WeighingMode::TareBeforeLoading:
        return QStringLiteral("Взвешивание Тары перед погрузкой завершено!");
    case WeighingMode::GrossBeforeUnloading:
        return QStringLiteral("Взвешивание Брутто перед разгрузкой завершено!");
    case WeighingMode::TareAfterUnloading:
        return QStringLiteral("Взвешивание Тары после разгрузки завершено!");
    case WeighingMode::GrossAfterLoading:
        return QStringLiteral("Взвешивание Брутто после погрузки завершено!");
    case WeighingMode::GrossByStoredTare:
        return QStringLiteral("Взвешивание Брутто по сохранённой таре завершено!");
    }
    return {};
}

} // namespace WeighingModes
