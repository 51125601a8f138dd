// What a pass keeps as its evidence: through the real link over a
// pseudo-terminal, every reading the link decoded in the half minute before
// "Взвесить", in order, with the stable flag as the link judged it; a
// refused press keeps nothing. The link's clock runs by hand, and the
// trace's clock with it, one second a tick.

#include <QtTest>

#include <QLabel>
#include <QPushButton>
#include <QSqlQuery>

#include "../indicator/linkfixture.h"
#include "common/session.h"
#include "indicator/readingtrace.h"
#include "messageboxes.h"
#include "store/passlog.h"
#include "store/tablecursor.h"
#include "tempdatabase.h"
#include "weighing/entryform.h"
#include "weighing/tnewdb.h"
#include "weighing/weighoperation.h"

class TestPassEvidence final : public QObject
{
    Q_OBJECT

private slots:
    void pressKeepsTheLastHalfMinute_data()
    {
        QTest::addColumn<QList<double>>("weights");   // what the scale holds, second by second
        QTest::addColumn<bool>("stored");
        QList<double> moving;   // a truck rolling on: the reading never stands
        for (int i = 0; i < 40; ++i)
            moving << 1000.0 + 250 * i;
        QList<double> settling = moving.mid(0, 20);
        for (int i = 0; i < 25; ++i)
            settling << 20850.0;
        QTest::newRow("a truck that settles: stored") << settling << true;
        QTest::newRow("a truck still moving: refused") << moving << false;
    }
    void pressKeepsTheLastHalfMinute()
    {
        QFETCH(QList<double>, weights);
        QFETCH(bool, stored);
        TempDatabase db;
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        Session::OperatorName = QStringLiteral("Сидорова А.В.");
        LinkFixture lf;
        QVERIFY(lf.plugged);
        lf.switchOn();
        TableCursor journal(db.store(), Tables::Journal);
        journal.Open();
        QLabel unit(QStringLiteral("кг"));
        EntryForm form({nullptr, nullptr, &unit, &journal, lf.link.get()});
        TnewDB pending(&form);
        form.weighing()->setPendingWindow(&pending);
        qint64 now = 0;
        form.weighing()->readingTrace()->setClock([&now] { return now; });
        ModalWatcher watcher;

        // What the link decoded each second, as the test sees it after the tick.
        QVector<QPair<qint64, TraceReading>> seen;
        for (double w : weights) {
            lf.sim.setWeight(w);
            now += 1000;
            QVERIFY(linkSecond(*lf.link, lf.sim));
            seen.append({now, {0, lf.link->ReadingText(), lf.link->StableFlag()}});
        }
        now += 400;   // the press comes within the second
        for (int i = 1; i <= 13; ++i)
            form.setFieldText(i, i == 12 ? QString() : QStringLiteral("поле %1").arg(i));
        form.weighButton()->click();

        QVector<TraceReading> expected;
        for (const auto &[at, r] : seen)
            if (now - at <= PassTrace::WindowMs)
                expected.append({at - now, r.text, r.stable});
        QCOMPARE(expected.size(), 30);
        const QVector<PassRecord> passes = PassLog::forRow(db.store(), journal.currentId());
        if (!stored) {
            QCOMPARE(watcher.seen().size(), 1);
            QCOMPARE(watcher.seen()[0].text, QStringLiteral("Нестабильные показания прибора повторите взвешивание!"));
            QVERIFY(journal.IsEmpty());
            QSqlQuery q(db.store().connection());
            QVERIFY(q.exec(QStringLiteral("SELECT count(*) FROM bd_pass")) && q.next());
            QCOMPARE(q.value(0).toInt(), 0);
            return;
        }
        QCOMPARE(passes.size(), 1);
        const PassRecord &p = passes[0];
        QCOMPARE(p.trace, expected);
        QCOMPARE(p.weight, QStringLiteral("20850"));
        QCOMPARE(p.unit, QStringLiteral("кг"));
        QCOMPARE(p.pass, 1);
        QCOMPARE(p.mode, QStringLiteral("Тара перед погрузкой"));
        QCOMPARE(p.operatorName, Session::OperatorName);
        // The readings are the simulator's: the first of the window still
        // moving, the last standing.
        QVERIFY(!p.trace.first().stable);
        QVERIFY(p.trace.last().stable);
        QCOMPARE(p.trace.last().text.trimmed(), QStringLiteral("20850,000"));
    }
};

QTEST_MAIN(TestPassEvidence)
#include "test_passevidence.moc"
