// The weigh operation on its own: an entry form over a journal view on a
// temporary database, a real link to a simulated indicator, the pending-truck
// window, and no main window. What the main window shows of a pass (the live
// weight, the note's print button) it learns from the operation's signals.

#include <QtTest>

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>

#include "../indicator/linkfixture.h"
#include "common/session.h"
#include "messageboxes.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "tempdatabase.h"
#include "toolkit/cursorgrid.h"
#include "weighing/entryform.h"
#include "weighing/journalrecord.h"
#include "weighing/tnewdb.h"
#include "weighing/weighoperation.h"

using Mode = WeighingMode;

class TestWeighOperation final : public QObject
{
    Q_OBJECT

    static QStringList storedRow(TableStore &store, qint64 id)
    {
        TableCursor c(store, Tables::Journal);
        c.Open();
        return QStringList(c.rowById(id));
    }

private slots:
    void bothPassesAgainstTheCursor()
    {
        TempDatabase db;
        Session::LoginOk = 1;
        Session::OperatorName = QStringLiteral("Сидорова А.В.");
        LinkFixture lf;
        QVERIFY(lf.plugged);
        lf.switchOn();
        QVERIFY(lf.link->isPortOpen());

        TableCursor journal(db.store(), Tables::Journal);
        journal.Open();
        QLabel unit(QStringLiteral("т"));
        EntryForm form({nullptr, nullptr, &unit, &journal, lf.link.get()});
        TnewDB pending(&form);
        WeighOperation *weighing = form.weighing();
        weighing->setPendingWindow(&pending);
        QSignalSpy taken(weighing, &WeighOperation::weightTaken);
        QSignalSpy withdrawn(weighing, &WeighOperation::weightWithdrawn);
        QSignalSpy stored(weighing, &WeighOperation::firstPassStored);
        QSignalSpy completed(weighing, &WeighOperation::secondPassCompleted);
        QSignalSpy resets(&form, &EntryForm::resetStarted);
        ModalWatcher watcher;

        // --- first pass: gross before unloading, appended through the view
        const QStringList texts = {"А123ВС", "КамАЗ", "Иванов И.И.", "Автобаза 3", "ООО Карьер", "ЗАО Щебень",
                                   "ООО Стройка", "Склад 2", "щебень", "наличный", "104512", "", "Карьер 5"};
        form.modeButton(Mode::GrossBeforeUnloading)->click();
        for (int i = 0; i < texts.size(); ++i)
            form.setFieldText(i + 1, texts[i]);
        QVERIFY(settleLink(*lf.link, lf.sim, 20.0));
        form.weighButton()->click();

        QCOMPARE(watcher.seen().size(), 1);
        QCOMPARE(watcher.seen()[0].text, WeighingModes::completionText(Mode::GrossBeforeUnloading));
        QCOMPARE(stored.size(), 1);
        const qint64 id = stored[0][0].toLongLong();
        QVERIFY(id > 0);
        QStringList row = storedRow(db.store(), id);
        QCOMPARE(row.mid(0, 13), texts);
        QCOMPARE(row[WeighingRecord::Sum], QStringLiteral("20"));
        QCOMPARE(row[WeighingRecord::Ok_brutto], WeighingRecord::Awaiting);
        QCOMPARE(row[WeighingRecord::Ed_izm], QStringLiteral("т"));
        QCOMPARE(taken.size(), 1);
        QCOMPARE(taken[0][0].toString(), QStringLiteral("20"));
        // The mode click and the pass's end each reset the form.
        QCOMPARE(resets.size(), 2);
        QCOMPARE(form.fieldText(1), QString());

        // --- second pass: the record chosen in the pending-truck window,
        // completed through that window's view
        QVERIFY(settleLink(*lf.link, lf.sim, 7.5));
        watcher.handleDialog([](QWidget *w) {
            if (auto *d = qobject_cast<TnewDB *>(w))
                d->chooseButton()->click();
        });
        form.modeButton(Mode::TareAfterUnloading)->click();
        QCOMPARE(watcher.dialogs().size(), 1);
        QCOMPARE(weighing->chosenRecordId(), id);
        QCOMPARE(form.weights().gross, QStringLiteral("20"));
        form.weighButton()->click();

        QCOMPARE(watcher.seen().size(), 2);
        QCOMPARE(watcher.seen()[1].text, WeighingModes::completionText(Mode::TareAfterUnloading));
        row = storedRow(db.store(), id);
        QCOMPARE(row[WeighingRecord::Tara], QStringLiteral("7,5"));
        QCOMPARE(row[WeighingRecord::Netto], QStringLiteral("12,5"));
        QCOMPARE(row[WeighingRecord::Ok_cicle], WeighingRecord::Completed);
        QCOMPARE(form.weights().net, QStringLiteral("12,5"));
        QCOMPARE(completed.size(), 1);
        QCOMPARE(completed[0][0].toLongLong(), id);
        QCOMPARE(weighing->lastCompletedId(), id);
        QCOMPARE(taken.size(), 2);
        QCOMPARE(taken[1][0].toString(), QStringLiteral("7,5"));
        QCOMPARE(withdrawn.size(), 0);
        QVERIFY(watcher.problems().isEmpty());
    }
};

QTEST_MAIN(TestWeighOperation)
#include "test_weighoperation.moc"
