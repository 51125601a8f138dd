// The pending-truck window: which records it offers for each second pass,
// what a choice loads into the entry form, and the fall-back when nothing is
// chosen.

#include <QCheckBox>
#include <QHeaderView>
#include <QtTest>

#include "messageboxes.h"
#include "weighfixture.h"

namespace {

using Mode = WeighingMode;

const QString NoRecordText = QStringLiteral(
    "Ошибка Нет записей для взвешивания! Тара или Брутто для Нового автомобиля НЕБЫЛО измеренно!");

// Two trucks await their gross pass, one its tare pass, one is complete.
void addWaitingTrucks(const TempDatabase &db)
{
    db.addJournalRow({{"N_Avto", "А100АА"}, {"FIO", "Иванов"}, {"Tara", "5,1"}, {"Ok_tara", "1"}});
    db.addJournalRow({{"N_Avto", "Б200ББ"}, {"FIO", "Петров"}, {"Sum", "20"}, {"Ok_brutto", "1"}});
    db.addJournalRow({{"N_Avto", "В300ВВ"}, {"Tara", "5"}, {"Sum", "9"}, {"Netto", "4"},
                      {"Ok_tara", "0"}, {"Ok_brutto", "0"}, {"Ok_cicle", "2"}});
    db.addJournalRow({{"N_Avto", "Г400ГГ"}, {"FIO", "Сидоров"}, {"Marcka", "МАЗ"}, {"Punkt_zagruz", "Карьер"},
                      {"Tara", "6,25"}, {"Ok_tara", "1"}});
}

// What the window lists: the truck numbers of its rows, and its current row.
struct Listing
{
    QStringList trucks;
    int currentRow = -1;
    QString currentTruck;
};

Listing listing(TnewDB *d)
{
    Listing l;
    CursorModel *m = d->grid()->cursorModel();
    const int truckColumn = 2;
    for (int r = 0; r < m->rowCount(); ++r)
        l.trucks << m->data(m->index(r, truckColumn), Qt::DisplayRole).toString();
    l.currentRow = d->grid()->currentIndex().row();
    l.currentTruck = d->journalView()->FieldText(WeighingRecord::N_Avto);
    return l;
}

} // namespace

class TestTnewDB final : public QObject
{
    Q_OBJECT

private slots:
    void window()
    {
        WeighFixture fx;
        TnewDB *d = fx.pending.get();
        QCOMPARE(d->objectName(), QStringLiteral("DBnew"));
        QCOMPARE(d->windowTitle(), QStringLiteral("Выбор машины для взвешивания"));
        QCOMPARE(d->minimumSize(), QSize(616, 291));
        QCOMPARE(d->maximumSize(), QSize(616, 291));
        QVERIFY(d->windowFlags() & Qt::WindowCloseButtonHint);
        QVERIFY(!(d->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(d->grid()->size(), QSize(601, 170));
        QCOMPARE(d->chooseButton()->text(), QStringLiteral(" Выбрать"));
        QCOMPARE(d->cancelButton()->text(), QStringLiteral("Отмена"));
        QCOMPARE(d->chooseButton()->toolTip(),
                 QStringLiteral("по выбранному из списка номеру автомобиля, заполняются все поля из БД"));
        QCOMPARE(d->cancelButton()->toolTip(), QStringLiteral("Отмена и переход в главное окно"));
        for (const char *name : {"ok_tara", "ok_brutto"}) {
            auto *e = d->findChild<QLineEdit *>(QString::fromLatin1(name));
            QVERIFY(e && e->isHidden());
            QCOMPARE(e->text(), QStringLiteral("1"));
        }
        QVERIFY(d->findChild<QCheckBox *>(QStringLiteral("CheckOK2"))->isHidden());
        // The start order hands the window's view to the main window, which
        // closes it at exit.
        QCOMPARE(fx.form->pendingView(), d->journalView());
        QVERIFY(d->journalView()->isOpen());

        const QStringList titles = {"Дата", "Время", "№ Автомобиля", "№ прицепа", "Марка автомобиля",
                                    "Ф.И.О. Водителя", "Товар", "№ путевого листа", "Тара", "Брутто", "Весовщик"};
        const QList<int> widths = {-1, 51, 84, 65, 105, 120, 126, 98, 46, 49, 98};
        CursorModel *m = d->grid()->cursorModel();
        QCOMPARE(m->columnCount(), titles.size());
        for (int c = 0; c < titles.size(); ++c) {
            QCOMPARE(m->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), titles[c]);
            if (widths[c] > 0)
                QCOMPARE(d->grid()->columnWidth(c), widths[c]);
        }
    }

    void offersOnlyTrucksAwaitingThePass_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("trucks");
        QTest::newRow("gross after loading") << int(Mode::GrossAfterLoading) << QStringList{"А100АА", "Г400ГГ"};
        QTest::newRow("tare after unloading") << int(Mode::TareAfterUnloading) << QStringList{"Б200ББ"};
    }

