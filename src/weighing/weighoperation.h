#pragma once
// The weigh operation: what the four mode buttons and "Взвесить" do.
//
// A first pass (TareBeforeLoading, GrossBeforeUnloading) appends a journal
// record through the main window's journal view. A second pass
// (GrossAfterLoading, TareAfterUnloading) completes the record chosen in the
// pending-truck window, through that window's own journal view, with the
// second weight and the net weight computed exactly on the decimal texts.
//
// The operator is told a pass is complete only after its record has been
// posted, that is, is on disk; a pass that fails before that leaves the
// weight displays as they were before the press. A second pass in another
// unit than the record's first weight is refused before anything is written. A completed record is never stored again: a
// second press of "Взвесить" without a new choice is refused with a message.
// Each stored pass also writes its record with the readings of the half
// minute before the press, and a link of the journal's hash chain, in the
// same transaction as the journal row (store/passlog.h); a pass whose record
// cannot be written is not stored, and the operator is told why.
// lastCompletedId() names the record the latest second pass completed; the
// consignment note ("Печать Накладной") is filled from it.

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>

#include "common/passtrace.h"
#include "store/hashchain.h"
#include "store/tablecursor.h"
#include "store/passlog.h"
#include "store/truckregister.h"
#include "weighing/weighingmode.h"
#include "weighing/weighlimits.h"

class EntryForm;
class TruckChoice;
class ReadingTrace;
class TnewDB;

class WeighOperation : public QObject
{
    Q_OBJECT
public:
    explicit WeighOperation(EntryForm *form);

    // The pending-truck window, created after the main window.
    void setPendingWindow(TnewDB *window);
    TnewDB *pendingWindow() const { return m_pending; }
    // The window that offers the register's trucks for a one-pass weighing.
    void setTruckChoice(TruckChoice *window);

    // The scale's limits and the age a stored tare may have (tools.ini).
    void setLimits(const WeighLimits &limits) { m_limits = limits; }
    const WeighLimits &limits() const { return m_limits; }

    // What choosing a mode button does: a first-pass mode resets the form; a
    // second-pass mode opens the pending-truck window and, when nothing is
    // chosen there, falls back to its first-pass partner; when the window
    // cannot list its trucks, previous stays selected. Throws Failure.
    void modeChosen(WeighingMode m, WeighingMode previous);

    // "Взвесить". Throws Failure: a store error, or a stored first weight or
    // an indicator date that does not read; nothing is written then.
    void Weigh();

    // The record the latest second pass completed; 0 while none was.
    qint64 lastCompletedId() const { return m_lastCompletedId; }
    // The record chosen in the pending-truck window for the coming second
    // pass; 0 when there is none (none chosen, or already completed).
    qint64 chosenRecordId() const { return m_chosenId; }
    // What the link decoded lately: each stored pass keeps the last half
    // minute of it as its evidence (BD_pass).
    ReadingTrace *readingTrace() const { return m_trace; }

signals:
    void firstPassStored(qint64 recordId);
    // A completed record the consignment note can be printed for.
    void secondPassCompleted(qint64 recordId);
    // The weight a pass takes, for the live-weight display while it runs; a
    // pass that fails before its record is stored withdraws it again.
    void weightTaken(const QString &weight);
    void weightWithdrawn();

private:
    struct Stamp
    {
        bool write = false;   // only the four known models date a pass
        QDateTime date;
        QString time;
    };

    // What the press saw: the readings before it and the computer's time.
    struct Press
    {
        QVector<TraceReading> trace;
        QDateTime at;
    };
    // Records the pass (BD_pass and its chain link) inside the post of its row.
    TableCursor::PostRecorder passRecorder(WeighingMode m, int pass, const QString &weight, const Press &press);
    bool checkFields();
    Stamp passStamp() const;
    void firstPass(WeighingMode m, const QString &weight, const Stamp &stamp, const Press &press);
    void secondPass(WeighingMode m, const QString &weight, const Stamp &stamp, const Press &press);
    bool choiceStillAwaiting(WeighingMode m, QString *refusal) const;
    bool sameUnitAsRecord(QString *refusal) const;
    void plainMessage(const QString &text) const;
    void refuse(const QString &text) const;
    QString unitText() const;
    // The store the journal view reads.
    TableStore &store() const;
    // The register's rules for this press: the one-pass weighing's truck and
    // its refusals, the permitted gross's question. False: nothing is stored.
    bool registerAllows(WeighingMode m, const QString &weight);
    // Stores the pass's tare as the truck's when "Запомнить тару" is ticked.
    TableCursor::PostRecorder remembering(WeighingMode m, TableCursor::PostRecorder recorder, const QString &tare,
                                          const Stamp &stamp) const;
    // The entry fields and the indicator's date and time, into the row being written.
    void writeEntryFields(TableCursor *view, const Stamp &stamp) const;
    void onePass(WeighingMode m, const QString &weight, const Stamp &stamp, const Press &press);

    EntryForm *m_form;
    QPointer<TnewDB> m_pending;
    QPointer<TruckChoice> m_truckChoice;
    WeighLimits m_limits;
    QString m_storedTareTruck;   // the truck chosen for a one-pass weighing; empty once used
    TruckRegister::Truck m_pressTruck;   // the register's row the one-pass weighing under way uses
    PassRecord m_notes;          // what the pass under way's BD_pass row says of its tare and an overload
    ReadingTrace *m_trace = nullptr;
    qint64 m_chosenId = 0;
    qint64 m_lastCompletedId = 0;
    bool m_stored = false; // the pass under way has posted its record
};
