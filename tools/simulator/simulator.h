#pragma once
// A weighing indicator behind a pseudo-terminal, for the tests and for a
// weighbridge without hardware (tools/indicator-sim). The program opens the
// terminal's device (devicePath(), or a symbolic link to it) as its serial
// port and meets the same QSerialPort path as at a real scale.
//
// Behaviour per model:
//   the Libra models answer each "s" they receive with one frame
//       "A 01  N  211.515 Kg  T 00.000 Kg r 0 00" CR LF
//   "Libra v.1_25 укомпл. часами" adds its clock before " r":
//       "... Kg t 14:05 d 21.03.24 r 0 00"
//   the WI2002 sends a line "=" + the weight in 8 characters + "kg" CR LF on
//   its own, every sendInterval() ms (0: only when sendReading() is called),
//   and ignores what it receives.
// The weight is steady, ramps linearly to a target, or drifts at a rate that
// never settles; jitter adds a random ±amplitude to every reading; silence
// stops all answers and sends; unplug() closes the terminal, which the
// program sees as a vanished device.
//
// Timing on the line: a pseudo-terminal passes bytes at once, so with pacing
// on the simulator itself sends them at the line rate the program set (8
// data bits, a parity bit for the Libras, start and stop bits). A WI2002 can
// stream frame after frame back to back; a Libra can answer late, or in two
// pieces with a gap between them.
//
// A program that dies without closing the port (SIGKILL) leaves the terminal
// in its line settings and, through QSerialPort, locked for exclusive use; a
// real port forgets both when the program goes. The simulator notices that
// nobody else has the terminal open any more and puts it back as it was.
//
// Everything runs on the thread that owns the object, through its event loop.

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>

#include "indicator/devicemodel.h"

#include <termios.h>

class QSocketNotifier;

class IndicatorSimulator : public QObject
{
    Q_OBJECT
public:
    // A row of the program's device-model table: the simulator behaves as
    // that row says (polled or streaming, parity, its own clock).
    using Model = DeviceModel::Id;

    // A model text of the program, or a row's short name ("libra124",
    // "libra125", "libra210", "wi2002", any letter case).
    static std::optional<Model> modelFromText(const QString &text);
    static QString modelText(Model model);

    explicit IndicatorSimulator(Model model = Model::Libra124, QObject *parent = nullptr);
    ~IndicatorSimulator() override; // unplugs and removes the link

    // --- the terminal -------------------------------------------------------
    // Opens a new pseudo-terminal in raw mode and renews the link, if one is
    // set. False with a reason when the system gives no terminal.
    bool plug(QString *error = nullptr);
    // Closes the terminal and removes the link, like pulling the cable.
    void unplug();
    bool isPlugged() const { return m_master >= 0; }
    QString devicePath() const { return m_devicePath; } // "/dev/pts/N"; empty when unplugged
    // Makes `path` a symbolic link to the device (replacing an older symbolic
    // link there, never a file). Kept up to date by plug(), removed by unplug().
    bool setLink(const QString &path, QString *error = nullptr);
    QString linkPath() const { return m_linkPath; }
    // The line settings the program put on the terminal (tcgetattr). Note that
    // a pseudo-terminal keeps speed and CRTSCTS but always reports 8 bits
    // without parity.
    std::optional<termios> lineSettings() const;

    // --- behaviour ------------------------------------------------------------
    Model model() const { return m_model; }
    void setModel(Model model);
    void setWeight(double weight);                // steady from now on
    void rampTo(double target, double seconds);  // linear from the present weight
    void setJitter(double amplitude);            // 0: none
    void setSilent(bool silent);
    bool isSilent() const { return m_silent; }
    double weight();                              // the weight now, without jitter
    // The indicator's own clock for the clock model; an invalid value means
    // the computer's time.
    void setClock(const QDateTime &clock);
    void setSendInterval(int ms); // WI2002 only; 1000 at start
    int sendInterval() const { return m_sendTimer.interval(); }
    // The weight moves by perSecond every second from now on, without end.
    void drift(double perSecond);
    // Bytes leave at the line rate (true) or all at once (false, at start).
    void setPaced(bool paced);
    bool isPaced() const { return m_paced; }
    // WI2002: frame after frame back to back at the line rate (turns pacing
    // on); off returns to the send interval.
    void setStreaming(bool streaming);
    // Libra: each answer leaves ms after its poll (0 at start)...
    void setAnswerDelay(int ms);
    // ...and, with firstBytes > 0, as its first firstBytes bytes, then the
    // rest gapMs later.
    void setAnswerSplit(int firstBytes, int gapMs);
    // Bytes a second at the present line settings.
    double bytesPerSecond() const;

