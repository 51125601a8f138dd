#include "simulator/simulator.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QStringEncoder>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// Nobody has read this much from the terminal: the program has its port
// closed, and a closed serial port hears nothing.
constexpr int StaleInputLimit = 512;

QString systemMessage(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// "%8.3f", giving up decimals rather than width so the WI2002's eight
// characters still hold the whole number.
QByteArray weightField8(double weight)
{
    for (int decimals = 3; decimals >= 0; --decimals) {
        const QByteArray field = QByteArray::number(weight, 'f', decimals).rightJustified(8, ' ');
        if (field.size() <= 8)
            return field;
    }
    return QByteArray::number(weight, 'f', 0);
}

// Whether any process other than the simulator itself (its own copy of the
// terminal, ownSlave) has the device open. Only processes whose descriptors
// may be read are seen; knownPid is looked at first.
bool someoneHolds(const QByteArray &device, int ownSlave, int *knownPid)
{
    const pid_t self = ::getpid();
    const auto holds = [&](int pid) {
        const QByteArray dir = "/proc/" + QByteArray::number(pid) + "/fd";
        DIR *fds = ::opendir(dir.constData());
        if (!fds)
            return false;
        bool found = false;
        while (dirent *e = ::readdir(fds)) {
            if (e->d_name[0] == '.')
                continue;
            if (pid == self && std::atoi(e->d_name) == ownSlave)
                continue;
            char target[512];
            const ssize_t n = ::readlinkat(::dirfd(fds), e->d_name, target, sizeof target - 1);
            if (n > 0 && QByteArray(target, n) == device) {
                found = true;
                break;
            }
        }
        ::closedir(fds);
        return found;
    };
    if (*knownPid > 0 && holds(*knownPid))
        return true;
    DIR *proc = ::opendir("/proc");
    if (!proc)
        return true; // cannot tell: leave the terminal alone
    bool found = false;
    while (dirent *e = ::readdir(proc)) {
        char *end = nullptr;
        const long pid = std::strtol(e->d_name, &end, 10);
        if (pid <= 0 || *end != '\0')
            continue;
        if (holds(int(pid))) {
            *knownPid = int(pid);
            found = true;
            break;
        }
    }
    ::closedir(proc);
    return found;
}

bool sameLineSettings(const termios &a, const termios &b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag
        && ::cfgetospeed(&a) == ::cfgetospeed(&b);
}

std::optional<double> readNumber(QString text)
{
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

// ------------------------------------------------------------- the indicator

std::optional<IndicatorSimulator::Model> IndicatorSimulator::modelFromText(const QString &text)
{
    if (const DeviceModel::Model *row = DeviceModel::traits(text))
        return row->id;
    const QString shortName = text.trimmed().toLower();
    for (const DeviceModel::Model &row : DeviceModel::models())
        if (shortName == row.shortName)
            return row.id;
    return std::nullopt;
}

QString IndicatorSimulator::modelText(Model model) { return DeviceModel::model(model).name; }

bool IndicatorSimulator::sendsUnasked() const { return !DeviceModel::model(m_model).polled; }

IndicatorSimulator::IndicatorSimulator(Model model, QObject *parent) : QObject(parent), m_model(model)
{
    m_sendTimer.setInterval(1000);
    connect(&m_sendTimer, &QTimer::timeout, this, [this] { sendReading(); });
    m_paceTimer.setInterval(1);
    m_paceTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_paceTimer, &QTimer::timeout, this, &IndicatorSimulator::sendPaced);
    m_clientWatch.setInterval(250);
    connect(&m_clientWatch, &QTimer::timeout, this, &IndicatorSimulator::watchClient);
}

IndicatorSimulator::~IndicatorSimulator() { unplug(); }

bool IndicatorSimulator::plug(QString *error)
{
    unplug();
    termios raw{};
    ::cfmakeraw(&raw);
    ::cfsetspeed(&raw, B9600);
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, &raw, nullptr) != 0) {
        const int e = errno;
        m_master = m_slave = -1;
        if (error)
            *error = QStringLiteral("openpty: %1").arg(systemMessage(e));
        return false;
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    m_devicePath = QString::fromLocal8Bit(name);
    ::tcgetattr(m_slave, &m_baseline);
    ++m_plugGeneration;
    m_clientPid = -1;
    m_clientWatch.start();

    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &IndicatorSimulator::onReadable);
    renewLink();
    updateSendTimer();
    return true;
}

