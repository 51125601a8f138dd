// The journal on a PostgreSQL server against the same journal in its SQLite
// file, in one run: a throw-away local server (the tests' PgCluster, with
// fsync on as a real server has it) gets the 1,000,000-row SQLite journal
// through the preparation tool's copy; then, on both engines, the first-pass
// post, the second-pass post (its once-only check included), the pending-
// truck window opening, the thirteen reference lists filled in-process (the
// SQLite path reads the file in place through its C interface, the server
// path a forward-only query), and the start-up of fresh program processes to
// the main window with its lists, beside the sqlite3 and psql shells reading
// the same thirteen columns. Prints figures and ratios; asserts nothing.
// Needs a display or QT_QPA_PLATFORM=offscreen.
//
//   bench_server [ROWS] [FOLDER] [ROUNDS]   (FOLDER keeps the generated SQLite journal)

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <sys/resource.h>

#include "app/mainform.h"
#include "app/startup.h"
#include "common/failure.h"
#include "common/session.h"
#include "journalgenerator.h"
#include "startupchild.h"
#include "pgcluster.h"
#include "store/schema.h"
#include "store/tablecopy.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "toolkit/cursorgrid.h"
#include "toolkit/cursormodel.h"
#include "weighing/entryform.h"
#include "weighing/journalrecord.h"
#include "weighing/referencelists.h"
#include "weighing/tnewdb.h"

