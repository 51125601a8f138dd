// The printed papers as the operator reaches them in the main window: the
// journal page's note in the copies chosen on the settings page (printed to
// a PDF file and counted), one note preview at a time, "Печать БД" covering
// the whole journal whatever the journal page's filter shows, and the files
// written from there when the program is killed half-way.

#include <QCheckBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <csignal>
#include <memory>

#include "app/mainform.h"
#include "app/startup.h"
#include "common/session.h"
#include "filesizelimit.h"
#include "journal/journalpage.h"
#include "keyboard.h"
#include "messageboxes.h"
#include "pdftext.h"
#include "print/exp2bd.h"
#include "print/expbd.h"
#include "print/printfm.h"
#include "programfolder.h"
#include "store/schema.h"
#include "store/tablestore.h"
#include "tempdatabase.h"
#include "toolkit/cursorgrid.h"
#include "toolkit/cursormodel.h"
#include "toolkit/report/previewwindow.h"
#include "toolkit/report/textfit.h"

namespace {

// The main window with the note, the journal report and the export wired
// as at start, over a journal of the given rows (waybill number, completed
// or not).
class Program
{
public:
    explicit Program(const QList<QPair<QString, bool>> &rows)
        : folder(QStringLiteral("[Tool]\r\nizmer=т\r\nCOM=com1\r\nSpeed=br9600\r\nwi=Libra v.1_24\r\nopen=0\r\n"))
    {
        Session::LoginOk = 1;
        store = TableStore::openCreating(folder.path());
        Schema::createTables(*store);
        store->connection().transaction();
        for (const auto &[waybill, completed] : rows)
            addRow(waybill, completed);
        store->connection().commit();
        form = std::make_unique<MainForm>(*store, folder.path());
        note = std::make_unique<printfm>();
        journalReport = std::make_unique<ExpBD>(*store);
        connectPrinting(*form, *note, *journalReport);
        exportReport = std::make_unique<Exp2BD>(*store, folder.path(), form.get());
        connectExportReport(*form, *exportReport);
        form->show();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }
    ~Program()
    {
        exportReport.reset();
        journalReport.reset();
        note.reset();
        form.reset();
        store.reset();
    }

    void addRow(const QString &waybill, bool completed)
    {
        TempDatabase::addJournalRow(*store, {{"N_Avto", "А" + waybill}, {"Marcka", "Т-100"}, {"N_List", waybill},
                                             {"Netto", completed ? "10,22" : ""}, {"Ed_izm", "т"},
                                             {"Dat", "15.03.2005"}, {"Ok_cicle", completed ? "2" : ""}});
    }

    JournalPage *journal() const { return form->journalPage(); }
    void click(QWidget *w) const { QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(w->width() / 2, w->height() / 2)); }
    // "Печать БД": the preview shows the new pages once the rows are counted.
    bool printJournal() const
    {
        QSignalSpy counted(&journalReport->report(), &report::Report::pagesChanged);
        click(journal()->printJournalButton());
        return QTest::qWaitFor([&] { return counted.count() > 0 && journalReport->report().preview(); });
    }
    void showPage(MainForm::Page page) const { form->pageControl()->setCurrentIndex(page); }

    void chooseCopies(const char *radio) const
    {
        showPage(MainForm::SettingsPage);
        click(form->findChild<QRadioButton *>(QLatin1String(radio)));
        showPage(MainForm::JournalPage);
    }

    // Ctrl+Home or Ctrl+End in the journal grid, as typed.
    void selectRow(Qt::Key key) const
    {
        form->activateWindow();
        journal()->grid()->setFocus();
        pressKey(key, Qt::ControlModifier);
    }

    // The note printed from its preview; the PDF's pages.
    int printNote(const QString &pdf) const
    {
        report::PrintSettings s = note->report().printSettings();
        s.outputFile = pdf;   // as the set-up's "print to file" leaves it
        note->report().setPrintSettings(s);
        note->report().preview()->button("PrintButton")->click();
        return readPdf(pdf).pageCount();
    }

    QStringList journalReportWaybills() const
    {
        QStringList out;
        const report::Report &r = journalReport->report();
        for (int p = 0; p < r.pageCount(); ++p)
            for (const QString &t : r.page(p).texts())
                if (t.startsWith(QLatin1Char('W')))
                    out << t;
        return out;
    }

    ProgramFolder folder;
    std::unique_ptr<TableStore> store;
    std::unique_ptr<MainForm> form;
    std::unique_ptr<printfm> note;
    std::unique_ptr<ExpBD> journalReport;
    std::unique_ptr<Exp2BD> exportReport;
};

QString targetName(const QString &kind) { return "журнал." + kind.section('.', -1); }

