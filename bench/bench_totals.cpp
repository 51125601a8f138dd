// Totals on a project-shaped journal (gen_journal.py beside this file) of
// 1,000,000 rows: a month's totals by customer against the sqlite3 shell
// grouping the same rows by customer and unit (with a floating sum) on the
// same file in the same run, the whole journal's, and the longest the totals
// window's event loop stood still while it counted the whole journal and
// opened its report. Prints figures and ratios; asserts nothing. Needs a
// display or QT_QPA_PLATFORM=offscreen.
//
//   bench_totals [ROWS] [FOLDER] [ROUNDS]   (FOLDER keeps the journal for reuse)

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include "journalgenerator.h"
#include "print/totals.h"
#include "print/totalswindow.h"
#include "store/tablestore.h"
#include "toolkit/datefield.h"
#include "toolkit/report/previewwindow.h"

namespace {

QTextStream out(stdout);

bool run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(program, args);
    return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool prepare(const QString &folder, int rows)
{
    QFile ready(QDir(folder).filePath(QStringLiteral("bench-ready")));
    if (ready.open(QIODevice::ReadOnly) && ready.readAll().trimmed() == QByteArray::number(rows))
        return true;
    ready.close();
    QDir(folder).removeRecursively();
    const QString tool = QCoreApplication::applicationDirPath() + QStringLiteral("/krodalin-db");
    if (!run(tool, {"init", folder, "--admin", "a", "--admin-password", "a", "--operator", "o", "--operator-password", "o"})
        || !run(QStringLiteral("python3"), {QStringLiteral(KRODALIN_BENCH_DIR "/gen_journal.py"), QString::number(rows), folder}))
        return false;
    return ready.open(QIODevice::WriteOnly) && ready.write(QByteArray::number(rows) + '\n') > 0;
}

QString shellSql(const QString &where)
{
    using namespace WeighingRecord;
    return QStringLiteral("SELECT %2, %3, count(*), sum(CAST(replace(%4, ',', '.') AS REAL)) "
                          "FROM %6 WHERE %5 = '2'%1 GROUP BY 1, 2 ORDER BY 1, 2")
        .arg(where, bench::column(Zakazchik), bench::column(Ed_izm), bench::column(Netto), bench::column(Ok_cicle),
             bench::journalTable());
}

double programMs(TableStore &store, const Totals::Request &r, qsizetype &entries)
{
    QElapsedTimer t;
    t.start();
    const Totals::Result result = Totals::compute(store, r);
    // The exact sums are made when the lines are.
    const QVector<Totals::Line> lines = Totals::lines(result);
    entries = lines.size();
    return bench::ms(t);
}

}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int rows = argc > 1 ? QString(argv[1]).toInt() : 1000000;
    QTemporaryDir temp;
    const QString folder = argc > 2 ? QString(argv[2]) : temp.filePath(QStringLiteral("project"));
    const int rounds = bench::rounds(argc, argv);
    if (!prepare(folder, rows)) {
        out << "could not make the journal\n";
        return 1;
    }
    auto store = TableStore::open(folder);
    const QString file = TableStore::databasePath(folder);

    Totals::Request month;
    month.from = QDate(2023, 3, 1);
    month.to = QDate(2023, 3, 31);
    const QString monthWhere =
        QStringLiteral(" AND %1 BETWEEN '2023-03-01' AND '2023-03-31'").arg(bench::column(WeighingRecord::Dat));
    Totals::Request whole;
    Totals::Request wholeTwo;
    wholeTwo.second = Totals::Grouping::Goods;

    out << "totals on a project-shaped journal of " << rows << " rows, median of " << rounds << " rounds\n";
    struct Case
    {
        const char *title;
        Totals::Request request;
        QString shellWhere;
        bool shell;
    };
    const Case cases[] = {{"March 2023 by customer", month, monthWhere, true},
                          {"whole journal by customer", whole, QString(), true},
                          {"whole journal by customer, then goods", wholeTwo, QString(), false}};
    for (const Case &c : cases) {
        QVector<double> program, shell;
        qsizetype lines = 0;
        for (int i = 0; i < rounds; ++i) {
            program << programMs(*store, c.request, lines);
            if (c.shell)
                shell << bench::shell(file, shellSql(c.shellWhere), out);
        }
        const double p = bench::median(program);
        out << "  " << c.title << ": " << bench::fixed(p) << " ms (" << lines << " lines)";
        if (c.shell) {
            const double s = bench::median(shell);
            out << ", sqlite3 shell " << bench::fixed(s) << " ms, ratio " << bench::fixed(p / s, 2);
        }
        out << "\n";
    }

    // The window over the whole journal: from "Показать" to the preview.
    TotalsWindow window(*store, {});
    window.show();
    window.dateFrom()->clear();
    window.dateTo()->clear();
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(2);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    QEventLoop wait;
    QObject::connect(&window, &TotalsWindow::counted, &wait, &QEventLoop::quit);
    tick.start();
    QApplication::processEvents();
    clock.restart();
    last = 0;
    longest = 0;
    window.showTotals();
    wait.exec();
    QApplication::processEvents();
    const double shown = bench::ms(clock);
    longest = std::max(longest, clock.nsecsElapsed() - last);
    out << "  the window, whole journal by customer: report shown after " << bench::fixed(shown)
        << " ms; longest event-loop stall " << bench::fixed(longest / 1e6) << " ms\n";
    if (window.report().preview())
        window.report().preview()->close();
    store.reset();
    return 0;
}
