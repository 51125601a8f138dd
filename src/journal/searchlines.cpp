#include "journal/searchlines.h"

QString quotedLiteral(const QString &text)
{
    QString inner = text;
    inner.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + inner + QLatin1Char('\'');
}

QStringList searchLines(const SearchConditions &c)
{
    QStringList lines;
    const auto add = [&](const char *field, const char *op, const QString &text) {
        const QString line = QStringLiteral("[%1]%2%3").arg(QLatin1String(field), QLatin1String(op), quotedLiteral(text));
        lines << (lines.isEmpty() ? line : QStringLiteral(" and ") + line);
    };
    const struct { const char *field; const QString &text; } lists[] = {
        {"Zakazchik", c.customer}, {"Tovar", c.goods},   {"FIO", c.driver},
        {"N_Avto", c.truck},       {"AvtoPr", c.company}, {"Klad", c.weigher},
    };
    for (const auto &l : lists)
        if (!l.text.isEmpty())
            add(l.field, "=", l.text);
    // Byte order, as the date fields show their dates: the blank template
    // and anything before the year 1901 never count.
    static const QString floor = QStringLiteral("01.01.1900");
    if (c.dateFrom > floor)
        add("Dat", ">=", c.dateFrom);
    if (c.dateTo > floor)
        add("Dat", "<=", c.dateTo);
    return lines;
}
