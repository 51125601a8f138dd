// The weighing evidence on a journal of 1,000,000 completed rows, each with
// its two passes (a half minute of readings apiece) and their links:
//   - a pass posted with its record and link beside a post as it was before
//     (no record, no link), on the same journal, each reaching the disk;
//   - krodalin-db verify's check beside the sqlite3 shell reading every row
//     of the journal and of the log (BD_pass, BD_chain, BD_audit);
//   - the evidence window opened on a row in the middle, painted.
// Usage: bench_evidence [ROWS] [FOLDER] [ROUNDS]

#include <QApplication>
#include <QTemporaryDir>

#include "journalgenerator.h"
#include "journal/evidencewindow.h"
#include "store/chainverify.h"
#include "store/schema.h"
#include "store/passlog.h"
#include "store/rawquery.h"
#include "store/tablecursor.h"

namespace {

QVector<TraceReading> sampleTrace(double weight)
{
    QVector<TraceReading> t;
    for (int i = 0; i < 30; ++i) {
        const double w = i < 20 ? weight * i / 20 : weight;
        t.append({(i - 29) * 1000LL - 400, QString::number(w, 'f', 3).replace('.', ','), i >= 22});
    }
    return t;
}

// Two passes and two links for every journal row, written straight in one
// transaction: the program's own records, made as fast as the file takes them.
void chainEveryRow(TableStore &store, QTextStream &out)
{
    QElapsedTimer t;
    t.start();
    const QStringList &fields = Schema::journalFields();
    QStringList cols;
    for (const QString &f : fields)
        cols << "\"" + f + "\"";
    QSqlDatabase db = store.connection();
    QSqlQuery q(db);
    q.exec("PRAGMA synchronous=OFF");
    q.exec("DELETE FROM bd_chain");
    db.transaction();
    QSqlQuery pass(db), link(db);
    pass.prepare("INSERT INTO bd_pass (\"RowId\", \"Pass\", \"Mode\", \"Weight\", \"Unit\", \"At\", \"IndicatorDate\", "
                 "\"IndicatorTime\", \"Operator\", \"Station\", \"Trace\") VALUES (?,?,?,?,?,?,?,?,?,?,?)");
    link.prepare("INSERT INTO bd_chain (\"Action\", \"TableName\", \"RowId\", \"Source\", \"SourceFrom\", "
                 "\"SourceTo\", \"Content\", \"Hash\") VALUES (?,?,?,?,?,?,?,?)");
    ChainEntry start;
    start.action = "start";
    start.table = Tables::Journal;
    start.at = "2020-01-01 00:00:00.000";
    start.facts = {{"audit-last", "0"}};
    QString previous = HashChain::linkHash(HashChain::Origin, start.canonical());
    link.addBindValue(start.action); link.addBindValue(start.table); link.addBindValue(0);
    link.addBindValue(QString("")); link.addBindValue(0); link.addBindValue(0);
    link.addBindValue(start.canonical()); link.addBindValue(previous);
    link.exec();
    using namespace WeighingRecord;
    const int date = Dat;
    const QVector<int> second = {Sum, Netto, Ok_tara, Ok_brutto, Ok_cicle, Klad, Dat, Time};
    const QString tareTrace = PassTrace::encode(sampleTrace(5.1)), grossTrace = PassTrace::encode(sampleTrace(15.32));
    RawQuery rows(store, QStringLiteral("SELECT id, %1 FROM bd_main_db ORDER BY id").arg(cols.join(',')), {});
    qint64 passId = 0;
    while (rows.next()) {
        const qint64 id = rows.integer(0);
        FieldValues all, last;
        for (int i = 0; i < fields.size(); ++i) {
            const QString v = TableCursor::valueText(rows.text(i + 1), i == date);
            all.append({fields[i], v});
            if (second.contains(i))
                last.append({fields[i], v});
        }
        for (int p = 1; p <= 2; ++p) {
            PassRecord r;
            r.rowId = id;
            r.pass = p;
            r.mode = p == 1 ? "Тара перед погрузкой" : "Брутто после погрузки";
            r.weight = p == 1 ? "5,1" : "15,32";
            r.unit = "т";
            r.at = QString("2020-01-01 08:0%1:00.000").arg(p);
            r.operatorName = all[16].second;
            r.station = "vesy-1";
            r.encodedTrace = p == 1 ? tareTrace : grossTrace;
            for (const QVariant &v : {QVariant(id), QVariant(p), QVariant(r.mode), QVariant(r.weight), QVariant(r.unit),
                                      QVariant(r.at), QVariant(QString("")), QVariant(QString("")),
                                      QVariant(r.operatorName), QVariant(r.station), QVariant(r.encodedTrace)})
                pass.addBindValue(v);
            pass.exec();
            ++passId;
            const QString content = r.chainEntry(p == 1 ? all : last).canonical();
            previous = HashChain::linkHash(previous, content);
            for (const QVariant &v : {QVariant(QString("pass")), QVariant(Tables::Journal), QVariant(id),
                                      QVariant(Tables::Passes), QVariant(passId), QVariant(passId), QVariant(content),
                                      QVariant(previous)})
                link.addBindValue(v);
            link.exec();
        }
    }
    db.commit();
    q.exec("PRAGMA wal_checkpoint(TRUNCATE)");
    q.exec("PRAGMA synchronous=FULL");
    out << "chained " << passId << " passes in " << t.elapsed() << " ms\n";
}

double postOnce(TableCursor &journal, bool withRecord)
{
    QElapsedTimer t;
    t.start();
    journal.Append(TableCursor::Origin::Program);
    journal.SetFieldText(0, "А777АА");
    journal.SetFieldText(20, "5,1");
    if (withRecord)
        journal.setPostRecorder([&store = journal.store()](qint64 rowId, const FieldValues &written) {
            PassRecord r;
            r.rowId = rowId;
            r.mode = "Тара перед погрузкой";
            r.weight = "5,1";
            r.unit = "т";
            r.at = QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm:ss.zzz");
            r.trace = sampleTrace(5.1);
            PassLog::write(store, r, written);
        });
    journal.Post();
    return bench::ms(t);
}

}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir temp;
    std::unique_ptr<TableStore> store;
    const QString folder = bench::prepareJournal(argc, argv, temp.path(), out, store);
    {
        RawQuery links(*store, "SELECT count(*) FROM bd_chain", {});
        links.next();
        if (links.integer(0) < 2)
            chainEveryRow(*store, out);
    }
    const QString file = bench::reopen(store, folder);
    const int rounds = bench::rounds(argc, argv, 3);

    // Verify beside the shell reading every row of the journal and the log.
    const QString everyRow = "SELECT * FROM bd_main_db; SELECT * FROM bd_pass; SELECT * FROM bd_chain; "
                             "SELECT * FROM bd_audit;";
    QVector<double> checks, shells;
    bool matched = true;
    for (int i = 0; i < rounds; ++i) {
        shells << bench::shell(file, everyRow, out);
        QElapsedTimer t;
        t.start();
        const ChainVerify::Report report = ChainVerify::run(*store);
        checks << bench::ms(t);
        matched = matched && report.ok();
    }
    out << "verify: " << bench::fixed(bench::median(checks), 0) << " ms (journal " << (matched ? "matches" : "DIFFERS")
        << "); sqlite3 shell reading every row of the journal and the log: " << bench::fixed(bench::median(shells), 0)
        << " ms; ratio " << bench::fixed(bench::median(checks) / bench::median(shells), 2) << " (median of "
        << rounds << ")\n";

    // Posts, alternating, each on disk before the next.
    TableCursor journal(*store, Tables::Journal);
    journal.Open();
    QVector<double> plain, recorded;
    QVector<qint64> unrecorded;
    for (int i = 0; i < 20; ++i) {
        plain << postOnce(journal, false);
        unrecorded << journal.currentId();
        recorded << postOnce(journal, true);
    }
    // Rows posted as before would be rows the chain does not know: gone
    // again, so that the journal matches its chain for the next run.
    for (qint64 id : unrecorded) {
        QSqlQuery q(store->connection());
        q.exec(QStringLiteral("DELETE FROM bd_main_db WHERE id = %1").arg(id));
    }
    out << "post of a pass: without record and link " << bench::fixed(bench::median(plain), 2)
        << " ms; with its record (30 readings) and link " << bench::fixed(bench::median(recorded), 2)
        << " ms; ratio " << bench::fixed(bench::median(recorded) / bench::median(plain), 2) << " (median of 20)\n";

    // The evidence window on a row in the middle, until it is painted.
    EvidenceWindow window(*store);
    RawQuery middle(*store, "SELECT id FROM bd_main_db ORDER BY id LIMIT 1 OFFSET 500000", {});
    const qint64 row = middle.next() ? middle.integer(0) : 1;
    QVector<double> opens;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer t;
        t.start();
        window.showRow(row + i);
        window.repaint();
        QCoreApplication::processEvents();
        opens << bench::ms(t);
        window.hide();
    }
    out << "evidence window opened and painted (2 passes): " << bench::fixed(bench::median(opens), 1)
        << " ms median, longest " << bench::fixed(*std::max_element(opens.begin(), opens.end()), 1)
        << " ms (the event loop stands still that long)\n";
    return 0;
}
