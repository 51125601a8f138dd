#pragma once
// Filter lines parsed into conditions. A literal never becomes SQL text: the
// SQL built here holds placeholders, and the literals travel as bound values.
//
// Grammar (the lines are joined, each followed by one blank):
//   expr      := condition { "and" condition }
//   condition := "[" field "]" op "'" literal "'"   (a quote inside: two quotes)
//   op        := "=" | "<>" | ">" | "<" | ">=" | "<="
// "=" compares exactly and with letter case; a literal of two or more
// characters ending in "*" matches texts that begin with the rest. A literal
// in day.month.year form against a date field compares as a date.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>

struct FilterCondition
{
    enum class Op { Equal, NotEqual, Greater, Less, GreaterEqual, LessEqual };
    int field = -1;
    Op op = Op::Equal;
    QString literal;
    bool prefix = false;     // "=" with a trailing "*"
};

class FilterExpression
{
public:
    // fieldIndex: name -> index (-1 unknown); isDate: index -> date field.
    // Throws StoreError with a message naming the fault.
    static FilterExpression parse(const QStringList &lines,
                                  const std::function<int(const QString &)> &fieldIndex,
                                  const std::function<bool(int)> &isDate);

    bool isEmpty() const { return m_conditions.isEmpty(); }
    const QVector<FilterCondition> &conditions() const { return m_conditions; }

    // SQL condition over quoted column names, with "?" placeholders; values appended to binds.
    QString toSql(const QStringList &columns, const std::function<bool(int)> &isDate,
                  QVector<QVariant> &binds) const;

    // Parses day.month.year ("5.3.2007", "05.03.2007") into ISO "2007-03-05"; empty when invalid.
    static QString isoDate(const QString &dayMonthYear);

private:
    QVector<FilterCondition> m_conditions;
};
