#pragma once
// A program folder in a temporary directory with the three tables created,
// opened as the alias WE for the lifetime of the object.

#include <QStringList>
#include <QTemporaryDir>

class TempDatabase
{
public:
    TempDatabase();
    ~TempDatabase();
    QString programDir() const { return m_dir.path(); }

    // Appends a journal row: field name -> text.
    static void addJournalRow(const QList<QPair<QString, QString>> &fields);

private:
    QTemporaryDir m_dir;
};
