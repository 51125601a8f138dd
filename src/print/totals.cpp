#include "print/totals.h"

#include <QHash>
#include <QMap>
#include <algorithm>
#include <numeric>
#include <QVariant>

#include "common/failure.h"
#include "store/filterexpression.h"
#include "store/rawquery.h"
#include "store/schema.h"
#include "store/tablestore.h"

namespace Totals {

const QVector<GroupingInfo> &groupings()
{
    using namespace WeighingRecord;
    static const QVector<GroupingInfo> table = {
        {Grouping::Customer, "customer", QStringLiteral("по заказчикам"), QStringLiteral("Заказчик"), Zakazchik},
        {Grouping::Goods, "goods", QStringLiteral("по товарам"), QStringLiteral("Товар"), Tovar},
        {Grouping::Truck, "truck", QStringLiteral("по машинам"), QStringLiteral("№ Автомобиля"), N_Avto},
        {Grouping::Consignor, "consignor", QStringLiteral("по грузоотправителям"), QStringLiteral("Грузоотправитель"),
         Gruz_otprav},
        {Grouping::Day, "day", QStringLiteral("по дням"), QStringLiteral("Дата"), Dat},
    };
    return table;
}

const GroupingInfo &info(Grouping g)
{
    for (const GroupingInfo &i : groupings())
        if (i.grouping == g)
            return i;
    return groupings().first();
}

std::optional<Grouping> groupingNamed(const QString &name)
{
    for (const GroupingInfo &i : groupings())
        if (name == QLatin1String(i.name))
            return i.grouping;
    return std::nullopt;
}

namespace {

const QString DateFormat = QStringLiteral("dd.MM.yyyy");

// A key as the engine groups it; a day as its stored text, empty for none.
// A journal field as SQL names it.
QString column(WeighingRecord::Field f)
{
    return QStringLiteral("\"%1\"").arg(WeighingRecord::fieldName(f));
}

QString keyColumn(Grouping g)
{
    if (g == Grouping::Day)
        return QStringLiteral("COALESCE(CAST(%1 AS TEXT), '')").arg(column(WeighingRecord::Dat));
    return column(info(g).field);
}

struct Statement
{
    QString sql;
    QVector<QVariant> binds;
    int keys = 1;
};

Statement statement(const Request &r)
{
    Statement s;
    const TableDef &journal = Schema::journal();
    const QStringList &fields = journal.names();
    const auto isDate = [&journal](int i) { return journal.isDate(i); };
    QStringList where;
    // Nearly every row is completed: the marker's index would lead the
    // engine to read them all in its order, where the date's finds the period.
    where << column(WeighingRecord::Ok_cicle) + QStringLiteral(" || '' = ?");
    s.binds << QStringLiteral("2");
    if (r.from.isValid()) {
        where << column(WeighingRecord::Dat) + QStringLiteral(" >= ?");
        s.binds << r.from.toString(Qt::ISODate);
    }
    if (r.to.isValid()) {
        where << column(WeighingRecord::Dat) + QStringLiteral(" <= ?");
        s.binds << r.to.toString(Qt::ISODate);
    }
    if (!r.searchLines.isEmpty()) {
        const FilterExpression search = FilterExpression::parse(
            r.searchLines,
            [&journal](const QString &name) { return journal.indexOf(name, Qt::CaseInsensitive); }, isDate);
        if (!search.isEmpty())
            where << QLatin1Char('(') + search.toSql(fields, isDate, s.binds) + QLatin1Char(')');
    }
    QStringList keys{keyColumn(r.first)};
    if (r.second)
        keys << keyColumn(*r.second);
    s.keys = int(keys.size());
    // No GROUP BY: the engine would sort every row of a long period; the
    // rows are gathered here instead, in one walk.
    s.sql = QStringLiteral("SELECT %1, %2, %3 FROM %4 WHERE %5")
                .arg(keys.join(QStringLiteral(", ")), column(WeighingRecord::Ed_izm), column(WeighingRecord::Netto),
                     TableStore::sqlName(Tables::Journal),
                     where.join(QStringLiteral(" AND ")));
    return s;
}

QString keyText(const QByteArrayView bytes, Grouping g)
{
    const QString text = QString::fromUtf8(bytes);
    if (g != Grouping::Day || text.isEmpty())
        return text;
    const QDate d = QDate::fromString(text.left(10), Qt::ISODate);
    return d.isValid() ? d.toString(DateFormat) : text;
}

// Each row goes to the entry of its keys; the entries are put in the
// report's order (the keys' bytes, as both engines order texts) at the end.
Result collect(const Request &request, RawQuery &q, int keys)
{
    QHash<QByteArray, qsizetype> index;
    QVector<QByteArray> order;
    QVector<Entry> entries;
    QByteArray key;
    while (q.next()) {
        key.clear();
        for (int k = 0; k <= keys; ++k) {
            const QByteArrayView b = q.bytes(k);
            key.append(b.data(), b.size()).append('\0');
        }
        auto it = index.constFind(key);
        if (it == index.cend()) {
            Entry e;
            e.group = keyText(q.bytes(0), request.first);
            if (request.second)
                e.subgroup = keyText(q.bytes(1), *request.second);
            e.unit = QString::fromUtf8(q.bytes(keys));
            entries.append(std::move(e));
            order.append(key);
            it = index.insert(key, entries.size() - 1);
        }
        Entry &entry = entries[*it];
        ++entry.count;
        if (!entry.sum.add(q.bytes(keys + 1)))
            ++entry.notNumbers;
    }
    QVector<qsizetype> sorted(entries.size());
    std::iota(sorted.begin(), sorted.end(), 0);
    std::sort(sorted.begin(), sorted.end(), [&order](qsizetype a, qsizetype b) { return order[a] < order[b]; });
    Result result;
    result.request = request;
    result.entries.reserve(entries.size());
    for (const qsizetype i : sorted)
        result.entries.append(std::move(entries[i]));
    return result;
}

}

Result compute(TableStore &store, const Request &request)
{
    const Statement s = statement(request);
    RawQuery q(store, s.sql, s.binds, RawQuery::Mode::Streaming);
    return collect(request, q, s.keys);
}

Reading::Reading(TableStore &store, Request request) : m_request(std::move(request)), m_read(store) {}

Reading::~Reading() = default;

bool Reading::runsApart() const { return m_read.runsApart(); }

Result Reading::run()
{
    const Statement s = statement(m_request);
    Result result;
    m_read.run(s.sql, s.binds, [&](RawQuery &q) { result = collect(m_request, q, s.keys); });
    return result;
}

// ---------------------------------------------------------------- lines

namespace {

QString label(const QString &key, Grouping g)
{
    if (!key.isEmpty())
        return key;
    return g == Grouping::Day ? QStringLiteral("(без даты)") : QStringLiteral("(не указано)");
}

struct UnitSum
{
    qint64 count = 0;
    qint64 notNumbers = 0;
    NumberForm::Total sum;
    void add(const Entry &e)
    {
        count += e.count;
        notNumbers += e.notNumbers;
        sum.add(e.sum);
    }
};
using UnitSums = QMap<QString, UnitSum>;

qint64 notNumbersOf(const UnitSums &sums)
{
    qint64 n = 0;
    for (const UnitSum &s : sums)
        n += s.notNumbers;
    return n;
}

void appendSums(QVector<Line> &out, Line::Kind kind, const QString &text, const UnitSums &sums)
{
    for (auto it = sums.begin(); it != sums.end(); ++it)
        out.append({kind, text, it.key(), QString::number(it->count), it->sum.text()});
}

void appendNotNumbers(QVector<Line> &out, qint64 n)
{
    if (n > 0)
        out.append({Line::Kind::NotNumbers, QStringLiteral("не числа: %1").arg(n), {}, {}, {}});
}

}

QVector<Line> lines(const Result &result)
{
    const Request &r = result.request;
    QVector<Line> out;
    UnitSums all;
    const QVector<Entry> &entries = result.entries;
    for (qsizetype i = 0; i < entries.size();) {
        const QString &group = entries[i].group;
        UnitSums groupSums;
        if (r.second)
            out.append({Line::Kind::Heading, label(group, r.first), {}, {}, {}});
        while (i < entries.size() && entries[i].group == group) {
            // One (sub)group: a line per unit, then what was not summed.
            const QString &subgroup = entries[i].subgroup;
            qint64 notNumbers = 0;
            for (; i < entries.size() && entries[i].group == group && entries[i].subgroup == subgroup; ++i) {
                const Entry &e = entries[i];
                out.append({Line::Kind::Entry, r.second ? label(subgroup, *r.second) : label(group, r.first), e.unit,
                            QString::number(e.count), e.sum.text()});
                notNumbers += e.notNumbers;
                groupSums[e.unit].add(e);
                all[e.unit].add(e);
            }
            appendNotNumbers(out, notNumbers);
        }
        if (r.second)
            appendSums(out, Line::Kind::Subtotal, QStringLiteral("Итого по ") + label(group, r.first), groupSums);
    }
    if (all.isEmpty())
        out.append({Line::Kind::Total, QStringLiteral("Всего"), {}, QStringLiteral("0"), QStringLiteral("0")});
    appendSums(out, Line::Kind::Total, QStringLiteral("Всего"), all);
    appendNotNumbers(out, notNumbersOf(all));
    return out;
}

QStringList titleLines(const Request &r, const QDateTime &made)
{
    QString period = QStringLiteral("Итоги по взвешиваниям");
    if (r.from.isValid())
        period += QStringLiteral(" с ") + r.from.toString(DateFormat);
    if (r.to.isValid())
        period += QStringLiteral(" по ") + r.to.toString(DateFormat);
    if (!r.from.isValid() && !r.to.isValid())
        period += QStringLiteral(" за всё время");
    QString grouping = info(r.first).caption;
    if (r.second)
        grouping += QStringLiteral(", ") + info(*r.second).caption;
    QStringList out{period, grouping};
    if (!r.searchLines.isEmpty())
        out << QStringLiteral("Условия поиска: ") + r.searchLines.join(QString());
    out << QStringLiteral("Составлено ") + made.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    return out;
}

QStringList headers(const Request &r)
{
    QString first = info(r.first).heading;
    if (r.second)
        first += QStringLiteral(" / ") + info(*r.second).heading;
    return {first, QStringLiteral("Ед. изм."), QStringLiteral("Взвешиваний"), QStringLiteral("Нетто")};
}

QString text(const Result &result, const QDateTime &made)
{
    const QVector<Line> all = lines(result);
    const QStringList head = headers(result.request);
    const bool twoLevels = result.request.second.has_value();
    const auto labelOf = [twoLevels](const Line &l) {
        const bool indented = twoLevels && (l.kind == Line::Kind::Entry || l.kind == Line::Kind::NotNumbers);
        return indented ? QStringLiteral("    ") + l.label : l.label;
    };
    qsizetype widths[4] = {head[0].size(), head[1].size(), head[2].size(), head[3].size()};
    for (const Line &l : all) {
        widths[0] = std::max(widths[0], labelOf(l).size());
        widths[1] = std::max(widths[1], l.unit.size());
        widths[2] = std::max(widths[2], l.count.size());
        widths[3] = std::max(widths[3], l.sum.size());
    }
    const auto row = [&widths](const QString &a, const QString &b, const QString &c, const QString &d) {
        const QString line = a.leftJustified(widths[0]) + QStringLiteral("  ") + b.leftJustified(widths[1])
                             + QStringLiteral("  ") + c.rightJustified(widths[2]) + QStringLiteral("  ")
                             + d.rightJustified(widths[3]);
        qsizetype end = line.size();
        while (end > 0 && line[end - 1] == QLatin1Char(' '))
            --end;
        return line.left(end) + QLatin1Char('\n');
    };
    QString out = titleLines(result.request, made).join(QLatin1Char('\n')) + QStringLiteral("\n\n");
    out += row(head[0], head[1], head[2], head[3]);
    for (const Line &l : all)
        out += row(labelOf(l), l.unit, l.count, l.sum);
    return out;
}

QByteArray csv(const Result &result)
{
    const auto cell = [](const QString &text) {
        QByteArray bytes = text.toUtf8();
        if (!bytes.contains(';') && !bytes.contains('"') && !bytes.contains('\n') && !bytes.contains('\r'))
            return bytes;
        bytes.replace('"', "\"\"");
        return '"' + bytes + '"';
    };
    QByteArray out = QByteArrayLiteral("Группа;Подгруппа;Ед. изм.;Взвешиваний;Нетто\r\n");
    for (const Entry &e : result.entries)
        out += cell(e.group) + ';' + cell(e.subgroup) + ';' + cell(e.unit) + ';' + QByteArray::number(e.count) + ';'
               + cell(e.sum.text()) + "\r\n";
    return out;
}

} // namespace Totals
