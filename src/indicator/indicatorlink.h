#pragma once
// The link to the weighing indicator: the serial port ComPort1, the port
// switch's handlers, the poll, the decode tick, the stability judgement and the
// widgets of the indicator panel that show their results.
//
// The main window creates the widgets (IndicatorWidgets, all of them required)
// and one IndicatorLink, and then at start:
//     link->setPortName(comselect text);     // once; the name holds for the run
//     link->applySpeed(comspeed text);
//     link->applyModel(Pribor text, false);
//     link->applyUnit(unit list text);
//     widgets.portSwitch->setOn(true);       // when "open" is "1"
//     if (!link->isPortOpen()) ...           // the open failed and was reported
//
// Switching the port switch is how the link is switched on and off: the link
// listens to PortSwitch::switchedOn/switchedOff and runs RxSwitch1On or
// RxSwitch1Off. RxSwitch1On applies the texts of comspeed and Pribor (with the
// date display), opens the port and starts the clock; when the port cannot be
// opened, "Unable to open com port (win error code: N)" is shown through the
// general error report, the switch stays on and the port closed, and
// isPortOpen() is false. RxSwitch1Off closes the port, shows "Прибор Выключен"
// in red, hides "Стабильность", sets the reading to zero ("0" on the display)
// and stops the clock.
//
// applySpeed/applyModel on an open port change the line at once; when the
// device rejects that they throw Failure("SetCommState function failed (win
// error code: N)"), for the caller's guarded handler to report.
//
// The link owns its messages to the operator: the poll write failure
// ("Ошибка работы с прибором") and the line error ("Ошибка"), each a modal
// QMessageBox; both end with the link off.

#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringDecoder>

#include "indicator/indicatorwidgets.h"
#include "indicator/stability.h"

class LinkClock;

class IndicatorLink : public QObject
{
    Q_OBJECT
public:
    IndicatorLink(const IndicatorWidgets &widgets, QObject *parent = nullptr);
    ~IndicatorLink() override; // closes the port

    // --- operations -------------------------------------------------------
    // The port's name, from the port list's text (see DeviceModel::portDevice).
    // Only at start-up, before the port is first opened.
    void setPortName(const QString &text);
    // A speed name ("br9600" ...); any other text leaves the speed unchanged.
    // Throws Failure when an open port rejects it.
    void applySpeed(const QString &text);
    // A model text: parity, flow control, which time widget shows, and with
    // refreshDate (switch-on, settings save) today's date in the date display
    // for the models that take it from the computer. Any other text changes
    // nothing. Throws Failure when an open port rejects the line settings.
    void applyModel(const QString &text, bool refreshDate);
    // "тонны" shows "т", "кг" shows "кг"; any other text leaves the label.
    void applyUnit(const QString &text);
    // Closes the port (lamps dark); does nothing when it is closed.
    void closePort();
    // The reset of the settings save: ReadingText "0,000", CurrentReading 0,
    // the display "0,000", "Прибор Выключен" in red, "Стабильность" hidden.
    void resetDisplay();

    // --- state read by others ----------------------------------------------
    double CurrentReading() const { return m_currentReading; }
    QString ReadingText() const { return m_readingText; }
    bool StableFlag() const; // exactly: the stability label is not hidden
    QString IndicatorDate() const { return m_indicatorDate; }
    QString IndicatorTime() const { return m_indicatorTime; }
    QString modelText() const;      // the model list's text, as the ticks read it
    bool isPortOpen() const;
    bool isSwitchOn() const;        // the port switch's state
    const QString &ReceiveBuffer() const { return m_receiveBuffer; } // for diagnostics
    const StabilityJudge &stability() const { return m_stability; }
    LinkClock *clock() const { return m_clock; }
    QSerialPort *port() { return &m_port; } // ComPort1

    // Today's date in the system's short date form, as the date display shows it.
    static QString todayText();

private:
    // Handlers, run by the port switch, the clock and the port.
    void RxSwitch1On();
    void RxSwitch1Off();
    void Timer1Timer();    // poll
    void Timer3Timer();    // decode
    void Stabilno1Timer(); // compare
    void Stabilno2Timer(); // slow sample
    void Stabilno3Timer(); // fast sample
    void ComPort1RxChar(qint64 Count);
    void ComPort1Error(QSerialPort::SerialPortError error, quint64 session);

    void openPort();
    bool pollWrite();
    void applyLineSettingsAfterOpen();
    void setStatus(bool deviceOn);
    void setStableShown(bool shown);
    void updateLamps();
    [[noreturn]] void throwLineSettingsFailure();

    IndicatorWidgets m_w;
    QSerialPort m_port;
    LinkClock *m_clock;
    StabilityJudge m_stability;
    QStringDecoder m_decoder;

    QString m_receiveBuffer = QStringLiteral(" 0,00");
    bool m_bufferStartsMidFrame = false; // the buffer begins with the rest of a cut frame
    QString m_readingText;
    double m_currentReading = 0;
    QString m_indicatorDate;
    QString m_indicatorTime;

    quint64 m_session = 0;        // counts port openings; stale port events are dropped
    bool m_pollWriting = false;   // errors raised by the poll's own write belong to it
    bool m_lineErrorShown = false; // one line-error message per switch-on
};
