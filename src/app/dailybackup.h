#pragma once
// The program's own backup: at the first start of a day (no copy of that day
// there yet) one copy of the database into data/backup/ beside the program,
// named by the day, and only the newest copies kept ("backups" in tools.ini).
// The copy runs on a thread of its own with connections of its own, so the
// weighing goes on meanwhile; it reports back once, when it is over.

#include <QDate>
#include <QObject>
#include <QString>
#include <atomic>

class QThread;

class DailyBackup : public QObject
{
    Q_OBJECT

public:
    DailyBackup(QString programDir, QDate today, QObject *parent = nullptr);
    // A copy under way is stopped (no file is left of it) and waited for.
    ~DailyBackup() override;

    // programDir/data/backup
    static QString folder(const QString &programDir);

    // Starts the copy and the clearing out of old copies, unless tools.ini
    // turns backups off or the journal is on a server; false when nothing was
    // started.
    bool start();

signals:
    // On the thread that made this object, once the copy is over: error is
    // empty when the day's copy is there, else the operator's message.
    void finished(const QString &error);

private:
    QString m_programDir;
    QDate m_today;
    QThread *m_thread = nullptr;
    std::atomic_bool m_stop{false};
    QString m_error;
};
