#pragma once
// The link to the weighing indicator: the serial port ComPort1, the port
// switch's state and handlers, the poll, the decode tick and the stability
// judgement. It holds no widget: it reports what it reads, its state and its
// faults through signals, and the IndicatorPanel shows them.
//
// The main window creates the panel's widgets and one IndicatorLink, hands
// the link the line settings as a value, and then at start:
//     link->setPortName(settings.portName);  // once; the name holds for the run
//     link->apply(settings, false);          // speed, model, unit
//     portSwitch->setOn(true);               // when "open" is "1"
//     if (!link->isPortOpen()) ...           // the open failed and was reported
// Whenever the operator changes the settings lists, the main window hands the
// link the new value (setLineSettings); the switch-on and the ticks use the
// value last handed.
//
// PortSwitch, the port switch's state, is how the link is switched on and
// off: setPortSwitch changes it (the panel's switch widget follows it and
// hands it the operator's clicks) and then runs RxSwitch1On or RxSwitch1Off.
// RxSwitch1On applies the speed and model of the line settings (with the date
// display), opens the port and starts the clock; when the port cannot be
// opened, "Unable to open com port (win error code: N)" is shown through the
// general error report, the switch stays on and the port closed, and
// isPortOpen() is false. RxSwitch1Off closes the port, reports the device
// off, clears StableFlag, sets the reading to zero ("0" on the display) and
// stops the clock.
//
// applySpeed/applyModel on an open port change the line at once; when the
// device rejects that they throw Failure("SetCommState function failed (win
// error code: N)"), for the caller's guarded handler to report.
//
// StableFlag is what the stability label (RxLabel10) shows: the link sets it
// only in the compare tick, clears it wherever the reading is not to be
// trusted, and reports every setting through stabilityChanged, to which the
// panel shows or hides the label.
//
// The two faults the operator is told of, the poll write failure and the line
// error, are signals. The panel shows each as a modal box; the link waits for
// the slot to return (ticks and port events go on meanwhile in the box's
// loop), so a line error switches the link off only once the box is closed.
// Unconnected, the link goes on at once.

#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringDecoder>

#include "indicator/linesettings.h"
#include "indicator/stability.h"

class LinkClock;

class IndicatorLink : public QObject
{
    Q_OBJECT
public:
    explicit IndicatorLink(QObject *parent = nullptr);
    ~IndicatorLink() override; // closes the port

    // --- operations -------------------------------------------------------
    // The port's name, from the port list's text (see DeviceModel::portDevice).
    // Only at start-up, before the port is first opened.
    void setPortName(const QString &text);
    // The line settings the switch-on and the ticks use from now on; the
    // port is not touched.
    void setLineSettings(const LineSettings &settings);
    const LineSettings &lineSettings() const { return m_settings; }
    // setLineSettings, then applySpeed, applyModel and applyUnit with them.
    // The port name is not applied (setPortName).
    void apply(const LineSettings &settings, bool refreshDate);
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
    // Sets PortSwitch. A change runs RxSwitch1On or RxSwitch1Off once the
    // state has changed (a failure goes to the general error report, so the
    // switch shows on even when switching on failed); the state it already
    // has does nothing.
    void setPortSwitch(bool on);
    // Closes the port (lamps dark); does nothing when it is closed.
    void closePort();
    // The reset of the settings save: ReadingText "0,000", CurrentReading 0,
    // the display "0,000", "Прибор Выключен" in red, StableFlag cleared.
    void resetDisplay();

    // --- state read by others ----------------------------------------------
    double CurrentReading() const { return m_currentReading; }
    QString ReadingText() const { return m_readingText; }
    bool StableFlag() const { return m_stableFlag; }
    QString IndicatorDate() const { return m_indicatorDate; }
    QString IndicatorTime() const { return m_indicatorTime; }
    QString modelText() const;      // the model of the line settings, as the ticks read it
    bool isPortOpen() const;
    bool isSwitchOn() const { return m_portSwitch; } // PortSwitch
    const QString &ReceiveBuffer() const { return m_receiveBuffer; } // for diagnostics
    const StabilityJudge &stability() const { return m_stability; }
    LinkClock *clock() const { return m_clock; }
    QSerialPort *port() { return &m_port; } // ComPort1

    // Today's date in the system's short date form, as the date display shows it.
    static QString todayText();

signals:
    // The live weight as the display shows it ("0,000", "211,515", "0").
    void readingShown(const QString &display);
    // "Прибор Включен" when true, "Прибор Выключен" when false.
    void deviceStatusChanged(bool deviceOn);
    // StableFlag set or cleared (reported at every setting, changed or not).
    void stabilityChanged(bool stable);
    // PortSwitch changed; emitted before its handler runs.
    void portSwitchChanged(bool on);
    // The unit label's text: "т" or "кг".
    void unitChanged(const QString &label);
    // Which time widget shows: the indicator's time (true) or the computer's.
    void clockSourceChanged(bool indicatorClock);
    void dateChanged(const QString &date);
    void indicatorTimeChanged(const QString &time);
    // The port opened or closed (the lamps).
    void portOpenChanged(bool open);
    // The poll could not be written; the link is off already.
    void pollWriteFailed();
    // The line failed; the link goes off when the slots have returned.
    void lineErrorOccurred();
    // A decode tick read a reading: its text and StableFlag as it stands
    // after that tick (the evidence a pass keeps, indicator/readingtrace.h).
    void readingDecoded(const QString &readingText, bool stable);

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
    void setStableFlag(bool stable);
    void updateLamps();
    [[noreturn]] void throwLineSettingsFailure();

    LineSettings m_settings;
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
    bool m_stableFlag = false; // StableFlag
    bool m_portSwitch = false; // PortSwitch

    quint64 m_session = 0;        // counts port openings; stale port events are dropped
    bool m_pollWriting = false;   // errors raised by the poll's own write belong to it
    bool m_lineErrorShown = false; // one line-error report per switch-on
};
