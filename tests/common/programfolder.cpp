#include "programfolder.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

ProgramFolder::ProgramFolder()
{
    if (!m_dir.isValid())
        qWarning() << "ProgramFolder: cannot create a temporary folder:" << m_dir.errorString();
}

ProgramFolder::ProgramFolder(const QString &toolsIni) : ProgramFolder()
{
    writeToolsIni(toolsIni);
}

void ProgramFolder::writeToolsIni(const QString &text) const
{
    QStringEncoder encoder("windows-1251");
    writeFile(QStringLiteral("tools.ini"), encoder.encode(text));
}

QString ProgramFolder::toolsIni() const
{
    QStringDecoder decoder("windows-1251");
    return decoder.decode(toolsIniBytes());
}

bool ProgramFolder::writeFile(const QString &name, const QByteArray &bytes) const
{
    const QString target = filePath(name);
    if (!QDir().mkpath(QFileInfo(target).absolutePath())) {
        qWarning() << "ProgramFolder: cannot create the folder of" << target;
        return false;
    }
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        qWarning() << "ProgramFolder: cannot write" << target << file.errorString();
        return false;
    }
    return true;
}

QByteArray ProgramFolder::readFile(const QString &name) const
{
    QFile file(filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}
