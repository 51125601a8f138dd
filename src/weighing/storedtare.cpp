#include "weighing/storedtare.h"

#include "common/failure.h"
#include "indicator/numberform.h"

namespace StoredTare {

QString refusal(const TruckRegister::Truck &truck, const QString &gross, const QString &unit,
                const WeighLimits &limits, const QDate &today)
{
    if (truck.tare.isEmpty() || !NumberForm::parse(truck.tare))
        return QStringLiteral("Для машины %1 нет сохранённой тары. Взвешивание не записано.").arg(truck.number);
    if (const QString old = WeighLimitsCheck::tareTooOld(limits, truck.day, today); !old.isEmpty())
        return old;
    // Weights are never converted between units.
    if (truck.unit != unit)
        return QStringLiteral("Тара машины %1 сохранена в единицах «%2», а сейчас выбраны единицы «%3». "
                              "Взвешивание не записано.")
            .arg(truck.number, truck.unit, unit);
    const std::optional<QString> net = NumberForm::difference(gross, truck.tare);
    if (!net || *NumberForm::parse(*net) <= 0)
        return QStringLiteral("Брутто %1 %3 не больше сохранённой тары машины %2 %3. Взвешивание не записано.")
            .arg(gross, truck.tare, unit);
    return {};
}

std::optional<double> permittedGross(const TruckRegister::Truck &truck, const QString &unit)
{
    if (truck.maxGross.trimmed().isEmpty() || (!truck.unit.isEmpty() && truck.unit != unit))
        return std::nullopt;
    return NumberForm::parse(truck.maxGross);
}

QString overloadQuestion(const QString &number, const QString &gross, double permitted, const QString &unit)
{
    return QStringLiteral("Масса превышает допустимую для машины %1: брутто %2 %4, допустимая масса %3 %4. Взвесить?")
        .arg(number, gross, NumberForm::format(permitted), unit);
}

QString overloadNote(const QString &gross, double permitted, const QString &unit)
{
    return QStringLiteral("%1 > %2 %3").arg(gross, NumberForm::format(permitted), unit);
}

TableCursor::PostRecorder rememberingTare(TableStore &store, TableCursor::PostRecorder recorder, TruckRegister::Truck truck)
{
    return [&store, recorder = std::move(recorder), truck](qint64 rowId, const FieldValues &written) mutable {
        recorder(rowId, written);
        truck.rowId = rowId;
        try {
            TruckRegister::storeTare(store, truck);
        } catch (const Failure &e) {
            throw StoreError(QStringLiteral("Взвешивание не записано: не удалось запомнить тару машины (%1)")
                                 .arg(e.message()));
        }
    };
}

}
