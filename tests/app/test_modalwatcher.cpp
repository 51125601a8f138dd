// The helper every widget test leans on to answer message boxes: it must
// press the scripted buttons in order, choose the harmless one when nothing
// is scripted, and keep up with boxes that open one from another.

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>

#include "messageboxes.h"

namespace {

int ask(const QString &text, QMessageBox::StandardButtons buttons)
{
    return QMessageBox(QMessageBox::Question, "Вопрос", text, buttons).exec();
}

} // namespace

class TestModalWatcher final : public QObject
{
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void scriptInOrder();
    void missingButtonIsAProblem();
    void sameBoxShownTwice();
    void boxOpenedByAnAnswer();
    void dialogWithoutHandlerIsRejected();
};

void TestModalWatcher::answers_data()
{
    QTest::addColumn<QMessageBox::StandardButtons>("buttons");
    QTest::addColumn<int>("scripted"); // NoButton: nothing scripted
    QTest::addColumn<int>("expected");

    const auto yesNo = QMessageBox::StandardButtons(QMessageBox::Yes | QMessageBox::No);
    QTest::newRow("scripted Yes") << yesNo << int(QMessageBox::Yes) << int(QMessageBox::Yes);
    QTest::newRow("scripted No") << yesNo << int(QMessageBox::No) << int(QMessageBox::No);
    QTest::newRow("Yes/No unscripted: No") << yesNo << int(QMessageBox::NoButton) << int(QMessageBox::No);
    QTest::newRow("Ok unscripted") << QMessageBox::StandardButtons(QMessageBox::Ok) << int(QMessageBox::NoButton)
                                   << int(QMessageBox::Ok);
    QTest::newRow("Ok/Cancel unscripted: Ok")
        << QMessageBox::StandardButtons(QMessageBox::Ok | QMessageBox::Cancel) << int(QMessageBox::NoButton)
        << int(QMessageBox::Ok);
    QTest::newRow("Save/Discard unscripted: first")
        << QMessageBox::StandardButtons(QMessageBox::Save | QMessageBox::Discard) << int(QMessageBox::NoButton)
        << int(QMessageBox::Save);
}

void TestModalWatcher::answers()
{
    QFETCH(QMessageBox::StandardButtons, buttons);
    QFETCH(int, scripted);
    QFETCH(int, expected);

    ModalWatcher watcher;
    if (scripted != QMessageBox::NoButton)
        watcher.answer(QMessageBox::StandardButton(scripted));
    QCOMPARE(ask("Удалить?", buttons), expected);
    QCOMPARE(watcher.seen().size(), 1);
    QCOMPARE(int(watcher.seen().first().answer), expected);
    QCOMPARE(watcher.seen().first().buttons, buttons);
    QCOMPARE(watcher.seen().first().icon, QMessageBox::Question);
    QCOMPARE(watcher.seen().first().title, QString("Вопрос"));
    QVERIFY(watcher.problems().isEmpty());
}

void TestModalWatcher::scriptInOrder()
{
    ModalWatcher watcher;
    watcher.answer({QMessageBox::No, QMessageBox::Yes});
    const auto yesNo = QMessageBox::Yes | QMessageBox::No;
    QCOMPARE(ask("первый", yesNo), int(QMessageBox::No));
    QCOMPARE(ask("второй", yesNo), int(QMessageBox::Yes));
    QCOMPARE(watcher.pendingAnswers(), 0);
    QCOMPARE(watcher.seen().size(), 2);
    QCOMPARE(watcher.seen().at(0).text, QString("первый"));
    QCOMPARE(watcher.seen().at(1).text, QString("второй"));
}

void TestModalWatcher::missingButtonIsAProblem()
{
    ModalWatcher watcher;
    watcher.answer(QMessageBox::Yes);
    QCOMPARE(ask("только Ок", QMessageBox::Ok), int(QMessageBox::Ok));
    QCOMPARE(watcher.problems().size(), 1);
    QVERIFY(watcher.problems().first().contains("только Ок"));
    QVERIFY(watcher.problems().first().contains("Yes"));
}

void TestModalWatcher::sameBoxShownTwice()
{
    ModalWatcher watcher;
    watcher.answer({QMessageBox::Yes, QMessageBox::No});
    QMessageBox box(QMessageBox::Warning, "Повтор", "ещё раз", QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(box.exec(), int(QMessageBox::Yes));
    QCOMPARE(box.exec(), int(QMessageBox::No));
    QCOMPARE(watcher.seen().size(), 2);
}

void TestModalWatcher::boxOpenedByAnAnswer()
{
    // The first box's Yes opens a second box from the handler of the first,
    // and a timer opens a third while the second is up.
    ModalWatcher watcher;
    watcher.answer({QMessageBox::Yes, QMessageBox::Ok, QMessageBox::Ok});
    QMessageBox first(QMessageBox::Question, "Один", "первый", QMessageBox::Yes | QMessageBox::No);
    int secondResult = -1;
    int thirdResult = -1;
    QObject::connect(&first, &QMessageBox::buttonClicked, &first, [&] {
        QTimer::singleShot(0, &first, [&] { thirdResult = ask("третий", QMessageBox::Ok); });
        secondResult = ask("второй", QMessageBox::Ok);
    });
    QCOMPARE(first.exec(), int(QMessageBox::Yes));
    QTRY_COMPARE(thirdResult, int(QMessageBox::Ok));
    QCOMPARE(secondResult, int(QMessageBox::Ok));
    QCOMPARE(watcher.seen().size(), 3);
    QCOMPARE(watcher.seen().at(0).text, QString("первый"));
    QVERIFY(watcher.problems().isEmpty());
}

void TestModalWatcher::dialogWithoutHandlerIsRejected()
{
    ModalWatcher watcher;
    QDialog dialog;
    dialog.setObjectName("Security");
    dialog.setWindowTitle("Пароль");
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QCOMPARE(watcher.dialogs().size(), 1);
    QCOMPARE(watcher.dialogs().first().objectName, QString("Security"));
    QCOMPARE(watcher.dialogs().first().className, QString("QDialog"));
    QCOMPARE(watcher.problems().size(), 1);
}

QTEST_MAIN(TestModalWatcher)
#include "test_modalwatcher.moc"
