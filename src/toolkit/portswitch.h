#pragma once
// The port switch: a two-state switch. A left click toggles it, and so does
// Ctrl+A while it has the keyboard focus. Setting the state it already has
// does nothing; a change emits switchedOn() or switchedOff() after the state
// has changed, so the switch shows on even when switching on then fails.

#include <QAbstractButton>

class PortSwitch : public QAbstractButton
{
    Q_OBJECT
public:
    explicit PortSwitch(QWidget *parent = nullptr);

    bool isOn() const { return isChecked(); }
    void setOn(bool on);   // emits switchedOn/switchedOff only on a change

    QSize sizeHint() const override;

signals:
    void switchedOn();
    void switchedOff();

protected:
    void paintEvent(QPaintEvent *) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    void onToggled(bool checked);
};
