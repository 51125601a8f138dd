#include "app/limitsettings.h"

#include "app/settingsfile.h"

namespace {
const QString Tool = QStringLiteral("Tool");
}

WeighLimits LoadLimits(const QString &programDir)
{
    const IniFile ini(settingsFilePath(programDir));
    WeighLimits limits;
    limits.max = ini.readString(Tool, QStringLiteral("max"), QString());
    limits.min = ini.readString(Tool, QStringLiteral("min"), QString());
    bool ok = false;
    const int days = ini.readString(Tool, QStringLiteral("tare_days"), QString()).toInt(&ok);
    limits.tareDays = ok && days >= 0 ? days : WeighLimits::DefaultTareDays;
    return limits;
}

void SaveLimits(const QString &programDir, const QString &max, const QString &min)
{
    IniFile ini(settingsFilePath(programDir));
    // An empty limit is written only over one that was set: a file that
    // never had limits stays as it was.
    const QString absent = QStringLiteral("\x01absent");
    for (const auto &[key, value] : {std::pair{QStringLiteral("max"), max}, std::pair{QStringLiteral("min"), min}})
        if (!value.trimmed().isEmpty() || ini.readString(Tool, key, absent) != absent)
            ini.writeString(Tool, key, value.trimmed());
}
