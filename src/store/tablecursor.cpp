#include "store/tablecursor.h"

#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <memory>
#include <utility>

#include "common/failure.h"
#include "store/rawquery.h"
#include "store/schema.h"
#include "store/sqldialect.h"
#include "store/tablestore.h"

TableCursor::TableCursor(TableStore &store, QString tableName, QObject *parent)
    : QObject(parent), m_store(&store), m_table(std::move(tableName)), m_sqlTable(TableStore::sqlName(m_table)),
      m_def(m_table, {}), m_editor(store, m_def, m_table, m_sqlTable)
{
    store.addReader(this);
}

TableCursor::~TableCursor()
{
    if (m_store)
        m_store->removeReader(this);
}

// ---------------------------------------------------------------- opening

void TableCursor::Open()
{
    if (isOpen())
        return;
    RawQuery q(store(), SqlDialect::columnsSql(store()), {m_sqlTable});
    QVector<FieldDef> fields;
    while (q.next()) {
        const QString name = q.text(0);
        if (name.compare(QLatin1String("id"), Qt::CaseInsensitive) == 0)
            continue;
        const bool date = q.text(1).startsWith(QLatin1String("DATE"), Qt::CaseInsensitive);
        fields.append({name, date ? FieldKind::Date : FieldKind::Text});
    }
    if (fields.isEmpty())
        throw StoreError(QStringLiteral("Таблица %1 не найдена").arg(m_table));
    TableDef stored(m_table, fields);
    // The program's own tables are read and written by position: one whose
    // fields moved would put every value in the wrong place.
    if (const TableDef *expected = Schema::forTable(m_table)) {
        const QString difference = expected->firstDifference(stored);
        if (!difference.isEmpty())
            throw StoreError(
                QStringLiteral("Таблица %1 не той формы, что ждёт программа: %2").arg(m_table, difference));
    }
    m_def = std::move(stored);
    m_selectList = source().rowColumns();
    // The first read decides: a table the engine cannot read (a damaged
    // file) leaves the cursor closed, not open on nothing.
    standFirst();
    m_state = State::Browse;
    emit stateChanged();
    emit currentChanged();
    emit rowsChanged();   // bound grids read the rows afresh
}

void TableCursor::Close()
{
    if (!isOpen())
        return;
    m_state = State::Browse;
    clearRow();
    m_state = State::Inactive;
    emit stateChanged();
    emit rowsChanged();
}

void TableCursor::requireOpen() const
{
    if (!isOpen())
        throw StoreError(QStringLiteral("Таблица %1 не открыта").arg(m_table));
    store();   // its store may be closed since
}

void TableCursor::requireRow() const
{
    requireOpen();
    if (m_currentId == 0 && m_state != State::Insert)
        throw StoreError(QStringLiteral("Нет текущей записи"));
}

// ---------------------------------------------------------------- rows

// Another cursor is about to write, or the store closes.
void TableCursor::releaseStatement()
{
    dropLive();
}

// The current row leaves the statement: copy it out.
void TableCursor::keepRowOnly()
{
    if (!m_inPlace)
        return;
    m_row = m_live->packed(1, m_def.count());
    m_inPlace = false;
}

void TableCursor::dropLive()
{
    keepRowOnly();
    m_live.reset();
}

void TableCursor::loadRow(qint64 id, const PackedRow &row)
{
    m_live.reset();
    m_inPlace = false;
    m_currentId = id;
    m_row = row;
}

void TableCursor::clearRow()
{
    m_live.reset();
    m_inPlace = false;
    m_currentId = 0;
    m_row = PackedRow::pack(QVector<QString>(m_def.count()));
    m_editor.clear();
    m_eof = true;
    m_bof = true;
}

void TableCursor::land(bool found, bool atStart, bool atEnd)
{
    if (!found) {
        clearRow();
        return;
    }
    m_bof = atStart;
    m_eof = atEnd;
}

// Opens a statement over the visible rows after afterId and stands on the
// first of them. Changes nothing when there is none or the engine fails.
bool TableCursor::seekForward(qint64 afterId, int batch)
{
    // Where the statement cannot stay open between moves (a server
    // connection carries one at a time), it reads a batch of rows ahead:
    // a few after a jump, more and more as a walk goes on.
    const int largest = SqlDialect::forwardBatch(store());
    batch = largest > 0 ? std::clamp(batch, 16, largest) : 0;
    QVector<QVariant> binds{afterId};
    auto q = std::make_unique<RawQuery>(
        store(), source().select(m_selectList, {QStringLiteral("id > ?")}, binds,
                        batch > 0 ? QStringLiteral("ORDER BY id LIMIT %1").arg(batch) : QStringLiteral("ORDER BY id")),
        binds);
    if (!q->next())
        return false;
    m_live = std::move(q);
    m_liveBatch = batch;
    m_liveLeft = batch > 0 ? batch - 1 : -1;
    m_liveGeneration = store().generation();
    m_inPlace = true;
    m_currentId = m_live->integer(0);
    m_row = PackedRow();
    return true;
}

