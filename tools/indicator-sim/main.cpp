// indicator-sim: a weighing indicator behind a pseudo-terminal, so that
// Krodalin shows a live weight without a scale. See --help.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "simulator/simulator.h"

namespace {

const char *const HelpText = R"(
Command language (standard input, or the file given with --script, which runs
first; one command a line):
  weight W            steady weight W, e.g. "weight 211.515" or "weight 211,515"
  ramp W S            move linearly from the present weight to W within S seconds
  jitter X            add a random +-X to every reading ("jitter 0" turns it off)
  silence             stop answering (Libra) / sending (WI2002); the device is
                      still there, the program shows "Прибор Выключен"
  talk                answer and send again
  unplug              close the terminal: the program sees the device vanish
  plug                open a new terminal (its path is printed; --link follows it)
  model M             behave as M: "Libra v.1_24", "Libra v.1_25 укомпл. часами",
                      "Libra v.2_10 двухканальная", "WI2002", or libra124,
                      libra125, libra210, wi2002
  interval S          WI2002: send a reading every S seconds (0: never)
  drift R             the weight moves by R every second and never settles
                      (e.g. "drift 37"; "weight W" stops it)
  pace on|off         send bytes at the line rate the program set (a start
                      bit, 8 data bits, the Libras' parity bit, a stop bit),
                      or all at once (the default)
  stream on|off       WI2002: frames back to back at the line rate
  delay S             Libra: answer each poll S seconds late
  split N S           Libra: send the first N bytes of an answer, the rest S
                      seconds later ("split 0 0": whole again)
  clock HH:MM DD.MM.YY  time and date the clock model reports ("clock now": the
                      computer's)
  raw TEXT            send TEXT (Windows-1251) and CR LF once, e.g. "raw 0!p"
  wait S              hold the following commands for S seconds
  quit                end
Blank lines and lines beginning with "#" are ignored.

The Libra models answer each "s" with a frame such as
  A 01  N  211.515 Kg  T 00.000 Kg r 0 00
(the clock model adds " t 14:05 d 21.03.24" before " r"); the WI2002 sends
  = 211.515kg
every second on its own. Every line ends with CR LF.

The first line printed on standard output is the terminal's device path.
Point the program's port at it (tools.ini, key COM) or at the --link path.
A program that dies without closing the port leaves it as it found it
within a quarter of a second: it can be started again at once.
)";

char g_linkPath[4096] = {};

void removeLinkAndExit(int)
{
    if (g_linkPath[0])
        ::unlink(g_linkPath);
    ::_exit(0);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("indicator-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A weighing indicator on a pseudo-terminal for Krodalin.") + QString::fromUtf8(HelpText));
    parser.addHelpOption();
    const QCommandLineOption modelOption(QStringLiteral("model"),
                                         QStringLiteral("Indicator model (default \"%1\").").arg(DeviceModel::Libra124),
                                         QStringLiteral("M"), DeviceModel::Libra124);
    const QCommandLineOption linkOption(QStringLiteral("link"),
                                        QStringLiteral("Also make PATH a symbolic link to the terminal."),
                                        QStringLiteral("PATH"));
    const QCommandLineOption weightOption(QStringLiteral("weight"), QStringLiteral("Weight at start (default 0)."),
                                          QStringLiteral("W"), QStringLiteral("0"));
    const QCommandLineOption scriptOption(QStringLiteral("script"),
                                          QStringLiteral("Run the commands in FILE before standard input."),
                                          QStringLiteral("FILE"));
    parser.addOptions({modelOption, linkOption, weightOption, scriptOption});
    parser.process(app);

    QTextStream err(stderr);
    const auto model = IndicatorSimulator::modelFromText(parser.value(modelOption));
    if (!model) {
        err << "indicator-sim: unknown model " << parser.value(modelOption) << Qt::endl;
        return 2;
    }

    IndicatorSimulator sim(*model);
    SimulatorScript script(&sim);
    bool anyFailure = false;
    QObject::connect(&script, &SimulatorScript::failed, [&](const QString &m) {
        anyFailure = true;
        err << "indicator-sim: " << m << Qt::endl;
    });
    QObject::connect(&script, &SimulatorScript::notice, [&](const QString &m) {
        std::printf("%s\n", m.toLocal8Bit().constData());
        std::fflush(stdout);
    });
    QObject::connect(&script, &SimulatorScript::quitRequested, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    script.feed(QStringLiteral("weight ") + parser.value(weightOption));
    if (anyFailure)
        return 2;

    QString why;
    if (!sim.plug(&why)) {
        err << "indicator-sim: " << why << Qt::endl;
        return 1;
    }
    if (parser.isSet(linkOption)) {
        const QString link = parser.value(linkOption);
        if (!sim.setLink(link, &why)) {
            err << "indicator-sim: " << why << Qt::endl;
            return 1;
        }
        std::strncpy(g_linkPath, QFile::encodeName(link).constData(), sizeof g_linkPath - 1);
    }
    // Leave no dangling link behind when stopped.
    std::signal(SIGTERM, removeLinkAndExit);
    std::signal(SIGINT, removeLinkAndExit);
    std::signal(SIGHUP, removeLinkAndExit);

    std::printf("%s\n", sim.devicePath().toLocal8Bit().constData());
    std::fflush(stdout);

    if (parser.isSet(scriptOption)) {
        QFile file(parser.value(scriptOption));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            err << "indicator-sim: cannot read " << file.fileName() << Qt::endl;
            return 1;
        }
        QTextStream in(&file);
        while (!in.atEnd())
            script.feed(in.readLine());
    }

    // Commands from standard input, as they come; at its end the simulator
    // keeps running (started in the background with </dev/null, say).
    QByteArray pending;
    QSocketNotifier stdinNotifier(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&stdinNotifier, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            stdinNotifier.setEnabled(false);
            if (!pending.isEmpty())
                script.feed(QString::fromUtf8(pending));
            pending.clear();
            return;
        }
        pending.append(buffer, n);
        qsizetype nl;
        while ((nl = pending.indexOf('\n')) >= 0) {
            script.feed(QString::fromUtf8(pending.left(nl)));
            pending.remove(0, nl + 1);
        }
    });

    const int rc = app.exec();
    sim.unplug();
    return rc;
}