    // --- traffic --------------------------------------------------------------
    QByteArray received() const { return m_received; } // every byte the program sent
    void clearReceived() { m_received.clear(); }
    int framesSent() const { return m_framesSent; }
    // The line this model sends for a weight, CR LF included.
    QByteArray frame(double weight) const;
    // Sends one reading now (what a WI2002 sends each interval). False when
    // unplugged or silent.
    bool sendReading();
    // Sends raw bytes and CR LF. False when unplugged.
    bool sendLine(const QByteArray &bytes);

signals:
    void bytesReceived(const QByteArray &bytes);
    void frameSent(const QByteArray &frame);

private:
    void onReadable();
    bool writeAll(const QByteArray &bytes);
    bool send(const QByteArray &bytes);   // paced or at once
    void sendPaced();
    void answerPoll();
    void watchClient();
    double readingNow();
    void updateSendTimer();
    void renewLink();

    // A model that is not polled sends readings on its own (the WI2002).
    bool sendsUnasked() const;

    Model m_model;
    int m_master = -1;
    int m_slave = -1; // kept open so the terminal lives while the program has it closed
    QString m_devicePath;
    QString m_linkPath;
    QSocketNotifier *m_notifier = nullptr;
    QTimer m_sendTimer;

    double m_weight = 0;
    double m_rampFrom = 0;
    double m_rampTarget = 0;
    qint64 m_rampMs = 0;
    QElapsedTimer m_rampClock;
    double m_jitter = 0;
    bool m_silent = false;
    QDateTime m_clock;

    QByteArray m_received;
    int m_framesSent = 0;

    double m_driftRate = 0;
    QElapsedTimer m_driftClock;
    bool m_paced = false;
    bool m_streaming = false;
    QByteArray m_outQueue;       // paced bytes not yet on the line
    qint64 m_outSent = 0;        // paced bytes sent since m_outClock started
    QElapsedTimer m_outClock;
    QTimer m_paceTimer;
    int m_answerDelay = 0;
    int m_splitBytes = 0;
    int m_splitGap = 0;
    quint64 m_plugGeneration = 0; // late answers to an earlier terminal are dropped
    termios m_baseline{};         // the terminal's settings before any program
    QTimer m_clientWatch;
    int m_clientPid = -1;         // the process last seen holding the terminal
};

// The command language of indicator-sim, one command a line:
//   weight W           steady weight W ("211.515" or "211,515")
//   ramp W S           move linearly from the present weight to W within S seconds
//   jitter X           add a random ±X to every reading (0: off)
//   silence | talk     stop / resume all answers and sends
//   unplug | plug      close the terminal / open a new one (the link follows)
//   model M            behave as model M (a model text or libra124, libra125,
//                      libra210, wi2002)
//   interval S         WI2002: send every S seconds (0: never on its own)
//   drift R            the weight moves by R every second, without end
//   pace on|off        bytes at the line rate / all at once
//   stream on|off      WI2002: frames back to back at the line rate
//   delay S            Libra: answer S seconds after the poll
//   split N S          Libra: the first N bytes of an answer, the rest S seconds later
//   clock HH:MM DD.MM.YY | clock now   the clock model's time and date
//   raw TEXT           send TEXT (as Windows-1251) and CR LF once
//   wait S             hold the following commands for S seconds
//   quit               end
// Blank lines and lines starting with "#" are ignored. Keywords ignore case.
class SimulatorScript : public QObject
{
    Q_OBJECT
public:
    explicit SimulatorScript(IndicatorSimulator *simulator, QObject *parent = nullptr);

    // Queues one line; it runs at once unless a "wait" holds it.
    void feed(const QString &line);
    bool isIdle() const { return m_queue.isEmpty() && !m_waiting; }

signals:
    void failed(const QString &message); // a line that is no command
    void notice(const QString &message); // e.g. the new device after "plug"
    void quitRequested();

private:
    void runQueued();
    void run(const QString &line);

    IndicatorSimulator *m_sim;
    QStringList m_queue;
    QTimer m_wait;
    bool m_waiting = false;
};
