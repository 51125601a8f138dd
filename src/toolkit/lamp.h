#pragma once
// A round green lamp, lit or dark.

#include <QWidget>

class Lamp : public QWidget
{
    Q_OBJECT
public:
    explicit Lamp(QWidget *parent = nullptr);
    bool isLit() const { return m_lit; }
    void setLit(bool lit);
    QSize sizeHint() const override { return QSize(16, 16); }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    bool m_lit = false;
};
