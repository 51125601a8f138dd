// The journal page over a real journal: the search lists, the search and its
// two mends (inclusive dates, a quote searched for), the completed filter,
// the two modes, and the trail that hand edits leave in BD_audit.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QtTest>

#include <QAbstractItemView>
#include <QClipboard>
#include <QCompleter>
#include <QToolButton>

#include "common/session.h"
#include "journal/journalpage.h"
#include "keyboard.h"
#include "messageboxes.h"
#include "store/audittrail.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "tempdatabase.h"
#include "toolkit/cursorgrid.h"
#include "toolkit/cursormodel.h"
#include "toolkit/datefield.h"
#include "toolkit/errorbox.h"
#include "toolkit/navigator.h"

namespace {

using Row = QList<QPair<QString, QString>>;

enum List { Customer, Driver, Truck, Company, Weigher, Goods };

QStringList entries(QComboBox *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->itemText(i);
    return out;
}

// What a person types, one key at a time, into the focused widget
// (QTest::keyClicks knows Latin only).
void typeText(const QString &text)
{
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key(ch.toUpper().unicode()), QString(ch),
                            Qt::NoModifier);
}

// Types the text, or pastes it through the clipboard when it holds a line break.
void enter(const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
    if (text.contains('\n'))
        pressKey(Qt::Key_V, Qt::ControlModifier);
    else
        typeKeys(text);
}

int journalRows(TableStore &store)
{
    QSqlQuery q(store.connection());
    q.exec("SELECT COUNT(*) FROM bd_main_db");
    q.next();
    return q.value(0).toInt();
}

}

class TestJournalPage final : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempDatabase> db;
    std::unique_ptr<TableCursor> view;
    std::unique_ptr<QCheckBox> editFlag;
    std::unique_ptr<JournalPage> page;

    void openPage()
    {
        view = std::make_unique<TableCursor>(db->store(), Tables::Journal);
        view->Open();
        editFlag = std::make_unique<QCheckBox>();
        page = std::make_unique<JournalPage>(JournalPageHost{nullptr, view.get(), editFlag.get(), db->programDir()});
        page->resize(660, 420);
        page->show();   // a visit: the lists are built
        activate();
        listsDone();
    }

    // A fresh journal on the named engine ("sqlite", "server") in place of the default one.
    bool journalOn(const QString &engine)
    {
        db.reset();
        db = std::make_unique<TempDatabase>(TempDatabase::engineNamed(engine));
        if (!db->isValid())
            qWarning("%s", qPrintable(db->error()));
        return db->isValid();
    }

    // The lists are read on a worker: they are whole once the page says so.
    void listsDone() { QTRY_VERIFY(!page->searchListsFilling()); }

    // N_Avto of the rows the grid shows, top to bottom.
    QStringList shownTrucks() const
    {
        CursorModel *m = page->grid()->cursorModel();
        while (m->canFetchMore({}))
            m->fetchMore({});
        QStringList out;
        for (int r = 0; r < m->rowCount(); ++r)
            out << m->data(m->index(r, 0), Qt::DisplayRole).toString();
        return out;
    }

    // " Поиск!" reads on a worker: its rows are shown once the page says no
    // search is under way and every read it started has ended.
    void searchDone()
    {
        QTRY_VERIFY(page->searchState()->text().isEmpty() && page->findChildren<QThread *>().isEmpty());
    }

    void activate()
    {
        page->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(page.get()));
    }

    void typeInto(QWidget *w, const QString &text)
    {
        activate();
        w->setFocus();
        QTRY_VERIFY(w->hasFocus() || w->isAncestorOf(QApplication::focusWidget()));
        typeText(text);
    }

