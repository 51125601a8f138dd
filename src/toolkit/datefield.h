#pragma once
// A date field with a drop-down calendar. It shows its date as dd.MM.yyyy;
// blank, it shows the template "  .  .    ". When the focus leaves it with a
// text that is neither blank nor a real date, it says so and takes the focus
// back.

#include <QDate>
#include <QWidget>

class QCalendarWidget;
class QLineEdit;
class QToolButton;

class DateField : public QWidget
{
    Q_OBJECT
public:
    static const QString BlankTemplate;   // "  .  .    "

    explicit DateField(QWidget *parent = nullptr);

    QString text() const;         // as shown
    QDate date() const;           // invalid when blank or not a date
    void setDate(const QDate &d);
    void clear();

    QLineEdit *editor() const { return m_edit; }
    QToolButton *dropButton() const { return m_drop; }
    // The drop-down calendar; shown by the button.
    QCalendarWidget *calendar() const { return m_calendar; }
    void showCalendar();

protected:
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    QLineEdit *m_edit = nullptr;
    QToolButton *m_drop = nullptr;
    QCalendarWidget *m_calendar = nullptr;
};
