#include "indicator/indicatorlink.h"

#include <QDate>
#include <QLocale>

#include <cerrno>

#include "common/errorreport.h"
#include "indicator/devicemodel.h"
#include "indicator/framedecoder.h"
#include "indicator/linkclock.h"
#include "indicator/numberform.h"
#include "common/failure.h"

namespace {

bool isLineError(QSerialPort::SerialPortError error)
{
    return error == QSerialPort::ReadError || error == QSerialPort::WriteError || error == QSerialPort::ResourceError;
}

// The system's error number behind the port's last failure. QSerialPort keeps
// only the system's text of it, so the number is found again from that text;
// errno right after the failing call is tried first.
int systemErrorNumber(const QSerialPort &port, int errnoAfterCall)
{
    const QString text = port.errorString();
    if (errnoAfterCall > 0 && qt_error_string(errnoAfterCall) == text)
        return errnoAfterCall;
    for (int e = 1; e < 256; ++e)
        if (qt_error_string(e) == text)
            return e;
    // Failures QSerialPort words itself (its lock file says the port is in use).
    switch (port.error()) {
    case QSerialPort::DeviceNotFoundError:
        return ENOENT;
    case QSerialPort::PermissionError:
        return EBUSY;
    case QSerialPort::UnsupportedOperationError:
        return EINVAL;
    default:
        return EIO;
    }
}

} // namespace

IndicatorLink::IndicatorLink(QObject *parent)
    : QObject(parent),
      m_port(this),
      m_clock(new LinkClock(this)),
      m_decoder("windows-1251", QStringConverter::Flag::Stateless)
{
    // The port as it stands before any setting is applied.
    m_port.setObjectName(QStringLiteral("ComPort1"));
    m_port.setPortName(DeviceModel::portDevice(QStringLiteral("COM1")));
    m_port.setBaudRate(QSerialPort::Baud9600);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::EvenParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::HardwareControl);

    connect(&m_port, &QSerialPort::readyRead, this, [this] { ComPort1RxChar(m_port.bytesAvailable()); });
    connect(&m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        // A failure of the poll's own write is the poll's to report.
        if (m_pollWriting || !isLineError(error))
            return;
        // Handled as an event of its own, never inside QSerialPort's code
        // that raised it: the handler waits for the operator and closes the port.
        const quint64 session = m_session;
        QMetaObject::invokeMethod(this, [this, error, session] { ComPort1Error(error, session); }, Qt::QueuedConnection);
    });

    connect(m_clock->Timer1(), &LinkTimer::timeout, this, &IndicatorLink::Timer1Timer);
    connect(m_clock->Timer3(), &LinkTimer::timeout, this, &IndicatorLink::Timer3Timer);
    connect(m_clock->Stabilno1(), &LinkTimer::timeout, this, &IndicatorLink::Stabilno1Timer);
    connect(m_clock->Stabilno2(), &LinkTimer::timeout, this, &IndicatorLink::Stabilno2Timer);
    connect(m_clock->Stabilno3(), &LinkTimer::timeout, this, &IndicatorLink::Stabilno3Timer);

    updateLamps();
}

IndicatorLink::~IndicatorLink()
{
    m_clock->stop();
    if (m_port.isOpen())
        m_port.close();
}

// ---------------------------------------------------------------- operations

void IndicatorLink::setPortName(const QString &text) { m_port.setPortName(DeviceModel::portDevice(text)); }

void IndicatorLink::setLineSettings(const LineSettings &settings) { m_settings = settings; }

void IndicatorLink::apply(const LineSettings &settings, bool refreshDate)
{
    setLineSettings(settings);
    applySpeed(settings.speed);
    applyModel(settings.model, refreshDate);
    applyUnit(settings.unit);
}

void IndicatorLink::applySpeed(const QString &text)
{
    const auto rate = DeviceModel::speedFromName(text);
    if (!rate)
        return;
    if (!m_port.setBaudRate(*rate))
        throwLineSettingsFailure();
}