namespace {

QTextStream out(stdout);
const QString Database = QStringLiteral("krodalin_bench");

using bench::ms;

struct Figures
{
    std::vector<double> values;
    void add(double v) { values.push_back(v); }
    double median() const
    {
        std::vector<double> v = values;
        std::sort(v.begin(), v.end());
        return v.empty() ? -1 : v[v.size() / 2];
    }
    double mean() const
    {
        double sum = 0;
        for (double v : values)
            sum += v;
        return values.empty() ? -1 : sum / double(values.size());
    }
    double worst() const { return values.empty() ? -1 : *std::max_element(values.begin(), values.end()); }
    QString text(int decimals = 1) const
    {
        return QStringLiteral("median %1 ms, mean %2, worst %3")
            .arg(median(), 0, 'f', decimals)
            .arg(mean(), 0, 'f', decimals)
            .arg(worst(), 0, 'f', decimals);
    }
};

QString ratio(double a, double b) { return QString::number(a / b, 'f', 2); }

// Wall time of a fresh start-up process (see startupchild.h); its peak
// memory goes into *peakKb.
double timeStartUp(const QString &folder, qint64 *peakKb)
{
    const bench::StartUp run = bench::timeStartUp(folder);
    *peakKb = std::max(*peakKb, run.peakKb);
    return run.ms;
}

double timeShell(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    if (!p.waitForFinished(300000) || p.exitCode() != 0)
        return -1;
    return ms(t);
}

QString entryColumns()
{
    QStringList columns;
    for (int p = 0; p < WeighingRecord::EntryFieldCount; ++p)
        columns << QStringLiteral("\"%1\"").arg(Schema::journalFields().at(p));
    return columns.join(u',');
}

// What the weigh operation writes: first passes appended through the main
// window's view, then second passes completing them through the pending
// window's view with the once-only check.
void timePasses(TableStore &store, const QString &engine, int passes)
{
    TableCursor view(store, Tables::Journal), pendingView(store, Tables::Journal);
    view.Open();
    pendingView.Open();
    Figures first, second;
    QVector<qint64> ids;
    QElapsedTimer t;
    for (int i = 0; i < passes; ++i) {
        t.start();
        view.Append();
        view.SetFieldText(WeighingRecord::N_Avto, QStringLiteral("Б%1ББ").arg(i, 3, 10, QChar('0')));
        for (int p = 1; p < WeighingRecord::EntryFieldCount; ++p)
            view.SetFieldText(p, QStringLiteral("текст %1").arg(p));
        view.SetFieldDateTime(WeighingRecord::Dat, QDateTime::currentDateTime());
        view.SetFieldText(WeighingRecord::Time, QStringLiteral("12:00:00"));
        view.SetFieldText(WeighingRecord::Tara, QStringLiteral("5,1"));
        view.SetFieldText(WeighingRecord::Klad, QStringLiteral("Оператор"));
        view.SetFieldText(WeighingRecord::Ed_izm, QStringLiteral("т"));
        view.SetFieldText(WeighingRecord::Ok_tara, WeighingRecord::Awaiting);
        view.Post();
        first.add(ms(t));
        ids << view.currentId();
    }
    // Half of them completed; the rest keep the pending-truck window busy.
    for (int i = 0; i < passes / 2; ++i) {
        t.start();
        pendingView.moveToId(ids[i]);
        pendingView.Edit();
        pendingView.SetFieldText(WeighingRecord::Sum, QStringLiteral("15,32"));
        pendingView.SetFieldText(WeighingRecord::Netto, QStringLiteral("10,22"));
        pendingView.SetFieldText(WeighingRecord::Ok_tara, WeighingRecord::Done);
        pendingView.SetFieldText(WeighingRecord::Ok_brutto, WeighingRecord::Done);
        pendingView.SetFieldText(WeighingRecord::Ok_cicle, WeighingRecord::Completed);
        pendingView.PostIfStill(WeighingRecord::Ok_tara, WeighingRecord::Awaiting);
        second.add(ms(t));
    }
    out << engine << ": first-pass post (" << passes << "): " << first.text(2) << "\n";
    out << engine << ": second-pass post with its check (" << passes / 2 << "): " << second.text(2) << "\n";
}

// The pending-truck window shown for "Брутто после погрузки": its view
// filtered to the waiting trucks, the grid filled and painted.
void timePendingWindow(TableStore &store, const QString &engine, int rounds)
{
    QWidget window;
    auto *panel = new QWidget(&window);
    auto *slot = new QWidget(&window);
    auto *unit = new QLabel(QStringLiteral("т"), &window);
    auto *view = new TableCursor(store, Tables::Journal, &window);
    view->Open();
    EntryForm form({panel, slot, unit, view, nullptr});
    TnewDB pending(&form);
    Figures open;
    int rows = 0;
    QElapsedTimer t;
    for (int i = 0; i < rounds; ++i) {
        t.start();
        pending.show();
        QApplication::processEvents();
        open.add(ms(t));
        rows = pending.grid()->cursorModel()->rowCount();
        pending.hide();
        QApplication::processEvents();
    }
    out << engine << ": pending-truck window opened (" << rows << " waiting trucks): " << open.text(1) << "\n";
}

double timeLists(TableStore &store, const QString &engine)
{
    QElapsedTimer t;
    t.start();
    TableCursor view(store, Tables::Journal);
    view.Open();
    ReferenceLists lists;
    lists.refresh(view);
    const double took = ms(t);
    out << engine << ": 13 reference lists in-process (open + walk of every row): " << took << " ms\n";
    return took;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

}

int main(int argc, char *argv[])
{
    if (argc > 2 && qstrcmp(argv[1], bench::StartUpFlag) == 0)
        bench::startUpChild(argc, argv, QString::fromLocal8Bit(argv[2]));

    QApplication app(argc, argv);
    QTemporaryDir temp, serverFolder;
    std::unique_ptr<TableStore> store;
    const QString folder = bench::prepareJournal(argc, argv, temp.path(), out, store);
    const int rounds = bench::rounds(argc, argv, 5);
    const QString file = TableStore::databasePath(folder);
    store.reset();

    PgCluster &server = PgCluster::shared();
    if (!server.isRunning() || !server.setDurable(true) || !server.createDatabase(Database)) {
        out << "no server: " << server.error() << "\n";
        return 1;
    }
    QElapsedTimer t;
    t.start();
    try {
        auto store = TableStore::openServer(server.connectionString(Database));
        const QVector<TableCopy::Copied> copied = TableCopy::fromSqlite(*store, file);
        out << "copy of the SQLite journal onto the server (" << copied.first().rows << " rows, COPY): " << ms(t)
            << " ms\n";
        QSqlQuery(store->connection()).exec(QStringLiteral("VACUUM ANALYZE"));
        store.reset();
    } catch (const Failure &e) {
        out << "copy failed: " << e.message() << "\n";
        return 1;
    }
    writeFile(serverFolder.filePath(QStringLiteral("database.ini")), server.databaseIni(Database).toUtf8());
    const QString fresh = QString::fromLatin1(" (fresh)");
    out.flush();

    struct Engine
    {
        QString name;
        QString folder;
    };
    const Engine engines[] = {{QStringLiteral("sqlite"), folder}, {QStringLiteral("server"), serverFolder.path()}};
    double lists[2] = {0, 0};
    for (int e = 0; e < 2; ++e) {
        try {
            auto store = TableStore::open(engines[e].folder);
            lists[e] = timeLists(*store, engines[e].name);
            timePasses(*store, engines[e].name, 200);
            timePendingWindow(*store, engines[e].name, rounds);
            store.reset();
        } catch (const Failure &f) {
            out << engines[e].name << " failed: " << f.message() << "\n";
            return 1;
        }
        out.flush();
    }
    out << "lists in-process, server / sqlite: " << ratio(lists[1], lists[0]) << "\n";

    // Start-up of fresh processes, interleaved with each other and with the
    // two shells reading the same columns, so that all meet the same load.
    const QString select = QStringLiteral("SELECT %1 FROM bd_main_db").arg(entryColumns());
    Figures startUp[2], sqliteShell, psqlShell;
    qint64 peakKb[2] = {0, 0};
    for (int i = 0; i < rounds; ++i) {
        sqliteShell.add(timeShell(QStringLiteral("sqlite3"), {file, select}));
        psqlShell.add(timeShell(QStringLiteral("psql"), {QStringLiteral("-qAt"), QStringLiteral("-o"),
                                                          QStringLiteral("/dev/null"),
                                                          server.connectionString(Database), QStringLiteral("-c"),
                                                          select}));
        for (int e = 0; e < 2; ++e)
            startUp[e].add(timeStartUp(engines[e].folder, &peakKb[e]));
    }
    out << "sqlite3 shell, 13 columns of every row: " << sqliteShell.text(0) << "\n";
    out << "psql, the same on the server: " << psqlShell.text(0) << "\n";
    for (int e = 0; e < 2; ++e)
        out << engines[e].name << ": start-up to the main window with 13 lists" << fresh << ": "
            << startUp[e].text(0) << "; peak RSS " << peakKb[e] / 1024 << " MB\n";
    out << "start-up server / sqlite: " << ratio(startUp[1].median(), startUp[0].median()) << " (medians; limit 2)\n";
    out << "start-up server / psql shell: " << ratio(startUp[1].median(), psqlShell.median())
        << "; sqlite / sqlite3 shell: " << ratio(startUp[0].median(), sqliteShell.median()) << "\n";
    return 0;
}
