#include "store/rowfilter.h"

FilterExpression RowFilter::parse(const TableDef &def, const QStringList &lines)
{
    return FilterExpression::parse(
        lines, [&def](const QString &n) { return def.indexOf(n, Qt::CaseInsensitive); },
        [&def](int i) { return def.field(i).kind == FieldKind::Date; });
}

QString RowSource::where(QVector<QVariant> &binds) const
{
    const auto isDateField = [this](int i) { return isDate(i); };
    QStringList parts;
    if (m_filter.active && !m_filter.expression.isEmpty())
        parts << m_filter.expression.toSql(m_def.names(), isDateField, binds);
    if (m_filter.extraActive && !m_filter.extra.isEmpty())
        parts << m_filter.extra.toSql(m_def.names(), isDateField, binds);
    return parts.join(QStringLiteral(" AND "));
}

QString RowSource::select(const QString &columns, QStringList conditions, QVector<QVariant> &binds,
                          const QString &tail) const
{
    const QString filters = where(binds);
    if (!filters.isEmpty())
        conditions << filters;
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(columns, m_sqlTable);
    if (!conditions.isEmpty())
        sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    if (!tail.isEmpty())
        sql += QLatin1Char(' ') + tail;
    return sql;
}

QString RowSource::columns(const QVector<int> &fields) const
{
    QStringList list;
    for (const int f : fields) {
        m_def.requireIndex(f);
        list << QStringLiteral("\"%1\"").arg(m_def.fieldName(f));
    }
    return list.join(QStringLiteral(", "));
}

QString RowSource::rowColumns() const
{
    QStringList list{QStringLiteral("id")};
    for (const QString &f : m_def.names())
        list << QStringLiteral("\"%1\"").arg(f);
    return list.join(QStringLiteral(", "));
}

QString RowSource::idsAfter(qint64 afterId, int limit, QVector<QVariant> &binds) const
{
    binds << afterId;
    const QString tail = limit > 0 ? QStringLiteral("ORDER BY id LIMIT %1").arg(limit) : QStringLiteral("ORDER BY id");
    return select(QStringLiteral("id"), {QStringLiteral("id > ?")}, binds, tail);
}
