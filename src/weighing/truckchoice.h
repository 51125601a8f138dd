#pragma once
// The window "Выбор машины с сохранённой тарой": before a one-pass weighing
// the operator says which truck of the register is on the scale. It lists the
// register's trucks over a view of its own and is used as the pending-truck
// window is: " Выбрать" fills the entry form from the truck's latest journal
// record (the fields stay editable, as for a first pass) and shows its stored
// tare; "Отмена" and the close box choose nothing.

#include <QDialog>

class QPushButton;
class CursorGrid;
class CursorModel;
class EntryForm;
class TableCursor;

class TruckChoice : public QDialog
{
    Q_OBJECT
public:
    explicit TruckChoice(EntryForm *form, QWidget *parent = nullptr);
    ~TruckChoice() override;

    // Shows the window modally. True when a truck was chosen. Throws
    // Failure, the window unshown, when the register cannot be read.
    bool choose();
    // The chosen truck's number; empty unless chosen at the last showing.
    const QString &chosenNumber() const { return m_chosen; }

    void ChooseClick();
    CursorGrid *grid() const { return m_grid; }
    TableCursor *registerView() const { return m_view; }

protected:
    void showEvent(QShowEvent *e) override;

private:
    EntryForm *m_form;
    TableCursor *m_view;
    CursorModel *m_model = nullptr;
    CursorGrid *m_grid = nullptr;
    QPushButton *m_choose = nullptr;
    QPushButton *m_cancel = nullptr;
    QString m_chosen;
};
