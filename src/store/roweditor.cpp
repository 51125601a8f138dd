#include "store/roweditor.h"

#include <QSqlQuery>

#include <functional>
#include <utility>

#include "common/failure.h"
#include "store/audittrail.h"
#include "store/filterexpression.h"
#include "store/rawquery.h"
#include "store/sqldialect.h"
#include "store/tabledef.h"
#include "store/tablestore.h"

namespace {

QVariant bindValue(const QString &stored)
{
    return stored.isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(stored);
}

// Runs a write, inside one transaction with its trail when withTrail.
void writeChange(TableStore &store, bool withTrail, const std::function<void()> &change)
{
    store.releaseReaders();
    if (!withTrail) {
        change();
        return;
    }
    TableStore::Transaction transaction(store);
    change();
    transaction.commit();
}

}

RowEditor::RowEditor(TableStore &store, const TableDef &def, const QString &table, const QString &sqlTable)
    : m_store(store), m_def(def), m_table(table), m_sqlTable(sqlTable)
{
}

void RowEditor::begin(const QVector<QString> &stored, bool handEdit)
{
    m_values = stored;
    m_original = stored;
    m_modified = false;
    m_handEdit = handEdit;
}

void RowEditor::beginNew(bool handEdit)
{
    QVector<QString> blank(m_def.count());
    for (int i = 0; i < m_def.count(); ++i)
        blank[i] = m_def.isDate(i) ? QString() : QString(QLatin1String(""));
    begin(blank, handEdit);
}

void RowEditor::clear()
{
    m_values.clear();
    m_original.clear();
    m_modified = false;
    m_handEdit = false;
}

QString RowEditor::text(int index) const { return m_def.text(index, m_values.value(index)); }

QString RowEditor::storedValue(int index, const QString &text) const
{
    // A null QString would reach the engine as NULL; text fields hold ''.
    if (!m_def.isDate(index))
        return text.isNull() ? QString(QLatin1String("")) : text;
    if (text.trimmed().isEmpty())
        return QString();
    const QString iso = FilterExpression::isoDate(text);
    if (iso.isEmpty())
        throw StoreError(QStringLiteral("\"%1\" не является правильной датой").arg(text));
    return iso;
}

void RowEditor::set(int index, const QString &text)
{
    m_def.requireIndex(index);
    m_values[index] = storedValue(index, text);
    m_modified = true;
}

QVector<QString> RowEditor::texts(const QVector<QString> &stored) const
{
    QVector<QString> out(stored.size());
    for (int i = 0; i < stored.size(); ++i)
        out[i] = m_def.text(i, stored[i]);
    return out;
}

bool RowEditor::rowExists(qint64 id) const
{
    RawQuery q(m_store, QStringLiteral("SELECT 1 FROM %1 WHERE id = ?").arg(m_sqlTable), {id});
    return q.next();
}

qint64 RowEditor::insert()
{
    QStringList cols, marks;
    for (const QString &f : m_def.names()) {
        cols << QStringLiteral("\"%1\"").arg(f);
        marks << QStringLiteral("?");
    }
    const Recorder recorder = std::exchange(m_recorder, nullptr);
    qint64 id = 0;
    writeChange(m_store, m_handEdit || recorder, [&] {
        QSqlQuery q(m_store.connection());
        TableStore::check(q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)%4")
                                        .arg(m_sqlTable, cols.join(", "), marks.join(", "),
                                             SqlDialect::insertReturning(m_store))),
                          q);
        for (const QString &v : m_values)
            q.addBindValue(bindValue(v));
        TableStore::check(q.exec(), q);
        id = SqlDialect::insertedId(m_store, q);
        if (m_handEdit)
            AuditTrail::write(m_store, AuditTrail::Action::Insert, m_table, id, m_def.names(), {}, texts(m_values));
        if (recorder) {
            const QVector<QString> shown = texts(m_values);
            FieldValues written;
            for (int i = 0; i < m_def.count(); ++i)
                written.append({m_def.fieldName(i), shown[i].isNull() ? QString(QLatin1String("")) : shown[i]});
            recorder(id, written);
        }
    });
    return id;
}

void RowEditor::update(qint64 id, const Condition *condition)
{
    const Recorder recorder = std::exchange(m_recorder, nullptr);
    QStringList sets;
    QVector<QVariant> binds;
    for (int i = 0; i < m_def.count(); ++i) {
        if (m_values[i] == m_original[i] && m_values[i].isNull() == m_original[i].isNull())
            continue;
        sets << QStringLiteral("\"%1\" = ?").arg(m_def.fieldName(i));
        binds << bindValue(m_values[i]);
    }
    if (sets.isEmpty() && !condition)
        return;
    if (sets.isEmpty())
        sets << QStringLiteral("id = id");   // nothing to change, but the condition is still checked
    // The condition is checked by the update itself, so that no other
    // program can change the row between the look and the write.
    QString where = QStringLiteral("id = ?");
    if (condition)
        where += QStringLiteral(" AND \"%1\" = ?").arg(m_def.fieldName(condition->field));
    writeChange(m_store, m_handEdit || recorder, [&] {
        QSqlQuery q(m_store.connection());
        TableStore::check(
            q.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE %3").arg(m_sqlTable, sets.join(", "), where)), q);
        for (const QVariant &b : binds)
            q.addBindValue(b);
        q.addBindValue(id);
        if (condition)
            q.addBindValue(condition->stored);
        TableStore::check(q.exec(), q);
        if (q.numRowsAffected() != 1) {
            if (condition && rowExists(id))
                throw RowChangedError(QStringLiteral("Запись изменена другой программой: \"%1\" больше не \"%2\"")
                                          .arg(m_def.fieldName(condition->field), condition->stored));
            throw StoreError(QStringLiteral("Запись не найдена: её удалили, пока она редактировалась"));
        }
        if (m_handEdit)
            AuditTrail::write(m_store, AuditTrail::Action::Edit, m_table, id, m_def.names(), texts(m_original),
                              texts(m_values));
        if (recorder) {
            const QVector<QString> before = texts(m_original), after = texts(m_values);
            FieldValues written;
            for (int i = 0; i < m_def.count(); ++i)
                if (before[i] != after[i] || before[i].isNull() != after[i].isNull())
                    written.append({m_def.fieldName(i), after[i].isNull() ? QString(QLatin1String("")) : after[i]});
            recorder(id, written);
        }
    });
}

void RowEditor::remove(qint64 id, bool audited)
{
    QVector<QString> was;
    if (audited) {
        // The trail of a deleted row holds all its fields as they were stored.
        QStringList cols;
        for (const QString &f : m_def.names())
            cols << QStringLiteral("\"%1\"").arg(f);
        RawQuery q(m_store, QStringLiteral("SELECT %1 FROM %2 WHERE id = ?").arg(cols.join(", "), m_sqlTable), {id});
        if (q.next())
            was = q.packed(0, m_def.count()).unpack();
    }
    writeChange(m_store, audited, [&] {
        QSqlQuery q(m_store.connection());
        TableStore::check(q.prepare(QStringLiteral("DELETE FROM %1 WHERE id = ?").arg(m_sqlTable)), q);
        q.addBindValue(id);
        TableStore::check(q.exec(), q);
        if (audited && q.numRowsAffected() == 1)
            AuditTrail::write(m_store, AuditTrail::Action::Delete, m_table, id, m_def.names(), texts(was), {});
    });
}
