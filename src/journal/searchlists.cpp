#include "journal/searchlists.h"

#include <vector>

#include "common/latesttexts.h"
#include "store/tablecursor.h"

SearchLists readSearchLists(TableCursor &view)
{
    SearchLists lists;
    view.First();
    if (view.IsEmpty())
        return lists;
    // Each list comes from its field's index in a few thousand seeks, unless
    // the filters hide many rows (each seek would step back over them), the
    // field has no index or a great many distinct texts: those fields are
    // read in one walk of the rows.
    constexpr int SeekLimit = 50000;
    const bool seek = view.hiddenCount() <= SeekLimit;
    QVector<int> walked, fields;
    for (int i = 0; i < SearchListCount; ++i) {
        const int field = int(SearchListFields[size_t(i)].field);
        std::optional<QStringList> texts;
        if (seek)
            texts = view.distinctByLatest(field, SeekLimit);
        if (texts) {
            lists[size_t(i)] = std::move(*texts);
        } else {
            walked << i;
            fields << field;
        }
    }
    if (!walked.isEmpty()) {
        std::vector<LatestTexts> sets(size_t(walked.size()));
        qint64 row = 0;
        view.scanToEnd(fields, [&](const QByteArrayView *values) {
            for (size_t i = 0; i < sets.size(); ++i)
                sets[i].take(values[i], row);
            ++row;
        });
        for (int i = 0; i < walked.size(); ++i)
            lists[size_t(walked[i])] = sets[size_t(i)].texts();
    }
    view.First();
    return lists;
}
