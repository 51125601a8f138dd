#include "weighing/weighlimits.h"

#include "indicator/numberform.h"

namespace WeighLimitsCheck {

bool readable(const QString &limit) { return limit.trimmed().isEmpty() || NumberForm::parse(limit).has_value(); }

QString outsideScale(const WeighLimits &limits, double reading, const QString &unit)
{
    const auto limit = [](const QString &text) {
        return text.trimmed().isEmpty() ? std::nullopt : NumberForm::parse(text);
    };
    // The texts are shown as the scale writes weights, whatever was typed.
    if (const auto max = limit(limits.max); max && reading > *max)
        return QStringLiteral("Вес больше наибольшего предела весов: %1 %3 (наибольший предел %2 %3). "
                              "Взвешивание не записано.")
            .arg(NumberForm::format(reading), NumberForm::format(*max), unit);
    if (const auto min = limit(limits.min); min && reading < *min)
        return QStringLiteral("Вес меньше наименьшего предела весов: %1 %3 (наименьший предел %2 %3). "
                              "Взвешивание не записано.")
            .arg(NumberForm::format(reading), NumberForm::format(*min), unit);
    return {};
}

QString tareTooOld(const WeighLimits &limits, const QDate &day, const QDate &today)
{
    if (limits.tareDays <= 0)
        return {};
    // A tare of unknown day cannot be shown to be recent.
    if (!day.isValid() || day.daysTo(today) > limits.tareDays)
        return QStringLiteral("Сохранённая тара машины взвешена %1, более %2 дн. назад. Взвесьте тару заново "
                              "(«Тара перед погрузкой» с отметкой «Запомнить тару»). Взвешивание не записано.")
            .arg(day.isValid() ? day.toString(QStringLiteral("dd.MM.yyyy")) : QStringLiteral("в неизвестный день"))
            .arg(limits.tareDays);
    return {};
}

}
