#include "store/filterexpression.h"

#include <QDate>
#include <QRegularExpression>

#include "common/failure.h"

namespace {

[[noreturn]] void fail(const QString &what, const QString &expression)
{
    throw StoreError(QStringLiteral("Ошибка в условии фильтра: %1 (условие: %2)").arg(what, expression));
}

class Parser
{
public:
    Parser(const QString &text) : s(text) {}

    void skipBlanks()
    {
        while (i < s.size() && s[i].isSpace())
            ++i;
    }
    bool atEnd()
    {
        skipBlanks();
        return i >= s.size();
    }
    bool take(QStringView token)
    {
        skipBlanks();
        if (QStringView(s).mid(i).startsWith(token, Qt::CaseInsensitive)) {
            i += token.size();
            return true;
        }
        return false;
    }

    QString s;
    qsizetype i = 0;
};

}

QString FilterExpression::isoDate(const QString &dayMonthYear)
{
    static const QRegularExpression form(QStringLiteral("^\\s*(\\d{1,2})\\.(\\d{1,2})\\.(\\d{2}|\\d{4})\\s*$"));
    const auto m = form.match(dayMonthYear);
    if (!m.hasMatch())
        return {};
    int year = m.captured(3).toInt();
    if (m.captured(3).size() == 2)
        year += year < 50 ? 2000 : 1900;
    const QDate d(year, m.captured(2).toInt(), m.captured(1).toInt());
    return d.isValid() ? d.toString(Qt::ISODate) : QString();
}

FilterExpression FilterExpression::parse(const QStringList &lines,
                                         const std::function<int(const QString &)> &fieldIndex,
                                         const std::function<bool(int)> &isDate)
{
    QString text;
    for (const QString &line : lines)
        if (!line.isEmpty())
            text += line + QLatin1Char(' ');

    FilterExpression out;
    Parser p(text);
    const QString shown = text.trimmed();
    if (p.atEnd())
        return out;

    for (;;) {
        FilterCondition c;
        if (!p.take(u"["))
            fail(QStringLiteral("ожидалось имя поля в квадратных скобках"), shown);
        const qsizetype close = p.s.indexOf(QLatin1Char(']'), p.i);
        if (close < 0)
            fail(QStringLiteral("нет закрывающей скобки после имени поля"), shown);
        const QString name = p.s.mid(p.i, close - p.i).trimmed();
        p.i = close + 1;
        c.field = fieldIndex(name);
        if (c.field < 0)
            fail(QStringLiteral("неизвестное поле \"%1\"").arg(name), shown);

        if (p.take(u"<>"))
            c.op = FilterCondition::Op::NotEqual;
        else if (p.take(u">="))
            c.op = FilterCondition::Op::GreaterEqual;
        else if (p.take(u"<="))
            c.op = FilterCondition::Op::LessEqual;
        else if (p.take(u"="))
            c.op = FilterCondition::Op::Equal;
        else if (p.take(u">"))
            c.op = FilterCondition::Op::Greater;
        else if (p.take(u"<"))
            c.op = FilterCondition::Op::Less;
        else
            fail(QStringLiteral("ожидался знак сравнения после поля \"%1\"").arg(name), shown);

        if (!p.take(u"'"))
            fail(QStringLiteral("значение для поля \"%1\" должно стоять в одинарных кавычках").arg(name), shown);
        // A doubled quote inside the literal stands for one quote (O''Neil);
        // a single one ends the literal.
        for (;;) {
            const qsizetype end = p.s.indexOf(QLatin1Char('\''), p.i);
            if (end < 0)
                fail(QStringLiteral("нет закрывающей кавычки после значения"), shown);
            c.literal += QStringView(p.s).mid(p.i, end - p.i);
            p.i = end + 1;
            if (p.i < p.s.size() && p.s[p.i] == u'\'') {
                c.literal += QLatin1Char('\'');
                ++p.i;
                continue;
            }
            break;
        }

        if (c.op == FilterCondition::Op::Equal && c.literal.size() >= 2 && c.literal.endsWith(QLatin1Char('*'))) {
            c.prefix = true;
            c.literal.chop(1);
        }
        if (isDate(c.field) && !c.prefix) {
            const QString iso = isoDate(c.literal);
            if (iso.isEmpty() && !c.literal.isEmpty())
                fail(QStringLiteral("\"%1\" не является правильной датой").arg(c.literal), shown);
            c.literal = iso;
        }
        out.m_conditions.append(c);

        if (p.atEnd())
            break;
        // A quote inside a literal ends it early and leaves text here.
        const qsizetype before = p.i;
        if (!p.take(u"and") || (p.i < p.s.size() && !p.s[p.i].isSpace() && p.s[p.i] != u'['))
            fail(QStringLiteral("лишний текст \"%1\"").arg(p.s.mid(before).trimmed()), shown);
    }
    return out;
}

QString FilterExpression::toSql(const QStringList &columns, const std::function<bool(int)> &isDate,
                                QVector<QVariant> &binds) const
{
    QStringList parts;
    for (const FilterCondition &c : m_conditions) {
        const QString col = QStringLiteral("\"%1\"").arg(columns[c.field]);
        if (c.prefix) {
            // A date's beginning is a text's beginning: compared as the stored
            // text ("2005-03-15"), which a server keeps as a date.
            const QString text = isDate(c.field) ? QStringLiteral("CAST(%1 AS TEXT)").arg(col) : col;
            // The range lets an index help; substr keeps the match exact.
            parts << QStringLiteral("(%1 >= ? AND %1 < ? AND substr(%1, 1, ?) = ?)").arg(text);
            binds << c.literal << QString(c.literal + QChar(0xDBFF) + QChar(0xDFFF))
                  << int(c.literal.toUcs4().size()) << c.literal;
            continue;
        }
        if (isDate(c.field) && c.literal.isEmpty()) {
            // An empty date literal stands for "no date".
            parts << (c.op == FilterCondition::Op::Equal ? QStringLiteral("%1 IS NULL").arg(col)
                                                         : QStringLiteral("%1 IS NOT NULL").arg(col));
            continue;
        }
        static const char *ops[] = {"=", "<>", ">", "<", ">=", "<="};
        parts << QStringLiteral("%1 %2 ?").arg(col, QLatin1String(ops[int(c.op)]));
        // An empty literal is the empty text, never NULL (a server's driver
        // would send a null string as NULL, which equals nothing).
        binds << (c.literal.isNull() ? QString(QLatin1String("")) : c.literal);
    }
    return parts.join(QStringLiteral(" AND "));
}
