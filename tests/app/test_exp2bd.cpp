// "Экспорт БД" as the operator meets it: the journal page's button, the save
// dialog, the file on disk; a file that cannot be created, and "Cancel" in
// the progress window.

#include <QComboBox>
#include <QFileDialog>
#include <QPushButton>
#include <QStringEncoder>
#include <QTabWidget>
#include <QtTest>

#include <memory>

#include "app/mainform.h"
#include "app/startup.h"
#include "common/session.h"
#include "csvfile.h"
#include "journal/journalpage.h"
#include "keyboard.h"
#include "messageboxes.h"
#include "print/exp2bd.h"
#include "programfolder.h"
#include "store/schema.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "toolkit/errorbox.h"
#include "toolkit/report/progresswindow.h"

namespace {

QByteArray cp1251(const QString &text)
{
    QStringEncoder encoder("windows-1251");
    return encoder.encode(text);
}

void addRow(TableStore &store, const QString &truck, const QString &driver)
{
    TableCursor c(store, Tables::Journal);
    c.Open();
    c.Append();
    c.SetFieldText("N_Avto", truck);
    c.SetFieldText("FIO", driver);
    c.SetFieldText("Dat", "15.03.2005");
    c.Post();
}

// Presses "Cancel" of the progress window as soon as it shows.
class CancelOnShow : public QObject
{
public:
    CancelOnShow() { qApp->installEventFilter(this); }
    ~CancelOnShow() override { qApp->removeEventFilter(this); }
    QString title;

protected:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        auto *w = qobject_cast<report::ProgressWindow *>(o);
        if (w && e->type() == QEvent::Show) {
            title = w->windowTitle();
            QPointer<QPushButton> cancel = w->findChild<QPushButton *>(QStringLiteral("CancelButton"));
            QMetaObject::invokeMethod(
                this, [cancel] { if (cancel) QTest::mouseClick(cancel, Qt::LeftButton); }, Qt::QueuedConnection);
        }
        return false;
    }
};

} // namespace

