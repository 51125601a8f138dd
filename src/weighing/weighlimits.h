#pragma once
// What the scale and the truck allow: the scale's greatest and least weight
// (tools.ini [Tool] max and min, in the unit of the scale; absent: no limit)
// and how old a stored tare may be for a one-pass weighing (tare_days,
// 30 by default, 0: no limit). The start order reads them; the weigh
// operation refuses a reading outside them before anything is written.

#include <QDate>
#include <QString>
#include <optional>

struct WeighLimits
{
    static constexpr int DefaultTareDays = 30;

    QString max;   // weight text as in tools.ini; empty: no limit
    QString min;
    int tareDays = DefaultTareDays;

    bool operator==(const WeighLimits &) const = default;
};

namespace WeighLimitsCheck {

// A limit's text is empty or a weight text.
bool readable(const QString &limit);

// The refusal for a reading outside the scale's limits, in the unit shown;
// empty when the reading is within them (or they do not read).
QString outsideScale(const WeighLimits &limits, double reading, const QString &unit);

// The refusal for a stored tare weighed on `day`, on `today`; empty when it
// may still be used.
QString tareTooOld(const WeighLimits &limits, const QDate &day, const QDate &today);

}
