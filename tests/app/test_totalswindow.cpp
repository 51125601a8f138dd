// "Итоги" from the journal page, as the start order wires it: the search
// conditions typed on the page count only while "учитывать условия поиска"
// is ticked.

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QComboBox>
#include <QSignalSpy>
#include <QTabWidget>
#include <QtTest>

#include <memory>

#include "app/mainform.h"
#include "app/startup.h"
#include "common/session.h"
#include "journal/journalpage.h"
#include "keyboard.h"
#include "print/totalswindow.h"
#include "programfolder.h"
#include "store/schema.h"
#include "store/tablestore.h"
#include "tempdatabase.h"
#include "toolkit/datefield.h"
#include "toolkit/errorbox.h"
#include "toolkit/report/previewwindow.h"

class TestTotalsWindow final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        installErrorBox();
        Session::LoginOk = 1;
        Session::OperatorName = QStringLiteral("Петров П.П.");
    }

    void searchConditions_data()
    {
        QTest::addColumn<QString>("customer");   // typed into the page's customer list
        QTest::addColumn<QString>("searchFrom");  // typed into the page's "с"
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("not ticked") << "Бета" << "" << false
                                    << QStringList{"Альфа|кг|1|10", "Бета|кг|2|10", "Всего|кг|3|20"};
        QTest::newRow("ticked") << "Бета" << "" << true << QStringList{"Бета|кг|2|10", "Всего|кг|2|10"};
        QTest::newRow("ticked, with the search's date")
            << "Бета" << "06032005" << true << QStringList{"Бета|кг|1|3", "Всего|кг|1|3"};
    }

    void searchConditions()
    {
        QFETCH(QString, customer);
        QFETCH(QString, searchFrom);
        QFETCH(bool, ticked);
        QFETCH(QStringList, expected);
        ProgramFolder folder;
        auto store = TableStore::openCreating(folder.path());
        Schema::createTables(*store);
        for (const auto &[name, netto, day] : {std::tuple{"Альфа", "10", "05.03.2005"}, {"Бета", "7", "05.03.2005"},
                                               {"Бета", "3", "10.03.2005"}})
            TempDatabase::addJournalRow(*store, {{"Zakazchik", name}, {"Ed_izm", "кг"}, {"Netto", netto},
                                                 {"Dat", day}, {"Ok_cicle", "2"}});
        {
            MainForm form(*store, folder.path());
            std::unique_ptr<TotalsWindow> totals = makeTotalsWindow(form);
            form.show();
            form.pageControl()->setCurrentIndex(MainForm::JournalPage);
            QVERIFY(QTest::qWaitForWindowActive(&form));
            JournalPage *page = form.journalPage();
            clickOn(page->searchList(0));
            typeKeys(customer);
            if (!searchFrom.isEmpty()) {
                clickOn(page->dateFrom()->editor());
                pressKey(Qt::Key_Home);
                typeKeys(searchFrom);
            }

            clickOn(page->totalsButton());
            QVERIFY(QTest::qWaitForWindowActive(totals.get()));
            for (auto [field, typed] : {std::pair{totals->dateFrom(), "01032005"}, std::pair{totals->dateTo(), "31032005"}}) {
                clickOn(field->editor());
                pressKey(Qt::Key_Home);
                typeKeys(QString::fromLatin1(typed));
            }
            if (ticked)
                clickOn(totals->searchBox());
            QCOMPARE(totals->searchBox()->isChecked(), ticked);
            QSignalSpy counted(totals.get(), &TotalsWindow::counted);
            clickOn(totals->showButton());
            QVERIFY(counted.wait(30000));
            QStringList seen;
            for (const Totals::Line &l : Totals::lines(totals->result()))
                seen << QStringList{l.label, l.unit, l.count, l.sum}.join(QLatin1Char('|'));
            QCOMPARE(seen, expected);
            // The report says what it was limited to.
            const QStringList texts = totals->report().page(0).texts();
            QCOMPARE(texts.filter(QStringLiteral("Условия поиска: [Zakazchik]='Бета'")).size(), ticked ? 1 : 0);
            if (totals->report().preview())
                totals->report().preview()->close();
        }
        store.reset();
    }
};

QTEST_MAIN(TestTotalsWindow)
#include "test_totalswindow.moc"
