#include "app/truckswindow.h"

#include <QVBoxLayout>

#include "common/errorreport.h"
#include "common/failure.h"
#include "store/tablecursor.h"
#include "store/truckregister.h"
#include "toolkit/cursorgrid.h"
#include "toolkit/cursormodel.h"
#include "toolkit/navigator.h"
#include "toolkit/widgetlook.h"

TrucksWindow::TrucksWindow(TableStore &store, QWidget *parent)
    : QDialog(parent), m_view(new TableCursor(store, Tables::Trucks, this))
{
    setObjectName(QStringLiteral("TrucksWindow"));
    setWindowTitle(QStringLiteral("Справочник машин"));
    setFont(windowFont());
    resize(830, 360);
    // An administrator's change of a stored tare is a hand edit like one of the journal.
    m_view->setAudited(true);

    // Wide enough for each title.
    static const int widths[TruckRegister::ColumnCount] = {100, 70, 60, 155, 130, 110, 165};
    QVector<GridColumn> columns;
    for (int c = 0; c < TruckRegister::ColumnCount; ++c)
        columns.append({TruckRegister::columnNames()[c], TruckRegister::columnTitle(c), widths[c]});
    m_model = new CursorModel(m_view, columns, this);
    m_grid = new CursorGrid(this);
    m_grid->setObjectName(QStringLiteral("TrucksGrid"));
    m_grid->setCursorModel(m_model);
    m_grid->setEditable(true);
    m_navigator = new DbNavigator(this);
    m_navigator->setObjectName(QStringLiteral("TrucksNavigator"));
    m_navigator->setCursor(m_view);

    auto *col = new QVBoxLayout(this);
    col->addWidget(m_grid, 1);
    col->addWidget(m_navigator, 0, Qt::AlignLeft);
}

TrucksWindow::~TrucksWindow()
{
    delete m_grid;
    m_grid = nullptr;
}

void TrucksWindow::showRegister()
{
    if (!TruckRegister::available(m_view->store()))
        throw StoreError(QStringLiteral("В базе данных нет справочника машин (BD_trucks). "
                                        "Его добавит команда krodalin-db init, выполненная для папки программы."));
    if (!m_view->isOpen())
        m_view->Open();
    m_view->Refresh();
    m_view->First();
    show();
    raise();
    activateWindow();
}

void TrucksWindow::done(int r)
{
    // A row left in editing is settled as a move would settle it; when that
    // fails the window stays open with the row, and the operator is told why.
    if (m_view->isOpen() && !runGuarded([&] { m_view->settle(); }))
        return;
    QDialog::done(r);
}
