// The bound grid and navigator: rows under their titles, lazy fetching, the
// selection as the cursor's current row, editing, and the delete question.

#include <QFile>
#include <QSqlQuery>
#include <QtTest>
#include <QToolButton>

#include "messageboxes.h"
#include "common/failure.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "toolkit/cursorgrid.h"
#include "toolkit/cursormodel.h"
#include "toolkit/navigator.h"
#include "tempdatabase.h"

class TestGrid final : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempDatabase> db;
    const QVector<GridColumn> columns{{"N_Avto", "№ Автомобиля", 91}, {"FIO", "Ф.И.О. Водителя", 141},
                                      {"Dat", "Дата", -1}};

    void addRows(int n)
    {
        TableCursor c(db->store(), Tables::Journal);
        c.Open();
        for (int i = 0; i < n; ++i) {
            c.Append();
            c.SetFieldText("N_Avto", QString::number(i));
            c.SetFieldText("FIO", QStringLiteral("Водитель %1").arg(i));
            c.SetFieldText("Dat", "05.03.2007");
            c.Post();
        }
    }

private slots:
    void init() { db = std::make_unique<TempDatabase>(); }
    void cleanup() { db.reset(); }

    void showsRowsUnderTitlesAndFetchesLazily()
    {
        addRows(600);
        TableCursor c(db->store(), Tables::Journal);
        c.Open();
        CursorModel model(&c, columns);
        QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QString("№ Автомобиля"));
        QCOMPARE(model.headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), QString("Дата"));
        QVERIFY(model.rowCount() < 600);
        QVERIFY(model.canFetchMore({}));
        while (model.canFetchMore({}))
            model.fetchMore({});
        QCOMPARE(model.rowCount(), 600);
        QCOMPARE(model.data(model.index(599, 1), Qt::DisplayRole).toString(), QString("Водитель 599"));
        QCOMPARE(model.data(model.index(3, 2), Qt::DisplayRole).toString(), QString("05.03.2007"));

        // A filter on the cursor is what the grid shows.
        c.SetFilterLines({"[N_Avto]='42'"});
        c.ActivateFilter();
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.data(model.index(0, 0), Qt::DisplayRole).toString(), QString("42"));
    }

    void selectionIsTheCurrentRow()
    {
        addRows(300);
        TableCursor c(db->store(), Tables::Journal);
        c.Open();
        CursorModel model(&c, columns);
        CursorGrid grid;
        grid.setCursorModel(&model);
        grid.resize(400, 300);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QCOMPARE(grid.currentIndex().row(), 0);

        // Moving the cursor moves the selection, fetching as far as needed.
        c.Last();
        QCOMPARE(grid.currentIndex().row(), 299);
        QCOMPARE(model.data(grid.currentIndex().siblingAtColumn(0), Qt::DisplayRole).toString(), QString("299"));

        // Choosing a row moves the cursor.
        grid.setCurrentIndex(model.index(10, 1));
        QCOMPARE(c.FieldText("N_Avto"), QString("10"));
        QCOMPARE(grid.columnWidth(0), 91);
    }

    void editingPostsWhenTheRowChanges()
    {
        addRows(3);
        TableCursor c(db->store(), Tables::Journal), other(db->store(), Tables::Journal);
        c.Open();
        other.Open();
        CursorModel model(&c, columns);
        QVERIFY(!model.setData(model.index(1, 1), "Нельзя", Qt::EditRole));   // read-only grid
        QVERIFY(!(model.flags(model.index(1, 1)) & Qt::ItemIsEditable));

        model.setEditable(true);
        QVERIFY(model.setData(model.index(1, 1), "Петров", Qt::EditRole));
        QCOMPARE(c.state(), TableCursor::State::Edit);
        QCOMPARE(model.data(model.index(1, 1), Qt::DisplayRole).toString(), QString("Петров"));
        model.moveCursorTo(2);   // leaving the row posts it
        QCOMPARE(c.state(), TableCursor::State::Browse);
        other.First();
        other.Next();
        QCOMPARE(other.FieldText("FIO"), QString("Петров"));

        // A bad date is refused with the store's message, and the row stays in editing.
        ModalWatcher watcher;
        QVERIFY(!model.setData(model.index(2, 2), "31.02.2007", Qt::EditRole));
        QVERIFY(watcher.waitForBoxes(1));
        QCOMPARE(watcher.seen()[0].title, QString("Krodalin"));
        QVERIFY(watcher.seen()[0].text.contains("31.02.2007"));
    }

    void navigatorInsertPostAndDelete()
    {
        addRows(2);
        TableCursor c(db->store(), Tables::Journal);
        c.Open();
        CursorModel model(&c, columns);
        model.setEditable(true);
        DbNavigator nav;
        nav.setCursor(&c);
        QCOMPARE(nav.button(DbNavigator::First)->toolTip(), QString("Первая запись "));
        QCOMPARE(nav.button(DbNavigator::Cancel)->toolTip(), QString("Отменить редактирование"));
        QVERIFY(!nav.button(DbNavigator::Post)->isEnabled());

        nav.press(DbNavigator::Insert);
        QCOMPARE(model.rowCount(), 3);   // the new row shows at the end
        QVERIFY(nav.button(DbNavigator::Post)->isEnabled());
        QVERIFY(model.setData(model.index(2, 0), "Н777", Qt::EditRole));
        nav.press(DbNavigator::Post);
        QCOMPARE(c.FieldText("N_Avto"), QString("Н777"));
        QCOMPARE(c.visibleCount(), 3);

        ModalWatcher watcher;
        watcher.answer(QMessageBox::No);
        nav.press(DbNavigator::Delete);
        QCOMPARE(watcher.seen().size(), 1);
        QCOMPARE(watcher.seen()[0].text, QString("Delete record?"));
        QCOMPARE(c.visibleCount(), 3);

        watcher.answer(QMessageBox::Yes);
        nav.press(DbNavigator::Delete);
        QCOMPARE(c.visibleCount(), 2);
        QCOMPARE(model.rowCount(), 2);
    }

    // A journal damaged part-way: the walk stops at the damage with the
    // engine's message and stays on the last row it read; the grid's failed
    // read reaches the operator as the error report; the cursor goes on.
    void damagedPageIsReportedAndTheCursorGoesOn()
    {
        qint64 offset = 0;
        {
            QSqlQuery q(db->store().connection());
            QVERIFY(q.exec("BEGIN"));
            for (int i = 0; i < 600; ++i)
                QVERIFY(q.exec(QStringLiteral("INSERT INTO bd_main_db (N_Avto, FIO) VALUES ('%1', '%2')")
                                   .arg(i)
                                   .arg(QString(100, QChar(u'ж')))));
            QVERIFY(q.exec("COMMIT"));
            // A leaf of the journal half-way through it, in row order.
            QVERIFY(q.exec("SELECT pageno FROM dbstat WHERE name='bd_main_db' AND pagetype='leaf'"));
            QList<qint64> leaves;
            while (q.next())
                leaves << q.value(0).toLongLong();
            QVERIFY(leaves.size() > 4);
            QVERIFY(q.exec("PRAGMA page_size") && q.next());
            offset = (leaves[leaves.size() / 2] - 1) * q.value(0).toLongLong();
        }
        const QString path = TableStore::databasePath(db->programDir());
        db->close();
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(offset));
            QCOMPARE(file.write(QByteArray(200, char(0xA5))), qint64(200));
        }
        db->reopen();

        TableCursor c(db->store(), Tables::Journal);
        c.Open();
        QString error;
        int walked = 0;
        try {
            for (c.First(); !c.AtEnd(); c.Next())
                ++walked;
        } catch (const StoreError &e) {
            error = e.message();
        }
        QCOMPARE(error, QString("database disk image is malformed"));
        QVERIFY(walked > 0 && walked < 600);
        QCOMPARE(c.FieldText("N_Avto"), QString::number(walked - 1));

        CursorModel model(&c, columns);
        CursorGrid grid;
        grid.setCursorModel(&model);
        grid.show();
        DbNavigator nav;
        nav.setCursor(&c);
        ModalWatcher watcher;
        nav.press(DbNavigator::Last);   // the grid reads the ids up to it
        QCOMPARE(c.FieldText("N_Avto"), QString("599"));
        QVERIFY(watcher.waitForBoxes(1));
        QCOMPARE(watcher.seen()[0].title, QString("Krodalin"));
        QCOMPARE(watcher.seen()[0].text, QString("database disk image is malformed."));
        nav.press(DbNavigator::First);
        QCOMPARE(c.FieldText("N_Avto"), QString("0"));
        QCOMPARE(grid.currentIndex().row(), 0);
    }
};

QTEST_MAIN(TestGrid)
#include "test_grid.moc"
