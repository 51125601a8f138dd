#pragma once
// Reads the journal CSV file back strictly, as a spreadsheet would: lines end
// in CR LF (the last one too), cells are quoted and separated by ";", a
// doubled quote inside a cell is one quote. Anything else is an error.

#include <QByteArray>
#include <QList>
#include <QString>

struct CsvFile
{
    QList<QList<QByteArray>> lines;   // cells without their quotes, raw bytes
    QString error;                    // empty when the file is well formed

    static CsvFile parse(const QByteArray &bytes)
    {
        CsvFile f;
        if (!bytes.isEmpty() && !bytes.endsWith("\r\n"))
            return f.fail(QStringLiteral("the last line does not end in CR LF"));
        qsizetype pos = 0;
        while (pos < bytes.size()) {
            QList<QByteArray> cells;
            while (true) {
                if (bytes.at(pos) != '"')
                    return f.fail(QStringLiteral("line %1: a cell does not start with a quote").arg(f.lines.size() + 1));
                QByteArray cell;
                ++pos;
                while (true) {
                    if (pos >= bytes.size())
                        return f.fail(QStringLiteral("line %1: an unclosed quote").arg(f.lines.size() + 1));
                    const char c = bytes.at(pos++);
                    if (c == '"' && pos < bytes.size() && bytes.at(pos) == '"') {
                        cell += '"';
                        ++pos;
                    } else if (c == '"') {
                        break;
                    } else if (c == '\r' || c == '\n') {
                        return f.fail(QStringLiteral("line %1: a line break inside a cell").arg(f.lines.size() + 1));
                    } else {
                        cell += c;
                    }
                }
                cells << cell;
                if (bytes.mid(pos, 2) == "\r\n") {
                    pos += 2;
                    break;
                }
                if (bytes.at(pos) != ';')
                    return f.fail(QStringLiteral("line %1: no \";\" after a cell").arg(f.lines.size() + 1));
                ++pos;
            }
            f.lines << cells;
        }
        return f;
    }

private:
    CsvFile &fail(const QString &why)
    {
        error = why;
        return *this;
    }
};