    void offersOnlyTrucksAwaitingThePass()
    {
        QFETCH(int, mode);
        QFETCH(QStringList, trucks);
        WeighFixture fx;
        addWaitingTrucks(fx.db);
        ModalWatcher watcher;
        Listing seen;
        watcher.handleDialog([&](QWidget *w) {
            auto *d = qobject_cast<TnewDB *>(w);
            seen = listing(d);
            d->cancelButton()->click();
        });
        fx.modeButton(Mode(mode))->click();
        QCOMPARE(watcher.dialogs().size(), 1);
        QCOMPARE(seen.trucks, trucks);
        QCOMPARE(seen.currentRow, 0);
        QCOMPARE(seen.currentTruck, trucks[0]);
    }

    void startsAtTheFirstTruckEachTime()
    {
        WeighFixture fx;
        addWaitingTrucks(fx.db);
        ModalWatcher watcher;
        QList<Listing> seen;
        auto look = [&](int moveTo) {
            return [&, moveTo](QWidget *w) {
                auto *d = qobject_cast<TnewDB *>(w);
                seen << listing(d);
                d->grid()->setCurrentIndex(d->grid()->cursorModel()->index(moveTo, 0));
                seen << listing(d);
                d->cancelButton()->click();
            };
        };
        watcher.handleDialog(look(1));
        fx.modeButton(Mode::GrossAfterLoading)->click();
        watcher.handleDialog(look(0));
        fx.modeButton(Mode::GrossAfterLoading)->click();
        QCOMPARE(seen.size(), 4);
        QCOMPARE(seen[0].currentTruck, QStringLiteral("А100АА"));
        QCOMPARE(seen[1].currentTruck, QStringLiteral("Г400ГГ")); // moved by the operator
        QCOMPARE(seen[2].currentRow, 0);
        QCOMPARE(seen[2].currentTruck, QStringLiteral("А100АА"));
    }