// Stands on the last visible row before beforeId (0: the last of all).
// Changes nothing when there is none or the engine fails.
bool TableCursor::fetchLast(qint64 beforeId)
{
    QVector<QVariant> binds;
    QStringList conds;
    if (beforeId > 0) {
        conds << QStringLiteral("id < ?");
        binds << beforeId;
    }
    RawQuery q(store(), source().select(m_selectList, conds, binds, QStringLiteral("ORDER BY id DESC LIMIT 1")), binds);
    if (!q.next())
        return false;
    loadRow(q.integer(0), q.packed(1, m_def.count()));
    return true;
}

void TableCursor::First()
{
    requireOpen();
    settle();
    standFirst();
    emit currentChanged();
}

void TableCursor::Last()
{
    requireOpen();
    settle();
    standPastEnd();
    emit currentChanged();
}

void TableCursor::Next()
{
    requireOpen();
    settle();
    if (m_currentId == 0) {
        m_eof = true;
        return;
    }
    if (m_inPlace && m_liveGeneration == store().generation() && m_liveLeft != 0) {
        // The common case of a walk: one step of the open statement.
        bool more = false;
        try {
            more = m_live->next();
        } catch (const Failure &) {
            // The statement is spent; the cursor stays on its row.
            m_live.reset();
            m_inPlace = false;
            m_row = PackedRow::pack(QVector<QString>(m_def.count()));
            try {
                m_row = fetchRow(m_currentId);
            } catch (const Failure &) {
            }
            throw;
        }
        if (more) {
            if (m_liveLeft > 0)
                --m_liveLeft;
            m_currentId = m_live->integer(0);
            land(true, false, false);
            emit currentChanged();
            return;
        }
        // Past the last row the statement no longer holds the current one.
        m_live.reset();
        m_inPlace = false;
        m_row = fetchRow(m_currentId);
        m_eof = true;
        return;
    }
    // Moved some other way, the data changed, or the batch read ahead is
    // spent: look again after this row.
    const bool walking = m_inPlace && m_liveLeft == 0 && m_liveGeneration == store().generation();
    keepRowOnly();
    if (!seekForward(m_currentId, walking ? m_liveBatch * 4 : 0)) {
        m_eof = true;
        return;
    }
    land(true, false, false);
    emit currentChanged();
}

void TableCursor::Prior()
{
    requireOpen();
    settle();
    if (m_currentId == 0 || !fetchLast(m_currentId)) {
        m_bof = true;   // stay on the first row
        return;
    }
    land(true, false, false);
    emit currentChanged();
}

bool TableCursor::IsEmpty()
{
    requireOpen();
    if (m_state == State::Insert)
        return false;
    QVector<QVariant> binds;
    RawQuery q(store(), source().select(QStringLiteral("1"), {}, binds, QStringLiteral("LIMIT 1")), binds);
    return !q.next();
}

void TableCursor::scanToEnd(const QVector<int> &fields, const std::function<void(const QByteArrayView *)> &visit)
{
    requireOpen();
    settle();
    if (m_currentId == 0 || m_eof)
        return;
    TableScan::walk(source(), m_currentId, fields, visit);
    standPastEnd();
    emit currentChanged();
}

void TableCursor::scanToEndSplit(const QVector<int> &first, const RowVisit &visitFirst, const QVector<int> &second,
                                 const RowVisit &visitSecond)
{
    requireOpen();
    settle();
    if (m_currentId == 0 || m_eof)
        return;
    TableScan::walkSplit(source(), m_currentId, first, visitFirst, second, visitSecond);
    standPastEnd();
    emit currentChanged();
}

std::optional<QStringList> TableCursor::distinctByLatest(int field, int limit) const
{
    requireOpen();
    return TableScan::distinctByLatest(source(), field, limit);
}

std::optional<TableScan::Statement> TableCursor::latestSeek(int field, int limit, qint64 lastId) const
{
    requireOpen();
    return TableScan::latestSeek(source(), field, limit, lastId);
}

qint64 TableCursor::hiddenCount() const
{
    requireOpen();
    return TableScan::hiddenCount(source());
}

bool TableCursor::moveToId(qint64 id)
{
    requireOpen();
    if (id == m_currentId && m_state == State::Browse) {
        m_bof = m_eof = false;   // standing on a row, not past the end
        return true;
    }
    settle();
    const PackedRow row = fetchRow(id);
    if (row.bounds.isEmpty())
        return false;
    loadRow(id, row);
    land(true, false, false);
    emit currentChanged();
    return true;
}

