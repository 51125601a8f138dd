#include "app/settingsfile.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include "common/failure.h"

namespace {

const char *const Codepage = "windows-1251";

// One line of the file as raw bytes: [begin, contentEnd) is the text,
// [contentEnd, next) its line end ("\r\n", "\n", "\r" or nothing on the last line).
struct RawLine
{
    qsizetype begin = 0;
    qsizetype contentEnd = 0;
    qsizetype next = 0;
};

enum class LineKind { Other, Section, Key };

struct ParsedLine
{
    LineKind kind = LineKind::Other;
    QString name;  // section or key name, trimmed
    QString value; // key value, trimmed
};

QList<RawLine> splitLines(const QByteArray &data)
{
    QList<RawLine> lines;
    const char *const bytes = data.constData();
    const qsizetype size = data.size();
    qsizetype pos = 0;
    while (pos < size) {
        RawLine line;
        line.begin = pos;
        qsizetype end = pos;
        while (end < size && bytes[end] != '\n' && bytes[end] != '\r')
            ++end;
        line.contentEnd = end;
        if (end < size)
            end += (bytes[end] == '\r' && end + 1 < size && bytes[end + 1] == '\n') ? 2 : 1;
        line.next = end;
        lines.append(line);
        pos = line.next;
    }
    return lines;
}

QString decode(QByteArrayView bytes)
{
    QStringDecoder decoder(Codepage);
    return decoder.decode(bytes);
}

// Windows-1251 bytes of text; a character the code page lacks becomes "?",
// as the system's own conversion would write it (the codec alone would put
// the control character SUB there).
QByteArray encode(const QString &text)
{
    QStringEncoder encoder(Codepage);
    QByteArray bytes = encoder.encode(text);
    if (!encoder.hasError())
        return bytes;
    bytes.clear();
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype len = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        QStringEncoder one(Codepage);
        const QByteArray b = one.encode(QStringView(text).mid(i, len));
        bytes += one.hasError() ? QByteArray("?") : b;
        i += len;
    }
    return bytes;
}

ParsedLine parseLine(QByteArrayView content)
{
    ParsedLine parsed;
    const QString text = decode(content).trimmed();
    if (text.startsWith(u'[')) {
        const qsizetype close = text.lastIndexOf(u']');
        parsed.kind = LineKind::Section;
        parsed.name = (close > 0 ? text.mid(1, close - 1) : text.mid(1)).trimmed();
        return parsed;
    }
    const qsizetype eq = text.indexOf(u'=');
    if (eq >= 0) {
        parsed.kind = LineKind::Key;
        parsed.name = text.left(eq).trimmed();
        parsed.value = text.mid(eq + 1).trimmed();
    }
    return parsed;
}

// A value in matching quotes reads without them, as profile-string reading
// gives it: COM="com4" is com4. A lone quote or unmatched ones stay.
QString unquoted(const QString &value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Where a key stands in the parsed file.
struct KeyLookup
{
    qsizetype keyLine = -1;         // line of the key, or -1
    qsizetype lastSectionLine = -1; // last non-blank line of the first section of that name, or -1
    QString value;
};

KeyLookup findKey(const QByteArray &data, const QList<RawLine> &lines, const QString &section,
                  const QString &key)
{
    KeyLookup found;
    bool inSection = false;
    bool inFirstSection = false;
    bool firstSectionSeen = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const RawLine &raw = lines.at(i);
        const QByteArrayView content(data.constData() + raw.begin, raw.contentEnd - raw.begin);
        const ParsedLine line = parseLine(content);
        if (line.kind == LineKind::Section) {
            inSection = sameName(line.name, section);
            inFirstSection = inSection && !firstSectionSeen;
            if (inFirstSection) {
                firstSectionSeen = true;
                found.lastSectionLine = i;
            }
            continue;
        }
        if (inFirstSection && !decode(content).trimmed().isEmpty())
            found.lastSectionLine = i;
        if (inSection && line.kind == LineKind::Key && sameName(line.name, key)) {
            found.keyLine = i;
            found.value = line.value;
            return found;
        }
    }
    return found;
}

QByteArray lineEndOf(const QByteArray &data)
{
    if (data.contains("\r\n"))
        return "\r\n";
    if (data.contains('\n'))
        return "\n";
    if (data.contains('\r'))
        return "\r";
    return "\r\n";
}

// A settings file is a few lines. Anything larger, or anything that is not a
// plain file (a device, a pipe: a link to /dev/zero would be read for ever),
// is no settings file: it reads as absent and is never written.
constexpr qint64 MaxFileSize = 1 << 20;

enum class Content { Absent, Read, Unusable };

