// krodalin-db verify against a journal the program wrote (passes, a hand
// edit, a deletion), then changed behind its back: with the sqlite3 shell on
// the file, or another connection to the server. And two stations posting
// at once on one server keep one chain.

#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

#include "common/failure.h"
#include "common/session.h"
#include "store/passlog.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "tempdatabase.h"
#include "toolrun.h"

namespace {

// A pass posted as the weigh operation posts it: the row and its record in one go.
void postPass(TableCursor &journal, int pass, const QList<QPair<QString, QString>> &fields)
{
    if (pass == 1)
        journal.Append(TableCursor::Origin::Program);
    else
        journal.Edit(TableCursor::Origin::Program);
    for (const auto &[f, v] : fields)
        journal.SetFieldText(f, v);
    journal.setPostRecorder([pass, &store = journal.store()](qint64 rowId, const FieldValues &written) {
        PassRecord r;
        r.rowId = rowId;
        r.pass = pass;
        r.mode = pass == 1 ? QStringLiteral("Тара перед погрузкой") : QStringLiteral("Брутто после погрузки");
        r.weight = QStringLiteral("20");
        r.unit = QStringLiteral("т");
        r.at = QStringLiteral("2026-12-10 09:00:00.000");
        r.operatorName = Session::OperatorName;
        r.station = QStringLiteral("весовая-1");
        r.trace = {{-1000, QStringLiteral(" 19,980"), false}, {0, QStringLiteral(" 20,000"), true}};
        if (pass == 2) {
            // Against a stored tare, as a one-pass weighing says it.
            r.tareFrom = QStringLiteral("stored");
            r.tareDay = QStringLiteral("2026-12-01");
            r.tareRow = 1;
        }
        PassLog::write(store, r, written);
    });
    journal.Post();
}

// Rows 1 (both passes), 2 (first pass), 3 (first pass, then a hand edit)
// and 4 (first pass, then deleted in edit mode).
void writeHistory(TableStore &store)
{
    Session::OperatorName = QStringLiteral("Петрова А.С.");
    TableCursor journal(store, Tables::Journal);
    journal.Open();
    for (const QString truck : {"А001АА", "В002ВВ", "С003СС", "Е004ЕЕ"})
        postPass(journal, 1, {{"N_Avto", truck}, {"Tara", "7,5"}, {"Ok_tara", "1"}});
    journal.moveToId(1);
    postPass(journal, 2, {{"Sum", "20"}, {"Netto", "12,5"}, {"Ok_tara", "0"}, {"Ok_cicle", "2"}});
    journal.setAudited(true);
    journal.moveToId(3);
    journal.Edit();
    journal.SetFieldText(QStringLiteral("Zena"), QStringLiteral("120"));
    journal.Post();
    journal.moveToId(4);
    journal.Delete();
}

// One station on the folder's server: posts first passes until told.
int station(const QString &folder, const QString &name)
{
    try {
        auto store = TableStore::open(folder);
        Session::OperatorName = name;
        TableCursor journal(*store, Tables::Journal);
        journal.Open();
        for (int i = 0; i < 40; ++i)
            postPass(journal, 1, {{"N_Avto", QStringLiteral("%1-%2").arg(name).arg(i)}});
    } catch (const Failure &e) {
        qWarning("%s", qPrintable(e.message()));
        return 1;
    }
    return 0;
}

}

