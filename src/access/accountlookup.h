#pragma once
// The account name lookup: an editable list bound to an account cursor,
// showing and matching the field "Имя пользователя".
//
// - The drop-down lists the names of all rows in table order; choosing one
//   puts it in the field and makes its row the cursor's current row.
// - Typing looks the text up with letter case ignored (TableCursor::Locate):
//   the field then shows the found name as stored, with the completed part
//   selected and the text cursor after the typed part, so typing on simply
//   replaces the completion. Backspace and Delete look up but do not
//   complete again, or the operator could never shorten the text.
// - Text that begins no name leaves the cursor where it was and stays as typed.
// - Clearing a field that held text moves the cursor to its first row.

#include <QComboBox>

class TableCursor;

class AccountNameLookup : public QComboBox
{
    Q_OBJECT
public:
    explicit AccountNameLookup(TableCursor *cursor, QWidget *parent = nullptr);

    TableCursor *cursor() const { return m_cursor; }

    QString text() const { return currentText(); }
    // Sets the text as the program does: no lookup, but an empty text after
    // a filled one moves the cursor to its first row.
    void setText(const QString &text);
    void clearText() { setText(QString()); }

    // Fills the drop-down with the names of all rows, keeping the text.
    void reloadNames();

    // Makes the cursor stand on the row the text names when it stands
    // elsewhere (the cursor may have been moved by a grid since the text
    // was typed). Store errors reach the general error report.
    void followText();

    void showPopup() override;

protected:
    // Keys reach the combo, which holds the focus and hands them on to its
    // line edit by calling event() directly: a filter on the line edit never
    // sees them, so the kind of edit is noted here.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void onTextEdited(const QString &text);
    void onEditTextChanged(const QString &text);
    void onActivated(int index);

    TableCursor *m_cursor;
    QString m_held;            // the text before the latest change
    bool m_deleting = false;   // the edit under way removes text
    bool m_reloading = false;
};
