#include "store/journalappend.h"

#include <QStringList>

#include "store/schema.h"

JournalAppend::JournalAppend(TableStore &store)
    : m_store(store), m_transaction(store), m_insert(store.connection())
{
    QStringList columns, marks;
    for (const QString &f : Schema::journalFields()) {
        columns << QStringLiteral("\"%1\"").arg(f);
        marks << QStringLiteral("?");
    }
    TableStore::check(m_insert.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                           .arg(TableStore::sqlName(Tables::Journal),
                                                columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))),
                      m_insert);
}

void JournalAppend::append(const QVector<QString> &texts)
{
    static const QString blank(QLatin1String(""));
    for (int p = 0; p < WeighingRecord::FieldCount; ++p) {
        const QString &t = p < texts.size() ? texts[p] : blank;
        m_insert.bindValue(p, t.isNull() ? blank : t);
    }
    TableStore::check(m_insert.exec(), m_insert);
    ++m_rows;
}

void JournalAppend::commit()
{
    m_insert.finish();
    m_transaction.commit();
    m_store.bumpGeneration();
}
