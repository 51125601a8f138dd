#pragma once
// The tables that tie the settings texts to the serial line: indicator models,
// speed names and port names. Texts are compared exactly, letter case
// included; a text that is in no table changes nothing.

#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <optional>

namespace DeviceModel {

// The four model texts, in the order the model list shows them.
inline const QString Libra124 = QStringLiteral("Libra v.1_24");
inline const QString Libra125Clock = QStringLiteral("Libra v.1_25 укомпл. часами");
inline const QString Libra210 = QStringLiteral("Libra v.2_10 двухканальная");
inline const QString WI2002 = QStringLiteral("WI2002");

QStringList modelNames();

// What a model changes on the link.
struct Traits
{
    QSerialPort::Parity parity;
    QSerialPort::FlowControl flowControl;
    bool indicatorClock;   // the indicator time panel is shown instead of the computer clock
    bool polled;           // asked for a reading with "s" once a second
    bool refreshDate;      // the date display takes the computer's date at switch-on and save
    bool libraFrames;      // frames are read the Libra way (else the WI2002 way)
};

// nullopt for any text that is not exactly one of the four models.
std::optional<Traits> traits(const QString &model);

bool isLibra(const QString &model);       // one of the three Libra models
bool hasClock(const QString &model);      // the Libra with the built-in clock

// The ten speed names, sorted as text the way the speed list shows them.
QStringList speedNames();

// "br1200" -> 1200 ... "br115200" -> 115200; nullopt for any other text
// ("br9600 ", "BR9600", " " included).
std::optional<qint32> speedFromName(const QString &name);

// The port names the list offers.
QStringList portNames();

// The device a port name means: "com1".."com9" in any letter case are the
// platform's serial ports (/dev/ttyS0.. on Linux, COM1.. on Windows); any
// other text is used as typed, so "/dev/ttyUSB0" or a simulator's link works.
QString portDevice(const QString &name);

} // namespace DeviceModel
