// The truck register through the real main window: tares stored from tare
// passes, the one-pass weighing against them, the scale's limits and a
// truck's permitted gross, readings from a simulated indicator.

#include <QCheckBox>
#include <QToolButton>
#include <QSqlQuery>
#include <QtTest>

#include "app/truckswindow.h"
#include "journal/journalpage.h"
#include "keyboard.h"
#include "messageboxes.h"
#include "store/audittrail.h"
#include "store/passlog.h"
#include "store/schema.h"
#include "store/truckregister.h"
#include "toolkit/navigator.h"
#include "weighfixture.h"
#include "weighing/truckchoice.h"

namespace {

using Mode = WeighingMode;
const QString Number = QStringLiteral("А123ВС");

int count(TableStore &store, const QString &table)
{
    store.releaseReaders();
    QSqlQuery q(store.connection());
    return q.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(TableStore::sqlName(table))) && q.next()
               ? q.value(0).toInt()
               : -1;
}

void setPermitted(TableStore &store, const QString &number, const QString &gross)
{
    store.releaseReaders();
    QSqlQuery q(store.connection());
    q.prepare(QStringLiteral("UPDATE %1 SET \"Max_brutto\" = ? WHERE \"N_Avto\" = ?")
                  .arg(TableStore::sqlName(Tables::Trucks)));
    q.addBindValue(gross);
    q.addBindValue(number);
    QVERIFY(q.exec() && q.numRowsAffected() == 1);
}

// A completed record of the truck, and its tare in the register from it.
qint64 registered(const TempDatabase &db, const QString &tare, const QString &unit, const QDate &day,
                  const QString &permitted = {})
{
    QList<QPair<QString, QString>> fields{{"Tara", tare}, {"Sum", "20"}, {"Ok_cicle", "2"}, {"Ed_izm", unit}};
    const QStringList texts = truck(Number);
    for (int i = 0; i < texts.size(); ++i)
        fields.append({Schema::journalFields()[i], i == WeighingRecord::FIO ? QStringLiteral("Петров П.П.") : texts[i]});
    db.addJournalRow(fields);
    TruckRegister::Truck t{Number, tare, unit, day, QStringLiteral("Петров П.П."), 1, {}};
    TruckRegister::storeTare(db.store(), t);
    if (!permitted.isEmpty())
        setPermitted(db.store(), Number, permitted);
    return 1;
}

class Weighbridge : public WeighFixture
{
public:
    explicit Weighbridge(const QString &unit = QStringLiteral("кг"), const QString &toolLines = {})
        : WeighFixture(Model::Libra124, unit, toolLines), choice(entry)
    {
        weighing()->setTruckChoice(&choice);
        form->show();
        exposed = QTest::qWaitForWindowExposed(form.get());
    }

    // "Брутто по сохранённой таре", the first truck of the list chosen.
    void chooseStored()
    {
        watcher.handleDialog([](QWidget *w) {
            if (auto *d = qobject_cast<TruckChoice *>(w))
                d->findChild<QPushButton *>(QStringLiteral("ChooseButton"))->click();
        });
        clickOn(modeButton(Mode::GrossByStoredTare));
    }

    TruckChoice choice;
    ModalWatcher watcher;
    bool exposed = false;
};

} // namespace

class TestStoredTare final : public QObject
{
    Q_OBJECT

private slots:
    void tarePassStoresTheTare_data()
    {
        QTest::addColumn<int>("mode");       // the tare pass
        QTest::addColumn<bool>("ticked");    // "Запомнить тару"
        QTest::addColumn<QString>("before"); // the truck's stored tare before; empty: not registered
        QTest::addColumn<QString>("after");  // afterwards; empty: not registered
        QTest::newRow("tare before loading stores") << int(Mode::TareBeforeLoading) << true << "" << "5,1";
        QTest::newRow("tare after unloading stores") << int(Mode::TareAfterUnloading) << true << "" << "5,1";
        QTest::newRow("a new tare replaces the old") << int(Mode::TareBeforeLoading) << true << "6,4" << "5,1";
        QTest::newRow("not ticked: the old one stays") << int(Mode::TareBeforeLoading) << false << "6,4" << "6,4";
        QTest::newRow("not ticked, not registered") << int(Mode::TareAfterUnloading) << false << "" << "";
    }

