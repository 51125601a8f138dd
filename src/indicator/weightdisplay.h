#pragma once
// Weight displays that always show the whole weight text. A weight that does
// not fit is drawn in a smaller font, never cut: a clipped leading character
// turns -123456,789 into 123456,789, and a negative weight must never read as
// positive.

#include <QFont>
#include <QLabel>

class QLineEdit;

// The live weight display (RxLabel2) and any label that shows a weight.
class WeightLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;

    // The font the text is drawn in now: the label's own font, or a smaller
    // one of the same face when the text would not fit the width otherwise.
    QFont fittedFont() const;

    // The text decides the font, not the room: a long weight never widens
    // the panel.
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};

// Makes a read-only line edit (the tare, gross and net displays) shrink its
// font whenever its text would not fit, from the font it has now.
void keepWholeWeightText(QLineEdit *display);

// The largest font of base's face, not larger than base, in which text fits
// width pixels; the smallest tried when nothing fits.
QFont fontThatFits(const QFont &base, const QString &text, int width);
