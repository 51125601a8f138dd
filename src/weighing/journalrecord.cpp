#include "weighing/journalrecord.h"

#include <array>

namespace WeighingRecord {

namespace {

struct FieldInfo
{
    QString name;
    QString title;
};

const std::array<FieldInfo, FieldCount> &fields()
{
    static const std::array<FieldInfo, FieldCount> table = {{
        {QStringLiteral("N_Avto"), QStringLiteral("№ Автомобиля")},
        {QStringLiteral("Marcka"), QStringLiteral("Марка автомобиля")},
        {QStringLiteral("FIO"), QStringLiteral("Ф.И.О. Водителя")},
        {QStringLiteral("AvtoPr"), QStringLiteral("Автопредприятие")},
        {QStringLiteral("Zakazchik"), QStringLiteral("Заказчик")},
        {QStringLiteral("Gruz_otprav"), QStringLiteral("Грузоотправитель")},
        {QStringLiteral("Gruz_poluch"), QStringLiteral("Грузополучатель")},
        {QStringLiteral("Punkt"), QStringLiteral("Пункт разгрузки")},
        {QStringLiteral("Tovar"), QStringLiteral("Товар")},
        {QStringLiteral("Forma"), QStringLiteral("Форма оплаты")},
        {QStringLiteral("N_List"), QStringLiteral("№ путевого листа")},
        {QStringLiteral("N_pricepa"), QStringLiteral("№ прицепа")},
        {QStringLiteral("Punkt_zagruz"), QStringLiteral("Пункт загрузки")},
        {QStringLiteral("Netto"), QStringLiteral("Нетто")},
        {QStringLiteral("Dat"), QStringLiteral("Дата")},
        {QStringLiteral("Time"), QStringLiteral("Время")},
        {QStringLiteral("Klad"), QStringLiteral("Весовщик")},
        {QStringLiteral("Okpo"), QStringLiteral("ОКПО")},
        {QStringLiteral("Zena"), QStringLiteral("Цена")},
        {QStringLiteral("Sum"), QStringLiteral("Брутто")},
        {QStringLiteral("Tara"), QStringLiteral("Тара")},
        {QStringLiteral("Ed_izm"), QStringLiteral("Единицы измерения веса")},
        {QStringLiteral("Ok_tara"), QString()},
        {QStringLiteral("Ok_brutto"), QString()},
        {QStringLiteral("Ok_cicle"), QString()},
    }};
    return table;
}

const QString &none()
{
    static const QString empty;
    return empty;
}

} // namespace

const QString &fieldName(int position)
{
    return position >= 0 && position < FieldCount ? fields()[size_t(position)].name : none();
}

const QString &title(int position)
{
    return position >= 0 && position < FieldCount ? fields()[size_t(position)].title : none();
}

const QStringList &fieldNames()
{
    static const QStringList names = [] {
        QStringList l;
        for (const FieldInfo &f : fields())
            l << f.name;
        return l;
    }();
    return names;
}

int position(const QString &name) { return int(fieldNames().indexOf(name)); }

} // namespace WeighingRecord