    void tarePassStoresTheTare()
    {
        QFETCH(int, mode);
        QFETCH(bool, ticked);
        QFETCH(QString, before);
        QFETCH(QString, after);
        Weighbridge w;
        QVERIFY(w.plugged && w.exposed && w.switchOn());
        QCOMPARE(w.entry->rememberTare()->text(), QStringLiteral("Запомнить тару"));
        QCOMPARE(w.entry->rememberTare()->toolTip(), QStringLiteral("Сохранить тару машины для взвешивания в один проход"));
        if (!before.isEmpty()) {
            registered(w.db, before, QStringLiteral("кг"), QDate::currentDate().addDays(-3), QStringLiteral("40"));
        }
        if (Mode(mode) == Mode::TareAfterUnloading) {
            clickOn(w.modeButton(Mode::GrossBeforeUnloading));
            w.fill(truck(Number));
            QVERIFY(w.settle(20));
            w.weigh();
            w.watcher.handleDialog(WeighFixture::chooseRow(0));
            QVERIFY(w.settle(5.1));
            clickOn(w.modeButton(Mode::TareAfterUnloading));
        } else {
            w.fill(truck(Number));
            QVERIFY(w.settle(5.1));
        }
        if (ticked)
            clickOn(w.entry->rememberTare());
        QCOMPARE(w.entry->rememberTare()->isChecked(), ticked);
        w.weigh();
        QCOMPARE(w.watcher.seen().last().text, WeighingModes::completionText(Mode(mode)));

        const auto stored = TruckRegister::find(w.db.store(), Number);
        QCOMPARE(stored.has_value(), !after.isEmpty());
        if (stored) {
            QCOMPARE(stored->tare, after);
            QCOMPARE(stored->unit, QStringLiteral("кг"));
            QCOMPARE(stored->rowId, qint64(ticked ? w.journal().size() : 1));
            QCOMPARE(stored->day, ticked ? QDate::currentDate() : QDate::currentDate().addDays(-3));
            QCOMPARE(stored->operatorName, ticked ? QStringLiteral("Сидорова А.В.") : QStringLiteral("Петров П.П."));
            QCOMPARE(stored->maxGross, before.isEmpty() ? QString() : QStringLiteral("40"));
        }
        QCOMPARE(count(w.db.store(), Tables::Trucks), after.isEmpty() ? 0 : 1);
        QVERIFY(w.watcher.problems().isEmpty());
    }

