#pragma once
// Totals of the journal's completed weighings (Ok_cicle "2") over a period:
// how many weighings and how much Netto per customer, goods, truck,
// consignor or day, optionally split once more (customer, then goods), each
// unit apart ("кг" and "т" are never added together), with subtotals per
// first-level group and a grand total. The sums are exact decimal sums of
// the Netto texts; a Netto that is not a number is counted, not summed.
//
// One walk of the period's rows (the date's index finds a month at once)
// gathers them per keys and unit here, with the exact sums made on each
// Netto text's digits as it comes: the engine's GROUP BY would first sort
// every row of a long period. No widget in here: the totals window and the
// command line show the same lines.

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>
#include <optional>

#include "indicator/numberform.h"
#include "store/schema.h"
#include "store/tablescan.h"


namespace Totals {

enum class Grouping { Customer, Goods, Truck, Consignor, Day };

struct GroupingInfo
{
    Grouping grouping;
    const char *name;      // the command line's: customer, goods, truck, consignor, day
    QString caption;       // "по заказчикам", ...
    QString heading;       // the column's header: "Заказчик", ...
    WeighingRecord::Field field;   // the journal field grouped on
};
const QVector<GroupingInfo> &groupings();   // in the order the window lists them
const GroupingInfo &info(Grouping g);
std::optional<Grouping> groupingNamed(const QString &name);

struct Request
{
    QDate from, to;   // inclusive; an invalid date leaves that side open
    Grouping first = Grouping::Customer;
    std::optional<Grouping> second;
    // Filter lines of the journal search, and-ed with the period when not empty.
    QStringList searchLines;
};

// The weighings of one (sub)group in one unit.
struct Entry
{
    QString group, subgroup;   // the key texts as stored (a day as dd.MM.yyyy); subgroup empty on one level
    QString unit;
    qint64 count = 0;          // completed weighings
    qint64 notNumbers = 0;     // ... of them with a Netto that is not a number
    NumberForm::Total sum;     // the Netto of the others
};

struct Result
{
    Request request;
    QVector<Entry> entries;   // ordered by group, subgroup, unit
};

// The totals, read on the store's own connection. Throws StoreError.
Result compute(TableStore &store, const Request &request);

// The same on a connection of its own, so that a worker thread reads while
// the window thread goes on: made on the window thread, run() once on the
// worker. runsApart() is false where no second connection sees what the
// store's sees (an SQLite database in memory or in a transaction of its
// own): run() must then be called on the window thread.
class Reading
{
public:
    Reading(TableStore &store, Request request);
    ~Reading();
    Reading(const Reading &) = delete;
    Reading &operator=(const Reading &) = delete;
    bool runsApart() const;
    Result run();   // throws StoreError

private:
    Request m_request;
    ApartRead m_read;
};

// One line of the report, as the window prints it and the command line writes it.
struct Line
{
    enum class Kind { Heading, Entry, Subtotal, NotNumbers, Total };
    Kind kind = Kind::Entry;
    QString label;   // a subgroup's is printed indented
    QString unit, count, sum;
};
QVector<Line> lines(const Result &result);

// The title lines: "Итоги по взвешиваниям с 01.03.2005 по 31.03.2005",
// "по заказчикам, по товарам", "Составлено 01.04.2005 08:15:00".
QStringList titleLines(const Request &request, const QDateTime &made);
// The column headers: "Заказчик / Товар", "Ед. изм.", "Взвешиваний", "Нетто".
QStringList headers(const Request &request);

// The report as text, one line per line, cells aligned in columns (a
// subgroup's label indented by four blanks).
QString text(const Result &result, const QDateTime &made);

// UTF-8, ";"-separated, header "Группа;Подгруппа;Ед. изм.;Взвешиваний;Нетто",
// one line per (sub)group and unit, no subtotals; a cell holding ";", a quote
// or a line break in quotes, a quote inside doubled; lines end in CR LF.
QByteArray csv(const Result &result);

} // namespace Totals