private slots:
    void initTestCase() { installErrorBox(); }

    void init()
    {
        db = std::make_unique<TempDatabase>();
        Session::OperatorName = QStringLiteral("Петров П.П.");
    }
    void cleanup()
    {
        page.reset();
        editFlag.reset();
        view.reset();
        db.reset();
    }

    void listsHoldEachTextOnceLatestLast()
    {
        for (const char *d : {"A", "B", "A"})
            db->addJournalRow({{"FIO", d}, {"Zakazchik", d == QByteArray("B") ? "" : "ООО"}});
        openPage();
        QCOMPARE(entries(page->searchList(Driver)), QStringList({"B", "A"}));
        // An empty customer is one entry; choosing it sets no condition.
        QCOMPARE(entries(page->searchList(Customer)), QStringList({"", "ООО"}));
        QCOMPARE(page->searchList(Customer)->currentText(), QString());
        page->searchList(Customer)->setCurrentIndex(0);
        page->search();
        searchDone();
        QCOMPARE(view->filterLines(), QStringList());
        QCOMPARE(shownTrucks().size(), 3);
        // The visit leaves the focus in the customer list.
        QVERIFY(page->searchList(Customer)->hasFocus());
    }

    // The lists come from the fields' indexes when they can, and from a walk
    // of the rows when they cannot (a database without the indexes, say):
    // both ways must give the same lists, with and without the completed filter.
    void listsWithoutIndexesAreTheSame()
    {
        const QStringList texts = {"A", "B", "a", "", "B ", "Б", "A", "b", "", "Ä"};
        for (int i = 0; i < 40; ++i)
            db->addJournalRow({{"Zakazchik", texts[i % 10]}, {"FIO", texts[(i * 3) % 10]},
                               {"N_Avto", texts[(i * 7) % 10]}, {"AvtoPr", texts[(i / 4) % 10]},
                               {"Klad", texts[(i * i) % 10]}, {"Tovar", texts[(i + 5) % 10]},
                               {"Ok_cicle", i % 3 ? "2" : ""}});
        openPage();
        std::array<SearchLists, 2> indexed, walked;
        for (bool completed : {false, true}) {
            view->setExtraFilter({JournalPage::CompletedLine}, completed);
            indexed[completed] = readSearchLists(*view);
        }
        db->store().releaseReaders();
        QSqlQuery q(db->store().connection());
        for (const SearchListField &f : SearchListFields)
            QVERIFY(q.exec(QStringLiteral("DROP INDEX bd_main_db_%1").arg(WeighingRecord::fieldName(f.field))));
        for (bool completed : {false, true}) {
            view->setExtraFilter({JournalPage::CompletedLine}, completed);
            walked[completed] = readSearchLists(*view);
        }
        QCOMPARE(indexed[0][0], QStringList({"B", "a", "B ", "Б", "A", "b", "", "Ä"}));
        for (int completed : {0, 1})
            for (int i = 0; i < SearchListCount; ++i)
                QCOMPARE(walked[completed][i], indexed[completed][i]);
        QVERIFY(indexed[1][0] != indexed[0][0]);
    }

    void emptyJournal()
    {
        openPage();
        for (int i = 0; i < SearchListCount; ++i)
            QCOMPARE(page->searchList(i)->count(), 0);
        typeInto(page->searchList(Goods), "песок");
        page->search();
        searchDone();
        QCOMPARE(shownTrucks(), QStringList());
    }

    void search_data()
    {
        QTest::addColumn<int>("list");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("prefix") << int(Goods) << "пес*" << "" << "" << QStringList{"1", "3", "5"};
        QTest::newRow("prefix keeps letter case") << int(Goods) << "Пес*" << "" << "" << QStringList{"2"};
        QTest::newRow("exact") << int(Goods) << "песок" << "" << "" << QStringList{"1", "3"};
        QTest::newRow("dates include their days") << -1 << "" << "15032005" << "17032005"
                                                  << QStringList{"1", "2", "3"};
        QTest::newRow("one day in both fields") << -1 << "" << "16032005" << "16032005" << QStringList{"2"};
        QTest::newRow("only a lower bound") << -1 << "" << "17032005" << "" << QStringList{"3", "4"};
        QTest::newRow("a quote is searched for") << int(Customer) << "O'Neil" << "" << ""
                                                 << QStringList{"4", "5"};
        QTest::newRow("a quote in a prefix") << int(Customer) << "O'N*" << "" << "" << QStringList{"4", "5"};
        QTest::newRow("goods and dates") << int(Goods) << "пес*" << "16032005" << "" << QStringList{"3"};
        QTest::newRow("nothing set shows all") << -1 << "" << "" << "" << QStringList{"1", "2", "3", "4", "5"};
    }

    void search()
    {
        QFETCH(int, list);
        QFETCH(QString, typed);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QStringList, shown);
        db->addJournalRow({{"N_Avto", "1"}, {"Tovar", "песок"}, {"Dat", "15.03.2005"}});
        db->addJournalRow({{"N_Avto", "2"}, {"Tovar", "Песок"}, {"Dat", "16.03.2005"}});
        db->addJournalRow({{"N_Avto", "3"}, {"Tovar", "песок"}, {"Dat", "17.03.2005"}});
        db->addJournalRow({{"N_Avto", "4"}, {"Zakazchik", "O'Neil"}, {"Dat", "18.03.2005"}});
        db->addJournalRow({{"N_Avto", "5"}, {"Zakazchik", "O'Neil"}, {"Tovar", "песчаник"}});
        openPage();
        view->Last();
        if (list >= 0)
            typeInto(page->searchList(list), typed);
        if (!from.isEmpty())
            typeInto(page->dateFrom(), from);
        if (!to.isEmpty())
            typeInto(page->dateTo(), to);
        ModalWatcher watcher;
        page->searchButton()->click();
        searchDone();
        QCOMPARE(watcher.seen().size(), 0);
        QCOMPARE(shownTrucks(), shown);
        // The view stands on the first row found.
        QCOMPARE(view->currentId() != 0, !shown.isEmpty());
        if (!shown.isEmpty())
            QCOMPARE(view->FieldText("N_Avto"), shown.first());

        // "Очистить запросы" clears the conditions and shows every row again.
        page->clearButton()->click();
        QCOMPARE(page->searchList(Goods)->currentText(), QString());
        QCOMPARE(page->dateFrom()->text(), DateField::BlankTemplate);
        QCOMPARE(shownTrucks().size(), 5);
    }

    // The search is read on a worker, on either engine: while it runs the page says so, and it ends
    // with exactly the rows (and the current row) of the same filter put in force at once, whatever
    // came meanwhile: a second search (the later wins), the completed filter, a row stored,
    // "Очистить запросы", leaving the page (nothing changes then).
    void searchReadOnAWorker_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QString>("goods");   // what the grid ends with, "" for every row
        QTest::addColumn<bool>("completed");
        for (const char *engine : {"sqlite", "server"}) {
            const auto row = [engine](const char *name) -> QTestData & {
                return QTest::addRow("%s, %s", engine, name) << QString(engine) << QString(name);
            };
            row("nothing") << "песок" << false;
            row("nothing, no condition") << "" << false;
            row("a second search") << "глина" << false;
            row("the completed filter") << "песок" << true;
            row("a row stored") << "песок" << false;
            row("clear") << "" << false;
            row("page left") << "" << false;
        }
    }

    void searchReadOnAWorker()
    {
        QFETCH(QString, engine);
        QFETCH(QString, meanwhile);
        QFETCH(QString, goods);
        QFETCH(bool, completed);
        QVERIFY(journalOn(engine));
        // More rows than the grid reads at a time, so that it reads on after the first ones.
        const QStringList stock = {"песок", "глина", "щебень"};
        for (int i = 0; i < 300; ++i)
            db->addJournalRow({{"N_Avto", QString::number(i)}, {"Tovar", stock[i % 3]},
                               {"Ok_cicle", i % 2 ? "2" : ""}});
        openPage();
        QComboBox *list = page->searchList(Goods);
        typeInto(list, meanwhile == "nothing, no condition" ? "" : "песок");
        pressKey(Qt::Key_Tab);   // the offered completion closed
        // Clicked as a program clicks (a mouse's click lets events through):
        // the first search is still being read when the next action comes.
        page->searchButton()->click();
        QCOMPARE(page->searchState()->text(), QStringLiteral("Идёт поиск…"));
        if (meanwhile == "a second search") {
            list->setEditText("глина");
            page->searchButton()->click();
        } else if (meanwhile == "the completed filter") {
            page->completedFilterBox()->click();
        } else if (meanwhile == "a row stored") {
            db->addJournalRow({{"N_Avto", "новый"}, {"Tovar", "песок"}});
        } else if (meanwhile == "clear") {
            page->clearButton()->click();
        } else if (meanwhile == "page left") {
            page->hide();
        }
        if (meanwhile == "clear" || meanwhile == "page left")
            QCOMPARE(page->searchState()->text(), QString());
        searchDone();

        // The same filter, put in force at once on a view of its own.
        TableCursor at(db->store(), Tables::Journal);
        at.Open();
        at.SetFilterLines(goods.isEmpty() ? QStringList() : QStringList{"[Tovar]='" + goods + "'"});
        at.ActivateFilter();
        at.setExtraFilter({JournalPage::CompletedLine}, completed);
        QStringList expected;
        for (at.First(); at.currentId() != 0 && !at.AtEnd(); at.Next())
            expected << at.FieldText("N_Avto");
        QCOMPARE(expected.isEmpty(), false);
        QCOMPARE(shownTrucks(), expected);
        QCOMPARE(view->FieldText("N_Avto"), expected.first());
        QCOMPARE(view->filterActive(), !goods.isEmpty() || meanwhile == "nothing, no condition");
    }

    // The lists are read on a worker, on either engine, and end as the same read at once gives them,
    // whatever came meanwhile: a text typed (kept as typed), a row stored, "Очистить запросы" again,
    // leaving the page and coming back.
    void listsReadOnAWorker_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("meanwhile");
        for (const char *engine : {"sqlite", "server"})
            for (const char *meanwhile : {"nothing", "typed", "a row stored", "clear", "page left and back"})
                QTest::addRow("%s, %s", engine, meanwhile) << QString(engine) << QString(meanwhile);
    }

    void listsReadOnAWorker()
    {
        QFETCH(QString, engine);
        QFETCH(QString, meanwhile);
        QVERIFY(journalOn(engine));
        const QStringList stock = {"песок", "глина", "щебень"};
        for (int i = 0; i < 300; ++i)
            db->addJournalRow({{"N_Avto", QString::number(i % 70)}, {"FIO", QString::number(i % 11)},
                                         {"Tovar", stock[i % 3]}, {"Zakazchik", QString::number(i % 7)}});
        openPage();
        // Clicked as a program clicks: nothing is read before the next action.
        page->clearButton()->click();
        QVERIFY(page->searchListsFilling());
        if (meanwhile == "typed") {
            page->searchList(Goods)->setFocus();
            QTRY_VERIFY(page->searchList(Goods)->hasFocus());
            type(page.get(), "пес");
        } else if (meanwhile == "a row stored") {
            db->addJournalRow({{"N_Avto", "новый"}, {"FIO", "Новиков"}, {"Tovar", "песок"}});
        } else if (meanwhile == "clear") {
            page->clearButton()->click();
        } else if (meanwhile == "page left and back") {
            page->hide();
            QVERIFY(!page->searchListsFilling());
            page->show();
        }
        listsDone();

        TableCursor at(db->store(), Tables::Journal);
        at.Open();
        const SearchLists expected = readSearchLists(at);
        for (int i = 0; i < SearchListCount; ++i)
            QCOMPARE(entries(page->searchList(i)), expected[size_t(i)]);
        QCOMPARE(expected[Driver].contains("Новиков"), meanwhile == "a row stored");
        QCOMPARE(page->searchList(Goods)->currentText(), meanwhile == "typed" ? QString("пес") : QString());
    }

    // The search runs for what is typed, however the list is left; the popup offers the entries that
    // begin with it, letter case counting; only a pick puts one in; a pasted line break is a blank.
    void searchRunsForWhatIsTyped_data()
    {
        QTest::addColumn<int>("list");
        QTest::addColumn<QString>("typed");   // pasted when it holds a line break
        QTest::addColumn<QString>("leave");   // "": " Поиск!" at once
        QTest::addColumn<QString>("kept");    // the search's text: the row holding it is found, or none
        QTest::addColumn<bool>("found");
        QTest::newRow("goods, Поиск! at once") << int(Goods) << "sand" << "" << "sand" << true;
        QTest::newRow("customer, Tab") << int(Customer) << "sand" << "tab" << "sand" << true;
        QTest::newRow("driver, a click elsewhere") << int(Driver) << "ivan" << "click" << "ivan" << false;
        QTest::newRow("truck, another letter case") << int(Truck) << "Sand" << "" << "Sand" << false;
        QTest::newRow("company, longer entry") << int(Company) << "sandy" << "tab" << "sandy" << false;
        QTest::newRow("weigher, picked from the popup") << int(Weigher) << "San" << "pick" << "Sandy" << true;
        QTest::newRow("goods, pasted LF") << int(Goods) << "sand\nSandy" << "" << "sand Sandy" << true;
        QTest::newRow("driver, pasted CR LF") << int(Driver) << "sand\r\nSandy" << "tab" << "sand Sandy" << true;
    }

    void searchRunsForWhatIsTyped()
    {
        QFETCH(int, list);
        QFETCH(QString, typed);
        QFETCH(QString, leave);
        QFETCH(QString, kept);
        QFETCH(bool, found);
        for (const char *t : {"SAND", "sand", "Sandy", "Ivanov", "sand Sandy"})
            db->addJournalRow({{"Zakazchik", t}, {"FIO", t}, {"N_Avto", t}, {"AvtoPr", t}, {"Klad", t}, {"Tovar", t}});
        openPage();
        QComboBox *box = page->searchList(list);
        box->setFocus();
        QTRY_VERIFY(box->hasFocus());
        enter(typed);
        if (leave == "pick") {
            QTRY_VERIFY(box->completer()->popup()->isVisible());
            pressKey(Qt::Key_Down);
            pressKey(Qt::Key_Return);
        } else if (leave == "tab") {
            pressKey(Qt::Key_Tab);
        } else if (leave == "click") {
            clickOn(page->searchList((list + 1) % SearchListCount));
        }
        clickOn(page->searchButton());
        searchDone();
        QCOMPARE(box->currentText(), kept);
        QCOMPARE(shownTrucks(), found ? QStringList{kept} : QStringList());
    }

    void completedFilterNarrowsListsAndSearch()
    {
        db->addJournalRow({{"N_Avto", "1"}, {"FIO", "Иванов"}, {"Tovar", "песок"}, {"Ok_cicle", "2"}});
        db->addJournalRow({{"N_Avto", "2"}, {"FIO", "Петров"}, {"Tovar", "песок"}, {"Ok_tara", "1"}});
        db->addJournalRow({{"N_Avto", "3"}, {"FIO", "Сидоров"}, {"Tovar", "глина"}, {"Ok_cicle", "2"}});
        openPage();
        QCOMPARE(entries(page->searchList(Driver)), QStringList({"Иванов", "Петров", "Сидоров"}));
        page->completedFilterBox()->click();
        QCOMPARE(shownTrucks(), QStringList({"1", "3"}));
        // The next visit takes only completed weighings into the lists.
        page->pageShown();
        listsDone();
        QCOMPARE(entries(page->searchList(Driver)), QStringList({"Иванов", "Сидоров"}));
        typeInto(page->searchList(Goods), "песок");
        page->searchButton()->click();
        searchDone();
        QCOMPARE(shownTrucks(), QStringList({"1"}));
        // The completed filter outlives searches and rebuilds; clearing it shows the rest.
        page->clearButton()->click();
        QCOMPARE(shownTrucks(), QStringList({"1", "3"}));
        page->completedFilterBox()->click();
        QCOMPARE(shownTrucks(), QStringList({"1", "2", "3"}));
    }

    void viewModeRefusesTyping()
    {
        db->addJournalRow({{"N_Avto", "А001АА"}});
        openPage();
        QCOMPARE(page->modeButton()->text(), QString("Режим редактирования"));
        QVERIFY(!page->navigator()->isEnabled());
        CursorGrid *grid = page->grid();
        grid->setFocus();
        grid->setCurrentIndex(grid->model()->index(0, 0));
        typeText("Б");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(view->state(), TableCursor::State::Browse);
        QCOMPARE(shownTrucks(), QStringList({"А001АА"}));
        QCOMPARE(AuditTrail::read(db->store()).size(), 0);
    }

    void modeButtonAsksTheGateAndLeavesAtOnce()
    {
        openPage();
        QSignalSpy asked(page.get(), &JournalPage::editModeRequested);
        page->modeButton()->click();
        QCOMPARE(asked.size(), 1);
        QVERIFY(editFlag->isChecked());
        // A cancelled gate: still view mode, the flag stays set.
        QVERIFY(!page->isEditMode());
        QVERIFY(!page->navigator()->isEnabled());

        page->EnterEditMode();   // what the gate does after a good sign-in
        QCOMPARE(page->modeButton()->text(), QString("Режим просмотра и поиска"));
        QVERIFY(page->navigator()->isEnabled());
        QSignalSpy left(page.get(), &JournalPage::editModeLeft);
        page->modeButton()->click();
        QCOMPARE(asked.size(), 1);   // no password to leave
        QCOMPARE(left.size(), 1);
        QVERIFY(!editFlag->isChecked());
        QVERIFY(!page->isEditMode());
        QVERIFY(!page->navigator()->isEnabled());
    }

    void editsLeaveTheirTrail()
    {
        db->addJournalRow({{"N_Avto", "А001АА"}, {"Sum", "15,32"}, {"Dat", "15.03.2005"}});
        db->addJournalRow({{"N_Avto", "В002ВВ"}, {"Tara", "5,1"}});
        openPage();
        page->modeButton()->click();
        page->EnterEditMode();
        const qint64 firstId = view->currentId();

        // A cell typed into the grid and posted with the navigator.
        CursorGrid *grid = page->grid();
        grid->setFocus();
        grid->setCurrentIndex(grid->model()->index(0, 17));   // "Брутто"
        typeText("16");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTRY_VERIFY(view->isModified());   // the grid commits the cell after the key
        page->navigator()->press(DbNavigator::Post);
        QCOMPARE(view->FieldText("Sum"), QString("16"));
        QVector<AuditEntry> trail = AuditTrail::read(db->store());
        QCOMPARE(trail.size(), 1);
        QCOMPARE(trail[0].action, QString("edit"));
        QCOMPARE(trail[0].operatorName, QString("Петров П.П."));
        QCOMPARE(trail[0].rowId, firstId);
        QCOMPARE(trail[0].field, QString("Sum"));
        QCOMPARE(trail[0].oldText, QString("15,32"));
        QCOMPARE(trail[0].newText, QString("16"));

        // An inserted row: every field of it.
        page->navigator()->press(DbNavigator::Insert);
        view->SetFieldText("N_Avto", "С003СС");
        page->navigator()->press(DbNavigator::Post);
        // The posted row stays the current one, in the view and in the grid.
        QCOMPARE(view->FieldText("N_Avto"), QString("С003СС"));
        QCOMPARE(page->grid()->currentIndex().row(), 2);
        const qint64 newId = view->currentId();
        trail = AuditTrail::read(db->store());
        QCOMPARE(trail.size(), 1 + 25);
        QCOMPARE(trail[1].action, QString("insert"));
        QCOMPARE(trail[1].rowId, newId);
        QCOMPARE(trail[1].field, QString("N_Avto"));
        QCOMPARE(trail[1].newText, QString("С003СС"));

        // A deleted row, confirmed: all its fields as they were.
        view->moveToId(firstId);
        ModalWatcher watcher;
        watcher.answer({QMessageBox::Yes});
        page->navigator()->press(DbNavigator::Delete);
        QCOMPARE(watcher.seen().size(), 1);
        QCOMPARE(watcher.seen()[0].text, QString("Delete record?"));
        trail = AuditTrail::read(db->store());
        QCOMPARE(trail.size(), 1 + 25 + 25);
        QStringList deleted;
        for (int i = 26; i < trail.size(); ++i) {
            QCOMPARE(trail[i].action, QString("delete"));
            QCOMPARE(trail[i].rowId, firstId);
            deleted << trail[i].field + "=" + trail[i].oldText;
        }
        QVERIFY(deleted.contains("N_Avto=А001АА"));
        QVERIFY(deleted.contains("Sum=16"));
        QVERIFY(deleted.contains("Dat=15.03.2005"));
        QCOMPARE(journalRows(db->store()), 2);

        // Back in view mode, the journal's own writes leave no trail.
        page->modeButton()->click();
        view->Append();
        view->SetFieldText("N_Avto", "D");
        view->Post();
        QCOMPARE(AuditTrail::read(db->store()).size(), 51);
    }

    // A post that takes its row out of the search leaves the nearest row shown current, or none, with
    // edit, delete and the note off. A line break pasted into the cell is a blank.
    void postThatHidesTheRowMovesOn_data()
    {
        QTest::addColumn<QString>("searched");   // goods
        QTest::addColumn<QString>("edited");     // the truck whose goods cell is retyped
        QTest::addColumn<QString>("goods");      // pasted when it holds a line break
        QTest::addColumn<QStringList>("shown");  // afterwards
        QTest::addColumn<QString>("current");    // empty: none
        QTest::newRow("a middle row") << "песок" << "3" << "глина" << QStringList{"1", "4"} << "4";
        QTest::newRow("the last row") << "песок" << "4" << "глина" << QStringList{"1", "3"} << "3";
        QTest::newRow("the only row") << "щебень" << "6" << "глина" << QStringList{} << "";
        QTest::newRow("still found, pasted") << "пес*" << "3" << "песок\r\nречной" << QStringList{"1", "3", "4"} << "3";
    }

    void postThatHidesTheRowMovesOn()
    {
        QFETCH(QString, searched);
        QFETCH(QString, edited);
        QFETCH(QString, goods);
        QFETCH(QStringList, shown);
        QFETCH(QString, current);
        const QStringList stock = {"песок", "глина", "песок", "песок", "глина", "щебень"};
        for (int i = 0; i < stock.size(); ++i)
            db->addJournalRow({{"N_Avto", QString::number(i + 1)}, {"Tovar", stock[i]}});
        openPage();
        page->searchList(Goods)->setFocus();
        QTRY_VERIFY(page->searchList(Goods)->hasFocus());
        typeKeys(searched);
        clickOn(page->searchButton());
        searchDone();
        page->EnterEditMode();
        CursorGrid *grid = page->grid();
        grid->setFocus();
        QTRY_VERIFY(grid->hasFocus());
        grid->setCurrentIndex(grid->model()->index(int(shownTrucks().indexOf(edited)), 11));   // "Товар"
        pressKey(Qt::Key_F2);   // the whole text selected
        enter(goods);
        pressKey(Qt::Key_Return);
        clickOn(page->navigator()->button(DbNavigator::Post));

        QCOMPARE(shownTrucks(), shown);
        QCOMPARE(view->currentId() ? view->FieldText("N_Avto") : QString(), current);
        for (QWidget *b : QWidgetList{page->navigator()->button(DbNavigator::Edit),
                                      page->navigator()->button(DbNavigator::Delete), page->printNoteButton()})
            QCOMPARE(b->isEnabled(), !current.isEmpty());
        QCOMPARE(view->rowById(edited.toInt()).value(view->fieldIndex("Tovar")),
                 goods.contains('\n') ? "песок речной" : goods);
    }

    // Without the trail (a copy from before it) edit mode says once what adds it, and stays off.
    void editModeNeedsTheTrail()
    {
        db->store().releaseReaders();
        QVERIFY(QSqlQuery(db->store().connection()).exec("DROP TABLE bd_audit"));
        openPage();
        ModalWatcher watcher;
        clickOn(page->modeButton());
        page->EnterEditMode();   // as the gate would, had it been asked another way
        QCOMPARE(watcher.seen().size(), 2);
        QVERIFY2(watcher.seen()[0].icon == QMessageBox::Critical
                     && watcher.seen()[0].text.contains(QStringLiteral("krodalin-db init \"%1\"").arg(db->programDir())),
                 qPrintable(watcher.seen()[0].text));
        QVERIFY(!editFlag->isChecked() && !page->isEditMode() && !page->navigator()->isEnabled());
    }

    void noChangeWithoutItsTrail_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("trail table missing") << "DROP TABLE bd_audit";
        QTest::newRow("trail refuses the row")
            << "CREATE TRIGGER full BEFORE INSERT ON bd_audit BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END";
    }

    void noChangeWithoutItsTrail()
    {
        QFETCH(QString, fault);
        db->addJournalRow({{"N_Avto", "А001АА"}, {"Sum", "15,32"}});
        openPage();
        page->EnterEditMode();
        db->store().releaseReaders();
        QSqlQuery q(db->store().connection());
        QVERIFY2(q.exec(fault), qPrintable(q.lastError().text()));

        ModalWatcher watcher;
        view->Edit();
        view->SetFieldText("Sum", "99");
        page->navigator()->press(DbNavigator::Post);
        page->navigator()->press(DbNavigator::Cancel);
        page->navigator()->press(DbNavigator::Insert);
        view->SetFieldText("N_Avto", "Б");
        page->navigator()->press(DbNavigator::Post);
        page->navigator()->press(DbNavigator::Cancel);
        watcher.answer({QMessageBox::Yes});
        page->navigator()->press(DbNavigator::Delete);
        // Each refusal reached the operator, and the journal is as it was.
        QCOMPARE(watcher.seen().size(), 4);
        TableCursor check(db->store(), Tables::Journal);
        check.Open();
        QCOMPARE(journalRows(db->store()), 1);
        QCOMPARE(check.FieldText("Sum"), QString("15,32"));
    }
};

QTEST_MAIN(TestJournalPage)
#include "test_journalpage.moc"