void IndicatorSimulator::unplug()
{
    m_sendTimer.stop();
    m_paceTimer.stop();
    m_clientWatch.stop();
    m_outQueue.clear();
    ++m_plugGeneration;
    if (m_notifier) {
        m_notifier->setEnabled(false);
        delete m_notifier;
        m_notifier = nullptr;
    }
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = m_slave = -1;
    m_devicePath.clear();
    // The device is gone, and so is its name.
    if (!m_linkPath.isEmpty() && QFileInfo(m_linkPath).isSymLink())
        QFile::remove(m_linkPath);
}

bool IndicatorSimulator::setLink(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isSymLink()) {
        if (error)
            *error = QStringLiteral("%1 exists and is not a symbolic link").arg(path);
        return false;
    }
    m_linkPath = path;
    if (!isPlugged())
        return true;
    renewLink();
    if (!QFileInfo(path).isSymLink()) {
        if (error)
            *error = QStringLiteral("cannot make the link %1").arg(path);
        return false;
    }
    return true;
}

void IndicatorSimulator::renewLink()
{
    if (m_linkPath.isEmpty() || m_devicePath.isEmpty())
        return;
    if (QFileInfo(m_linkPath).isSymLink())
        QFile::remove(m_linkPath);
    QFile::link(m_devicePath, m_linkPath);
}

std::optional<termios> IndicatorSimulator::lineSettings() const
{
    termios t{};
    if (m_slave < 0 || ::tcgetattr(m_slave, &t) != 0)
        return std::nullopt;
    return t;
}

void IndicatorSimulator::setModel(Model model)
{
    m_model = model;
    updateSendTimer();
}

void IndicatorSimulator::setWeight(double weight)
{
    m_weight = weight;
    m_rampMs = 0;
    m_driftRate = 0;
}

void IndicatorSimulator::drift(double perSecond)
{
    setWeight(weight());
    m_driftRate = perSecond;
    m_driftClock.start();
}

void IndicatorSimulator::setPaced(bool paced)
{
    m_paced = paced;
    if (!paced) {
        m_streaming = false;
        if (!m_outQueue.isEmpty() && isPlugged())
            writeAll(m_outQueue);
        m_outQueue.clear();
        m_paceTimer.stop();
    }
}

void IndicatorSimulator::setStreaming(bool streaming)
{
    m_streaming = streaming;
    if (streaming) {
        m_paced = true;
        if (sendsUnasked() && m_outQueue.isEmpty())
            sendReading();
    }
    updateSendTimer();
}

void IndicatorSimulator::setAnswerDelay(int ms) { m_answerDelay = qMax(0, ms); }

void IndicatorSimulator::setAnswerSplit(int firstBytes, int gapMs)
{
    m_splitBytes = qMax(0, firstBytes);
    m_splitGap = qMax(0, gapMs);
}

double IndicatorSimulator::bytesPerSecond() const
{
    const auto t = lineSettings();
    static const std::pair<speed_t, int> rates[] = {{B1200, 1200},   {B2400, 2400},   {B4800, 4800},
                                                    {B9600, 9600},   {B19200, 19200}, {B38400, 38400},
                                                    {B57600, 57600}, {B115200, 115200}};
    int rate = 9600;
    if (t)
        for (const auto &[code, bits] : rates)
            if (::cfgetospeed(&*t) == code)
                rate = bits;
    // A start bit, 8 data bits, a parity bit when the model has one (the
    // Libras) and a stop bit.
    const int bitsPerByte = DeviceModel::model(m_model).parity == QSerialPort::NoParity ? 10 : 11;
    return double(rate) / bitsPerByte;
}

