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
    ini.writeString(Tool, QStringLiteral("max"), max);
    ini.writeString(Tool, QStringLiteral("min"), min);
}
