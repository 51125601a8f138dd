#include "indicator/devicemodel.h"

#include "indicator/framedecoder.h"

#include <QRegularExpression>

namespace DeviceModel {

const QList<Model> &models()
{
    // The Libras talk without handshake and are polled; the WI2002 sends on
    // its own, without parity, and holds our output with CTS.
    static const QList<Model> table = {
        {Id::Libra124, QStringLiteral("Libra v.1_24"), QLatin1StringView("libra124"), QSerialPort::EvenParity,
         QSerialPort::NoFlowControl, true, ClockSource::Computer, true, FrameDecoder::readLibra},
        {Id::Libra125Clock, QStringLiteral("Libra v.1_25 укомпл. часами"), QLatin1StringView("libra125"),
         QSerialPort::EvenParity, QSerialPort::NoFlowControl, true, ClockSource::Indicator, false,
         FrameDecoder::readLibraWithClock},
        {Id::Libra210, QStringLiteral("Libra v.2_10 двухканальная"), QLatin1StringView("libra210"),
         QSerialPort::EvenParity, QSerialPort::NoFlowControl, true, ClockSource::Computer, true, FrameDecoder::readLibra},
        {Id::WI2002, QStringLiteral("WI2002"), QLatin1StringView("wi2002"), QSerialPort::NoParity,
         QSerialPort::HardwareControl, false, ClockSource::Computer, true, FrameDecoder::readWI2002},
    };
    return table;
}

const Model *traits(const QString &name)
{
    for (const Model &m : models())
        if (m.name == name)
            return &m;
    return nullptr;
}

const Model &model(Id id)
{
    for (const Model &m : models())
        if (m.id == id)
            return m;
    Q_UNREACHABLE();
}

QStringList modelNames()
{
    QStringList names;
    for (const Model &m : models())
        names << m.name;
    return names;
}

QStringList speedNames()
{
    QStringList names;
    for (const char *rate : {"1200", "2400", "4800", "9600", "14400", "19200", "38400", "56000", "57600", "115200"})
        names << QStringLiteral("br") + QLatin1String(rate);
    names.sort();
    return names;
}

std::optional<qint32> speedFromName(const QString &name)
{
    static const QStringList names = speedNames();
    if (!names.contains(name)) // exact, case-sensitive
        return std::nullopt;
    return name.mid(2).toInt();
}

QStringList portNames()
{
    return {QStringLiteral("com1"), QStringLiteral("com2"), QStringLiteral("com3"), QStringLiteral("com4"),
            QStringLiteral("com5")};
}

QString portDevice(const QString &name)
{
    static const QRegularExpression comN(QRegularExpression::anchoredPattern(QStringLiteral("com([1-9])")), QRegularExpression::CaseInsensitiveOption);
    const auto match = comN.match(name);
    if (!match.hasMatch())
        return name;
    const int number = match.captured(1).toInt();
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(number);
#else
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
}

} // namespace DeviceModel
