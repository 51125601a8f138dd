// The backup of a journal of 1,000,000 rows beside the sqlite3 shell's
// ".backup" of the same file in the same run, and what the program's daily
// backup, copying on its own thread, does to posts and timer ticks on the
// window thread. Prints its figures and ratios; asserts nothing.
//
//   bench_backup [ROWS] [FOLDER] [ROUNDS]

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <algorithm>

#include "app/dailybackup.h"
#include "store/databasebackup.h"
#include "store/schema.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "journalgenerator.h"

namespace {

QTextStream out(stdout);

QString range(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    return bench::fixed(v.first(), 0) + "–" + bench::fixed(v.last(), 0);
}

void removeCopy(const QString &path)
{
    for (const char *suffix : {"", "-journal", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
}

// Posts a first pass on every tick of a 50 ms timer (a very busy
// weighbridge) on this thread's event loop until stop() is called, timing
// each Post and how late each tick came (the window thread's stalls).
class Poster
{
public:
    explicit Poster(TableStore &store) : m_journal(store, Tables::Journal)
    {
        m_journal.Open();
        m_timer.setInterval(50);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
    }
    void start()
    {
        m_since.start();
        m_timer.start();
    }
    void stop() { m_timer.stop(); }
    QString figures() const
    {
        return QStringLiteral("%1 posts, mean %2 ms, worst %3 ms, over 20 ms: %4; ticks late by at most %5 ms")
            .arg(m_count)
            .arg(bench::fixed(m_count ? m_total / m_count : 0, 2), bench::fixed(m_worst, 2))
            .arg(m_over20)
            .arg(bench::fixed(m_late, 0));
    }

private:
    void tick()
    {
        m_late = std::max(m_late, double(m_since.elapsed() - 50 * (m_count + 1)));
        m_journal.Append();
        m_journal.SetFieldText(WeighingRecord::N_Avto, QStringLiteral("Б%1БЕ").arg(m_count));
        m_journal.SetFieldText(WeighingRecord::Tara, QStringLiteral("5,1"));
        m_journal.SetFieldText(WeighingRecord::Ok_tara, QStringLiteral("1"));
        QElapsedTimer t;
        t.start();
        m_journal.Post();
        const double ms = bench::ms(t);
        m_total += ms;
        m_worst = std::max(m_worst, ms);
        m_over20 += ms > 20;
        ++m_count;
    }

    TableCursor m_journal;
    QTimer m_timer;
    QElapsedTimer m_since;
    int m_count = 0, m_over20 = 0;
    double m_total = 0, m_worst = 0, m_late = 0;
};

}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir temp;
    std::unique_ptr<TableStore> store;
    const QString folder = bench::prepareJournal(argc, argv, temp.path(), out, store);
    const int rounds = bench::rounds(argc, argv);
    const QString file = TableStore::databasePath(folder);
    store.reset();
    out << "database: " << bench::fixed(QFileInfo(file).size() / 1048576.0) << " MB\n";

    QTemporaryDir copies;
    const QString ours = copies.filePath(QStringLiteral("ours.sqlite"));
    const QString theirs = copies.filePath(QStringLiteral("shell.sqlite"));

    // Alternating, so that both meet the same caches.
    QVector<double> backups, checks, shells;
    for (int r = 0; r < rounds; ++r) {
        removeCopy(theirs);
        shells << bench::shell(file, QStringLiteral(".backup '%1'").arg(theirs), out);
        removeCopy(ours);
        QElapsedTimer t;
        t.start();
        DatabaseBackup::take(file, ours);
        backups << bench::ms(t);
        t.start();
        const QString unsound = DatabaseBackup::check(ours);
        checks << bench::ms(t);
        if (!unsound.isEmpty())
            out << "the copy is unsound: " << unsound << "\n";
    }
    out << "backup (copy, sync, quick_check, rename): " << range(backups)
        << " ms; sqlite3 shell .backup (process start included): " << range(shells) << " ms\n";
    out << "ratio backup / shell (median): " << bench::fixed(bench::median(backups) / bench::median(shells), 2)
        << " (goal at most 1.5)\n";
    out << "full integrity_check of the copy (as restore checks it): " << range(checks) << " ms, "
        << bench::fixed(bench::median(checks) / bench::median(shells), 2) << " x the shell's backup\n";

    // Posts from this thread's event loop, once for two seconds alone and
    // once while the program's daily backup copies on its own thread.
    store = TableStore::open(folder);
    {
        Poster alone(*store);
        QEventLoop loop;
        QTimer::singleShot(2000, &loop, &QEventLoop::quit);
        alone.start();
        loop.exec();
        alone.stop();
        out << "alone: " << alone.figures() << "\n";
    }
    QDir(DailyBackup::folder(folder)).removeRecursively();
    Poster during(*store);
    DailyBackup backup(folder, QDate::currentDate());
    QEventLoop loop;
    QString error;
    QObject::connect(&backup, &DailyBackup::finished, [&](const QString &e) {
        error = e;
        loop.quit();
    });
    QElapsedTimer t;
    t.start();
    backup.start();
    during.start();
    loop.exec();
    during.stop();
    out << "during the daily backup (" << bench::fixed(bench::ms(t), 0) << " ms" << (error.isEmpty() ? "" : ", " + error)
        << "): " << during.figures() << "\n";
    store.reset();
    return 0;
}
