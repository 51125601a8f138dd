// The entry form in the main window: its fields and displays, the reference
// lists it offers after start-up and after weighings, and the form reset.

#include <QtTest>

#include <QAbstractItemView>
#include <QClipboard>
#include <QCompleter>
#include <QHash>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>

#include "keyboard.h"
#include "messageboxes.h"
#include "weighfixture.h"

namespace {

using Mode = WeighingMode;

QStringList list(const WeighFixture &fx, int i) { return WeighFixture::listOf(fx.entry->entryField(i)); }
QStringList listOf(QComboBox *box) { return WeighFixture::listOf(box); }

// Each text of the column once, by the latest row carrying it.
QStringList byLatest(const QList<QStringList> &rows, int column)
{
    QHash<QString, int> latest;
    for (int i = 0; i < rows.size(); ++i)
        latest[rows[i][column]] = i;
    QStringList texts = latest.keys();
    std::sort(texts.begin(), texts.end(), [&](const QString &a, const QString &b) { return latest[a] < latest[b]; });
    return texts;
}

void store(TableStore &store, const QList<QStringList> &rows)
{
    QSqlDatabase c = store.connection();
    c.transaction();
    QSqlQuery q(c);
    QStringList columns;
    for (int p = 0; p < WeighingRecord::EntryFieldCount; ++p)
        columns << QStringLiteral("\"%1\"").arg(WeighingRecord::fieldName(p));
    q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(TableStore::sqlName(Tables::Journal), columns.join(u','),
                       QStringList(WeighingRecord::EntryFieldCount, QStringLiteral("?")).join(u',')));
    for (const QStringList &row : rows) {
        for (const QString &t : row)
            q.addBindValue(t);
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    }
    QVERIFY(c.commit());
}

} // namespace

