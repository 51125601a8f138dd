#pragma once
// The ten-button navigator of a table: first, prior, next, last, insert,
// delete, edit, post, cancel, refresh. Delete asks "Delete record?" and
// deletes only on yes. Store errors are shown by the general error report.

#include <QWidget>
#include <functional>

class QToolButton;
class TableCursor;

class DbNavigator : public QWidget
{
    Q_OBJECT
public:
    enum Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh, Count };

    explicit DbNavigator(QWidget *parent = nullptr);
    void setCursor(TableCursor *cursor);
    QToolButton *button(Button b) const { return m_buttons[b]; }
    void press(Button b);   // what a click does
    // Asked before a delete, ahead of the confirmation; false keeps the row
    // (the check tells the operator why).
    void setDeleteCheck(std::function<bool()> check) { m_deleteCheck = std::move(check); }

private:
    void updateButtons();

    TableCursor *m_cursor = nullptr;
    std::function<bool()> m_deleteCheck;
    QToolButton *m_buttons[Count] = {};
};
