#pragma once
// The record of every stored pass (table BD_pass): which journal row and
// which pass, the mode, the weight and unit as stored, when by the computer
// and by the indicator's clock where it has one, who, at which station, and
// the readings of the half minute before the press (common/passtrace.h).
// written in the transaction that posts the pass, together with the pass's
// link of the hash chain, so that a pass whose record cannot be written is
// not stored at all.

#include <QString>
#include <QVector>

#include "common/passtrace.h"
#include "store/hashchain.h"

class TableStore;

namespace Tables {
inline const QString Passes = QStringLiteral("BD_pass");
}

struct PassRecord
{
    qint64 id = 0;
    qint64 rowId = 0;       // the journal row
    int pass = 1;           // 1 or 2
    QString mode;           // the mode button's caption
    QString weight;         // as stored in the journal
    QString unit;
    QString at;             // the computer's date and time, yyyy-MM-dd HH:mm:ss.zzz
    QString indicatorDate;  // the indicator's clock; empty for a model without one
    QString indicatorTime;
    QString operatorName;
    QString station;        // the computer's host name
    QVector<TraceReading> trace;
    QString encodedTrace;   // as stored (read back); encode(trace) when written
    // A one-pass weighing takes its tare from the truck register: where it
    // came from. Empty (0) for a weighed tare.
    QString tareFrom;       // "stored" or empty
    QString tareDay;        // yyyy-MM-dd, the day the stored tare was weighed
    qint64 tareRow = 0;     // the journal row the stored tare came from
    // A gross above the truck's permitted gross that the operator chose to
    // store: "<gross> > <permitted> <unit>"; empty when there was none.
    QString overload;

    // The pass's link of the chain, vouching for this record and for the
    // journal fields the pass wrote.
    ChainEntry chainEntry(const FieldValues &journalValues) const;
    // The record's facts as the link states them.
    FieldValues facts() const;
    FieldValues laterFacts() const;   // the stored tare and the overload, when there are any
};

namespace PassLog {

// Creates BD_pass when it is missing; true when it was created. Throws StoreError.
bool ensureTable(TableStore &store);
// Adds to a BD_pass made before them the columns of a stored tare and an
// overload; the names of the columns added. Throws StoreError.
QStringList ensureColumns(TableStore &store);
// Those columns, which a BD_pass made before them lacks.
const QStringList &laterColumns();
// BD_pass (with all its columns) and BD_chain are there: a pass can be recorded.
bool available(TableStore &store);

// Writes the record (its id is set) and the chain's link for it with the
// journal fields the pass wrote. Inside the pass's transaction. Throws StoreError.
void write(TableStore &store, PassRecord &record, const FieldValues &journalValues);

// The passes of a journal row, oldest first. Throws StoreError.
QVector<PassRecord> forRow(TableStore &store, qint64 rowId);

// SHA-256 of a stored trace, as the link holds it.
QString traceDigest(const QString &encodedTrace);

}
