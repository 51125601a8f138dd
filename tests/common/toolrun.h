#pragma once
// Runs one of the program's command-line tools from the build folder and
// keeps what it said.

#include <QProcess>
#include <QString>
#include <QStringList>

struct Run
{
    int code = -1;
    QString out, err;
};

inline Run runTool(const QString &tool, const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(KRODALIN_BIN_DIR "/") + tool, args);
    p.closeWriteChannel();
    Run r;
    if (!p.waitForFinished(30000))
        return r;
    r.code = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

inline Run krodalinDb(const QStringList &args) { return runTool(QStringLiteral("krodalin-db"), args); }
