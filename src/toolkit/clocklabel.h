#pragma once
// A label that shows the computer's time of day and keeps it running.

#include <QLabel>
#include <QTimer>

class ClockLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ClockLabel(QWidget *parent = nullptr);

private:
    void refresh();
    QTimer m_timer;
};
