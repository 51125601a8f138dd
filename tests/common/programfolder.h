#pragma once
// A throw-away program folder, the directory the start order is given: it
// holds tools.ini and, once the database helpers are added here, the tables.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

class ProgramFolder
{
public:
    // An empty folder: no tools.ini.
    ProgramFolder();
    // A folder whose tools.ini holds toolsIni, written in Windows-1251 exactly
    // as given (line ends included).
    explicit ProgramFolder(const QString &toolsIni);

    ProgramFolder(const ProgramFolder &) = delete;
    ProgramFolder &operator=(const ProgramFolder &) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    QString toolsIniPath() const { return filePath(QStringLiteral("tools.ini")); }

    // tools.ini as text (decoded from Windows-1251) and as raw bytes;
    // empty when there is none.
    void writeToolsIni(const QString &text) const;
    QString toolsIni() const;
    QByteArray toolsIniBytes() const { return readFile(QStringLiteral("tools.ini")); }

    // Any file of the folder, relative to it. writeFile() creates missing
    // subfolders; both report failures through qWarning and return false/empty.
    bool writeFile(const QString &name, const QByteArray &bytes) const;
    QByteArray readFile(const QString &name) const;

private:
    QTemporaryDir m_dir;
};
