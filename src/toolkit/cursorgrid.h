#pragma once
// A grid bound to a CursorModel: its selection is the cursor's current row,
// and choosing a row moves the cursor there.

#include <QTableView>

class CursorModel;

class CursorGrid : public QTableView
{
    Q_OBJECT
public:
    explicit CursorGrid(QWidget *parent = nullptr);
    void setCursorModel(CursorModel *model);   // also applies the column widths
    CursorModel *cursorModel() const { return m_model; }
    // Cells can be typed into (and the model accepts them) only when editable.
    void setEditable(bool on);

protected:
    void showEvent(QShowEvent *e) override;

private:
    void followCursor(int row);
    void onRowChosen(const QModelIndex &current);

    CursorModel *m_model = nullptr;
    bool m_syncing = false;
};
