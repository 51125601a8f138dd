#pragma once
// The tables that tie the settings texts to the serial line: indicator models,
// speed names and port names. Texts are compared exactly, letter case
// included; a text that is in no table changes nothing.

#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <QList>
#include <QLatin1StringView>
#include <optional>

struct FrameReading;

namespace DeviceModel {

// The indicator models, one row each, in the order the model list shows them:
// everything that differs between models is a column here, so the rest of
// the program asks the table and never compares a model's text itself.

enum class Id { Libra124, Libra125Clock, Libra210, WI2002 };

// Where the date and time of a weighing come from.
enum class ClockSource {
    Computer,  // the computer's clock
    Indicator, // the time and date panels the indicator's frames fill
};

// Reads one frame line of the model into a reading (see FrameDecoder).
using FrameReader = void (*)(const QString &line, FrameReading &r);

struct Model
{
    Id id;
    QString name;                 // the text of the model list and the settings file
    QLatin1StringView shortName;  // what the simulator's command line also takes
    QSerialPort::Parity parity;
    QSerialPort::FlowControl flowControl;
    bool polled;                  // asked for a reading with "s" once a second; else it streams frames on its own
    ClockSource clock;            // dates the weighings; Indicator also shows its time panel instead of the computer clock
    bool refreshDate;             // the date display takes the computer's date at switch-on and save
    FrameReader readFrame;
};

// The table, in list order.
const QList<Model> &models();

// The row of a model text (compared exactly); nullptr for any other text.
const Model *traits(const QString &name);
const Model &model(Id id);

// The model texts, in list order, and each row's text by its id.
QStringList modelNames();
inline const QString &Libra124 = model(Id::Libra124).name;
inline const QString &Libra125Clock = model(Id::Libra125Clock).name;
inline const QString &Libra210 = model(Id::Libra210).name;
inline const QString &WI2002 = model(Id::WI2002).name;

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
