#pragma once
// "Printing progress": a bar and "Cancel" for long work (printing, export).
// Modeless: the work runs on the window thread and calls setProgress() as it
// goes; the window lets events through now and then, so the main window stays
// responsive and the operator can press "Cancel", without costing anything
// per item.

#include <QDialog>
#include <QElapsedTimer>

class QProgressBar;
class QPushButton;

namespace report {

class ProgressWindow : public QDialog
{
    Q_OBJECT

public:
    explicit ProgressWindow(QWidget *parent = nullptr);

    // The number of items the work will report; the bar starts empty.
    void setRange(int maximum);
    // Items done so far. Shows the bar and processes pending events at most
    // every ProcessEventsMs milliseconds; cheap to call for every item.
    void setProgress(int value);
    // Whether the operator pressed "Cancel" (or closed the window).
    bool wasCancelled() const { return m_cancelled; }

    static constexpr int ProcessEventsMs = 50;

public slots:
    void reject() override;

private:
    void flush(int value);

    QProgressBar *m_bar = nullptr;
    QPushButton *m_cancel = nullptr;
    QElapsedTimer m_sinceEvents;
    bool m_cancelled = false;
};

} // namespace report
