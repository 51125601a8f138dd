#pragma once
// The six search lists of the journal page, read from the journal view: each
// holds every distinct text of its field once, in the order of the latest
// visible row carrying it (most recent last). Texts are compared byte for
// byte, letter case and blanks included; an empty text is an entry too.

#include <QString>
#include <QStringList>

#include <array>

#include "store/schema.h"

class TableCursor;

struct SearchListField
{
    WeighingRecord::Field field;   // journal field the list is filled from
    const char *comboName;  // the page's list showing it
};

inline constexpr int SearchListCount = 6;
using SearchLists = std::array<QStringList, SearchListCount>;

// Top to bottom as the page shows them.
inline constexpr std::array<SearchListField, SearchListCount> SearchListFields = {{
    {WeighingRecord::Zakazchik, "ComboBox18"},
    {WeighingRecord::FIO, "ComboBox14"},
    {WeighingRecord::N_Avto, "ComboBox15"},
    {WeighingRecord::AvtoPr, "ComboBox16"},
    {WeighingRecord::Klad, "ComboBox17"},
    {WeighingRecord::Tovar, "ComboBox13a"},
}};

// Reads the view's visible rows (its filters apply) and leaves it on its
// first row. Throws StoreError from the view.
SearchLists readSearchLists(TableCursor &view);
