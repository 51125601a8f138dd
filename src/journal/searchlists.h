#pragma once
// The six search lists of the journal page, read from the journal view: each
// holds every distinct text of its field once, in the order of the latest
// visible row carrying it (most recent last). Texts are compared byte for
// byte, letter case and blanks included; an empty text is an entry too.

#include <QString>
#include <QStringList>

#include <array>

class TableCursor;

struct SearchListField
{
    const char *field;      // journal field the list is filled from
    const char *comboName;  // the page's list showing it
};

inline constexpr int SearchListCount = 6;
using SearchLists = std::array<QStringList, SearchListCount>;

// Top to bottom as the page shows them.
inline constexpr std::array<SearchListField, SearchListCount> SearchListFields = {{
    {"Zakazchik", "ComboBox18"},
    {"FIO", "ComboBox14"},
    {"N_Avto", "ComboBox15"},
    {"AvtoPr", "ComboBox16"},
    {"Klad", "ComboBox17"},
    {"Tovar", "ComboBox13a"},
}};

// Reads the view's visible rows (its filters apply) and leaves it on its
// first row. Throws StoreError from the view.
SearchLists readSearchLists(TableCursor &view);
