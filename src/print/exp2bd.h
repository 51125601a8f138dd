#pragma once
// The export report: "Экспорт БД" writes the whole journal into a CSV file
// for a spreadsheet (print/journalcsv.h makes the lines). It reads through a
// view of its own, opened at start and never filtered, so the file holds
// every row in stored order whatever the journal page shows, rows stored
// since start included.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

class QDate;
class TableCursor;
class TableStore;

class Exp2BD : public QObject
{
    Q_OBJECT
public:
    // window: the parent of the save dialog and the progress window (the main
    // window); programDir: the folder the save dialog starts in.
    // The export of the store's journal.
    Exp2BD(TableStore &store, QString programDir, QWidget *window);
    ~Exp2BD() override;

    TableCursor *journalView() const { return m_view.get(); }

    // "Экспорт БД": asks for the file, then writes it with the progress
    // window up. Throws Failure when the file cannot be created or written.
    // Nothing is shown after success.
    void exportJournal();

    // Writes the file at path; false when the operator pressed "Cancel". The
    // file takes its name only when whole: until then, and after a failure
    // or "Cancel", a file of that name stays as it was.
    bool writeFile(const QString &path);

    // The save dialog's preset name: "Бд кродалин dd.MM.yyyy.csv".
    static QString presetFileName(const QDate &today);

private:
    int countRows();
    QString m_programDir;
    QPointer<QWidget> m_window;
    std::unique_ptr<TableCursor> m_view;
    bool m_busy = false;
};