void IndicatorSimulator::rampTo(double target, double seconds)
{
    m_rampFrom = weight();
    m_driftRate = 0;
    m_rampTarget = target;
    m_rampMs = qint64(seconds * 1000);
    if (m_rampMs <= 0) {
        setWeight(target);
        return;
    }
    m_rampClock.start();
}

void IndicatorSimulator::setJitter(double amplitude) { m_jitter = std::fabs(amplitude); }

void IndicatorSimulator::setSilent(bool silent) { m_silent = silent; }

void IndicatorSimulator::setClock(const QDateTime &clock) { m_clock = clock; }

void IndicatorSimulator::setSendInterval(int ms)
{
    m_sendTimer.setInterval(qMax(0, ms));
    updateSendTimer();
}

void IndicatorSimulator::updateSendTimer()
{
    if (sendsUnasked() && isPlugged() && m_sendTimer.interval() > 0 && !m_streaming)
        m_sendTimer.start();
    else
        m_sendTimer.stop();
}

double IndicatorSimulator::weight()
{
    if (m_driftRate != 0)
        return m_weight + m_driftRate * double(m_driftClock.nsecsElapsed()) / 1e9;
    if (m_rampMs > 0) {
        const qint64 elapsed = m_rampClock.elapsed();
        if (elapsed >= m_rampMs)
            setWeight(m_rampTarget);
        else
            return m_rampFrom + (m_rampTarget - m_rampFrom) * double(elapsed) / double(m_rampMs);
    }
    return m_weight;
}

double IndicatorSimulator::readingNow()
{
    double w = weight();
    if (m_jitter > 0)
        w += (QRandomGenerator::global()->generateDouble() * 2 - 1) * m_jitter;
    return std::round(w * 1000) / 1000;
}

QByteArray IndicatorSimulator::frame(double weight) const
{
    QByteArray line;
    if (sendsUnasked()) {
        line = "=" + weightField8(weight) + "kg";
    } else {
        line = "A 01  N " + QByteArray::number(weight, 'f', 3).rightJustified(8, ' ') + " Kg  T 00.000 Kg";
        if (DeviceModel::model(m_model).clock == DeviceModel::ClockSource::Indicator) {
            const QDateTime now = m_clock.isValid() ? m_clock : QDateTime::currentDateTime();
            line += " t " + now.toString(QStringLiteral("HH:mm")).toLatin1() + " d "
                + now.toString(QStringLiteral("dd.MM.yy")).toLatin1();
        }
        line += " r 0 00";
    }
    return line + "\r\n";
}

bool IndicatorSimulator::sendReading()
{
    if (!isPlugged() || m_silent)
        return false;
    if (sendsUnasked()) {
        int pending = 0;
        if (::ioctl(m_slave, FIONREAD, &pending) == 0 && pending > StaleInputLimit)
            ::tcflush(m_slave, TCIFLUSH);
    }
    const QByteArray f = frame(readingNow());
    if (!send(f))
        return false;
    ++m_framesSent;
    emit frameSent(f);
    return true;
}

bool IndicatorSimulator::sendLine(const QByteArray &bytes) { return isPlugged() && send(bytes + "\r\n"); }

bool IndicatorSimulator::send(const QByteArray &bytes)
{
    if (!m_paced)
        return writeAll(bytes);
    if (m_outQueue.isEmpty()) {
        m_outClock.start();
        m_outSent = 0;
    }
    m_outQueue += bytes;
    if (!m_paceTimer.isActive())
        m_paceTimer.start();
    return true;
}

