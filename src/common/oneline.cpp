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