void IndicatorLink::applyModel(const QString &text, bool refreshDate)
{
    const auto traits = DeviceModel::traits(text);
    if (!traits)
        return;
    if (!m_port.setParity(traits->parity) || !m_port.setFlowControl(traits->flowControl))
        throwLineSettingsFailure();
    if (m_port.isOpen())
        applyLineSettingsAfterOpen();

    emit clockSourceChanged(traits->clock == DeviceModel::ClockSource::Indicator);
    if (refreshDate && traits->refreshDate)
        emit dateChanged(todayText());
}

void IndicatorLink::applyUnit(const QString &text)
{
    if (text == QStringLiteral("тонны"))
        emit unitChanged(QStringLiteral("т"));
    else if (text == QStringLiteral("кг"))
        emit unitChanged(QStringLiteral("кг"));
}

void IndicatorLink::setPortSwitch(bool on)
{
    if (on == m_portSwitch)
        return;
    m_portSwitch = on;
    emit portSwitchChanged(on);
    if (on)
        runGuarded([this] { RxSwitch1On(); });
    else
        runGuarded([this] { RxSwitch1Off(); });
}

void IndicatorLink::closePort()
{
    if (m_port.isOpen())
        m_port.close();
    updateLamps();
}

void IndicatorLink::resetDisplay()
{
    m_readingText = QStringLiteral("0,000");
    m_currentReading = NumberForm::parse(m_readingText).value_or(0);
    emit readingShown(QStringLiteral("0,000"));
    setStatus(false);
    setStableFlag(false);
}

QString IndicatorLink::modelText() const { return m_settings.model; }

bool IndicatorLink::isPortOpen() const { return m_port.isOpen(); }

QString IndicatorLink::todayText() { return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat); }

// ------------------------------------------------------------------ handlers

void IndicatorLink::RxSwitch1On()
{
    applySpeed(m_settings.speed);
    applyModel(m_settings.model, true);
    m_lineErrorShown = false;
    openPort(); // throws: the switch stays on, the port closed, no timer runs
    m_clock->start();
}

void IndicatorLink::RxSwitch1Off()
{
    closePort();
    setStatus(false);
    setStableFlag(false);
    m_readingText = QStringLiteral("0,000");
    m_currentReading = NumberForm::parse(m_readingText).value_or(0);
    emit readingShown(QStringLiteral("0"));
    m_clock->stop();
}

void IndicatorLink::Timer1Timer()
{
    // Emptied at whatever byte has arrived: when that was inside a frame,
    // the next buffer begins with the rest of it.
    m_bufferStartsMidFrame = !FrameDecoder::endsAtFrameBoundary(m_receiveBuffer);
    m_receiveBuffer.clear();
    const auto traits = DeviceModel::traits(modelText());
    if (!traits || !traits->polled)
        return; // a WI2002 is never written to
    if (pollWrite())
        return;

    m_clock->Timer1()->stop();
    m_clock->Timer3()->stop();
    setPortSwitch(false); // runs RxSwitch1Off: the link is off before the operator is told
    emit pollWriteFailed();
}

void IndicatorLink::Timer3Timer()
{
    const FrameReading r = FrameDecoder::decodeBuffer(m_receiveBuffer, modelText(), m_bufferStartsMidFrame);
    if (!r.applies)
        return;
    m_readingText = r.readingText;
    m_currentReading = r.reading;
    emit readingShown(r.display);
    setStatus(r.deviceOn);
    // A reading that moved away from the samples is not still, whatever the
    // compare of this second said.
    if (r.hideStability || !m_stability.agrees(m_currentReading))
        setStableFlag(false);
    if (r.hasTime) {
        m_indicatorTime = r.indicatorTime;
        emit indicatorTimeChanged(m_indicatorTime);
    }
    if (r.hasDate) {
        m_indicatorDate = r.indicatorDate;
        emit dateChanged(m_indicatorDate);
    }
    emit readingDecoded(m_readingText, m_stableFlag);
}

