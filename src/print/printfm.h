#pragma once
// The consignment note: the values of one journal record printed at fixed
// places onto a pre-printed blank form (A4 landscape), nothing else. The
// note report and its print settings live from start to end of the program;
// the settings are never stored.

#include <QObject>
#include <QStringList>

#include "print/journalrow.h"
#include "toolkit/report/report.h"

class QWidget;

namespace note {

// Where each of the seventeen texts goes: the top-left corner of the text in
// millimetres from the sheet's top-left corner, and its size in points.
struct Place
{
    double yMm;
    double xMm;
    double pointSize;
};
inline constexpr int ItemCount = 17;
extern const Place Places[ItemCount];

// The seventeen texts of a record, in the order of Places: the date cut into
// day (characters 1-2), month (4-5) and year digit (10 and on), the truck
// line "make, number", and the other fields as stored, each line break a
// blank. An empty row (a view without rows) gives seventeen empty texts.
QStringList noteTexts(const JournalRow &row);

report::PageGeometry geometry();
report::Page layoutPage(const QStringList &texts);

}

class printfm : public QObject
{
    Q_OBJECT
public:
    explicit printfm(QObject *parent = nullptr);

    report::Report &report() { return m_report; }
    // The texts of the last fill.
    const QStringList &texts() const { return m_texts; }

    // Sets the copies count, fills the note from row and opens its preview
    // over parent; when a preview of the note is open already, that one shows
    // the new fill and no second one opens. The preview is a window of its
    // own: this returns at once and the other windows stay usable.
    void FillAndPreviewNote(const JournalRow &row, int copies, QWidget *parent);
    // The printer set-up dialog of the note ("   Настройки принтера").
    void PrinterSetupClick(QWidget *parent);

private:
    report::Report m_report;
    QStringList m_texts;
};
