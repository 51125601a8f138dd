#include "toolkit/cursorgrid.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QStyledItemDelegate>

#include "common/errorreport.h"
#include "toolkit/cursormodel.h"
#include "toolkit/typedtext.h"

namespace {

// A cell is one line, as every entry field is: a pasted line break becomes a blank.
class OneLineDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override
    {
        QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto *line = qobject_cast<QLineEdit *>(editor))
            keepOneLine(line);
        return editor;
    }
};

}

CursorGrid::CursorGrid(QWidget *parent) : QTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setVisible(false);
    setAlternatingRowColors(false);
    setItemDelegate(new OneLineDelegate(this));
}

void CursorGrid::setCursorModel(CursorModel *model)
{
    m_model = model;
    // A row leaving the model (an appended row posted or cancelled) moves the
    // selection to a neighbour; that is no row chosen by the operator, and
    // the cursor must stay where it is. Connected before the view's own
    // selection handling, which moves the selection while rows are removed.
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this] { m_syncing = true; });
    connect(model, &QAbstractItemModel::rowsRemoved, this, [this] {
        m_syncing = false;
        followCursor(m_model->currentRow(false));
    });
    setModel(model);
    for (int c = 0; c < model->columns().size(); ++c)
        if (model->columns()[c].width > 0)
            setColumnWidth(c, model->columns()[c].width);
    connect(model, &CursorModel::currentRowChanged, this, &CursorGrid::followCursor);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) { onRowChosen(current); });
    connect(model, &QAbstractItemModel::modelReset, this,
            [this] { followCursor(m_model->currentRow(isVisible())); });

    followCursor(model->currentRow(false));
}

void CursorGrid::setEditable(bool on)
{
    if (m_model)
        m_model->setEditable(on);
    setEditTriggers(on ? (QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                          | QAbstractItemView::AnyKeyPressed)
                       : QAbstractItemView::NoEditTriggers);
}

void CursorGrid::showEvent(QShowEvent *e)
{
    QTableView::showEvent(e);
    if (m_model)
        followCursor(m_model->currentRow(true));
}

void CursorGrid::followCursor(int row)
{
    if (!m_model || m_syncing)
        return;
    if (row < 0 && isVisible())
        row = m_model->currentRow(true);
    m_syncing = true;
    if (row >= 0) {
        const int column = currentIndex().isValid() ? currentIndex().column() : 0;
        const QModelIndex idx = m_model->index(row, column);
        selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(idx);
    } else {
        selectionModel()->clearSelection();
    }
    m_syncing = false;
}

void CursorGrid::onRowChosen(const QModelIndex &current)
{
    if (m_syncing || !m_model || !current.isValid())
        return;
    m_syncing = true;
    runGuarded([&] { m_model->moveCursorTo(current.row()); });
    m_syncing = false;
}
