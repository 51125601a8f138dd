#pragma once
// Start-up measured as an operator meets it: a fresh process of the bench
// itself (started with StartUpFlag) runs the start order after a successful
// login, up to the main window on screen with its lists filled and the
// pending-truck window made, prints "up <peak RSS in KB>" and quits at once.

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTextStream>

#include <cstdlib>
#include <sys/resource.h>

#include "app/mainform.h"
#include "app/startup.h"
#include "common/session.h"
#include "store/tablestore.h"
#include "weighing/entryform.h"
#include "weighing/tnewdb.h"

namespace bench {

inline const char *const StartUpFlag = "--start-up";

// The child's part; call it from main() when argv[1] is StartUpFlag.
[[noreturn]] inline void startUpChild(int argc, char *argv[], const QString &folder)
{
    QApplication app(argc, argv);
    installToolkitTranslation();
    auto store = TableStore::open(folder);
    Session::LoginOk = 1;
    Session::OperatorName = QStringLiteral("Оператор");
    QCoreApplication::setApplicationName(QStringLiteral("Krodalin"));
    MainForm mainForm(*store, folder);
    mainForm.show();
    TnewDB pendingTrucks(mainForm.entryForm());
    connectPendingTrucks(mainForm, pendingTrucks);
    QCoreApplication::processEvents();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    QTextStream(stdout) << "up " << usage.ru_maxrss << Qt::endl;
    // Tearing a million-row window down is no part of the start.
    std::_Exit(0);
}

// CPU time of the children that have ended so far.
inline double childrenCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

struct StartUp
{
    double ms = -1;      // wall time from launch to the window up; -1: failed
    double cpuMs = 0;    // user + system time of the process
    qint64 peakKb = 0;
};

inline StartUp timeStartUp(const QString &folder)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const double cpuBefore = childrenCpuMs();
    QElapsedTimer t;
    t.start();
    child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(StartUpFlag), folder});
    QByteArray line;
    while (!line.contains('\n') && child.waitForReadyRead(120000))
        line += child.readAllStandardOutput();
    StartUp run;
    if (line.startsWith("up ")) {
        run.ms = double(t.nsecsElapsed()) / 1e6;
        run.peakKb = line.mid(3).trimmed().toLongLong();
    }
    child.waitForFinished(60000);
    run.cpuMs = childrenCpuMs() - cpuBefore;
    return run;
}

// A fresh process of the bench itself with args, its errors forwarded to
// ours; what it printed, a line an entry. Killed after timeoutMs.
inline QList<QByteArray> runSelf(const QStringList &args, int timeoutMs)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), args);
    if (!child.waitForFinished(timeoutMs)) {
        child.kill();
        child.waitForFinished();
    }
    return child.readAllStandardOutput().split('\n');
}

} // namespace bench