bool TableCursor::Locate(const QString &field, const QString &prefix)
{
    requireOpen();
    const int index = m_def.requireName(field);
    settle();
    const auto equal = [&](const QString &text) { return text.compare(prefix, Qt::CaseInsensitive) == 0; };
    if (m_currentId != 0 && equal(FieldText(index)))
        return true;

    // A text that is a whole value goes to that row, even where a longer
    // value it begins comes first ("Иван" before "Иван Петров"): otherwise
    // that row could never be reached by typing. Letter case is ignored for
    // every alphabet, so the comparison is done here rather than by the
    // engine (whose lower() knows only ASCII).
    QVector<QVariant> binds;
    RawQuery q(store(), source().select(QStringLiteral("id, ") + source().columns({index}), {}, binds,
                               QStringLiteral("ORDER BY id")),
               binds);
    qint64 firstBeginning = 0;
    while (q.next()) {
        const QString text = m_def.text(index, q.text(1));
        if (equal(text))
            return moveToId(q.integer(0));
        if (firstBeginning == 0 && text.startsWith(prefix, Qt::CaseInsensitive))
            firstBeginning = q.integer(0);
    }
    if (m_currentId != 0 && FieldText(index).startsWith(prefix, Qt::CaseInsensitive))
        return true;
    return firstBeginning != 0 && moveToId(firstBeginning);
}

// ---------------------------------------------------------------- editing

void TableCursor::Edit(Origin origin)
{
    requireOpen();
    if (m_state != State::Browse)
        return;
    requireRow();
    // Edit the row as it is stored now, not as this cursor last read it.
    const PackedRow fresh = fetchRow(m_currentId);
    if (fresh.bounds.isEmpty())
        throw StoreError(QStringLiteral("Запись была удалена"));
    loadRow(m_currentId, fresh);
    m_editor.begin(fresh.unpack(), m_audited && origin == Origin::Hand);
    m_state = State::Edit;
    emit stateChanged();
}

void TableCursor::Append(Origin origin)
{
    requireOpen();
    settle();
    m_prevId = m_currentId;
    dropLive();
    m_currentId = 0;
    m_editor.beginNew(m_audited && origin == Origin::Hand);
    m_state = State::Insert;
    emit stateChanged();
    emit currentChanged();
}

void TableCursor::Post()
{
    post(nullptr);
}

void TableCursor::PostIfStill(int field, const QString &text)
{
    requireOpen();
    if (m_state != State::Edit)
        throw StoreError(QStringLiteral("Запись не в режиме редактирования"));
    m_def.requireIndex(field);
    const RowEditor::Condition condition{field, m_editor.storedValue(field, text)};
    post(&condition);
}

void TableCursor::post(const RowEditor::Condition *condition)
{
    requireOpen();
    if (m_state == State::Browse)
        return;
    // On failure the row stays in editing, so nothing typed is lost.
    if (m_state == State::Insert)
        m_currentId = m_editor.insert();
    else
        m_editor.update(m_currentId, condition);
    const bool handEdit = m_editor.isHandEdit();
    m_state = State::Browse;
    m_live.reset();
    m_inPlace = false;
    m_row = PackedRow::pack(m_editor.values());
    m_editor.clear();
    land(true, false, false);
    store().bumpGeneration();
    if (handEdit && m_filters.inForce()) {
        // A hand edit the filters no longer show gives way to the nearest
        // visible row. The row is stored: a failed look leaves it current
        // rather than report a failure of a change that was made.
        try {
            if (!rowStillVisible(m_currentId))
                standNear(m_currentId);
        } catch (const Failure &) {
        }
    }
    emit stateChanged();
    emit rowsChanged();
    emit currentChanged();
}

void TableCursor::Cancel()
{
    requireOpen();
    if (m_state == State::Browse)
        return;
    const State was = m_state;
    m_state = State::Browse;
    m_editor.clear();
    emit stateChanged();
    if (was == State::Insert) {
        const PackedRow prev = m_prevId ? fetchRow(m_prevId) : PackedRow();
        if (!prev.bounds.isEmpty()) {
            loadRow(m_prevId, prev);
            emit currentChanged();
        } else {
            First();
        }
    } else {
        emit currentChanged();
    }
}

void TableCursor::settle()
{
    if (!editing())
        return;
    if (m_editor.isModified())
        Post();
    else
        Cancel();
}

void TableCursor::Delete()
{
    requireOpen();
    if (m_state == State::Insert) {
        Cancel();
        return;
    }
    if (m_state == State::Edit)
        Cancel();
    requireRow();
    const qint64 id = m_currentId;
    m_editor.remove(id, m_audited);
    store().bumpGeneration();
    standNear(id);
    emit rowsChanged();
    emit currentChanged();
}

void TableCursor::standNear(qint64 id)
{
    if (seekForward(id))
        m_eof = false;
    else
        land(fetchLast(id), m_bof, true);
}

void TableCursor::lookAfresh() const
{
    store().releaseReaders();
}

void TableCursor::Refresh()
{
    requireOpen();
    settle();
    // A fresh look: no open statement may hold an older view of the table
    // than what other programs have stored since.
    lookAfresh();
    if (m_currentId != 0 && rowStillVisible(m_currentId))
        loadRow(m_currentId, fetchRow(m_currentId));
    else
        standFirst();
    emit rowsChanged();
    emit currentChanged();
}
