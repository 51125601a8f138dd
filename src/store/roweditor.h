#pragma once
// The row a cursor is editing or adding: its edit buffer (stored values, as
// the engine takes them), and the writes that post it or delete a row, with
// their trail in BD_audit when the change is a hand edit of an audited
// cursor (store/audittrail.h), in one transaction with the change.

#include <QString>
#include <QVector>

#include <functional>

#include "store/hashchain.h"

class TableDef;
class TableStore;

class RowEditor
{
public:
    // def, table (as the program names it) and sqlTable must outlive the editor.
    RowEditor(TableStore &store, const TableDef &def, const QString &table, const QString &sqlTable);

    // Begins editing a row whose stored values are these.
    void begin(const QVector<QString> &stored, bool handEdit);
    // Begins a new row, every field blank.
    void beginNew(bool handEdit);
    void clear();

    bool isModified() const { return m_modified; }
    bool isHandEdit() const { return m_handEdit; }
    // The field's text as edited (dates as dd.MM.yyyy).
    QString text(int index) const;
    const QVector<QString> &values() const { return m_values; }
    // Sets a field from its text. Throws StoreError for a field out of range
    // or a date that is none.
    void set(int index, const QString &text);
    // The value a text is stored as (text fields hold '' for nothing, dates
    // an ISO date or NULL). Throws StoreError for a date that is none.
    QString storedValue(int index, const QString &text) const;

    // Runs inside the transaction of the next insert or update, once the row
    // is written: the row's id and the fields written with their texts
    // (every field of a new row, the changed ones of an edit). Used once: the
    // write, done or failed, lets it go.
    using Recorder = std::function<void(qint64 rowId, const FieldValues &written)>;
    void setRecorder(Recorder recorder) { m_recorder = std::move(recorder); }

    // Writes the new row; its id. Throws StoreError.
    qint64 insert();
    // The update holds only while the stored row still has this value in this field.
    struct Condition
    {
        int field;
        QString stored;
    };
    // Writes the changed fields of row id (nothing when none changed and
    // there is no condition). Throws RowChangedError when the condition no
    // longer holds, StoreError when the row is gone or the engine fails.
    void update(qint64 id, const Condition *condition);
    // Deletes row id; audited, its trail holds every field as it was stored.
    void remove(qint64 id, bool audited);

private:
    QVector<QString> texts(const QVector<QString> &stored) const;
    bool rowExists(qint64 id) const;

    TableStore &m_store;
    const TableDef &m_def;
    const QString &m_table;
    const QString &m_sqlTable;
    QVector<QString> m_values;     // the row being edited or added
    QVector<QString> m_original;   // ... and its values when editing began
    bool m_modified = false;
    bool m_handEdit = false;
    Recorder m_recorder;   // for the next write
};
