#pragma once
// A table as the program knows it: its fields in their stored order (after
// the hidden id), each with its name, kind and caption. The one place that
// looks a field up by name or checks a field's position.

#include <QString>
#include <QStringList>
#include <QVector>

enum class FieldKind {
    Text,      // text, '' when empty
    Date,      // a date value, NULL when empty
    Integer,   // a whole number
    Nullable,  // text that may be NULL
};

struct FieldDef
{
    FieldDef() = default;
    FieldDef(QString name_, FieldKind kind_ = FieldKind::Text, QString title_ = QString(), bool indexed_ = false)
        : name(std::move(name_)), kind(kind_), title(std::move(title_)), indexed(indexed_)
    {
    }

    QString name;
    FieldKind kind = FieldKind::Text;
    QString title;          // the caption grids show it under; empty when not shown
    bool indexed = false;   // has an index of its own, for filters and distinct lists
};

class TableDef
{
public:
    TableDef() = default;
    TableDef(QString name, QVector<FieldDef> fields);

    const QString &name() const { return m_name; }
    const QVector<FieldDef> &fields() const { return m_fields; }
    const QStringList &names() const { return m_names; }
    int count() const { return int(m_fields.size()); }
    bool inRange(int index) const { return index >= 0 && index < count(); }
    // The field at index; an empty one out of range.
    const FieldDef &field(int index) const;
    const QString &fieldName(int index) const { return field(index).name; }

    // The position of a field name, -1 when there is none.
    int indexOf(const QString &name, Qt::CaseSensitivity cs = Qt::CaseSensitive) const;
    bool contains(const QString &name) const { return indexOf(name) >= 0; }

    // Throws StoreError naming the table when index is out of range.
    void requireIndex(int index) const;
    // Throws StoreError when there is no field of that name (case ignored); else its position.
    int requireName(const QString &name) const;

    bool isDate(int index) const { return field(index).kind == FieldKind::Date; }
    // The text a stored value of the field reads as (dates as dd.MM.yyyy; NULL as "").
    QString text(int index, const QString &stored) const { return valueText(stored, isDate(index)); }
    static QString valueText(const QString &stored, bool isDate);

    // What first tells the stored table's fields (names in stored order, and
    // which are dates) from these, as a user reads it; empty when they agree.
    QString firstDifference(const TableDef &stored) const;

private:
    QString m_name;
    QVector<FieldDef> m_fields;
    QStringList m_names;
};
