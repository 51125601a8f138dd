#include "indicator/weightdisplay.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>

namespace {

constexpr int SmallestPixelSize = 6;
// QLineEdit keeps this much room beside its text (QLineEditPrivate's margin).
constexpr int LineEditTextMargin = 2;

// Watches a line edit's text and size and sets the font that fits.
class LineEditFitter : public QObject
{
public:
    LineEditFitter(QLineEdit *display) : QObject(display), m_display(display), m_base(display->font())
    {
        connect(display, &QLineEdit::textChanged, this, &LineEditFitter::fit);
        display->installEventFilter(this);
        fit();
    }

    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Resize)
            fit();
        return false;
    }

private:
    void fit()
    {
        const QMargins m = m_display->textMargins();
        const int width =
            m_display->contentsRect().width() - m.left() - m.right() - 2 * LineEditTextMargin - 1;
        const QFont f = fontThatFits(m_base, m_display->text(), width);
        if (f != m_display->font())
            m_display->setFont(f);
        // Whatever the font, the text is read from its start.
        m_display->setCursorPosition(0);
    }

    QLineEdit *m_display;
    QFont m_base;
};

} // namespace

QFont fontThatFits(const QFont &base, const QString &text, int width)
{
    QFont f = base;
    if (text.isEmpty() || QFontMetrics(f).horizontalAdvance(text) <= width)
        return f;
    const bool pixels = base.pixelSize() > 0;
    int size = pixels ? base.pixelSize() : int(base.pointSizeF() + 0.5);
    while (size > SmallestPixelSize) {
        --size;
        if (pixels)
            f.setPixelSize(size);
        else
            f.setPointSize(size);
        if (QFontMetrics(f).horizontalAdvance(text) <= width)
            break;
    }
    return f;
}

QFont WeightLabel::fittedFont() const { return fontThatFits(font(), text(), contentsRect().width() - 2 * margin()); }

QSize WeightLabel::minimumSizeHint() const
{
    const QSize hint = QLabel::minimumSizeHint();
    return {qMin(hint.width(), QFontMetrics(font()).horizontalAdvance(QStringLiteral("0,000"))), hint.height()};
}

void WeightLabel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    drawFrame(&p);
    const QRect r = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    p.setFont(fittedFont());
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
    p.drawText(r, int(alignment()) | Qt::TextSingleLine, text());
}

void keepWholeWeightText(QLineEdit *display) { new LineEditFitter(display); }
