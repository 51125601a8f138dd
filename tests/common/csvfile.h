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

    static CsvFile parse(const QByteArray &b)
    {
        CsvFile f;
        QList<QByteArray> cells;
        for (qsizetype pos = 0; pos < b.size();) {
            const QString where = QStringLiteral("line %1: ").arg(f.lines.size() + 1);
            if (b[pos++] != '"')
                return f.fail(where + "a cell does not start with a quote");
            QByteArray cell;
            for (;; ++pos) {
                if (pos >= b.size() || b[pos] == '\r' || b[pos] == '\n')
                    return f.fail(where + "a cell runs past its line");
                if (b[pos] == '"' && b.mid(pos + 1, 1) != "\"")
                    break;
                cell += b[pos];
                pos += b[pos] == '"';   // a doubled quote
            }
            cells << cell;
            if (b.mid(pos + 1, 2) == "\r\n") {
                f.lines << cells;
                cells.clear();
                pos += 3;
            } else if (b.mid(pos + 1, 1) == ";") {
                pos += 2;
            } else {
                return f.fail(where + "a cell is not followed by \";\" or CR LF");
            }
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
