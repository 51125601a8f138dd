#pragma once
// "Доказательства взвешивания": what the indicator showed at each pass of a
// journal row. Per pass, a plot of the weight over the half minute before
// "Взвесить" (the stable stretches marked, the press as a line, the stored
// weight as a point) and the pass's facts in a small table; "Печать" opens
// the same as a report in the print preview (print, PDF). A row weighed
// before passes were recorded says "Нет сведений о взвешивании" and nothing
// more. Made once by the start order and kept; showRow() fills and shows it.

#include <QDialog>
#include <QVector>
#include <memory>

#include "store/passlog.h"

class QLabel;
class QPushButton;
class QTableWidget;
class QVBoxLayout;
namespace report {
class Report;
}
class QChart;
class QChartView;
class TableStore;

class EvidenceWindow : public QDialog
{
    Q_OBJECT
public:
    static const QString NoEvidenceText;   // "Нет сведений о взвешивании"

    // The passes of the store's journal rows.
    explicit EvidenceWindow(TableStore &store, QWidget *parent = nullptr);
    ~EvidenceWindow() override;

    // Reads the passes of the journal row and shows them. Throws StoreError.
    void showRow(qint64 rowId);
    // The same without showing (for the report alone, and tests).
    void load(qint64 rowId);

    qint64 rowId() const { return m_rowId; }
    const QVector<PassRecord> &passes() const { return m_passes; }
    // Per pass, in order: its plot ("PassChart1", ...) and facts ("PassFacts1", ...).
    QVector<QChartView *> charts() const { return m_charts; }
    QVector<QTableWidget *> factTables() const { return m_facts; }
    QLabel *noEvidenceLabel() const { return m_none; }      // "NoEvidenceLabel"
    QPushButton *printButton() const { return m_print; }   // "EvidencePrintButton"
    // The report of the passes shown, laid out when first asked for.
    report::Report *report();

    // The facts of a pass as the table and the report show them: (caption, value).
    static QVector<QPair<QString, QString>> factsOf(const PassRecord &pass);
    // A plot of a pass, for the window and for the report.
    static QChart *makeChart(const PassRecord &pass);

private:
    void clearPasses();
    void fillReport();

    TableStore &m_store;
    qint64 m_rowId = 0;
    QVector<PassRecord> m_passes;
    QVBoxLayout *m_passLayout = nullptr;
    QWidget *m_passArea = nullptr;
    QLabel *m_none = nullptr;
    QPushButton *m_print = nullptr;
    QVector<QChartView *> m_charts;
    QVector<QTableWidget *> m_facts;
    std::unique_ptr<report::Report> m_report;
    bool m_reportFilled = false;
};
