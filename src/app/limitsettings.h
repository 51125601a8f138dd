#pragma once
// The weighing limits of tools.ini, section "Tool": "max" and "min" (weights
// in the unit of the scale; a missing or empty key: no limit) and "tare_days"
// (how many days a stored tare may be used; 30 when missing or no whole
// number from 0 on; 0: no limit).

#include <QString>

#include "weighing/weighlimits.h"

WeighLimits LoadLimits(const QString &programDir);

// Writes "max" and "min" as the texts stand; "tare_days" is left as it is.
// Throws Failure("Unable to write to <path>") like SaveSettings.
void SaveLimits(const QString &programDir, const QString &max, const QString &min);