Content readContent(const QString &path, QByteArray *data)
{
    const QFileInfo info(path);
    if (!info.exists())
        return Content::Absent;
    if (!info.isFile() || info.size() > MaxFileSize)
        return Content::Unusable;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Content::Unusable;
    // Bounded, should the file have grown since it was looked at.
    *data = file.read(MaxFileSize + 1);
    if (file.error() != QFileDevice::NoError || data->size() > MaxFileSize)
        return Content::Unusable;
    return Content::Read;
}

[[noreturn]] void failWrite(const QString &path)
{
    throw Failure(QStringLiteral("Unable to write to ") + path);
}

} // namespace

IniFile::IniFile(QString path) : m_path(std::move(path)) {}

QString IniFile::readString(const QString &section, const QString &key, const QString &defaultValue) const
{
    QByteArray data;
    if (readContent(m_path, &data) != Content::Read)
        return defaultValue;
    const KeyLookup found = findKey(data, splitLines(data), section, key);
    if (found.keyLine < 0)
        return defaultValue;
    return unquoted(found.value).left(MaxValueLength);
}

void IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    // The file is line-oriented: a line break in a value would start a line
    // of its own, which could read back as another key or section.
    QString oneLine = value;
    oneLine.replace(u'\r', u' ').replace(u'\n', u' ');

    // Never replace a file whose current content cannot be carried over,
    // nor one that its owner made read-only.
    QByteArray data;
    const Content content = readContent(m_path, &data);
    if (content == Content::Unusable || (content == Content::Read && !QFileInfo(m_path).isWritable()))
        failWrite(m_path);

    const QByteArray eol = lineEndOf(data);
    const QList<RawLine> lines = splitLines(data);
    const KeyLookup found = findKey(data, lines, section, key);

    QByteArray result;
    result.reserve(data.size() + key.size() + oneLine.size() + section.size() + 8);
    if (found.keyLine >= 0) {
        // Only the value changes; the key keeps its spelling and its line end.
        const RawLine &raw = lines.at(found.keyLine);
        const QByteArrayView content(data.constData() + raw.begin, raw.contentEnd - raw.begin);
        const QString keyName = parseLine(content).name;
        result += data.first(raw.begin);
        result += encode(keyName) + '=' + encode(oneLine);
        result += data.sliced(raw.contentEnd);
    } else if (found.lastSectionLine >= 0) {
        const RawLine &after = lines.at(found.lastSectionLine);
        result += data.first(after.next);
        if (after.next == after.contentEnd) // last line of the file had no line end
            result += eol;
        result += encode(key) + '=' + encode(oneLine) + eol;
        result += data.sliced(after.next);
    } else {
        result = data;
        if (!result.isEmpty() && !result.endsWith('\n'))
            result += eol;
        result += '[' + encode(section) + ']' + eol;
        result += encode(key) + '=' + encode(oneLine) + eol;
    }

    // Unbuffered: QSaveFile notices only the errors of its own write calls;
    // a buffered write that fails later, when commit() flushes, would still be
    // renamed into place as a cut-off file.
    // A folder that admits no new file (a program folder the operator may
    // not change) still lets the writable file be rewritten where it stands.
    QSaveFile out(m_path);
    out.setDirectWriteFallback(true);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        failWrite(m_path);
    if (out.write(result) != result.size() || !out.flush() || out.error() != QFileDevice::NoError) {
        out.cancelWriting();
        failWrite(m_path);
    }
    if (!out.commit())
        failWrite(m_path);
}

QString settingsFilePath(const QString &programDir)
{
    return programDir + QStringLiteral("/tools.ini");
}

SettingsValues LoadSettings(const QString &programDir)
{
    const IniFile ini(settingsFilePath(programDir));
    const QString tool = QStringLiteral("Tool");
    const QString blank = QStringLiteral(" ");
    SettingsValues values;
    values.com = ini.readString(tool, QStringLiteral("COM"), blank);
    values.speed = ini.readString(tool, QStringLiteral("Speed"), blank);
    values.wi = ini.readString(tool, QStringLiteral("WI"), blank);
    values.open = ini.readString(tool, QStringLiteral("open"), blank);
    values.izmer = ini.readString(tool, QStringLiteral("izmer"), blank);
    return values;
}

void SaveSettings(const QString &programDir, const SettingsValues &values)
{
    IniFile ini(settingsFilePath(programDir));
    const QString tool = QStringLiteral("Tool");
    ini.writeString(tool, QStringLiteral("izmer"), values.izmer);
    ini.writeString(tool, QStringLiteral("COM"), values.com);
    ini.writeString(tool, QStringLiteral("Speed"), values.speed);
    ini.writeString(tool, QStringLiteral("wi"), values.wi);
    ini.writeString(tool, QStringLiteral("open"), values.open);
}

int LoadBackupCount(const QString &programDir)
{
    const IniFile ini(settingsFilePath(programDir));
    bool ok = false;
    const int count = ini.readString(QStringLiteral("Tool"), QStringLiteral("backups"), QString()).toInt(&ok);
    return ok && count >= 0 ? count : DefaultBackupCount;
}
