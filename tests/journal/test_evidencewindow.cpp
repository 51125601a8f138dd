// The evidence window of a completed record: both passes, each with its plot
// of the readings (the press at 0, the stored weight as the point there) and
// its facts; the report holds the same, down to the PDF. A row weighed
// before passes were recorded says so and shows nothing else.

#include <QtTest>

#include <QAbstractAxis>
#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QTableWidget>
#include <QTemporaryDir>

#include "common/session.h"
#include "journal/evidencewindow.h"
#include "pdftext.h"
#include "store/passlog.h"
#include "store/tablecursor.h"
#include "tempdatabase.h"
#include "toolkit/report/report.h"

namespace {

QVector<TraceReading> ramp(double from, double to, int stableFrom)
{
    QVector<TraceReading> out;
    for (int i = 0; i < 30; ++i) {
        const double w = i < stableFrom ? from + (to - from) * i / stableFrom : to;
        out.append({qint64(i - 29) * 1000 - 300, QString::number(w, 'f', 3).replace('.', ','), i >= stableFrom + 2});
    }
    return out;
}

void post(TableCursor &journal, PassRecord record, const QList<QPair<QString, QString>> &fields)
{
    if (record.pass == 1)
        journal.Append(TableCursor::Origin::Program);
    else
        journal.Edit(TableCursor::Origin::Program);
    for (const auto &[f, v] : fields)
        journal.SetFieldText(f, v);
    journal.setPostRecorder([record, &store = journal.store()](qint64 rowId, const FieldValues &written) mutable {
        record.rowId = rowId;
        PassLog::write(store, record, written);
    });
    journal.Post();
}

}

class TestEvidenceWindow final : public QObject
{
    Q_OBJECT

private slots:
    void completedRecordShowsBothPasses()
    {
        TempDatabase db;
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        Session::OperatorName = QStringLiteral("Петрова А.С.");
        TableCursor journal(db.store(), Tables::Journal);
        journal.Open();
        journal.Append(TableCursor::Origin::Program);
        journal.SetFieldText(QStringLiteral("N_Avto"), QStringLiteral("до записи сведений"));
        journal.Post();
        const qint64 before = journal.currentId();

        PassRecord first;
        first.pass = 1;
        first.mode = QStringLiteral("Тара перед погрузкой");
        first.weight = QStringLiteral("10250");
        first.unit = QStringLiteral("кг");
        first.at = QStringLiteral("2026-12-10 08:14:03.120");
        first.operatorName = Session::OperatorName;
        first.station = QStringLiteral("vesy-1");
        first.trace = ramp(0, 10250, 18);
        post(journal, first, {{"N_Avto", "А123ВС 61"}, {"Tara", "10250"}, {"Ok_tara", "1"}});
        const qint64 id = journal.currentId();
        PassRecord second = first;
        second.pass = 2;
        second.mode = QStringLiteral("Брутто после погрузки");
        second.weight = QStringLiteral("30480");
        second.at = QStringLiteral("2026-12-10 09:02:41.877");
        second.indicatorDate = QStringLiteral("10.12.26");
        second.indicatorTime = QStringLiteral("09:02");
        second.trace = ramp(12000, 30480, 22);
        post(journal, second, {{"Sum", "30480"}, {"Netto", "20230"}, {"Ok_cicle", "2"}});

        EvidenceWindow window(journal.store());
        window.load(id);
        QCOMPARE(window.charts().size(), 2);
        QVERIFY(window.noEvidenceLabel()->isHidden());
        for (int i = 0; i < 2; ++i) {
            const PassRecord &p = i == 0 ? first : second;
            QChart *chart = window.charts()[i]->chart();
            auto *readings = qobject_cast<QLineSeries *>(chart->series().first());
            QCOMPARE(readings->count(), p.trace.size());
            QCOMPARE(readings->at(0), QPointF(-29.3, 0 + (i == 0 ? 0 : 12000)));
            // The stored weight at the press, and the press at 0.
            QScatterSeries *point = nullptr;
            QLineSeries *press = nullptr;
            for (QAbstractSeries *s : chart->series()) {
                if (s->name() == QStringLiteral("Записанный вес"))
                    point = qobject_cast<QScatterSeries *>(s);
                if (s->name() == QStringLiteral("Нажатие «Взвесить»"))
                    press = qobject_cast<QLineSeries *>(s);
            }
            QVERIFY(point && press);
            QCOMPARE(point->at(0), QPointF(0, p.weight.toDouble()));
            QCOMPARE(press->at(0).x(), 0.0);
            // Stable stretches: readings standing still marked on top.
            int stable = 0;
            for (QAbstractSeries *s : chart->series())
                if (s->name() == QStringLiteral("Стабильно"))
                    stable += qobject_cast<QLineSeries *>(s)->count();
            QCOMPARE(stable, int(std::count_if(p.trace.begin(), p.trace.end(), [](auto &r) { return r.stable; })));
            QTableWidget *facts = window.factTables()[i];
            QCOMPARE(facts->item(3, 0)->text(), p.weight + QStringLiteral(" кг"));
        }
        QCOMPARE(window.factTables()[1]->item(5, 0)->text(), QStringLiteral("10.12.26 09:02"));
        QCOMPARE(window.factTables()[0]->item(5, 0)->text(), QStringLiteral("нет часов"));

        const QStringList printed = window.report()->page(0).texts();
        for (const QString &t : {QStringLiteral("Первое взвешивание: Тара перед погрузкой"),
                                 QStringLiteral("Второе взвешивание: Брутто после погрузки"),
                                 QStringLiteral("30480 кг"), QStringLiteral("10.12.2026 09:02:41")})
            QVERIFY2(printed.contains(t), qPrintable(t));
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("evidence.pdf"));
        QVERIFY(window.report()->exportPdf(pdf, &window));
        const PdfContents contents = readPdf(pdf);
        QCOMPARE(contents.pageCount(), 1);
        QVERIFY(contents.pageTexts[0].contains(QStringLiteral("Брутто после погрузки")));

        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // The picture for the manual, when asked for.
        if (const QByteArray shot = qgetenv("KRODALIN_SCREENSHOT"); !shot.isEmpty())
            window.grab().save(QString::fromLocal8Bit(shot));

        // A row from before: the one sentence and nothing more.
        window.load(before);
        QVERIFY(window.charts().isEmpty());
        QVERIFY(!window.noEvidenceLabel()->isHidden());
        QCOMPARE(window.noEvidenceLabel()->text(), QStringLiteral("Нет сведений о взвешивании"));
        QVERIFY(window.printButton()->isHidden());
    }
};

QTEST_MAIN(TestEvidenceWindow)
#include "test_evidencewindow.moc"
