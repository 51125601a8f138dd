// The general error report: the text rule, the box the operator sees, and
// guarded slots that fail without taking the event loop down.

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <stdexcept>

#include "common/errorreport.h"
#include "messageboxes.h"
#include "common/failure.h"

class TestErrorReport final : public QObject
{
    Q_OBJECT

private slots:
    void fullStop_data();
    void fullStop();
    void boxShowsTheMessage();
    void guardedSlotFailsAndLoopGoesOn();
    void guardedPassesSignalArguments();
    void runGuardedReports_data();
    void runGuardedReports();
    void failureInsideModalDialog();
};

void TestErrorReport::fullStop_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("expected");

    QTest::newRow("Cyrillic letter") << "Порт не открыт" << "Порт не открыт.";
    QTest::newRow("Latin letter") << "Unable to write to /opt/w/tools.ini" << "Unable to write to /opt/w/tools.ini.";
    QTest::newRow("digit") << "Ошибка 5" << "Ошибка 5.";
    QTest::newRow("slash, just above the full stop") << "a/" << "a/.";
    QTest::newRow("question mark") << "Что?" << "Что?.";
    QTest::newRow("closing quote of a name") << "Нет поля «Dat»" << "Нет поля «Dat».";
    QTest::newRow("full stop") << "Готово." << "Готово.";
    QTest::newRow("hyphen, just below") << "a-" << "a-";
    QTest::newRow("comma") << "a," << "a,";
    QTest::newRow("exclamation mark") << "Стоп!" << "Стоп!";
    QTest::newRow("closing parenthesis") << "(a)" << "(a)";
    QTest::newRow("apostrophe") << "near 'x'" << "near 'x'";
    QTest::newRow("trailing blank") << "a " << "a ";
    QTest::newRow("line break") << "a\n" << "a\n";
    QTest::newRow("empty") << "" << "";
}

void TestErrorReport::fullStop()
{
    QFETCH(QString, message);
    QFETCH(QString, expected);
    QCOMPARE(errorReportText(message), expected);
}

void TestErrorReport::boxShowsTheMessage()
{
    QWidget window;
    window.setWindowTitle("Главное окно");
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    ModalWatcher watcher;
    showErrorReport("Нет связи <b>с</b> прибором");

    QCOMPARE(watcher.seen().size(), 1);
    const ModalWatcher::Box &box = watcher.seen().first();
    QCOMPARE(box.title, QString("Krodalin"));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.text, QString("Нет связи <b>с</b> прибором."));
    // Shown as written, not as markup.
    QCOMPARE(box.textFormat, Qt::PlainText);
    QCOMPARE(box.parent.data(), &window);
    QVERIFY(watcher.problems().isEmpty());
}

void TestErrorReport::guardedSlotFailsAndLoopGoesOn()
{
    ModalWatcher watcher;
    QTimer failing;
    failing.setInterval(10);
    int ticks = 0;
    int finished = 0;
    QObject::connect(&failing, &QTimer::timeout, &failing, guarded([&] {
                         if (++ticks == 3)
                             failing.stop();
                         if (ticks != 2)
                             throw Failure("Весы не отвечают");
                         ++finished;
                     }));
    failing.start();

    // Each failing tick ends its handler with a box; the timer keeps running.
    QVERIFY(watcher.waitForBoxes(2));
    QTRY_COMPARE(ticks, 3);
    QCOMPARE(finished, 1);
    QCOMPARE(watcher.seen().size(), 2);
    for (const ModalWatcher::Box &box : watcher.seen()) {
        QCOMPARE(box.text, QString("Весы не отвечают."));
        QCOMPARE(box.title, QString("Krodalin"));
        QCOMPARE(box.icon, QMessageBox::Critical);
    }

    // Later events are delivered as usual.
    bool later = false;
    QTimer::singleShot(0, &failing, [&] { later = true; });
    QTRY_VERIFY(later);
    QCOMPARE(watcher.seen().size(), 2);
}

void TestErrorReport::guardedPassesSignalArguments()
{
    ModalWatcher watcher;
    QLineEdit edit;
    QStringList received;
    QObject::connect(&edit, &QLineEdit::textChanged, &edit, guarded([&](const QString &text) {
                         received << text;
                         if (text == "плохо")
                             throw Failure("Введено: " + text);
                     }));
    edit.setText("хорошо");
    edit.setText("плохо");
    edit.setText("снова");

    QCOMPARE(received, QStringList({"хорошо", "плохо", "снова"}));
    QCOMPARE(watcher.seen().size(), 1);
    QCOMPARE(watcher.seen().first().text, QString("Введено: плохо."));
}

void TestErrorReport::runGuardedReports_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<QString>("shown");

    QTest::newRow("no failure") << 0 << true << "";
    QTest::newRow("Failure") << 1 << false << "Таблица BD_main.db не найдена.";
    QTest::newRow("store error keeps the engine's message") << 2 << false << "database is locked.";
    QTest::newRow("standard exception") << 3 << false << "disk full.";
}

void TestErrorReport::runGuardedReports()
{
    QFETCH(int, kind);
    QFETCH(bool, succeeds);
    QFETCH(QString, shown);

    ModalWatcher watcher;
    bool after = false;
    const bool result = runGuarded([&] {
        switch (kind) {
        case 1:
            throw Failure("Таблица BD_main.db не найдена");
        case 2:
            throw StoreError("database is locked");
        case 3:
            throw std::runtime_error("disk full");
        }
        after = true;
    });
    QCOMPARE(result, succeeds);
    QCOMPARE(after, succeeds);
    if (succeeds) {
        QVERIFY(watcher.seen().isEmpty());
    } else {
        QCOMPARE(watcher.seen().size(), 1);
        QCOMPARE(watcher.seen().first().text, shown);
        QCOMPARE(watcher.seen().first().icon, QMessageBox::Critical);
    }
}

// A failure in a handler of a modal window: the box opens over the window,
// and the window goes on once the box is answered.
void TestErrorReport::failureInsideModalDialog()
{
    QDialog dialog;
    dialog.setWindowTitle("Вход в систему");
    auto *button = new QPushButton("Вход", &dialog);
    QObject::connect(button, &QPushButton::clicked, &dialog,
                     guarded([](bool) { throw Failure("Введите пароль"); }));

    ModalWatcher watcher;
    bool stillOpen = false;
    watcher.handleDialog([&](QWidget *w) {
        button->click();
        stillOpen = w->isVisible();
        static_cast<QDialog *>(w)->accept();
    });

    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QVERIFY(stillOpen);
    QCOMPARE(watcher.dialogs().size(), 1);
    QCOMPARE(watcher.dialogs().first().title, QString("Вход в систему"));
    QCOMPARE(watcher.seen().size(), 1);
    QCOMPARE(watcher.seen().first().text, QString("Введите пароль."));
    QCOMPARE(watcher.seen().first().parent.data(), &dialog);
    QVERIFY(watcher.problems().isEmpty());
    QCOMPARE(watcher.pendingDialogHandlers(), 0);
}

QTEST_MAIN(TestErrorReport)
#include "test_errorreport.moc"
