#include "toolkit/datefield.h"

#include <QCalendarWidget>
#include <QEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>

#include "common/errorreport.h"

const QString DateField::BlankTemplate = QStringLiteral("  .  .    ");

DateField::DateField(QWidget *parent) : QWidget(parent)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("DateText"));
    // Blanks for the digits not typed yet: the blank field reads as the template.
    m_edit->setInputMask(QStringLiteral("99.99.9999; "));
    m_edit->installEventFilter(this);
    row->addWidget(m_edit, 1);
    m_drop = new QToolButton(this);
    m_drop->setObjectName(QStringLiteral("DateDrop"));
    m_drop->setText(QStringLiteral("▾"));
    m_drop->setFocusPolicy(Qt::NoFocus);
    row->addWidget(m_drop);
    setFocusProxy(m_edit);

    m_calendar = new QCalendarWidget(this);
    m_calendar->setWindowFlags(Qt::Popup);
    m_calendar->setGridVisible(true);
    m_calendar->hide();
    connect(m_drop, &QToolButton::clicked, this, &DateField::showCalendar);
    connect(m_calendar, &QCalendarWidget::clicked, this, [this](QDate d) {
        setDate(d);
        m_calendar->hide();
        m_edit->setFocus();
    });
    connect(m_calendar, &QCalendarWidget::activated, m_calendar, &QWidget::hide);
}

QString DateField::text() const { return m_edit->displayText(); }

QDate DateField::date() const { return QDate::fromString(text(), QStringLiteral("dd.MM.yyyy")); }

void DateField::setDate(const QDate &d)
{
    if (d.isValid())
        m_edit->setText(d.toString(QStringLiteral("dd.MM.yyyy")));
    else
        clear();
}

void DateField::clear() { m_edit->clear(); }

void DateField::showCalendar()
{
    m_calendar->setSelectedDate(date().isValid() ? date() : QDate::currentDate());
    m_calendar->adjustSize();
    m_calendar->move(mapToGlobal(QPoint(0, height())));
    m_calendar->show();
    m_calendar->setFocus();
}

bool DateField::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == m_edit && e->type() == QEvent::FocusOut && !m_calendar->isVisible()) {
        const QString shown = text();
        if (shown != BlankTemplate && !date().isValid()) {
            // After the focus change is over, or the box would fight it.
            QTimer::singleShot(0, this, [this, shown] {
                showErrorReport(QStringLiteral("\"%1\" - неправильная дата").arg(shown));
                m_edit->activateWindow();
                m_edit->setFocus();
            });
        }
    }
    return QWidget::eventFilter(watched, e);
}