void IndicatorSimulator::sendPaced()
{
    if (!isPlugged()) {
        m_outQueue.clear();
        m_paceTimer.stop();
        return;
    }
    const qint64 due = qint64(double(m_outClock.nsecsElapsed()) / 1e9 * bytesPerSecond()) - m_outSent;
    const qint64 n = qMin<qint64>(due, m_outQueue.size());
    if (n > 0) {
        writeAll(m_outQueue.left(n));
        m_outQueue.remove(0, n);
        m_outSent += n;
    }
    if (m_outQueue.isEmpty()) {
        // A streaming WI2002 starts its next frame right after the last one.
        if (m_streaming && sendsUnasked() && !m_silent) {
            const QByteArray f = frame(readingNow());
            m_outQueue = f;
            ++m_framesSent;
            emit frameSent(f);
            return;
        }
        m_paceTimer.stop();
    }
}

void IndicatorSimulator::answerPoll()
{
    if (m_answerDelay == 0 && m_splitBytes == 0) {
        sendReading();
        return;
    }
    const quint64 generation = m_plugGeneration;
    QTimer::singleShot(m_answerDelay, this, [this, generation] {
        if (generation != m_plugGeneration || !isPlugged() || m_silent)
            return;
        const QByteArray f = frame(readingNow());
        ++m_framesSent;
        emit frameSent(f);
        if (m_splitBytes <= 0 || m_splitBytes >= f.size()) {
            send(f);
            return;
        }
        send(f.left(m_splitBytes));
        QTimer::singleShot(m_splitGap, this, [this, generation, rest = f.mid(m_splitBytes)] {
            if (generation == m_plugGeneration && isPlugged())
                send(rest);
        });
    });
}

void IndicatorSimulator::watchClient()
{
    termios now{};
    if (m_slave < 0 || ::tcgetattr(m_slave, &now) != 0)
        return;
    int exclusive = 0;
#ifdef TIOCGEXCL
    ::ioctl(m_slave, TIOCGEXCL, &exclusive);
#endif
    // As the simulator left it: a client closed it properly, or none came.
    if (!exclusive && sameLineSettings(now, m_baseline))
        return;
    if (someoneHolds(QFile::encodeName(m_devicePath), m_slave, &m_clientPid))
        return;
    // The client has gone without closing: what it left is reset, as a real
    // port is at its last close.
    ::ioctl(m_slave, TIOCNXCL);
    ::tcsetattr(m_slave, TCSANOW, &m_baseline);
    ::tcflush(m_slave, TCIOFLUSH);
    m_clientPid = -1;
}

bool IndicatorSimulator::writeAll(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false; // the terminal is full: nobody reads, the line drops it
        done += n;
    }
    return true;
}

void IndicatorSimulator::onReadable()
{
    char buffer[4096];
    const ssize_t n = ::read(m_master, buffer, sizeof buffer);
    if (n <= 0) {
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        // Cannot happen while we hold the slave open; do not spin on it.
        if (m_notifier)
            m_notifier->setEnabled(false);
        return;
    }
    const QByteArray bytes(buffer, n);
    m_received += bytes;
    emit bytesReceived(bytes);
    if (sendsUnasked() || m_silent)
        return;
    for (char c : bytes) {
        if (c == 's')
            answerPoll();
    }
}

// ---------------------------------------------------------------- the script

SimulatorScript::SimulatorScript(IndicatorSimulator *simulator, QObject *parent) : QObject(parent), m_sim(simulator)
{
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, [this] {
        m_waiting = false;
        runQueued();
    });
}

void SimulatorScript::feed(const QString &line)
{
    m_queue << line;
    if (!m_waiting)
        runQueued();
}

void SimulatorScript::runQueued()
{
    while (!m_waiting && !m_queue.isEmpty())
        run(m_queue.takeFirst());
}

