#include "toolkit/report/progresswindow.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace report {

ProgressWindow::ProgressWindow(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ProgressWindow"));
    setWindowTitle(QStringLiteral("Printing progress"));
    setModal(false);

    m_bar = new QProgressBar(this);
    m_bar->setRange(0, 0);
    m_bar->setTextVisible(true);
    m_bar->setMinimumWidth(300);

    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("CancelButton"));
    connect(m_cancel, &QPushButton::clicked, this, &ProgressWindow::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_bar);
    layout->addLayout(buttons);
}

void ProgressWindow::setRange(int maximum)
{
    m_cancelled = false;
    m_bar->setRange(0, qMax(0, maximum));
    m_bar->setValue(0);
    // The first progress shows the window at once.
    m_sinceEvents.invalidate();
}

void ProgressWindow::setProgress(int value)
{
    // The bar repaints at once when its value changes, and processEvents()
    // costs far more than an item of work: both wait for the next slot.
    if (m_sinceEvents.isValid() && m_sinceEvents.elapsed() < ProcessEventsMs)
        return;
    flush(value);
}

void ProgressWindow::flush(int value)
{
    m_bar->setValue(qBound(m_bar->minimum(), value, m_bar->maximum()));
    QCoreApplication::processEvents();
    m_sinceEvents.start();
}

void ProgressWindow::reject()
{
    m_cancelled = true;
    QDialog::reject();
}

} // namespace report
