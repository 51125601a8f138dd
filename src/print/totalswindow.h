#pragma once
// "Итоги": the totals of the completed weighings over a period, per
// customer, goods, truck, consignor or day and, if chosen, a second level.
// "Показать" counts on a worker thread with a connection of its own, so the
// window keeps answering over a million-row journal, and then opens the
// report (A4 portrait: the title with the period and the time it was made,
// a line per group, subtotals, the grand total per unit) in the print
// preview, from which it is printed or saved as PDF.
//
// The window does not know the journal page: whoever makes it hands it the
// filter lines of the page's search, taken when "учитывать условия поиска"
// is ticked.

#include <QDateTime>
#include <QThread>
#include <QWidget>
#include <functional>
#include <memory>

#include "print/totals.h"
#include "toolkit/report/report.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class DateField;

namespace totalsreport {

report::PageGeometry geometry();
// Lines a page holds under its title and column header.
int linesPerPage();
// The report's pages; an empty result still has its page with the grand total.
QVector<report::Page> layout(const Totals::Result &result, const QDateTime &made);

}

class TotalsWindow : public QWidget
{
    Q_OBJECT
public:
    using SearchLines = std::function<QStringList()>;
    // The totals of the store's journal.
    TotalsWindow(TableStore &store, SearchLines searchLines, QWidget *parent = nullptr);
    ~TotalsWindow() override;

    // The request the fields make now. Throws Failure for a period that ends before it begins.
    Totals::Request request() const;
    // "Показать": counts the totals; the preview opens when they are there.
    void showTotals();
    bool isCounting() const { return m_thread != nullptr; }

    report::Report &report() { return m_report; }
    const Totals::Result &result() const { return m_result; }

    DateField *dateFrom() const { return m_from; }            // "TotalsDateFrom"
    DateField *dateTo() const { return m_to; }                // "TotalsDateTo"
    QComboBox *groupingBox() const { return m_first; }        // "TotalsGrouping"
    QComboBox *secondBox() const { return m_second; }         // "TotalsSecondGrouping"
    QCheckBox *searchBox() const { return m_useSearch; }      // "TotalsUseSearch"
    QPushButton *showButton() const { return m_show; }        // "TotalsShowButton"

signals:
    // The totals were counted and their report laid out (or the count failed).
    void counted();

private:
    void createLayout();
    void finish(const QDateTime &made);

    TableStore &m_store;
    SearchLines m_searchLines;
    DateField *m_from = nullptr;
    DateField *m_to = nullptr;
    QComboBox *m_first = nullptr;
    QComboBox *m_second = nullptr;
    QCheckBox *m_useSearch = nullptr;
    QPushButton *m_show = nullptr;
    QLabel *m_state = nullptr;
    report::Report m_report;

    QThread *m_thread = nullptr;
    std::shared_ptr<Totals::Reading> m_reading;
    Totals::Result m_result;
    QString m_error;
};
