#pragma once
// Distinct texts with the number of the last row that carried each, for
// walks of every row of a journal that may hold a million: the texts back
// to back in one buffer, found through an open-addressing index, so that a
// probe costs next to nothing and a text read again costs no allocation.
// Texts are compared byte for byte (UTF-8).

#include <QByteArrayView>
#include <QStringList>

#include <string>
#include <vector>

class LatestTexts
{
public:
    // The text was read on this row; rows are numbered ascending.
    void take(QByteArrayView text, qint64 row);

    qsizetype size() const { return qsizetype(m_entries.size()); }
    // The texts by their latest row, earliest first; the views are valid
    // while the set lives and takes nothing more.
    std::vector<QByteArrayView> byLatest() const;
    QStringList texts() const;

private:
    struct Entry
    {
        size_t offset;
        size_t length;
        quint32 hash;
        qint64 row;
    };
    struct Bucket
    {
        quint32 hash;
        qint32 entry;   // entry index + 1; 0 when free
    };

    bool holds(const Entry &e, QByteArrayView text) const;
    void grow();

    std::string m_text;
    std::vector<Entry> m_entries;
    std::vector<Bucket> m_table;
    qint32 m_last = -1;
};
