// The date field: its blank template, what leaving it with a broken date
// does, and the drop-down calendar.

#include <QCalendarWidget>
#include <QLineEdit>
#include <QToolButton>
#include <QtTest>

#include "messageboxes.h"
#include "toolkit/datefield.h"
#include "toolkit/errorbox.h"

class TestDateField final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { installErrorBox(); }

    void leavingTheField_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("refused");
        QTest::newRow("nothing typed") << "" << "  .  .    " << false;
        QTest::newRow("a date") << "15032005" << "15.03.2005" << false;
        QTest::newRow("no such day") << "31022005" << "31.02.2005" << true;
        QTest::newRow("half a date") << "1503" << "15.03.    " << true;
    }

    void leavingTheField()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(bool, refused);
        QWidget window;
        auto *field = new DateField(&window);
        auto *next = new QLineEdit(&window);
        next->move(0, 40);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        field->setFocus();
        QTest::keyClicks(QApplication::focusWidget(), typed);
        QCOMPARE(field->text(), shown);

        ModalWatcher watcher;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (refused) {
            QVERIFY(watcher.waitForBoxes(1));
            QCOMPARE(watcher.seen()[0].text, QString("\"%1\" - неправильная дата.").arg(shown));
            QTRY_VERIFY(field->editor()->hasFocus());
        } else {
            QTRY_VERIFY(next->hasFocus());
            QTest::qWait(20);
            QCOMPARE(watcher.seen().size(), 0);
        }
    }

    void calendarSetsTheDate()
    {
        DateField field;
        field.show();
        QVERIFY(QTest::qWaitForWindowExposed(&field));
        field.dropButton()->click();
        QVERIFY(field.calendar()->isVisible());
        emit field.calendar()->clicked(QDate(2005, 3, 17));
        QVERIFY(!field.calendar()->isVisible());
        QCOMPARE(field.text(), QString("17.03.2005"));
        QCOMPARE(field.date(), QDate(2005, 3, 17));
        field.clear();
        QCOMPARE(field.text(), DateField::BlankTemplate);
    }
};

QTEST_MAIN(TestDateField)
#include "test_datefield.moc"
