#pragma once
// A read-only statement straight on the engine, for the hot paths (walks of
// the whole journal). Qt SQL wraps every cell in a QVariant through several
// layers; reading the engine's UTF-16 text directly is several times faster.

#include <QByteArrayView>
#include <QString>
#include <QVariant>
#include <QVector>

#include "store/packedrow.h"

struct sqlite3_stmt;

class RawQuery
{
public:
    RawQuery(const QString &sql, const QVector<QVariant> &binds);   // throws StoreError
    ~RawQuery();
    RawQuery(const RawQuery &) = delete;
    RawQuery &operator=(const RawQuery &) = delete;

    bool next();                       // throws StoreError
    qint64 integer(int column) const;
    bool isNull(int column) const;
    QString text(int column) const;     // a null QString for NULL
    // The column's UTF-8 bytes in place; valid until next(). NULL reads empty.
    QByteArrayView bytes(int column) const;
    // Columns first .. first+count-1 of the current row.
    PackedRow packed(int first, int count) const;

private:
    sqlite3_stmt *m_stmt = nullptr;
    void *m_db = nullptr;
};