void SimulatorScript::run(const QString &line)
{
    const QString text = line.trimmed();
    if (text.isEmpty() || text.startsWith(QLatin1Char('#')))
        return;
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    const QStringList words = text.split(blanks);
    const QString command = words[0].toLower();
    const QString rest = text.mid(words[0].size()).trimmed();
    const auto number = [&](int i) { return i < words.size() ? readNumber(words[i]) : std::nullopt; };
    const auto fail = [&](const QString &why) { emit failed(QStringLiteral("%1: %2").arg(text, why)); };

    if (command == QLatin1String("weight")) {
        const auto w = number(1);
        if (!w || words.size() != 2)
            return fail(QStringLiteral("expected: weight W"));
        m_sim->setWeight(*w);
    } else if (command == QLatin1String("ramp")) {
        const auto w = number(1), s = number(2);
        if (!w || !s || *s < 0 || words.size() != 3)
            return fail(QStringLiteral("expected: ramp W SECONDS"));
        m_sim->rampTo(*w, *s);
    } else if (command == QLatin1String("jitter")) {
        const auto x = number(1);
        if (!x || words.size() != 2)
            return fail(QStringLiteral("expected: jitter X"));
        m_sim->setJitter(*x);
    } else if (command == QLatin1String("silence") || command == QLatin1String("talk")) {
        m_sim->setSilent(command == QLatin1String("silence"));
    } else if (command == QLatin1String("unplug")) {
        m_sim->unplug();
        emit notice(QStringLiteral("unplugged"));
    } else if (command == QLatin1String("plug")) {
        QString why;
        if (!m_sim->plug(&why))
            return fail(why);
        emit notice(m_sim->devicePath());
    } else if (command == QLatin1String("model")) {
        const auto m = IndicatorSimulator::modelFromText(rest);
        if (!m)
            return fail(QStringLiteral("unknown model"));
        m_sim->setModel(*m);
    } else if (command == QLatin1String("interval")) {
        const auto s = number(1);
        if (!s || *s < 0 || words.size() != 2)
            return fail(QStringLiteral("expected: interval SECONDS"));
        m_sim->setSendInterval(int(*s * 1000));
    } else if (command == QLatin1String("drift")) {
        const auto r = number(1);
        if (!r || words.size() != 2)
            return fail(QStringLiteral("expected: drift R"));
        m_sim->drift(*r);
    } else if (command == QLatin1String("pace") || command == QLatin1String("stream")) {
        const QString arg = words.value(1).toLower();
        if (words.size() != 2 || (arg != QLatin1String("on") && arg != QLatin1String("off")))
            return fail(QStringLiteral("expected: %1 on|off").arg(command));
        if (command == QLatin1String("pace"))
            m_sim->setPaced(arg == QLatin1String("on"));
        else
            m_sim->setStreaming(arg == QLatin1String("on"));
    } else if (command == QLatin1String("delay")) {
        const auto d = number(1);
        if (!d || *d < 0 || words.size() != 2)
            return fail(QStringLiteral("expected: delay SECONDS"));
        m_sim->setAnswerDelay(int(*d * 1000));
    } else if (command == QLatin1String("split")) {
        const auto n = number(1), g = number(2);
        if (!n || !g || *n < 0 || *g < 0 || words.size() != 3)
            return fail(QStringLiteral("expected: split BYTES SECONDS"));
        m_sim->setAnswerSplit(int(*n), int(*g * 1000));
    } else if (command == QLatin1String("clock")) {
        if (rest.compare(QLatin1String("now"), Qt::CaseInsensitive) == 0) {
            m_sim->setClock(QDateTime());
        } else {
            const QDateTime at = QDateTime::fromString(rest, QStringLiteral("HH:mm dd.MM.yy"));
            if (!at.isValid())
                return fail(QStringLiteral("expected: clock HH:MM DD.MM.YY or clock now"));
            m_sim->setClock(at);
        }
    } else if (command == QLatin1String("raw")) {
        QStringEncoder toCp1251("windows-1251");
        if (!m_sim->sendLine(toCp1251.encode(rest)))
            return fail(QStringLiteral("not plugged"));
    } else if (command == QLatin1String("wait")) {
        const auto s = number(1);
        if (!s || *s < 0 || words.size() != 2)
            return fail(QStringLiteral("expected: wait SECONDS"));
        m_waiting = true;
        m_wait.start(int(*s * 1000));
    } else if (command == QLatin1String("quit")) {
        m_queue.clear();
        emit quitRequested();
    } else {
        fail(QStringLiteral("unknown command"));
    }
}