class TestEntryForm final : public QObject
{
    Q_OBJECT

private slots:
    void entryFields_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("hint");
        const QList<std::tuple<int, QString, QString>> rows = {
            {1, "Автомобиль №:", "Номер автомобиля"},     {2, "Марка автомобиля:", "Марка автомобиля"},
            {3, "ФИО водителя:", "ФИО водителя"},         {4, "Автопредприятие:", "Автопредприятие"},
            {5, "Заказчик:", "Заказчик"},                 {6, "Грузоотправитель:", "Грузоотправитель"},
            {7, "Грузополучатель:", "Грузополучатель"},   {8, "Пункт разгрузки:", "Пункт разгрузки"},
            {9, "Товар:", "Товар"},                       {10, "Форма\nоплаты:", "Форма оплаты"},
            {11, "№ путев. листа:", "Номер путев. листа"}, {12, "Номер прицепа:", "Номер прицепа, если есть!"},
            {13, "Пункт загрузки:", "Пункт загрузки"}};
        for (const auto &[i, label, hint] : rows)
            QTest::addRow("ComboBox%d", i) << i << label << hint;
    }

    void entryFields()
    {
        QFETCH(int, field);
        QFETCH(QString, label);
        QFETCH(QString, hint);
        WeighFixture fx;
        auto *box = fx.form->findChild<QComboBox *>(QStringLiteral("ComboBox%1").arg(field));
        QVERIFY(box);
        QVERIFY(fx.form->entryPanel()->isAncestorOf(box));
        QVERIFY(box->isEditable());
        QVERIFY(box->font().bold());
        QCOMPARE(box->maxVisibleItems(), 50);
        QCOMPARE(box->toolTip(), hint);
        auto *caption = fx.form->findChild<QLabel *>(QStringLiteral("Label%1").arg(field));
        QVERIFY(caption);
        QCOMPARE(caption->text(), label);
        QCOMPARE(caption->palette().color(QPalette::WindowText), QColor(Qt::blue));
    }

    void displaysButtonsAndModes()
    {
        WeighFixture fx;
        const QStringList hints = {"Тара", "Брутто", "Нетто"};
        for (int n = 1; n <= 3; ++n) {
            auto *e = fx.form->findChild<QLineEdit *>(QStringLiteral("Edit%1").arg(n));
            QVERIFY(e);
            QVERIFY(e->isReadOnly());
            QVERIFY(!e->hasFrame());
            QVERIFY(e->font().bold());
            QCOMPARE(e->palette().color(QPalette::Text), QColor(Qt::red));
            QCOMPARE(e->toolTip(), hints[n - 1]);
            QVERIFY(e->text().isEmpty());
        }
        QCOMPARE(fx.entry->tareDisplay()->objectName(), QStringLiteral("Edit1"));
        QCOMPARE(fx.entry->netDisplay()->objectName(), QStringLiteral("Edit3"));

        auto *weigh = fx.form->findChild<QPushButton *>(QStringLiteral("WeighButton"));
        QVERIFY(weigh);
        QCOMPARE(weigh->text(), QStringLiteral("Взвесить"));
        QCOMPARE(weigh->toolTip(), QStringLiteral("Взвешивание и занесения результатов в БД"));

        // "  Новый" stands on the right-hand panel, above the print button.
        QPushButton *fresh = fx.entry->newButton();
        QCOMPARE(fresh->text(), QStringLiteral("  Новый"));
        QVERIFY(fx.form->newButtonSlot()->isAncestorOf(fresh));
        QCOMPARE(fresh->toolTip(), QStringLiteral("Очистка всех полей!\nдля ввода новых данных!"));

        const QList<std::tuple<const char *, QString, QString>> modes = {
            {"RadioButton1", "Тара перед погрузкой", "Для тарирования выбирите этот путкт"},
            {"RadioButton6", "Брутто после погрузки", "Для взвешивания выбирите этот путкт"},
            {"RadioButton8", "Брутто перед разгрузкой", "Для взвешивания выбирите этот путкт"},
            {"RadioButton7", "Тара после разгрузки", "Для тарирования выбирите этот путкт"}};
        QWidget *group = fx.form->findChild<QWidget *>(QStringLiteral("ModeGroup"));
        int lastY = -1;
        for (const auto &[name, caption, hint] : modes) {
            auto *b = fx.form->findChild<QRadioButton *>(QString::fromLatin1(name));
            QVERIFY2(b, name);
            QCOMPARE(b->text(), caption);
            QCOMPARE(b->toolTip(), hint);
            QVERIFY(group->isAncestorOf(b));
            fx.form->show();
            QVERIFY(b->y() > lastY); // in this order, top to bottom
            lastY = b->y();
        }
        QVERIFY(fx.modeButton(Mode::TareBeforeLoading)->isChecked());
        QCOMPARE(fx.entry->mode(), Mode::TareBeforeLoading);
    }

    void listsAtStartUp()
    {
        TempDatabase db;
        db.addJournalRow({{"FIO", "Иванов"}, {"Zakazchik", "ООО Карьер"}, {"N_pricepa", "ПР1"}});
        db.addJournalRow({{"FIO", "Петров"}, {"Zakazchik", "ООО Карьер "}});
        db.addJournalRow({{"FIO", "Иванов"}, {"Zakazchik", "ооо Карьер"}, {"N_pricepa", "ПР1"}});
        Session::LoginOk = 1;
        MainForm form(db.store(), db.programDir());
        auto *entry = form.entryForm();
        QVERIFY(entry);

        QCOMPARE(WeighFixture::listOf(entry->entryField(3)), QStringList({"Петров", "Иванов"}));
        // Exact comparison: a trailing blank and letter case make new entries.
        QCOMPARE(WeighFixture::listOf(entry->entryField(5)), QStringList({"ООО Карьер", "ООО Карьер ", "ооо Карьер"}));
        // Rows without a trailer make one empty entry, placed by the latest.
        QCOMPARE(WeighFixture::listOf(entry->entryField(12)), QStringList({"", "ПР1"}));
        QCOMPARE(WeighFixture::listOf(entry->entryField(1)), QStringList({""}));
        // The lists are offered, not filled in.
        for (int i = 1; i <= 13; ++i)
            QVERIFY2(entry->fieldText(i).isEmpty(), qPrintable(entry->fieldText(i)));
        // The view is back on the row it stood on, the first: a grid over it
        // fetches the rows it shows, not every id up to the last.
        QCOMPARE(form.journalView()->currentId(), form.journalView()->visibleIds(0, 1).value(0));
        QVERIFY(!form.journalView()->AtEnd());
    }

    void listsFilledAfterTheWindowShows_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<int>("field");         // the one the operator turns to meanwhile
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QString>("typed");
        QTest::newRow("typed into the waybill field") << "sqlite" << 11 << "typed" << "10012";
        QTest::newRow("the waybill drop-down asked for") << "sqlite" << 11 << "drop-down" << "";
        QTest::newRow("typed into the driver field") << "sqlite" << 3 << "typed" << "Водитель 1";
        QTest::newRow("the goods drop-down asked for") << "sqlite" << 9 << "drop-down" << "";
        QTest::newRow("rows stored and the form reset") << "sqlite" << 11 << "stored" << "";
        QTest::newRow("server, typed into the driver field") << "server" << 3 << "typed" << "Водитель 1";
        QTest::newRow("server, rows stored and the form reset") << "server" << 11 << "stored" << "";
    }

    // On a long journal the lists are read on a worker after the window
    // shows: those of indexed fields from their indexes, the waybill numbers,
    // new on nearly every row, by a walk. Meanwhile a field offers nothing;
    // what was typed or asked for comes up once its list is whole, and every
    // list ends as one read of the whole journal gives it.
    void listsFilledAfterTheWindowShows()
    {
        QFETCH(QString, engine);
        QFETCH(int, field);
        QFETCH(QString, meanwhile);
        QFETCH(QString, typed);
        TempDatabase db(TempDatabase::engineNamed(engine));
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        auto *rng = QRandomGenerator::global();
        QList<QStringList> rows;
        for (int i = 0; i < 9000; ++i) {
            QStringList row(WeighingRecord::EntryFieldCount, QStringLiteral(""));
            row[WeighingRecord::N_Avto] = QStringLiteral("А%1ВС").arg(rng->bounded(300));
            row[WeighingRecord::Marcka] = QStringLiteral("Марка %1").arg(rng->bounded(6));
            row[WeighingRecord::FIO] = QStringLiteral("Водитель %1").arg(rng->bounded(40));
            row[WeighingRecord::Punkt] = QStringLiteral("Склад %1").arg(rng->bounded(25));
            row[WeighingRecord::Tovar] = QStringLiteral("Товар %1").arg(rng->bounded(12));
            row[WeighingRecord::N_List] = i % 64 == 63 ? rows[int(rng->bounded(i))][WeighingRecord::N_List]
                                                       : QString::number(100000 + i);
            rows << row;
        }
        store(db.store(), rows);
        Session::LoginOk = 1;
        MainForm form(db.store(), db.programDir());
        form.show();
        QApplication::setActiveWindow(&form);
        EntryForm *entry = form.entryForm();
        QComboBox *box = entry->entryField(field);
        // The event loop has not run: the worker's lists cannot be in yet.
        QVERIFY(entry->referenceListsFilling());
        for (int i = 1; i <= WeighingRecord::EntryFieldCount; ++i)
            QCOMPARE(entry->entryField(i)->count(), 0);

        box->setFocus();
        if (meanwhile == QLatin1String("typed")) {
            type(&form, typed);
            QVERIFY(!box->completer()->popup()->isVisible());
        } else if (meanwhile == QLatin1String("drop-down")) {
            key(&form, Qt::Key_F4);
            QVERIFY(!box->view()->isVisible());
        } else {
            QList<QStringList> more = {rows[10], rows[20]};
            more[0][WeighingRecord::N_List] = QStringLiteral("999");
            more[1][WeighingRecord::FIO] = QStringLiteral("Водитель новый");
            store(db.store(), more);
            rows << more;
            entry->newButton()->click();
        }
        QCOMPARE(box->count(), 0);

        QTRY_VERIFY(!entry->referenceListsFilling());
        const QStringList expected = byLatest(rows, field - 1);
        for (int i = 1; i <= WeighingRecord::EntryFieldCount; ++i)
            QCOMPARE(listOf(entry->entryField(i)), byLatest(rows, i - 1));
        if (meanwhile == QLatin1String("typed")) {
            QCOMPARE(box->currentText(), typed);
            QCOMPARE(box->lineEdit()->cursorPosition(), typed.size());
            QTRY_VERIFY(box->completer()->popup()->isVisible());
            QStringList offered;
            const QAbstractItemModel *m = box->completer()->completionModel();
            for (int r = 0; r < m->rowCount(); ++r)
                offered << m->index(r, 0).data().toString();
            QStringList matching = expected;
            matching.removeIf([&](const QString &t) { return !t.startsWith(typed); });
            QCOMPARE(offered, matching);
            QVERIFY(offered.size() > 1);
        } else if (meanwhile == QLatin1String("drop-down")) {
            QTRY_VERIFY(box->view()->isVisible());
            QVERIFY(box->currentText().isEmpty());
            const int row = int(expected.size()) - 3;
            box->view()->setCurrentIndex(box->model()->index(row, 0));
            pressKey(Qt::Key_Return);
            QCOMPARE(box->currentText(), expected[row]);
        } else {
            const QStringList waybills = byLatest(rows, WeighingRecord::N_List);
            QCOMPARE(waybills.last(), rows[20][WeighingRecord::N_List]);
            QCOMPARE(waybills[waybills.size() - 2], QStringLiteral("999"));
        }
    }

    void emptyJournalEmptyLists()
    {
        WeighFixture fx;
        for (int i = 1; i <= 13; ++i)
            QCOMPARE(fx.entry->entryField(i)->count(), 0);
    }

    void newButtonResetsTheForm()
    {
        WeighFixture fx;
        fx.form->show();
        // Right after start-up the journal view is past its end: a reset
        // reads the rows stored since (as by another weighbridge on the
        // same journal), and nothing else.
        fx.db.addJournalRow({{"FIO", "Иванов"}});
        const QStringList before = list(fx, 3) + QStringList{"Иванов"};
        fx.fill(truck(QStringLiteral("О111ОО")));
        fx.entry->setFieldsEnabled(false);
        EntryWeights shown = fx.entry->weights();
        shown.gross = QStringLiteral("12");
        fx.entry->setWeights(shown);
        fx.form->printButton()->setEnabled(true);
        fx.modeButton(Mode::GrossBeforeUnloading)->click();
        fx.fill(truck(QStringLiteral("О111ОО")));

        fx.entry->newButton()->click();

        QCOMPARE(fx.fields(), QStringList(13, QString()));
        for (int i = 1; i <= 13; ++i)
            QVERIFY(fx.entry->entryField(i)->isEnabled());
        QVERIFY(fx.entry->grossDisplay()->text().isEmpty());
        QVERIFY(!fx.form->printButton()->isEnabled());
        QVERIFY(fx.modeButton(Mode::TareBeforeLoading)->isChecked());
        QCOMPARE(fx.form->focusWidget(), fx.entry->entryField(1));
        QCOMPARE(list(fx, 3), before);
    }

    void typedTextStaysAsTyped()
    {
        TempDatabase db;
        db.addJournalRow({{"FIO", "Ivanov"}});
        Session::LoginOk = 1;
        MainForm form(db.store(), db.programDir());
        form.show();
        QComboBox *driver = form.findChild<QComboBox *>(QStringLiteral("ComboBox3"));
        driver->setFocus();
        // (The key simulation takes Latin letters only.)
        QTest::keyClicks(driver, QStringLiteral("iva"));
        QTest::keyClick(driver, Qt::Key_Return);
        QCOMPARE(driver->currentText(), QStringLiteral("iva"));
        QCOMPARE(WeighFixture::listOf(driver), QStringList({"Ivanov"}));
    }

    void typedPrefixStaysAsTyped_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("listed"); // in the journal, hence in the list
        QTest::addColumn<QString>("typed");  // a case-exact prefix of it
        const QStringList listed = {"А123ВС-77", "КамАЗ-6520", "Иванов И.И.", "Автобаза 3", "Заказчик-1",
                                    "ЗАО Щебень", "ООО Стройка", "Склад №2", "щебень фр. 5-20", "наличный расчёт",
                                    "104512", "ПР 17", "Карьер 5"};
        const QStringList typed = {"А123", "КамАЗ", "Иванов", "Автобаза", "Заказчик", "ЗАО", "ООО", "Склад",
                                   "щебень", "наличный", "1045", "ПР", "Карьер"};
        for (int i = 1; i <= 13; ++i)
            QTest::addRow("ComboBox%d", i) << i << listed[i - 1] << typed[i - 1];
    }

    // With a longer entry in the list, what is typed is what the field keeps,
    // whether the operator leaves the field by Tab or weighs right away.
    void typedPrefixStaysAsTyped()
    {
        QFETCH(int, field);
        QFETCH(QString, listed);
        QFETCH(QString, typed);

        WeighFixture fx;
        QVERIFY(fx.plugged);
        fx.db.addJournalRow({{WeighingRecord::fieldName(field - 1), listed}});
        // Start the form afresh so that the lists hold the journal.
        fx.pending.reset();
        fx.form.reset();
        fx.form = std::make_unique<MainForm>(fx.db.store(), fx.db.programDir());
        fx.entry = fx.form->entryForm();
        fx.pending = std::make_unique<TnewDB>(fx.entry);
        connectPendingTrucks(*fx.form, *fx.pending);
        fx.link = fx.form->indicatorLink();
        fx.link->clock()->setManual(true);
        fx.form->show();
        QVERIFY(QTest::qWaitForWindowActive(fx.form.get()));
        QComboBox *box = fx.entry->entryField(field);
        QVERIFY(listOf(box).contains(listed));

        // Leaving by Tab.
        box->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), box);
        typeKeys(typed);
        QCOMPARE(box->currentText(), typed);
        pressKey(Qt::Key_Tab);
        QCOMPARE(box->currentText(), typed);
        QVERIFY(QApplication::focusWidget() != box);

        // The matches are offered; picking one is a choice.
        box->setFocus();
        box->clearEditText();
        typeKeys(typed);
        QTRY_VERIFY(box->completer()->popup()->isVisible());
        QCOMPARE(box->currentText(), typed);
        pressKey(Qt::Key_Down);
        pressKey(Qt::Key_Return);
        QCOMPARE(box->currentText(), listed);
        box->clearEditText();

        QGuiApplication::clipboard()->setText(typed + "\r\n" + listed);   // a pasted line break is a blank
        pressKey(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(box->currentText(), typed + " " + listed);
        box->clearEditText();

        // Weighing straight from the field.
        QVERIFY(fx.switchOn());
        QStringList texts = truck(QStringLiteral("Н900НН"));
        texts[field - 1].clear();
        fx.fill(texts);
        box->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), box);
        typeKeys(typed);
        QVERIFY(fx.settle(3.5));
        ModalWatcher watcher;
        fx.weigh();
        QCOMPARE(watcher.seen().size(), 1);
        texts[field - 1] = typed;
        QCOMPARE(fx.journal().value(1).mid(0, 13), texts);
    }

    void listsTakeUpFirstPasses()
    {
        WeighFixture fx;
        QVERIFY(fx.plugged);
        fx.db.addJournalRow({{"Zakazchik", "ООО Карьер"}});
        fx.db.addJournalRow({{"Zakazchik", "ЗАО Стройка"}});
        // Start the form afresh so that the lists hold the journal.
        fx.pending.reset();
        fx.form.reset();
        fx.form = std::make_unique<MainForm>(fx.db.store(), fx.db.programDir());
        fx.entry = fx.form->entryForm();
        fx.pending = std::make_unique<TnewDB>(fx.entry);
        connectPendingTrucks(*fx.form, *fx.pending);
        fx.link = fx.form->indicatorLink();
        fx.link->clock()->setManual(true);
        QVERIFY(fx.switchOn());
        QCOMPARE(list(fx, 5), QStringList({"ООО Карьер", "ЗАО Стройка"}));
        ModalWatcher watcher;

        // A new customer goes to the end.
        fx.fill(truck(QStringLiteral("Р001РР"), QStringLiteral("ИП Новиков")));
        QVERIFY(fx.settle(7.7));
        fx.weigh();
        QCOMPARE(list(fx, 5), QStringList({"ООО Карьер", "ЗАО Стройка", "ИП Новиков"}));
        QCOMPARE(list(fx, 1), QStringList({"", "Р001РР"}));

        // A known one moves to the end and is not doubled.
        fx.fill(truck(QStringLiteral("Р002РР"), QStringLiteral("ООО Карьер")));
        QVERIFY(fx.settle(8.8));
        fx.weigh();
        QCOMPARE(list(fx, 5), QStringList({"ЗАО Стройка", "ИП Новиков", "ООО Карьер"}));
        QCOMPARE(list(fx, 1), QStringList({"", "Р001РР", "Р002РР"}));
        QCOMPARE(fx.fields(), QStringList(13, QString()));
        QCOMPARE(watcher.seen().size(), 2);

        // A second pass writes no descriptive field and leaves the lists.
        const QStringList drivers = list(fx, 3);
        QVERIFY(fx.settle(20));
        watcher.handleDialog(WeighFixture::chooseRow(0));
        fx.modeButton(Mode::GrossAfterLoading)->click();
        fx.weigh();
        QCOMPARE(watcher.seen().size(), 3);
        QCOMPARE(list(fx, 5), QStringList({"ЗАО Стройка", "ИП Новиков", "ООО Карьер"}));
        QCOMPARE(list(fx, 3), drivers);
    }
};

QTEST_MAIN(TestEntryForm)
#include "test_entryform.moc"