    void onePassWeighing_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("tare");
        QTest::addColumn<double>("gross");
        QTest::addColumn<QString>("sum");
        QTest::addColumn<QString>("netto");
        QTest::addColumn<QString>("tools");   // more of tools.ini
        QTest::newRow("kilograms") << "кг" << "5,1" << 15.32 << "15,32" << "10,22" << "";
        QTest::newRow("tonnes, exact thousandths") << "тонны" << "12,999" << 31.007 << "31,007" << "18,008" << "";
        QTest::newRow("an old tare with no day limit")
            << "кг" << "7,5" << 20.0 << "20" << "12,5" << "tare_days=0\r\n";
    }

    void onePassWeighing()
    {
        QFETCH(QString, unit);
        QFETCH(QString, tare);
        QFETCH(double, gross);
        QFETCH(QString, sum);
        QFETCH(QString, netto);
        QFETCH(QString, tools);
        Weighbridge w(unit, tools);
        QVERIFY(w.plugged && w.exposed && w.switchOn());
        const QString shortUnit = unit == QStringLiteral("кг") ? unit : QStringLiteral("т");
        const QDate day = QDate::currentDate().addDays(tools.isEmpty() ? -30 : -400);
        registered(w.db, tare, shortUnit, day);

        w.chooseStored();
        QCOMPARE(w.watcher.dialogs().size(), 1);
        QCOMPARE(w.watcher.dialogs()[0].title, QStringLiteral("Выбор машины с сохранённой тарой"));
        // The truck's last record fills the form, which stays editable.
        QCOMPARE(w.entry->fieldText(1), Number);
        QCOMPARE(w.entry->fieldText(3), QStringLiteral("Петров П.П."));
        QCOMPARE(w.entry->tareDisplay()->text(), tare);
        QVERIFY(w.entry->entryField(3)->isEnabled());
        QVERIFY(!w.entry->rememberTare()->isEnabled());
        w.entry->setFieldText(3, QStringLiteral("Иванов И.И."));
        QVERIFY(!w.form->printButton()->isEnabled());
        QVERIFY(w.settle(gross));
        w.weigh();

        QCOMPARE(w.watcher.seen().size(), 1);
        QCOMPARE(w.watcher.seen()[0].text, QStringLiteral("Взвешивание Брутто по сохранённой таре завершено!"));
        const QList<QStringList> rows = w.journal();
        QCOMPARE(rows.size(), 2);
        const QStringList &row = rows[1];
        QCOMPARE(row[WeighingRecord::N_Avto], Number);
        QCOMPARE(row[WeighingRecord::FIO], QStringLiteral("Иванов И.И."));
        QCOMPARE(row[WeighingRecord::Tara], tare);
        QCOMPARE(row[WeighingRecord::Sum], sum);
        QCOMPARE(row[WeighingRecord::Netto], netto);
        QCOMPARE(row[WeighingRecord::Ok_tara], QStringLiteral("0"));
        QCOMPARE(row[WeighingRecord::Ok_brutto], QStringLiteral("0"));
        QCOMPARE(row[WeighingRecord::Ok_cicle], QStringLiteral("2"));
        QCOMPARE(row[WeighingRecord::Ed_izm], shortUnit);
        QCOMPARE(w.entry->netDisplay()->text(), netto);
        QVERIFY(w.form->printButton()->isEnabled());
        QCOMPARE(w.weighing()->lastCompletedId(), qint64(2));

        const QVector<PassRecord> passes = PassLog::forRow(w.db.store(), 2);
        QCOMPARE(passes.size(), 1);
        QCOMPARE(passes[0].weight, sum);
        QCOMPARE(passes[0].tareFrom, QStringLiteral("stored"));
        QCOMPARE(passes[0].tareDay, day.toString(Qt::ISODate));
        QCOMPARE(passes[0].tareRow, qint64(1));
        QVERIFY(passes[0].overload.isEmpty());

        // The journal page marks it, and only it, and the completed filter keeps it.
        ::JournalPage *page = w.form->journalPage();
        w.form->pageControl()->setCurrentIndex(MainForm::JournalPage);
        TableCursor *view = w.form->journalView();
        QVERIFY(view->moveToId(2));
        QCOMPARE(page->storedTareMark()->text(),
                 QStringLiteral("Тара по справочнику машин: взвешена %1, запись журнала 1")
                     .arg(day.toString(QStringLiteral("dd.MM.yyyy"))));
        QVERIFY(view->moveToId(1));
        QCOMPARE(page->storedTareMark()->text(), QString());
        QVERIFY(w.watcher.problems().isEmpty());
    }

    void refusalsWriteNothing_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("tools");
        QTest::addColumn<QString>("storedUnit");   // of the stored tare
        QTest::addColumn<int>("age");              // of the stored tare, days
        QTest::addColumn<double>("reading");
        QTest::addColumn<QString>("text");
        const int onePass = int(Mode::GrossByStoredTare);
        const QString notStored = QStringLiteral(" Взвешивание не записано.");
        QTest::newRow("tare older than tare_days") << onePass << "tare_days=10\r\n" << "кг" << 11 << 15.0
            << QStringLiteral("Сохранённая тара машины взвешена %1, более 10 дн. назад. Взвесьте тару заново "
                              "(«Тара перед погрузкой» с отметкой «Запомнить тару»).")
                       .arg(QDate::currentDate().addDays(-11).toString("dd.MM.yyyy")) + notStored;
        QTest::newRow("tare older than the default 30 days") << onePass << "" << "кг" << 31 << 15.0
            << QStringLiteral("Сохранённая тара машины взвешена %1, более 30 дн. назад. Взвесьте тару заново "
                              "(«Тара перед погрузкой» с отметкой «Запомнить тару»).")
                       .arg(QDate::currentDate().addDays(-31).toString("dd.MM.yyyy")) + notStored;
        QTest::newRow("stored in another unit") << onePass << "" << "т" << 0 << 15.0
            << QStringLiteral("Тара машины А123ВС сохранена в единицах «т», а сейчас выбраны единицы «кг».") + notStored;
        QTest::newRow("gross equal to the tare") << onePass << "" << "кг" << 0 << 5.1
            << QStringLiteral("Брутто 5,1 кг не больше сохранённой тары машины 5,1 кг.") + notStored;
        QTest::newRow("gross below the tare") << onePass << "" << "кг" << 0 << 4.0
            << QStringLiteral("Брутто 4 кг не больше сохранённой тары машины 5,1 кг.") + notStored;
        QTest::newRow("above max, one pass") << onePass << "max=12\r\nmin=1\r\n" << "кг" << 0 << 15.0
            << QStringLiteral("Вес больше наибольшего предела весов: 15 кг (наибольший предел 12 кг).") + notStored;
        QTest::newRow("above max, first pass") << int(Mode::TareBeforeLoading) << "max=12\r\n" << "" << 0 << 12.5
            << QStringLiteral("Вес больше наибольшего предела весов: 12,5 кг (наибольший предел 12 кг).") + notStored;
        QTest::newRow("below min, first pass") << int(Mode::GrossBeforeUnloading) << "min=0,5\r\n" << "" << 0 << 0.4
            << QStringLiteral("Вес меньше наименьшего предела весов: 0,4 кг (наименьший предел 0,5 кг).") + notStored;
    }

    void refusalsWriteNothing()
    {
        QFETCH(int, mode);
        QFETCH(QString, tools);
        QFETCH(QString, storedUnit);
        QFETCH(int, age);
        QFETCH(double, reading);
        QFETCH(QString, text);
        Weighbridge w(QStringLiteral("кг"), tools);
        QVERIFY(w.plugged && w.exposed && w.switchOn());
        if (!storedUnit.isEmpty())
            registered(w.db, QStringLiteral("5,1"), storedUnit, QDate::currentDate().addDays(-age));
        if (Mode(mode) == Mode::GrossByStoredTare) {
            w.chooseStored();
        } else {
            clickOn(w.modeButton(Mode(mode)));
            w.fill(truck(Number));
        }
        const int journalBefore = count(w.db.store(), Tables::Journal);
        const int passesBefore = count(w.db.store(), Tables::Passes);
        const QStringList fields = w.fields();
        QVERIFY(w.settle(reading));
        w.weigh();

        QCOMPARE(w.watcher.seen().size(), 1);
        QCOMPARE(w.watcher.seen()[0].text, text);
        QCOMPARE(w.watcher.seen()[0].icon, QMessageBox::Warning);
        QCOMPARE(count(w.db.store(), Tables::Journal), journalBefore);
        QCOMPARE(count(w.db.store(), Tables::Passes), passesBefore);
        QCOMPARE(count(w.db.store(), Tables::Trucks), storedUnit.isEmpty() ? 0 : 1);
        // The form keeps the truck for a retry.
        QCOMPARE(w.fields(), fields);
        QCOMPARE(w.entry->mode(), Mode(mode));
        QVERIFY(!w.form->printButton()->isEnabled());
    }

    void overloadIsAsked_data()
    {
        QTest::addColumn<bool>("onePass");   // else "Брутто после погрузки"
        QTest::addColumn<bool>("yes");
        QTest::newRow("one pass, yes") << true << true;
        QTest::newRow("one pass, no") << true << false;
        QTest::newRow("second pass, yes") << false << true;
        QTest::newRow("second pass, no") << false << false;
    }

    void overloadIsAsked()
    {
        QFETCH(bool, onePass);
        QFETCH(bool, yes);
        Weighbridge w;
        QVERIFY(w.plugged && w.exposed && w.switchOn());
        registered(w.db, QStringLiteral("5,1"), QStringLiteral("кг"), QDate::currentDate(), QStringLiteral("20"));
        qint64 id = 0;
        if (onePass) {
            w.chooseStored();
        } else {
            w.fill(truck(Number));
            QVERIFY(w.settle(5.1));
            w.weigh();
            id = w.journal().size();
            w.watcher.handleDialog(WeighFixture::chooseRow(0));
            clickOn(w.modeButton(Mode::GrossAfterLoading));
            QCOMPARE(w.weighing()->chosenRecordId(), id);
            w.watcher.clear();
        }
        const int journalBefore = count(w.db.store(), Tables::Journal);
        const int passesBefore = count(w.db.store(), Tables::Passes);

        QVERIFY(w.settle(20.5));
        w.watcher.answer(yes ? QMessageBox::Yes : QMessageBox::No);
        w.weigh();
        QVERIFY(w.watcher.seen().size() >= 1);
        QCOMPARE(w.watcher.seen()[0].text,
                 QStringLiteral("Масса превышает допустимую для машины А123ВС: брутто 20,5 кг, допустимая масса 20 кг. "
                                "Взвесить?"));
        QCOMPARE(w.watcher.seen()[0].answer, yes ? QMessageBox::Yes : QMessageBox::No);
        QCOMPARE(w.watcher.seen().size(), yes ? 2 : 1);
        QCOMPARE(count(w.db.store(), Tables::Journal), journalBefore + (onePass && yes ? 1 : 0));
        QCOMPARE(count(w.db.store(), Tables::Passes), passesBefore + (yes ? 1 : 0));
        const qint64 row = onePass ? journalBefore + 1 : id;
        const QStringList stored = w.journal().value(row - 1);
        QCOMPARE(stored.value(WeighingRecord::Sum), yes ? QStringLiteral("20,5") : QString());
        if (yes) {
            const QVector<PassRecord> passes = PassLog::forRow(w.db.store(), row);
            QCOMPARE(passes.last().overload, QStringLiteral("20,5 > 20 кг"));
        }
    }

    void registerWindowLeavesTheTrail()
    {
        TempDatabase db;
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        Session::OperatorName = QStringLiteral("Администратор");
        registered(db, QStringLiteral("5,1"), QStringLiteral("кг"), QDate::currentDate());
        TrucksWindow window(db.store());
        window.showRegister();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QStringLiteral("Справочник машин"));
        CursorGrid *grid = window.grid();
        grid->setFocus();
        QTRY_VERIFY(grid->hasFocus());
        grid->setCurrentIndex(grid->model()->index(0, TruckRegister::MaxGross));
        pressKey(Qt::Key_F2);
        typeKeys(QStringLiteral("40"));
        pressKey(Qt::Key_Return);
        clickOn(window.navigator()->button(DbNavigator::Post));
        QCOMPARE(TruckRegister::find(db.store(), Number)->maxGross, QStringLiteral("40"));

        ModalWatcher watcher;
        watcher.answer(QMessageBox::Yes);
        clickOn(window.navigator()->button(DbNavigator::Delete));
        QVERIFY(!TruckRegister::find(db.store(), Number));

        const QVector<AuditEntry> trail = AuditTrail::read(db.store());
        QVERIFY(trail.size() > 2);
        QCOMPARE(trail[0].action, QStringLiteral("edit"));
        QCOMPARE(trail[0].table, Tables::Trucks);
        QCOMPARE(trail[0].field, QStringLiteral("Max_brutto"));
        QCOMPARE(trail[0].newText, QStringLiteral("40"));
        QCOMPARE(trail[0].operatorName, QStringLiteral("Администратор"));
        QCOMPARE(trail.last().action, QStringLiteral("delete"));
        QCOMPARE(trail.last().rowId, trail[0].rowId);
    }
};

QTEST_MAIN(TestStoredTare)
#include "test_storedtare.moc"
