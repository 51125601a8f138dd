#include "journal/searchlines.h"

#include "store/schema.h"

QString quotedLiteral(const QString &text)
{
    QString inner = text;
    inner.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + inner + QLatin1Char('\'');
}

QStringList searchLines(const SearchConditions &c)
{
    QStringList lines;
    const auto add = [&](WeighingRecord::Field field, const char *op, const QString &text) {
        const QString line =
            QStringLiteral("[%1]%2%3").arg(WeighingRecord::fieldName(field), QLatin1String(op), quotedLiteral(text));
        lines << (lines.isEmpty() ? line : QStringLiteral(" and ") + line);
    };
    const struct { WeighingRecord::Field field; const QString &text; } lists[] = {
        {WeighingRecord::Zakazchik, c.customer}, {WeighingRecord::Tovar, c.goods},   {WeighingRecord::FIO, c.driver},
        {WeighingRecord::N_Avto, c.truck},       {WeighingRecord::AvtoPr, c.company}, {WeighingRecord::Klad, c.weigher},
    };
    for (const auto &l : lists)
        if (!l.text.isEmpty())
            add(l.field, "=", l.text);
    // Byte order, as the date fields show their dates: the blank template
    // and anything before the year 1901 never count.
    static const QString floor = QStringLiteral("01.01.1900");
    if (c.dateFrom > floor)
        add(WeighingRecord::Dat, ">=", c.dateFrom);
    if (c.dateTo > floor)
        add(WeighingRecord::Dat, "<=", c.dateTo);
    return lines;
}
