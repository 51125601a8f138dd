#include "common/oneline.h"

qsizetype breaksToBlanks(char16_t *text, qsizetype n)
{
    qsizetype out = 0;
    for (qsizetype i = 0; i < n; ++i) {
        char16_t c = text[i];
        if ((c >= u'\n' && c <= u'\r') || c == u'\x85' || c == u'\x2028' || c == u'\x2029') {
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
            c = u' ';
        }
        text[out++] = c;
    }
    return out;
}

QString oneLine(QString text)
{
    text.truncate(breaksToBlanks(reinterpret_cast<char16_t *>(text.data()), text.size()));
    return text;
}

QString escapedLine(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else if (c == QLatin1Char('\r'))
            out += QLatin1String("\\r");
        else
            out += c;
    }
    return out;
}

QString unescapedLine(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != QLatin1Char('\\') || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const QChar c = text[++i];
        out += c == QLatin1Char('n') ? QChar(u'\n') : c == QLatin1Char('r') ? QChar(u'\r') : c;
    }
    return out;
}
