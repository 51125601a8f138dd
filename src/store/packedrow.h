#pragma once
// One table row held as a single UTF-8 buffer with the bounds of its fields:
// two allocations a row instead of one per field, and no conversion until a
// field is read as text. That is what makes a walk of a million-row journal
// quick. A NULL field has length -1.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QVector>

struct PackedRow
{
    QByteArray utf8;
    QVector<int> bounds;   // start and length of each field

    int size() const { return int(bounds.size() / 2); }
    bool isNull(int i) const { return bounds[2 * i + 1] < 0; }
    QByteArrayView bytes(int i) const
    {
        const int len = bounds[2 * i + 1];
        return len <= 0 ? QByteArrayView() : QByteArrayView(utf8.constData() + bounds[2 * i], len);
    }
    QString string(int i) const
    {
        if (isNull(i))
            return QString();
        const QByteArrayView b = bytes(i);
        return b.isEmpty() ? QString(QLatin1String("")) : QString::fromUtf8(b);
    }

    static PackedRow pack(const QVector<QString> &fields)
    {
        PackedRow r;
        r.bounds.resize(fields.size() * 2);
        for (int i = 0; i < fields.size(); ++i) {
            r.bounds[2 * i] = int(r.utf8.size());
            if (fields[i].isNull()) {
                r.bounds[2 * i + 1] = -1;
                continue;
            }
            r.utf8 += fields[i].toUtf8();
            r.bounds[2 * i + 1] = int(r.utf8.size()) - r.bounds[2 * i];
        }
        return r;
    }

    QVector<QString> unpack() const
    {
        QVector<QString> out(size());
        for (int i = 0; i < size(); ++i)
            out[i] = string(i);
        return out;
    }
};
