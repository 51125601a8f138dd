#pragma once
// The window "Справочник машин": the truck register (BD_trucks) in a grid
// with its navigator, for the administrator to correct a stored tare, set a
// truck's permitted gross weight or remove a truck. Opened from the settings
// page while its panel is unlocked; every change leaves its trail in BD_audit.

#include <QDialog>

class CursorGrid;
class CursorModel;
class DbNavigator;
class TableCursor;
class TableStore;

class TrucksWindow : public QDialog
{
    Q_OBJECT
public:
    // The register of the store.
    explicit TrucksWindow(TableStore &store, QWidget *parent = nullptr);
    ~TrucksWindow() override;

    // Shows the register as stored now. Throws Failure when it cannot be read.
    void showRegister();

    TableCursor *registerView() const { return m_view; }
    CursorGrid *grid() const { return m_grid; }
    DbNavigator *navigator() const { return m_navigator; }

protected:
    void done(int r) override;

private:
    TableCursor *m_view;
    CursorModel *m_model = nullptr;
    CursorGrid *m_grid = nullptr;
    DbNavigator *m_navigator = nullptr;
};
