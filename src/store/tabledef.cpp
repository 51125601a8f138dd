#include "store/tabledef.h"

#include <QDate>

#include "common/failure.h"

TableDef::TableDef(QString name, QVector<FieldDef> fields) : m_name(std::move(name)), m_fields(std::move(fields))
{
    for (const FieldDef &f : m_fields)
        m_names << f.name;
}

const FieldDef &TableDef::field(int index) const
{
    static const FieldDef none;
    return inRange(index) ? m_fields[index] : none;
}

int TableDef::indexOf(const QString &name, Qt::CaseSensitivity cs) const
{
    for (int i = 0; i < count(); ++i)
        if (m_names[i].compare(name, cs) == 0)
            return i;
    return -1;
}

void TableDef::requireIndex(int index) const
{
    if (!inRange(index))
        throw StoreError(QStringLiteral("Нет поля с номером %1 в таблице %2").arg(index).arg(m_name));
}

int TableDef::requireName(const QString &name) const
{
    const int i = indexOf(name, Qt::CaseInsensitive);
    if (i < 0)
        throw StoreError(QStringLiteral("Поле %1 не найдено").arg(name));
    return i;
}

QString TableDef::valueText(const QString &stored, bool isDate)
{
    if (stored.isNull())
        return {};
    if (!isDate)
        return stored;
    const QDate d = QDate::fromString(stored.left(10), Qt::ISODate);
    return d.isValid() ? d.toString(QStringLiteral("dd.MM.yyyy")) : stored;
}

QString TableDef::firstDifference(const TableDef &stored) const
{
    const QStringList &columns = stored.names();
    for (int i = 0; i < count() || i < columns.size(); ++i) {
        if (i >= columns.size())
            return QStringLiteral("нет поля «%1» (поле %2)").arg(m_names[i]).arg(i + 1);
        if (i >= count())
            return QStringLiteral("лишнее поле «%1» (поле %2)").arg(columns[i]).arg(i + 1);
        if (columns[i] != m_names[i])
            return QStringLiteral("поле %1 называется «%2», а должно «%3»").arg(i + 1).arg(columns[i], m_names[i]);
        if (stored.isDate(i) != isDate(i))
            return isDate(i) ? QStringLiteral("поле «%1» должно хранить даты").arg(m_names[i])
                             : QStringLiteral("поле «%1» не должно хранить даты").arg(m_names[i]);
    }
    return {};
}
