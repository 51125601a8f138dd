#pragma once
// DBnew: the window "Выбор машины для взвешивания", in which the operator
// says which waiting truck is on the scale before its second pass.
//
// It has its own journal view, opened when the window is created and kept
// for the whole run. Each showing filters that view to the records awaiting
// the chosen pass ("[Ok_tara]='1'" for "Брутто после погрузки",
// "[Ok_brutto]='1'" for "Тара после разгрузки") and starts at the first of
// them. " Выбрать" loads the current row into the entry form and sets the
// result flag CheckOK2; the row stays the view's current row, which the
// second pass then completes.

#include <QDialog>

#include "weighing/weighingmode.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class CursorGrid;
class CursorModel;
class EntryForm;
class TableCursor;

class TnewDB : public QDialog
{
    Q_OBJECT
public:
    // Opens the view (a failure is reported, the window is still made). The
    // start order hands the window to the form's weigh operation.
    explicit TnewDB(EntryForm *form, QWidget *parent = nullptr);
    ~TnewDB() override;

    // The window's journal view; its current row is the chosen record.
    TableCursor *journalView() const { return m_view; }

    // Shows the window modally for a second-pass mode. True when a record
    // was chosen (the result flag). Throws Failure, the window unshown, when
    // the trucks cannot be read.
    bool choose(WeighingMode mode);
    WeighingMode mode() const { return m_mode; }

    bool CheckOK2() const;         // the result flag
    qint64 chosenId() const { return m_chosenId; } // 0 unless chosen at the last showing

    void ChooseClick();   // " Выбрать"
    void CancelClick();   // "Отмена"

    CursorGrid *grid() const { return m_grid; }
    QPushButton *chooseButton() const { return m_choose; }
    QPushButton *cancelButton() const { return m_cancel; }

protected:
    void showEvent(QShowEvent *e) override;

private:
    void createLayout();
    void FormShow();   // before the window shows

    EntryForm *m_form;
    TableCursor *m_view;
    CursorModel *m_model = nullptr;
    CursorGrid *m_grid = nullptr;
    QPushButton *m_choose = nullptr;
    QPushButton *m_cancel = nullptr;
    QCheckBox *m_checkOK2 = nullptr;
    QLineEdit *m_okTara = nullptr;
    QLineEdit *m_okBrutto = nullptr;
    WeighingMode m_mode = WeighingMode::GrossAfterLoading;
    qint64 m_chosenId = 0;
};
