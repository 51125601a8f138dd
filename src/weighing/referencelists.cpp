#include "weighing/referencelists.h"

#include <QHashFunctions>

#include "store/tablecursor.h"

size_t ReferenceList::Hash::operator()(std::string_view s) const noexcept
{
    return qHash(QByteArrayView(s.data(), qsizetype(s.size())), 0);
}

bool ReferenceList::take(QByteArrayView utf8)
{
    const std::string_view key(utf8.data(), size_t(utf8.size()));
    // The last slot is never empty: a text read again is appended anew.
    if (!m_order.empty() && m_order.back()->first == key)
        return false;

    auto it = m_index.find(key);
    if (it == m_index.end()) {
        it = m_index.emplace(std::string(key), qsizetype(m_order.size())).first;
    } else {
        m_order[size_t(it->second)] = nullptr;
        ++m_holes;
        it->second = qsizetype(m_order.size());
    }
    m_order.push_back(&*it);

    // Squeezing once the holes outnumber the entries keeps the vector within
    // twice the list's size at a constant cost per text read.
    if (m_holes > 64 && m_holes > size())
        squeeze();
    return true;
}

void ReferenceList::squeeze() const
{
    if (m_holes == 0)
        return;
    size_t out = 0;
    for (Entry *e : m_order) {
        if (!e)
            continue;
        e->second = qsizetype(out);
        m_order[out++] = e;
    }
    m_order.resize(out);
    m_holes = 0;
}

bool ReferenceList::contains(QByteArrayView utf8) const
{
    return m_index.find(std::string_view(utf8.data(), size_t(utf8.size()))) != m_index.end();
}

QByteArrayView ReferenceList::bytesAt(qsizetype row) const
{
    squeeze();
    if (row < 0 || row >= qsizetype(m_order.size()))
        return {};
    const std::string &s = m_order[size_t(row)]->first;
    return QByteArrayView(s.data(), qsizetype(s.size()));
}

QString ReferenceList::textAt(qsizetype row) const { return QString::fromUtf8(bytesAt(row)); }

QStringList ReferenceList::texts() const
{
    QStringList out;
    out.reserve(size());
    for (qsizetype i = 0; i < size(); ++i)
        out << textAt(i);
    return out;
}

ReferenceLists::Changes ReferenceLists::takeRow(const TableCursor &view)
{
    Changes changed{};
    for (int p = 0; p < WeighingRecord::EntryFieldCount; ++p)
        changed[size_t(p)] = m_lists[size_t(p)].take(view.FieldBytes(p));
    return changed;
}

ReferenceLists::Changes ReferenceLists::refresh(TableCursor &view)
{
    Changes changed{};
    if (view.IsEmpty())
        return changed;
    while (!view.AtEnd()) {
        for (int p = 0; p < WeighingRecord::EntryFieldCount; ++p)
            changed[size_t(p)] |= m_lists[size_t(p)].take(view.FieldBytes(p));
        view.Next();
    }
    return changed;
}
