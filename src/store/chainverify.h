#pragma once
// The check of the hash chain (store/hashchain.h) against the tables, for
// `krodalin-db verify`. It walks the links in order and recomputes each
// hash; compares each link with the pass record or the trail rows it was
// written from; then replays the links row by row into what every logged
// journal row must hold now and compares that with the journal. Rows from
// before the chain started are counted, not checked. The whole check reads
// one moment of the database, also while stations go on weighing.

#include <QString>
#include <QVector>

class TableStore;

namespace ChainVerify {

struct Finding
{
    enum class Kind {
        Changed,        // a field holds another value than the chain says
        Added,          // a journal row the chain knows nothing of
        Deleted,        // a row the chain has, gone from the journal
        Undeleted,      // a row the program deleted, back in the journal
        SourceChanged,  // a pass record or a trail row differs from its link
        SourceMissing,  // ... or is gone
        SourceAdded     // a pass record or trail row no link vouches for
    };
    Kind kind;
    QString table;      // "BD_main.db", "BD_pass", "BD_audit"
    qint64 rowId = 0;
    QString field;
    QString chainValue; // what the chain says (null: nothing)
    QString tableValue; // what the table holds (null: nothing)
};

struct Report
{
    QVector<Finding> findings;
    qint64 links = 0;
    qint64 firstBrokenLink = 0;   // id of the first link whose hash does not follow; 0: none
    qint64 lastLinkId = 0;
    QString lastLink;
    qint64 loggedRows = 0;        // journal rows the chain vouches for
    qint64 unloggedRows = 0;      // rows from before the chain
    bool ok() const { return findings.isEmpty() && firstBrokenLink == 0 && links > 0; }
};

// Checks the store. Throws StoreError (no chain, say).
Report run(TableStore &store);

// One line a finding, in the operator's words.
QString describe(const Finding &f);

}