// Run as a child: writes kind from the journal page, as the operator does,
// until the system kills it when the file passes a few kilobytes.
int writeChild(const QString &kind)
{
    QList<QPair<QString, bool>> rows;
    for (int i = 0; i < 100; ++i)
        rows.append({QStringLiteral("W%1").arg(i), true});
    Program p(rows);
    ModalWatcher watcher;
    watcher.answer(QMessageBox::Yes);   // the file of that name is replaced
    watcher.handleDialog([kind](QWidget *d) {
        key(d, Qt::Key_A, Qt::ControlModifier);
        type(d, QDir::temp().filePath(targetName(kind)));
        key(d, Qt::Key_Return);
    });
    report::textWidthMm(u"0", 7);   // fonts are read before the limit
    p.showPage(MainForm::JournalPage);
    const FileSizeLimit limit(4096, FileSizeLimit::Beyond::Kills);
    const bool note = kind.startsWith("note");
    if (kind == "csv" || note)
        p.click(note ? p.journal()->printNoteButton() : p.journal()->exportJournalButton());
    else if (!p.printJournal())
        return 2;
    if (kind != "csv")
        (note ? p.note->report() : p.journalReport->report())
            .preview()
            ->button(kind.endsWith("krp") ? "SaveButton" : "ExportPdfButton")
            ->click();
    return 0;   // written whole: the limit was never reached
}

} // namespace

class TestPrinting final : public QObject
{
    Q_OBJECT

private slots:
    // Copies "2", then "1": the second note prints one copy. Both come from
    // the row selected in the journal grid, into the one preview.
    void journalNoteInTheChosenCopies()
    {
        Program p({{"W1", true}, {"W2", true}});
        ModalWatcher watcher;
        QTemporaryDir dir;
        p.chooseCopies("Copies2");
        p.selectRow(Qt::Key_End);
        p.click(p.journal()->printNoteButton());
        QCOMPARE(p.note->texts().value(4), QStringLiteral("W2"));
        report::PreviewWindow *preview = p.note->report().preview();
        QVERIFY(preview && preview->isVisible());
        QCOMPARE(p.printNote(dir.filePath("two.pdf")), 2);

        p.chooseCopies("Copies1");
        p.selectRow(Qt::Key_Home);
        p.click(p.journal()->printNoteButton());
        QCOMPARE(p.note->texts().value(4), QStringLiteral("W1"));
        QCOMPARE(p.note->report().preview(), preview);
        QCOMPARE(p.form->findChildren<report::PreviewWindow *>().size(), 1);
        QCOMPARE(p.printNote(dir.filePath("one.pdf")), 1);
        QVERIFY(watcher.seen().isEmpty());
        QVERIFY(watcher.problems().isEmpty());
    }

    // The completed filter hides a row from the grid but not from the
    // report, and a row stored since the last report is in the next one.
    void journalReportCoversEveryRow()
    {
        Program p({{"W1", true}, {"W2", false}, {"W3", true}});
        ModalWatcher watcher;
        p.showPage(MainForm::JournalPage);
        p.click(p.journal()->completedFilterBox());
        QVERIFY(p.journal()->completedFilterBox()->isChecked());
        QCOMPARE(p.journal()->grid()->cursorModel()->rowCount(), 2);

        QVERIFY(p.printJournal());
        report::PreviewWindow *preview = p.journalReport->report().preview();
        QVERIFY(preview && preview->isVisible());
        QCOMPARE(p.journalReportWaybills(), (QStringList{"W1", "W2", "W3"}));

        p.addRow(QStringLiteral("W4"), false);
        QVERIFY(p.printJournal());
        QCOMPARE(p.journalReport->report().preview(), preview);
        QCOMPARE(p.journalReportWaybills(), (QStringList{"W1", "W2", "W3", "W4"}));
        QVERIFY(watcher.seen().isEmpty());
    }

    // A file written from the journal page, the program killed while it
    // writes (as a crash or a power cut cuts it off): the chosen name still
    // holds the file it held, never the part written.
    void killedWriteLeavesTheChosenName_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("\"Экспорт БД\"") << "csv";
        QTest::newRow("journal report, PDF") << "report.pdf";
        QTest::newRow("journal report, prepared") << "report.krp";
        QTest::newRow("note, PDF") << "note.pdf";
    }

    void killedWriteLeavesTheChosenName()
    {
        QFETCH(QString, kind);
        // The child's files, its program folder too, all in here.
        QTemporaryDir dir;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TMPDIR", dir.path());
        QFile old(dir.filePath(targetName(kind)));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();

        QProcess child;
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {"--write-child", kind});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QCOMPARE(child.exitCode(), SIGXFSZ);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("old"));
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    if (argc == 3 && qstrcmp(argv[1], "--write-child") == 0)
        return writeChild(QString::fromLocal8Bit(argv[2]));
    TestPrinting t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_printing.moc"
