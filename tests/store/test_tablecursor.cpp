// The table store as its callers see it: walks, post-or-drop, visibility
// across cursors, name lookup, filters, and hostile text. Every case runs on
// both engines of the alias WE: an SQLite file and a PostgreSQL server (a
// throw-away one of this test program).

#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

#include "common/failure.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "tempdatabase.h"

class TestTableCursor final : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempDatabase> db;

    static QStringList walk(TableCursor &c, const QString &field)
    {
        QStringList out;
        c.First();
        if (c.IsEmpty())
            return out;
        while (!c.AtEnd()) {
            out << c.FieldText(field);
            c.Next();
        }
        return out;
    }

    void addDrivers(const QStringList &drivers)
    {
        TableStore::Transaction transaction(db->store());   // one write to disk for them all
        for (const QString &d : drivers)
            db->addJournalRow({{"FIO", d}, {"N_Avto", "A" + d}});
        transaction.commit();
    }

    int rowCount()
    {
        QSqlQuery q(db->store().connection());
        q.exec("SELECT COUNT(*) FROM bd_main_db");
        q.next();
        return q.value(0).toInt();
    }

private slots:
    void initTestCase_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::newRow("sqlite") << "sqlite";
        QTest::newRow("server") << "server";
    }

    void init()
    {
        QFETCH_GLOBAL(QString, engine);
        db = std::make_unique<TempDatabase>(TempDatabase::engineNamed(engine));
        QVERIFY2(db->isValid(), qPrintable(db->error()));
    }
    void cleanup() { db.reset(); }

    // Two databases open at once: what is written, counted or begun on one
    // does not reach the other, and closing one leaves the other working.
    void twoStoresKeepApart()
    {
        TempDatabase other;   // an SQLite file beside the test's database
        QVERIFY2(other.isValid(), qPrintable(other.error()));
        TableCursor here(db->store(), Tables::Journal), there(other.store(), Tables::Journal);
        here.Open();
        there.Open();
        const quint64 otherGeneration = other.store().generation();
        here.Append();
        here.SetFieldText("N_Avto", "А001АА");
        here.Post();
        QCOMPARE(other.store().generation(), otherGeneration);
        QVERIFY(there.IsEmpty());
        {
            TableStore::Transaction standing(other.store());
            there.Append();
            there.SetFieldText("N_Avto", "В002ВВ");
            there.Post();
            here.Append();
            here.SetFieldText("N_Avto", "С003СС");
            here.Post();   // on its own database, stored at once
        }   // the other's transaction rolled back
        QCOMPARE(walk(here, "N_Avto"), QStringList({"А001АА", "С003СС"}));
        QVERIFY(walk(there, "N_Avto").isEmpty());
        other.close();
        QVERIFY_THROWS_EXCEPTION(StoreError, there.First());
        QCOMPARE(walk(here, "N_Avto").size(), 2);
    }

    void tableNamesIgnoreCase()
    {
        addDrivers({"Иванов"});
        TableCursor a(db->store(), "BD_main.db"), b(db->store(), "bd_MAIN.DB");
        a.Open();
        b.Open();
        QCOMPARE(a.FieldText("FIO"), QString("Иванов"));
        QCOMPARE(b.FieldText("fio"), QString("Иванов"));
        QCOMPARE(a.fieldNames().size(), 25);
        TableCursor missing(db->store(), "BD_nothing");
        QVERIFY_THROWS_EXCEPTION(StoreError, missing.Open());
    }

    // A journal whose columns moved would be read and written by position
    // into the wrong fields: it is refused, naming the first difference.
    void journalOfAnotherShapeIsRefused_data()
    {
        QTest::addColumn<QString>("alter");
        QTest::addColumn<QString>("difference");
        QTest::newRow("renamed") << R"(RENAME COLUMN "Marcka" TO "Make")"
                                 << "поле 2 называется «Make», а должно «Marcka»";
        QTest::newRow("dropped") << R"(DROP COLUMN "Zena")" << "поле 19 называется «Sum», а должно «Zena»";
        QTest::newRow("added") << R"(ADD COLUMN "Extra" TEXT)" << "лишнее поле «Extra» (поле 26)";
    }

    void journalOfAnotherShapeIsRefused()
    {
        QFETCH(QString, alter);
        QFETCH(QString, difference);
        QSqlQuery q(db->store().connection());
        QVERIFY2(q.exec("ALTER TABLE bd_main_db " + alter), qPrintable(q.lastError().text()));
        TableCursor c(db->store(), "BD_main.db");
        try {
            c.Open();
            QFAIL("opened");
        } catch (const StoreError &e) {
            QCOMPARE(e.message(), "Таблица BD_main.db не той формы, что ждёт программа: " + difference);
        }
        QVERIFY(!c.isOpen());
        // The server's tables outlive the test: without the journal the next
        // one makes them all afresh.
        QVERIFY(q.exec("DROP TABLE bd_main_db"));
    }

    void walksVisitStoredOrder()
    {
        TableCursor c(db->store(), Tables::Journal);
        c.Open();
        QVERIFY(c.IsEmpty());
        QVERIFY(c.AtEnd());
        QCOMPARE(walk(c, "FIO"), QStringList());

        QStringList many;
        for (int i = 0; i < 1100; ++i)   // more than two batches a cursor reads ahead from a server
            many << QString::number(i);
        addDrivers(many);
        QVERIFY(!c.IsEmpty());
        QCOMPARE(walk(c, "FIO"), many);
        QVERIFY(c.AtEnd());
        QCOMPARE(c.FieldText("FIO"), QString("1099"));   // stays on the last row
        c.Prior();
        QCOMPARE(c.FieldText("FIO"), QString("1098"));
        c.Last();
        QCOMPARE(c.FieldText("FIO"), QString("1099"));
    }

    void postOrDropBeforeMoving()
    {
        addDrivers({"A", "B"});
        TableCursor c(db->store(), Tables::Journal);
        c.Open();

        // A changed row is posted by the move.
        c.Edit();
        c.SetFieldText("FIO", "A2");
        c.Next();
        QCOMPARE(c.state(), TableCursor::State::Browse);
        QCOMPARE(walk(c, "FIO"), QStringList({"A2", "B"}));

        // An unchanged appended row is dropped by the move.
        c.Append();
        c.First();
        QCOMPARE(rowCount(), 2);

        // A changed appended row is stored by the move, at the end.
        c.Append();
        c.SetFieldText("FIO", "C");
        c.First();
        QCOMPARE(walk(c, "FIO"), QStringList({"A2", "B", "C"}));

        // Editing without a change and moving on leaves the row as it was.
        c.First();
        c.Edit();
        c.Next();
        QCOMPARE(walk(c, "FIO"), QStringList({"A2", "B", "C"}));

        // Setting a field outside editing is refused.
        QVERIFY_THROWS_EXCEPTION(StoreError, c.SetFieldText("FIO", "x"));
    }

    void appendedRowIsCurrentAfterPost()
    {
        addDrivers({"A"});
        TableCursor c(db->store(), Tables::Journal);
        c.Open();
        c.Append();
        c.SetFieldText(2, "New");
        c.Post();
        QCOMPARE(c.FieldText(2), QString("New"));
        c.Next();
        QVERIFY(c.AtEnd());
    }

    void cancelRestores()
    {
        addDrivers({"A", "B"});
        TableCursor c(db->store(), Tables::Journal);
        c.Open();
        c.Next();
        c.Append();
        c.SetFieldText("FIO", "Z");
        c.Cancel();
        QCOMPARE(c.FieldText("FIO"), QString("B"));
        c.Edit();
        c.SetFieldText("FIO", "Y");
        c.Cancel();
        QCOMPARE(c.FieldText("FIO"), QString("B"));
        QCOMPARE(rowCount(), 2);
    }

    void otherCursorsSeePostsAtNextMove()
    {
        addDrivers({"A", "B"});
        TableCursor one(db->store(), Tables::Journal), two(db->store(), Tables::Journal);
        one.Open();
        two.Open();
        QCOMPARE(two.FieldText("FIO"), QString("A"));

        one.Edit();
        one.SetFieldText("FIO", "A-edited");
        one.Post();
        one.Append();
        one.SetFieldText("FIO", "C");
        one.Post();

        // Walking from where it stands, two reads the new values.
        QCOMPARE(walk(two, "FIO"), QStringList({"A-edited", "B", "C"}));

        // A cursor part-way through a walk sees a row appended behind it.
        two.First();
        two.Next();
        one.Append();
        one.SetFieldText("FIO", "D");
        one.Post();
        two.Next();
        two.Next();
        QCOMPARE(two.FieldText("FIO"), QString("D"));
    }

    void editUsesTheStoredRow()
    {
        addDrivers({"A"});
        TableCursor one(db->store(), Tables::Journal), two(db->store(), Tables::Journal);
        one.Open();
        two.Open();
        one.Edit();
        one.SetFieldText("N_Avto", "X1");
        one.Post();
        // two still shows its old copy, but editing it must not undo one's change.
        two.Edit();
        two.SetFieldText("FIO", "B");
        two.Post();
        one.First();
        QCOMPARE(one.FieldText("N_Avto"), QString("X1"));
        QCOMPARE(one.FieldText("FIO"), QString("B"));
    }

    void deleteMovesToNext()
    {
        addDrivers({"A", "B", "C"});
        TableCursor c(db->store(), Tables::Journal);
        c.Open();
        c.Next();
        c.Delete();
        QCOMPARE(c.FieldText("FIO"), QString("C"));
        c.Delete();
        QCOMPARE(c.FieldText("FIO"), QString("A"));
        c.Delete();
        QVERIFY(c.IsEmpty());
    }

    void locateIgnoresCase()
    {
        TableCursor ops(db->store(), Tables::Operators);
        ops.Open();
        for (const char *n : {"Петров П.П.", "Иванов И.И.", "иванова А.А."}) {
            ops.Append();
            ops.SetFieldText(0, QString::fromUtf8(n));
            ops.Post();
        }
        ops.First();
        QVERIFY(ops.Locate("Имя пользователя", "ИВАН"));
        QCOMPARE(ops.FieldText(0), QString("Иванов И.И."));
        // The current row still matches a longer prefix: it stays.
        QVERIFY(ops.Locate("Имя пользователя", "иванов"));
        QCOMPARE(ops.FieldText(0), QString("Иванов И.И."));
        QVERIFY(ops.Locate("Имя пользователя", "иванова"));
        QCOMPARE(ops.FieldText(0), QString("иванова А.А."));
        // No match moves nothing.
        QVERIFY(!ops.Locate("Имя пользователя", "Сидоров"));
        QCOMPARE(ops.FieldText(0), QString("иванова А.А."));
    }

    void distinctTextsFromTheIndex()
    {
        for (const char *d : {"A", "B", "A", "", "b", "B ", "a"})
            db->addJournalRow({{"FIO", d}, {"Ok_cicle", QByteArray(d) == "a" ? "" : "2"}});
        db->addJournalRow({{"FIO", "B"}});
        TableCursor c(db->store(), Tables::Journal);
        c.Open();
        const int fio = c.fieldIndex("FIO");
        // Each text once, byte for byte, ordered by its latest row.
        auto texts = c.distinctByLatest(fio, 100);
        QVERIFY(texts);
        QCOMPARE(*texts, QStringList({"A", "", "b", "B ", "a", "B"}));
        QCOMPARE(c.hiddenCount(), 0);
        // Under a filter: the visible rows only, by the latest visible one.
        c.setExtraFilter({"[Ok_cicle]='2'"}, true);
        QCOMPARE(c.hiddenCount(), 2);
        texts = c.distinctByLatest(fio, 100);
        QVERIFY(texts);
        QCOMPARE(*texts, QStringList({"B", "A", "", "b", "B "}));
        // More texts than asked for, or a field without an index: the
        // caller has to walk the rows.
        QVERIFY(!c.distinctByLatest(fio, 5));
        QVERIFY(!c.distinctByLatest(c.fieldIndex("N_List"), 100));
    }

    void filters_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("expected");   // N_Avto of the visible rows

        QTest::newRow("exact") << QStringList{"[Tovar]='песок'"} << QStringList{"1", "4"};
        QTest::newRow("exact is case-sensitive") << QStringList{"[Tovar]='Песок'"} << QStringList{"2"};
        QTest::newRow("prefix") << QStringList{"[Tovar]='пес*'"} << QStringList{"1", "4", "5"};
        QTest::newRow("prefix is case-sensitive") << QStringList{"[Tovar]='Пес*'"} << QStringList{"2"};
        QTest::newRow("lone star is literal") << QStringList{"[Tovar]='*'"} << QStringList{"6"};
        QTest::newRow("empty value") << QStringList{"[Zakazchik]=''"} << QStringList{"1", "2", "3", "5", "6"};
        QTest::newRow("and") << QStringList{"[Tovar]='песок'", " and [Zakazchik]='комбинат'"}
                             << QStringList{"4"};
        QTest::newRow("field name case") << QStringList{"[tovar]='щебень'"} << QStringList{"3"} ;
        QTest::newRow("strict dates") << QStringList{"[Dat]>'15.03.2005'", " and [Dat]<'17.03.2005'"}
                                      << QStringList{"2"};
        QTest::newRow("same day both bounds") << QStringList{"[Dat]>'16.03.2005'", " and [Dat]<'16.03.2005'"}
                                              << QStringList{};
        QTest::newRow("inclusive bounds") << QStringList{"[Dat]>='15.03.2005'", " and [Dat]<='16.03.2005'"}
                                          << QStringList{"1", "2"};
        QTest::newRow("dates compare as dates, not text") << QStringList{"[Dat]>'01.02.2005'"}
                                                          << QStringList{"1", "2", "3", "4"};
        QTest::newRow("doubled quote reads as one") << QStringList{"[Zakazchik]='O''Neil'"} << QStringList{"7"};
        QTest::newRow("doubled quote in a prefix") << QStringList{"[Zakazchik]='O''*'"} << QStringList{"7"};
        QTest::newRow("no lines") << QStringList{} << QStringList{"1", "2", "3", "4", "5", "6", "7"};
        QTest::newRow("blank lines ignored") << QStringList{"", "[Tovar]='*'", ""} << QStringList{"6"};
    }

    void filters()
    {
        QFETCH(QStringList, lines);
        QFETCH(QStringList, expected);
        db->addJournalRow({{"N_Avto", "1"}, {"Tovar", "песок"}, {"Dat", "15.03.2005"}});
        db->addJournalRow({{"N_Avto", "2"}, {"Tovar", "Песок"}, {"Dat", "16.03.2005"}});
        db->addJournalRow({{"N_Avto", "3"}, {"Tovar", "щебень"}, {"Dat", "17.03.2005"}});
        db->addJournalRow(
            {{"N_Avto", "4"}, {"Tovar", "песок"}, {"Zakazchik", "комбинат"}, {"Dat", "01.12.2005"}});
        db->addJournalRow({{"N_Avto", "5"}, {"Tovar", "песчаник"}});
        db->addJournalRow({{"N_Avto", "6"}, {"Tovar", "*"}});
        db->addJournalRow({{"N_Avto", "7"}, {"Zakazchik", "O'Neil"}});

        TableCursor c(db->store(), Tables::Journal);
        c.Open();
        c.Last();
        c.SetFilterLines(lines);
        c.ActivateFilter();
        // Activating moves to the first visible row.
        if (!expected.isEmpty())
            QCOMPARE(c.FieldText("N_Avto"), expected.first());
        QCOMPARE(walk(c, "N_Avto"), expected);
        QCOMPARE(c.visibleCount(), expected.size());
    }

    void malformedFilterChangesNothing_data()
    {
        QTest::addColumn<QString>("line");
        QTest::newRow("quote inside literal") << "[Zakazchik]='O'Neil'";
        QTest::newRow("unknown field") << "[Nothing]='1'";
        QTest::newRow("no brackets") << "Zakazchik='1'";
        QTest::newRow("unquoted literal") << "[Zakazchik]=1";
        QTest::newRow("missing closing quote") << "[Zakazchik]='abc";
        QTest::newRow("not a date") << "[Dat]>'вчера'";
        QTest::newRow("no and between") << "[Tovar]='a' [Tovar]='b'";
    }

    void malformedFilterChangesNothing()
    {
        QFETCH(QString, line);
        addDrivers({"A", "B", "C"});
        TableCursor c(db->store(), Tables::Journal);
        c.Open();
        c.Next();
        c.SetFilterLines({line});
        bool threw = false;
        try {
            c.ActivateFilter();
        } catch (const StoreError &e) {
            threw = true;
            QVERIFY(!e.message().isEmpty());
        }
        QVERIFY(threw);
        QVERIFY(!c.filterActive());
        QCOMPARE(c.FieldText("FIO"), QString("B"));
        QCOMPARE(c.visibleCount(), 3);
    }

    // Activation is all or nothing: when the engine refuses the query or the
    // lines are malformed, the filter, its lines and the current row stay as
    // they were, and the cursor keeps working. What each engine refuses: a
    // filter of 1,200 conditions is deeper than SQLite allows; a text with a
    // NUL character in it is no text to the server.
    void failedFilterChangesNothing_data()
    {
        QTest::addColumn<bool>("activeBefore");
        QTest::addColumn<bool>("refusedByEngine");
        QTest::newRow("engine refuses, filter off") << false << true;
        QTest::newRow("engine refuses, filter on") << true << true;
        QTest::newRow("malformed, filter on") << true << false;
    }

    void failedFilterChangesNothing()
    {
        QFETCH_GLOBAL(QString, engine);
        QFETCH(bool, activeBefore);
        QFETCH(bool, refusedByEngine);
        QStringList lines{"[Nothing]='1'"};
        QString message = "Nothing";
        if (refusedByEngine && engine == "sqlite") {
            lines = QStringList{"[FIO]<>'0'"};
            for (int i = 1; i < 1200; ++i)
                lines << QStringLiteral(" and [FIO]<>'%1'").arg(i);
            message = "Expression tree is too large";
        } else if (refusedByEngine) {
            lines = QStringList{QStringLiteral("[FIO]='A") + QChar(0) + QStringLiteral("B'")};
            message = "unterminated quoted string";
        }
        addDrivers({"A", "B", "C", "B", "D"});
        TableCursor c(db->store(), Tables::Journal);
        c.Open();
        const QStringList before{"[FIO]>'A'"};
        if (activeBefore) {
            c.SetFilterLines(before);
            c.ActivateFilter();
        }
        c.Next();
        const QString current = c.FieldText("N_Avto");
        const int visible = c.visibleCount();

        QString error;
        try {
            c.SetFilterLines(lines);
            c.ActivateFilter();
        } catch (const StoreError &e) {
            error = e.message();
        }
        QVERIFY2(error.contains(message), qPrintable(error));
        QCOMPARE(c.filterActive(), activeBefore);
        if (activeBefore)
            QCOMPARE(c.filterLines(), before);
        QCOMPARE(c.FieldText("N_Avto"), current);
        QCOMPARE(c.visibleCount(), visible);
        c.Next();
        QCOMPARE(walk(c, "FIO"), activeBefore ? QStringList({"B", "C", "B", "D"})
                                              : QStringList({"A", "B", "C", "B", "D"}));
    }

    void deactivateKeepsCurrentRow()
    {
        addDrivers({"A", "B", "C", "B"});
        TableCursor c(db->store(), Tables::Journal);
        c.Open();
        c.SetFilterLines({"[FIO]='B'"});
        c.ActivateFilter();
        c.Next();
        QCOMPARE(c.FieldText("N_Avto"), QString("AB"));
        const qint64 id = c.currentId();
        c.DeactivateFilter();
        QCOMPARE(c.currentId(), id);
        QCOMPARE(c.visibleCount(), 4);

        // When the current row is gone, deactivating goes to the first row.
        c.ActivateFilter();
        TableCursor other(db->store(), Tables::Journal);
        other.Open();
        other.moveToId(c.currentId());
        other.Delete();
        c.DeactivateFilter();
        QCOMPARE(c.FieldText("FIO"), QString("A"));
    }

    void extraFilterCombinesWithFilter()
    {
        db->addJournalRow({{"N_Avto", "1"}, {"Tovar", "песок"}, {"Ok_cicle", "2"}});
        db->addJournalRow({{"N_Avto", "2"}, {"Tovar", "песок"}});
        db->addJournalRow({{"N_Avto", "3"}, {"Tovar", "глина"}, {"Ok_cicle", "2"}});
        TableCursor c(db->store(), Tables::Journal);
        c.Open();
        c.setExtraFilter({"[Ok_cicle]='2'"}, true);
        QCOMPARE(walk(c, "N_Avto"), QStringList({"1", "3"}));
        c.SetFilterLines({"[Tovar]='песок'"});
        c.ActivateFilter();
        QCOMPARE(walk(c, "N_Avto"), QStringList({"1"}));
        c.setExtraFilter({"[Ok_cicle]='2'"}, false);
        QCOMPARE(walk(c, "N_Avto"), QStringList({"1", "2"}));
    }

    void datesStoredAsDates()
    {
        TableCursor c(db->store(), Tables::Journal);
        c.Open();
        c.Append();
        c.SetFieldDateTime("Dat", QDateTime(QDate(2007, 3, 5), QTime(14, 2)));
        c.Post();
        QCOMPARE(c.FieldText("Dat"), QString("05.03.2007"));
        QSqlQuery q(db->store().connection());
        QVERIFY(q.exec("SELECT \"Dat\" FROM bd_main_db"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QString("2007-03-05"));

        c.Edit();
        QVERIFY_THROWS_EXCEPTION(StoreError, c.SetFieldText("Dat", "31.02.2007"));
        c.SetFieldText("Dat", "");
        c.Post();
        QCOMPARE(c.FieldText("Dat"), QString());
    }

    void hostileTextIsPlainText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("or-true") << "x' or '1'='1";
        QTest::newRow("drop table") << "'); DROP TABLE BD_main; --";
        QTest::newRow("double quotes") << "\" OR \"\"=\"";
        QTest::newRow("brackets and stars") << "[FIO]='*' and";
    }

    void hostileTextIsPlainText()
    {
        QFETCH(QString, text);
        addDrivers({"A"});
        TableCursor c(db->store(), Tables::Journal);
        c.Open();
        c.Append();
        c.SetFieldText("Zakazchik", text);
        c.Post();
        c.First();
        QCOMPARE(walk(c, "Zakazchik"), QStringList({"", text}));
        QVERIFY(db->store().tableExists(Tables::Journal));
        QCOMPARE(rowCount(), 2);

        // Searched for through a filter line, it either matches only itself or
        // is refused as malformed; it never widens the result or runs as SQL.
        c.SetFilterLines({"[Zakazchik]='" + text + "'"});
        try {
            c.ActivateFilter();
            QCOMPARE(walk(c, "Zakazchik"), QStringList({text}));
        } catch (const StoreError &) {
            QVERIFY(!c.filterActive());
        }
        QVERIFY(db->store().tableExists(Tables::Journal));
        QCOMPARE(rowCount(), 2);
    }

    void scanReadsWhatTheWalkWould()
    {
        addDrivers({"A", "B", "A", "C", "B"});
        TableCursor c(db->store(), Tables::Journal);
        c.Open();
        const int fio = c.fieldIndex("FIO"), truck = c.fieldIndex("N_Avto");
        auto scan = [&] {
            QStringList seen;
            c.scanToEnd({fio, truck}, [&](const QByteArrayView *row) {
                seen << QString::fromUtf8(row[0]) + "/" + QString::fromUtf8(row[1]);
            });
            return seen;
        };

        // From the current row on, and the cursor ends past its last row.
        c.Next();
        QCOMPARE(scan(), QStringList({"B/AB", "A/AA", "C/AC", "B/AB"}));
        QVERIFY(c.AtEnd());
        QCOMPARE(c.FieldText("FIO"), QString("B"));
        QCOMPARE(scan(), QStringList());   // at the end there is nothing more to read

        // Filters hold as in a walk.
        c.SetFilterLines({"[FIO]='B'"});
        c.ActivateFilter();
        QCOMPARE(scan(), QStringList({"B/AB", "B/AB"}));

        // A row being edited is posted first, as any move would.
        c.DeactivateFilter();
        c.First();
        c.Edit();
        c.SetFieldText("FIO", "Z");
        QCOMPARE(scan().first(), QString("Z/AA"));
        QCOMPARE(c.state(), TableCursor::State::Browse);
    }

    void splitScanReadsBothPartsInOrder()
    {
        // One part on a worker thread with its own connection, one here:
        // each must see the rows the walk would, in its order, and a failure
        // in either part must stop the walk and reach the caller.
        addDrivers({"A", "B", "A", "C", "B"});
        TableCursor c(db->store(), Tables::Journal);
        c.Open();
        const int fio = c.fieldIndex("FIO"), truck = c.fieldIndex("N_Avto");
        QStringList here, there;
        const auto scan = [&](const std::function<void()> &inWorker) {
            here.clear();
            there.clear();
            c.scanToEndSplit(
                {fio}, [&](const QByteArrayView *row) { here << QString::fromUtf8(row[0]); }, {truck},
                [&](const QByteArrayView *row) {
                    there << QString::fromUtf8(row[0]);
                    inWorker();
                });
        };
        c.SetFilterLines({"[FIO]<>'C'"});
        c.ActivateFilter();
        c.First();
        c.Next();
        scan([] {});
        QCOMPARE(here, QStringList({"B", "A", "B"}));
        QCOMPARE(there, QStringList({"AB", "AA", "AB"}));
        QVERIFY(c.AtEnd());

        c.First();
        QVERIFY_THROWS_EXCEPTION(StoreError, scan([] { throw StoreError(QStringLiteral("сбой чтения")); }));
        QCOMPARE(there.size(), 1);
    }

    // Another program on the same journal (a second weighbridge, or a second
    // copy of the program on one SQLite file) writes through a connection of
    // its own. A fresh look (a filter put in force, a refresh) sees what it
    // stored, even while a cursor stands part-way through a walk; and a post
    // that holds only while the row still reads as it did is refused, with
    // nothing written, once the other program changed or deleted the row.
    void anotherProgramsWrites()
    {
        addDrivers({"A", "B", "C"});
        TableCursor walker(db->store(), Tables::Journal), view(db->store(), Tables::Journal);
        walker.Open();
        walker.Next();
        view.Open();
        const int okTara = view.fieldIndex("Ok_tara"), sum = view.fieldIndex("Sum");
        QSqlQuery other(db->otherProgram());
        QVERIFY(other.exec("INSERT INTO bd_main_db (\"N_Avto\", \"Ok_tara\", \"Tara\") VALUES ('X1', '1', '5,1')"));
        QVERIFY(other.exec("INSERT INTO bd_main_db (\"N_Avto\", \"Ok_tara\") VALUES ('X2', '1')"));

        view.SetFilterLines({"[Ok_tara]='1'"});
        view.ActivateFilter();
        QCOMPARE(walk(view, "N_Avto"), QStringList({"X1", "X2"}));
        walker.Next();
        QCOMPARE(walker.FieldText("FIO"), QString("C"));
        QVERIFY(other.exec("INSERT INTO bd_main_db (\"N_Avto\", \"Ok_tara\") VALUES ('X3', '1')"));
        view.Refresh();
        QCOMPARE(view.visibleCount(), 3);

        // The other program completes X1 while this one is about to.
        view.First();
        view.Edit();
        view.SetFieldText(sum, "15,32");
        QVERIFY(other.exec("UPDATE bd_main_db SET \"Ok_tara\" = '0', \"Sum\" = '20' WHERE \"N_Avto\" = 'X1'"));
        QVERIFY_THROWS_EXCEPTION(RowChangedError, view.PostIfStill(okTara, "1"));
        QCOMPARE(view.state(), TableCursor::State::Edit);
        QCOMPARE(view.FieldText(sum), QString("15,32"));   // what was typed is kept
        view.Cancel();
        QCOMPARE(view.rowById(view.currentId())[sum], QString("20"));

        // ... or deletes X2: no row to complete, and no RowChangedError.
        view.Next();
        QCOMPARE(view.FieldText("N_Avto"), QString("X2"));
        view.Edit();
        view.SetFieldText(sum, "7");
        QVERIFY(other.exec("DELETE FROM bd_main_db WHERE \"N_Avto\" = 'X2'"));
        try {
            view.PostIfStill(okTara, "1");
            QFAIL("a post onto a deleted row went through");
        } catch (const RowChangedError &) {
            QFAIL("a deleted row taken for a changed one");
        } catch (const StoreError &) {
        }
        view.Cancel();

        // While the row still reads as it did, the post goes through.
        view.Refresh();
        QCOMPARE(view.FieldText("N_Avto"), QString("X3"));
        view.Edit();
        view.SetFieldText(sum, "9");
        view.PostIfStill(okTara, "1");
        QCOMPARE(view.rowById(view.currentId())[sum], QString("9"));
    }

    void signalsOnMoves()
    {
        addDrivers({"A", "B"});
        TableCursor c(db->store(), Tables::Journal);
        c.Open();
        QSignalSpy moved(&c, &TableCursor::currentChanged);
        QSignalSpy rows(&c, &TableCursor::rowsChanged);
        c.Next();
        QCOMPARE(moved.count(), 1);
        c.Append();
        c.SetFieldText("FIO", "C");
        c.Post();
        QVERIFY(rows.count() >= 1);
    }
};

QTEST_GUILESS_MAIN(TestTableCursor)
#include "test_tablecursor.moc"