void IndicatorLink::Stabilno1Timer() { setStableFlag(m_stability.agrees(m_currentReading)); }

void IndicatorLink::Stabilno2Timer() { m_stability.takeSlowSample(m_currentReading); }

void IndicatorLink::Stabilno3Timer() { m_stability.takeFastSample(m_currentReading); }

void IndicatorLink::ComPort1RxChar(qint64 Count)
{
    if (Count <= 0)
        return;
    m_receiveBuffer += m_decoder.decode(m_port.read(Count));
}

void IndicatorLink::ComPort1Error(QSerialPort::SerialPortError error, quint64 session)
{
    // An event from an earlier opening, or from a port closed since, is stale.
    if (session != m_session || !m_port.isOpen())
        return;
    // One line-error report per switch-on: a device that keeps failing must
    // not stack messages while the first one waits for the operator.
    if (m_lineErrorShown)
        return;
    m_lineErrorShown = true;

    if (error == QSerialPort::ReadError || error == QSerialPort::ResourceError) {
        // The device is gone or cannot be read (an unplugged adapter): the
        // port would report it again on every wake-up and the poll would fail
        // on top of this message, so close it and stop polling now. Without
        // the poll nothing empties the buffer: empty it, so that the decode
        // ticks meanwhile show the device as off, not its last weight.
        m_clock->Timer1()->stop();
        closePort();
        m_receiveBuffer.clear();
    }

    emit lineErrorOccurred(); // returns when the operator has read it
    setPortSwitch(false);
}

// ------------------------------------------------------------------- helpers

void IndicatorLink::openPort()
{
    if (m_port.isOpen())
        return;
    ++m_session;
    errno = 0;
    const bool opened = m_port.open(QIODevice::ReadWrite);
    const int errnoAfterOpen = errno;
    if (!opened) {
        updateLamps();
        throw Failure(QStringLiteral("Unable to open com port (win error code: %1)")
                          .arg(systemErrorNumber(m_port, errnoAfterOpen)));
    }
    applyLineSettingsAfterOpen();
    m_port.clear(); // what queued up while nobody listened is not an answer
    // A streaming indicator is joined at an arbitrary byte.
    m_bufferStartsMidFrame = true;
    m_port.clearError();
    updateLamps();
}

void IndicatorLink::applyLineSettingsAfterOpen()
{
    // DTR is held off always, RTS too without handshake. A pseudo-terminal
    // has no modem lines and refuses both; that is no fault of the line.
    m_port.setDataTerminalReady(false);
    if (m_port.flowControl() != QSerialPort::HardwareControl)
        m_port.setRequestToSend(false);
    m_port.clearError();
}

bool IndicatorLink::pollWrite()
{
    if (!m_port.isOpen())
        return false;
    m_port.clearError();
    m_pollWriting = true;
    bool ok = m_port.write("s", 1) == 1;
    // Sent, or the write timeout (1000 ms + 100 ms a byte) passed: the byte
    // then stays queued, as with the port's own timeout. Anything else is a
    // rejected write.
    if (ok && !m_port.waitForBytesWritten(1000 + 100 * 1))
        ok = m_port.error() == QSerialPort::TimeoutError;
    m_pollWriting = false;
    return ok;
}

void IndicatorLink::throwLineSettingsFailure()
{
    const int code = systemErrorNumber(m_port, 0);
    m_port.clearError();
    throw Failure(QStringLiteral("SetCommState function failed (win error code: %1)").arg(code));
}

void IndicatorLink::setStatus(bool deviceOn) { emit deviceStatusChanged(deviceOn); }

// The one place StableFlag is set.
void IndicatorLink::setStableFlag(bool stable)
{
    m_stableFlag = stable;
    emit stabilityChanged(stable);
}

void IndicatorLink::updateLamps() { emit portOpenChanged(m_port.isOpen()); }
