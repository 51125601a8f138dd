#include "print/exp2bd.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>
#include <QScopedValueRollback>

#include <chrono>
#include <future>

#include "common/failure.h"
#include "print/journalcsv.h"
#include "store/rawquery.h"
#include "store/tablecursor.h"
#include "store/tablescan.h"
#include "store/tablestore.h"
#include "toolkit/report/progresswindow.h"

namespace {

// Thrown out of the journal walk to stop it when the operator cancels.
struct ExportCancelled
{
};

// How often the window answers while the file goes to the disk.
constexpr int ProgressEventsMs = 20;

// The file is written in slices of this size.
constexpr qsizetype SliceBytes = 1 << 20;

} // namespace

Exp2BD::Exp2BD(TableStore &store, QString programDir, QWidget *window)
    : m_programDir(std::move(programDir)), m_window(window),
      m_view(std::make_unique<TableCursor>(store, Tables::Journal))
{
    setObjectName(QStringLiteral("Exp2BD"));
    m_view->Open();
}

Exp2BD::~Exp2BD() = default;

QString Exp2BD::presetFileName(const QDate &today)
{
    return QStringLiteral("Бд кродалин ") + today.toString(QStringLiteral("dd.MM.yyyy")) + QStringLiteral(".csv");
}

void Exp2BD::exportJournal()
{
    // The progress window lets events through: a second press meanwhile waits
    // for nothing and starts nothing.
    if (m_busy)
        return;
    QScopedValueRollback busy(m_busy, true);

    QFileDialog dialog(m_window, QStringLiteral("Экспорт БД в Microsoft Excel"), m_programDir);
    dialog.setObjectName(QStringLiteral("ExportDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({QStringLiteral("*.csv")});
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.selectFile(presetFileName(QDate::currentDate()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    writeFile(dialog.selectedFiles().constFirst());
}

// The rows are counted on a connection of its own while the progress window
// answers: the first count of a million rows holds a window for a while.
int Exp2BD::countRows()
{
    const TableScan::Statement count = m_view->visibleCountStatement();
    ApartRead read(m_view->store());
    if (!read.runsApart())
        return m_view->visibleCount();
    auto counted = std::async(std::launch::async, [&] {
        qint64 rows = 0;
        read.run(count.sql, count.binds, [&rows](RawQuery &q) { rows = q.next() ? q.integer(0) : 0; });
        return rows;
    });
    while (counted.wait_for(std::chrono::milliseconds(ProgressEventsMs)) != std::future_status::ready)
        QCoreApplication::processEvents();
    return int(counted.get());
}

bool Exp2BD::writeFile(const QString &path)
{
    const QString fullPath = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    // Written under a temporary name beside path, which the file takes only
    // when whole: an export cut off by a crash or a power cut leaves a file
    // of that name as it was, never one that passes for the whole journal.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Failure(QStringLiteral("Cannot create file %1").arg(fullPath));

    const auto writeOut = [&](JournalCsv::Writer &writer) {
        const QByteArray &bytes = writer.bytes();
        if (file.write(bytes) != bytes.size())
            throw Failure(QStringLiteral("Cannot write file %1: %2").arg(fullPath, file.errorString()));
        writer.drain();
    };

    QVector<int> fields;
    for (const JournalCsv::Column &c : JournalCsv::columns())
        fields << int(c.field);   // the view's journal has the schema's columns

    report::ProgressWindow progress(m_window);
    try {
        m_view->First();
        progress.show();
        progress.setRange(countRows());
        JournalCsv::Writer writer;
        int done = 0;
        m_view->scanToEnd(fields, [&](const QByteArrayView *row) {
            writer.addRow(row);
            if (writer.bytes().size() >= SliceBytes)
                writeOut(writer);
            progress.setProgress(++done);
            if (progress.wasCancelled())
                throw ExportCancelled();
        });
        writer.finish();
        writeOut(writer);
        // The file goes to the disk before it takes its name: hundreds of
        // megabytes take a while, and the window keeps answering meanwhile.
        auto committed = std::async(std::launch::async, [&file] { return file.commit(); });
        while (committed.wait_for(std::chrono::milliseconds(ProgressEventsMs)) != std::future_status::ready)
            QCoreApplication::processEvents();
        if (!committed.get())
            throw Failure(QStringLiteral("Cannot write file %1: %2").arg(fullPath, file.errorString()));
        return true;
    } catch (const ExportCancelled &) {
        file.cancelWriting();
        return false;
    }
}
