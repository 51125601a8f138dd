#pragma once
// The program's own backup: at the first start of a day (no copy of that day
// there yet) one copy of the database into data/backup/ beside the program,
// named by the day, and only the newest copies kept ("backups" in tools.ini).
// The copy runs on a thread of its own with connections of its own, so the
// weighing goes on meanwhile; it reports back once, when it is over.

#include <QDate>
#include <QObject>
#include <QPointer>
#include <QString>
#include <atomic>

class QThread;
class QWidget;

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
    // start() once window has been painted: the copy reads the whole
    // database, and the program's own start, the main window with its lists
    // filled, comes first.
    void startWhenPainted(QWidget *window);
    // A copy was begun (it may be over already).
    bool isStarted() const { return m_thread != nullptr; }

protected:
    bool eventFilter(QObject *watched, QEvent *e) override;

signals:
    // On the thread that made this object, once the copy is over: error is
    // empty when the day's copy is there, else the operator's message.
    void finished(const QString &error);

private:
    QString m_programDir;
    QDate m_today;
    QPointer<QWidget> m_window;
    QThread *m_thread = nullptr;
    std::atomic_bool m_stop{false};
    QString m_error;
};