    void choiceFillsTheForm_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("fields");   // the non-empty ones, as "i=text"
        QTest::addColumn<QString>("tare");
        QTest::addColumn<QString>("gross");
        QTest::newRow("gross pass, second truck")
            << int(Mode::GrossAfterLoading) << 1 << QStringList{"1=Г400ГГ", "2=МАЗ", "3=Сидоров", "13=Карьер"}
            << "6,25" << "";
        QTest::newRow("tare pass") << int(Mode::TareAfterUnloading) << 0 << QStringList{"1=Б200ББ", "3=Петров"}
                                   << "" << "20";
    }

    void choiceFillsTheForm()
    {
        QFETCH(int, mode);
        QFETCH(int, row);
        QFETCH(QStringList, fields);
        QFETCH(QString, tare);
        QFETCH(QString, gross);
        WeighFixture fx;
        addWaitingTrucks(fx.db);
        ModalWatcher watcher;
        // Whatever the form showed before goes.
        fx.fill(truck(QStringLiteral("Я999ЯЯ")));
        fx.entry->setWeights({QStringLiteral("3"), QStringLiteral("2"), QStringLiteral("1")});

        watcher.handleDialog(WeighFixture::chooseRow(row));
        fx.modeButton(Mode(mode))->click();

        QStringList expected(13, QString());
        for (const QString &f : fields)
            expected[f.section('=', 0, 0).toInt() - 1] = f.section('=', 1);
        QCOMPARE(fx.fields(), expected);
        QCOMPARE(fx.entry->tareDisplay()->text(), tare);
        QCOMPARE(fx.entry->grossDisplay()->text(), gross);
        QVERIFY(fx.entry->netDisplay()->text().isEmpty());
        for (int i = 1; i <= 13; ++i)
            QVERIFY(!fx.entry->entryField(i)->isEnabled());
        QVERIFY(fx.pending->CheckOK2());
        QVERIFY(fx.modeButton(Mode(mode))->isChecked());
        // The chosen record stays the window's current row for the pass.
        QCOMPARE(fx.pending->journalView()->FieldText(WeighingRecord::N_Avto), expected[0]);
        QCOMPARE(fx.weighing()->chosenRecordId(), fx.pending->journalView()->currentId());
        QVERIFY(watcher.seen().isEmpty());
    }

    void nothingChosenFallsBack_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("trucksWaiting");
        QTest::addColumn<int>("partner");
        for (Mode m : {Mode::GrossAfterLoading, Mode::TareAfterUnloading}) {
            const int partner = int(WeighingModes::firstPassPartner(m));
            const char *name = m == Mode::GrossAfterLoading ? "gross after loading" : "tare after unloading";
            QTest::addRow("%s, Отмена", name) << int(m) << "cancel" << true << partner;
            QTest::addRow("%s, close box", name) << int(m) << "close" << true << partner;
            QTest::addRow("%s, nothing waiting", name) << int(m) << "choose" << false << partner;
        }
        QTest::newRow("a waiting record without truck number")
            << int(Mode::GrossAfterLoading) << "choose" << false << int(Mode::TareBeforeLoading);
    }

    void nothingChosenFallsBack()
    {
        QFETCH(int, mode);
        QFETCH(QString, how);
        QFETCH(bool, trucksWaiting);
        QFETCH(int, partner);
        WeighFixture fx;
        if (trucksWaiting)
            addWaitingTrucks(fx.db);
        else if (QString::fromLatin1(QTest::currentDataTag()).contains(QLatin1String("without")))
            fx.db.addJournalRow({{"FIO", "Иванов"}, {"Tara", "5"}, {"Ok_tara", "1"}});
        fx.form->show();
        ModalWatcher watcher;
        fx.fill(truck(QStringLiteral("Я999ЯЯ")));
        fx.form->printButton()->setEnabled(true);

        watcher.handleDialog([how](QWidget *w) {
            auto *d = qobject_cast<TnewDB *>(w);
            if (how == QLatin1String("cancel"))
                d->cancelButton()->click();
            else if (how == QLatin1String("close"))
                d->close();
            else
                d->chooseButton()->click();
        });
        fx.modeButton(Mode(mode))->click();

        if (how == QLatin1String("choose")) {
            QVERIFY(watcher.waitForBoxes(1));
            QCOMPARE(watcher.seen().size(), 1);
            QCOMPARE(watcher.seen()[0].text, NoRecordText);
            QCOMPARE(watcher.seen()[0].title, QStringLiteral("Внимание"));
            QCOMPARE(watcher.seen()[0].icon, QMessageBox::Critical);
        } else {
            QVERIFY(watcher.seen().isEmpty());
        }
        QVERIFY(!fx.pending->isVisible());
        QVERIFY(!fx.pending->CheckOK2());
        QCOMPARE(fx.weighing()->chosenRecordId(), qint64(0));
        // The partner mode, with its form reset, and the focus on its button.
        QVERIFY(fx.modeButton(Mode(partner))->isChecked());
        QVERIFY(!fx.modeButton(Mode(mode))->isChecked());
        QCOMPARE(fx.entry->mode(), Mode(partner));
        QCOMPARE(fx.fields(), QStringList(13, QString()));
        QVERIFY(fx.entry->entryField(1)->isEnabled());
        QVERIFY(!fx.form->printButton()->isEnabled());
        QCOMPARE(fx.form->focusWidget(), fx.modeButton(Mode(partner)));
    }
};

QTEST_MAIN(TestTnewDB)
#include "test_tnewdb.moc"