class TestExp2BD final : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> folder;
    std::unique_ptr<TableStore> store;
    std::unique_ptr<MainForm> form;
    std::unique_ptr<Exp2BD> exportReport;
    ModalWatcher *watcher = nullptr;

    // As the start order makes them: the main window, then the export report.
    void start()
    {
        form = std::make_unique<MainForm>(*store, folder->path());
        exportReport = std::make_unique<Exp2BD>(*store, folder->path(), form.get());
        connectExportReport(*form, *exportReport);
        form->show();
        form->pageControl()->setCurrentIndex(MainForm::JournalPage);
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

    // Presses "Экспорт БД" and types path into the save dialog.
    // Returns what the dialog showed: title, filter, folder, preset name, options.
    QStringList exportTo(const QString &path)
    {
        QStringList seen;
        watcher->handleDialog([&seen, path](QWidget *w) {
            auto *d = qobject_cast<QFileDialog *>(w);
            if (!d) {
                w->close();
                return;
            }
            seen = {d->windowTitle(), d->nameFilters().join('|'), d->directory().absolutePath(),
                    QFileInfo(d->selectedFiles().value(0)).fileName(),
                    d->acceptMode() == QFileDialog::AcceptSave ? "save" : "open",
                    d->testOption(QFileDialog::DontConfirmOverwrite) ? "no overwrite prompt" : "overwrite prompt",
                    d->testOption(QFileDialog::ReadOnly) ? "read-only" : "read-only option hidden"};
            // The name typed over the preset one, and Enter.
            key(d, Qt::Key_A, Qt::ControlModifier);
            type(d, path);
            key(d, Qt::Key_Return);
        });
        QTest::mouseClick(form->journalPage()->exportJournalButton(), Qt::LeftButton);
        return seen;
    }

private slots:
    void initTestCase() { installErrorBox(); }

    void init()
    {
        Session::LoginOk = 1;
        Session::OperatorName = QStringLiteral("Петров П.П.");
        folder = std::make_unique<ProgramFolder>();
        store = TableStore::openCreating(folder->path());
        Schema::createTables(*store);
        watcher = new ModalWatcher(this);
    }

    void cleanup()
    {
        QVERIFY2(watcher->problems().isEmpty(), qPrintable(watcher->problems().join('\n')));
        delete watcher;
        exportReport.reset();
        form.reset();
        store.reset();
        folder.reset();
    }

    // The file holds every row in stored order, whatever the journal page
    // shows, rows stored since start included; the dialog is as the operator
    // knows it, and nothing is shown after the export.
    void exportIgnoresThePagesFilter()
    {
        addRow(*store, "А123ВС", "Иванов");
        addRow(*store, "В456ОР", "Петров");
        start();
        addRow(*store, "Е789КХ", "Сидоров");   // stored since start, through another view

        // The journal page shows Петров only.
        QComboBox *drivers = form->findChild<QComboBox *>("ComboBox14");
        QVERIFY(drivers);
        QTRY_VERIFY(drivers->findText("Петров") >= 0);   // the lists are read on a worker
        drivers->setCurrentIndex(drivers->findText("Петров"));
        QTest::mouseClick(form->journalPage()->searchButton(), Qt::LeftButton);
        QTRY_COMPARE(form->journalView()->visibleCount(), 1);

        const QString path = folder->filePath("журнал.csv");
        const QStringList seen = exportTo(path);
        QCOMPARE(watcher->dialogs().size(), 1);
        QCOMPARE(seen, (QStringList{"Экспорт БД в Microsoft Excel", "*.csv", QDir(folder->path()).absolutePath(),
                                    "Бд кродалин " + QDate::currentDate().toString("dd.MM.yyyy") + ".csv", "save",
                                    "overwrite prompt", "read-only option hidden"}));

        const CsvFile file = CsvFile::parse(folder->readFile("журнал.csv"));
        QVERIFY2(file.error.isEmpty(), qPrintable(file.error));
        QCOMPARE(file.lines.size(), 5);
        QByteArrayList trucks, drivers1251;
        for (int i = 2; i < 5; ++i) {
            QCOMPARE(file.lines[i].size(), 21);
            trucks << file.lines[i][0];
            drivers1251 << file.lines[i][2];
            QCOMPARE(file.lines[i][18], QByteArray("15.03.2005"));
        }
        QCOMPARE(trucks, (QByteArrayList{cp1251("А123ВС"), cp1251("В456ОР"), cp1251("Е789КХ")}));
        QCOMPARE(drivers1251[0], QByteArray("\xC8\xE2\xE0\xED\xEE\xE2"));   // Иванов
        QCOMPARE(watcher->seen().size(), 0);
        // The page's filter is still in force.
        QCOMPARE(form->journalView()->visibleCount(), 1);
    }

    // A file that cannot be created is reported with its full path, nothing
    // is written, and the next export works.
    void fileThatCannotBeCreated()
    {
        addRow(*store, "А123ВС", "Иванов");
        start();
        const QString blocked = folder->filePath("нет такой папки/журнал.csv");
        exportTo(blocked);
        QVERIFY(watcher->waitForBoxes(1));
        QCOMPARE(watcher->seen()[0].text, "Cannot create file " + QDir::toNativeSeparators(blocked) + ".");
        QCOMPARE(watcher->seen()[0].title, QString("Krodalin"));
        QCOMPARE(watcher->seen()[0].icon, QMessageBox::Critical);
        QVERIFY(!QFileInfo::exists(blocked));

        exportTo(folder->filePath("журнал.csv"));
        const CsvFile file = CsvFile::parse(folder->readFile("журнал.csv"));
        QVERIFY2(file.error.isEmpty(), qPrintable(file.error));
        QCOMPARE(file.lines.size(), 3);
        QCOMPARE(watcher->seen().size(), 1);
    }

    // "Cancel" in the progress window stops the export; a file that the
    // operator agreed to replace stays as it was, and nothing more is said.
    void cancelledExportLeavesTheFileAsItWas()
    {
        addRow(*store, "А123ВС", "Иванов");
        addRow(*store, "В456ОР", "Петров");
        start();
        QVERIFY(folder->writeFile("журнал.csv", "old"));
        CancelOnShow cancel;
        watcher->answer(QMessageBox::Yes);   // replace the existing file
        exportTo(folder->filePath("журнал.csv"));
        QCOMPARE(cancel.title, QString("Printing progress"));
        QCOMPARE(watcher->seen().size(), 1);
        QCOMPARE(watcher->seen()[0].buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(folder->readFile("журнал.csv"), QByteArray("old"));
    }
};

QTEST_MAIN(TestExp2BD)
#include "test_exp2bd.moc"