class TestChainVerify final : public QObject
{
    Q_OBJECT

private slots:
    void verifyNamesWhatChanged_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("change");   // SQL run behind the program's back
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("line");
        for (const char *engine : {"sqlite", "server"}) {
            const auto row = [&](const char *name) -> QTestData & { return QTest::addRow("%s, %s", engine, name) << QString::fromLatin1(engine); };
            row("untouched") << QString() << 0 << QStringLiteral("Журнал совпадает с цепочкой");
            row("field updated") << QString::fromUtf8("UPDATE bd_main_db SET \"Sum\" = '25' WHERE id = 1") << 3
                                 << QString::fromUtf8("BD_main.db запись 1: изменена вне программы, поле Sum: по цепочке «20», в таблице «25»");
            row("row inserted") << QString::fromUtf8("INSERT INTO bd_main_db (\"N_Avto\") VALUES ('Х777ХХ')") << 3
                                << QString::fromUtf8("BD_main.db запись 5: добавлена вне программы, поле N_Avto: по цепочке нет, в таблице «Х777ХХ»");
            row("row deleted") << QString::fromUtf8("DELETE FROM bd_main_db WHERE id = 2") << 3
                               << QString::fromUtf8("BD_main.db запись 2: удалена вне программы, поле N_Avto: по цепочке «В002ВВ», в таблице нет");
            row("trail row altered") << QString::fromUtf8("UPDATE bd_audit SET \"NewText\" = '90' WHERE \"Field\" = 'Zena'") << 3
                                     << QString::fromUtf8("изменена вне программы, поле NewText (Zena): по цепочке «120», в таблице «90»");
            row("pass record altered") << QString::fromUtf8("UPDATE bd_pass SET \"Weight\" = '21' WHERE id = 2") << 3
                                       << QString::fromUtf8("BD_pass запись 2: изменена вне программы, поле Weight: по цепочке «20», в таблице «21»");
            row("stored tare's row altered") << QString::fromUtf8("UPDATE bd_pass SET \"TareRow\" = 3 WHERE id = 5") << 3
                                             << QString::fromUtf8("BD_pass запись 5: изменена вне программы, поле TareRow: по цепочке «1», в таблице «3»");
            row("link removed") << QString::fromUtf8("DELETE FROM bd_chain WHERE id = 3") << 3 << QString::fromUtf8("Первое нарушенное звено цепочки: 4");
        }
    }
    void verifyNamesWhatChanged()
    {
        QFETCH(QString, engine);
        QFETCH(QString, change);
        QFETCH(int, code);
        QFETCH(QString, line);
        TempDatabase db(TempDatabase::engineNamed(engine));
        if (!db.isValid())
            QSKIP(qPrintable(db.error()));
        writeHistory(db.store());
        if (!change.isEmpty()) {
            if (engine == QLatin1String("sqlite")) {
                QProcess shell;
                shell.start(QStringLiteral("sqlite3"), {TableStore::databasePath(db.programDir()), change});
                QVERIFY(shell.waitForFinished());
                QCOMPARE(shell.exitCode(), 0);
            } else {
                QSqlQuery q(db.otherProgram());
                QVERIFY2(q.exec(change), qPrintable(q.lastError().text()));
            }
        }
        const Run run = krodalinDb({QStringLiteral("verify"), db.programDir()});
        QVERIFY2(run.out.contains(line), qPrintable(run.out + run.err));
        QCOMPARE(run.code, code);
        // Every run names the last link.
        QVERIFY(run.out.contains(QRegularExpression(QStringLiteral("последнее звено: \\d+ [0-9a-f]{64}"))));
    }

    // A folder prepared before the chain: init adds the pass records and the
    // chain, and the rows already there count as unlogged, not as added.
    void initChainsAnOlderFolder()
    {
        TempDatabase db;
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        {
            QSqlQuery q(db.store().connection());
            QVERIFY(q.exec(QStringLiteral("DROP TABLE bd_pass")) && q.exec(QStringLiteral("DROP TABLE bd_chain"))
                    && q.exec(QStringLiteral("DROP TABLE bd_trucks")));
        }
        db.addJournalRow({{"N_Avto", "А001АА"}});
        db.addJournalRow({{"N_Avto", "В002ВВ"}});
        db.close();
        const Run init = krodalinDb({QStringLiteral("init"), db.programDir()});
        QCOMPARE(init.code, 0);
        QVERIFY2(init.out.contains(QStringLiteral("Таблица BD_pass добавлена"))
                     && init.out.contains(QStringLiteral("Таблица BD_chain добавлена"))
                     && init.out.contains(QStringLiteral("Таблица BD_trucks добавлена")),
                 qPrintable(init.out));
        const Run run = krodalinDb({QStringLiteral("verify"), db.programDir()});
        QVERIFY2(run.out.contains(QStringLiteral("до начала цепочки (unlogged): 2")), qPrintable(run.out));
        QCOMPARE(run.code, 0);
        auto store = TableStore::open(db.programDir());
    }

    void twoStationsKeepOneChain()
    {
        TempDatabase db(TableStore::Engine::Server);
        if (!db.isValid())
            QSKIP(qPrintable(db.error()));
        QProcess a, b;
        for (auto [p, name] : {std::pair{&a, "Весовая1"}, std::pair{&b, "Весовая2"}})
            p->start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--station"), db.programDir(), QString::fromUtf8(name)});
        QVERIFY(a.waitForFinished(120000) && b.waitForFinished(120000));
        QCOMPARE(a.exitCode(), 0);
        QCOMPARE(b.exitCode(), 0);
        const Run run = krodalinDb({QStringLiteral("verify"), db.programDir()});
        QVERIFY2(run.code == 0, qPrintable(run.out + run.err));
        QVERIFY2(run.out.contains(QStringLiteral("Звеньев в цепочке: 81;")), qPrintable(run.out));
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--station") == 0)
        return station(QString::fromLocal8Bit(argv[2]), QString::fromUtf8(argv[3]));
    TestChainVerify test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_chainverify.moc"
