#include "indicator/devicemodel.h"

#include <QRegularExpression>

namespace DeviceModel {

QStringList modelNames() { return {Libra124, Libra125Clock, Libra210, WI2002}; }

std::optional<Traits> traits(const QString &model)
{
    // The Libras talk without handshake and are polled; the WI2002 sends on
    // its own, without parity, and holds our output with CTS.
    if (model == Libra124 || model == Libra210)
        return Traits{QSerialPort::EvenParity, QSerialPort::NoFlowControl, false, true, true, true};
    if (model == Libra125Clock)
        return Traits{QSerialPort::EvenParity, QSerialPort::NoFlowControl, true, true, false, true};
    if (model == WI2002)
        return Traits{QSerialPort::NoParity, QSerialPort::HardwareControl, false, false, true, false};
    return std::nullopt;
}

bool isLibra(const QString &model) { return model == Libra124 || model == Libra125Clock || model == Libra210; }

bool hasClock(const QString &model) { return model == Libra125Clock; }

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
