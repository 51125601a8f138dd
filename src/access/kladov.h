#pragma once
// The operator login window "Авторизация пользователя", with the
// administrator sign-in and the editing of both account lists.
//
// Three layouts share the window: the login layout (at start), the sign-in
// layout of an administrator, and the editing layout with both account
// grids. The window keeps a cursor on each account table for the whole run.
//
// Closing, by any means, sets Session::OperatorName; a failed sign-in leaves
// Session::LoginOk at 0, and an empty operator name ends the program.

#include <QDialog>

class AccountNameLookup;
class CursorGrid;
class CursorModel;
class DbNavigator;
class QLabel;
class QLineEdit;
class QPushButton;
class TableCursor;
class TableStore;

class kladov : public QDialog
{
    Q_OBJECT
public:
    enum class Layout { Login, SignIn, Editing };

    // Opens the operator and administrator cursors. Throws StoreError when an
    // account table cannot be opened.
    // The sign-in over the store's account tables.
    explicit kladov(TableStore &store, QWidget *parent = nullptr);
    ~kladov() override;

    TableCursor *operatorCursor() const { return m_operators; }
    TableCursor *administratorCursor() const { return m_administrators; }
    Layout currentLayout() const { return m_layout; }

    // True once the window was closed with an empty operator name: the
    // application has been asked to end.
    bool terminationRequested() const { return m_terminate; }

    // Shown modally before the application's own loop runs; an end of the
    // program asked for meanwhile is handed on to that loop.
    int exec() override;

    // --- the buttons
    void ContinueClick();     // "Продолжить работу"
    void ExitClick();         // "  Выход"
    void ChangeListClick();   // "Изменить список пользователей"
    void SignInClick();       // "OK"
    void SaveClick();         // "Сохранить и выход"
    void CancelClick();       // "Отмена" of the sign-in and the editing layout

protected:
    // Every way of closing ends here: the buttons and the close box alike.
    void done(int r) override;
    void keyPressEvent(QKeyEvent *e) override;
    void showEvent(QShowEvent *e) override;

private:
    void createCursors(TableStore &store);
    void createLayout();
    void createLoginArea();
    void createSignInArea();
    void createEditingArea();
    void createTabOrder();

    void FormClose();
    void showLayout(Layout layout);
    void backToLogin();
    // Asked before a stored account row is deleted; refuses the last one.
    bool mayDelete(TableCursor *accounts);
    void setClientSize(QSize size);
    void refuse(const QString &text, const QString &title, QWidget *focus);
    void requestTermination();

    TableCursor *m_operators = nullptr;
    TableCursor *m_administrators = nullptr;
    Layout m_layout = Layout::Login;
    bool m_terminate = false;
    bool m_terminationPosted = false;
    int m_execDepth = 0;
    bool m_shownOnce = false;

    // shared by the login and the sign-in layout
    QLabel *m_header = nullptr;

    // login layout
    QLabel *m_operatorPicture = nullptr;
    QLabel *m_operatorNameLabel = nullptr;
    AccountNameLookup *m_operatorName = nullptr;
    QLabel *m_operatorPasswordLabel = nullptr;
    QLineEdit *m_operatorPassword = nullptr;
    QPushButton *m_changeList = nullptr;
    QPushButton *m_continue = nullptr;
    QPushButton *m_exit = nullptr;

    // sign-in layout
    QLabel *m_adminPicture = nullptr;
    QLabel *m_adminNameLabel = nullptr;
    AccountNameLookup *m_adminName = nullptr;
    QLabel *m_adminPasswordLabel = nullptr;
    QLineEdit *m_adminPassword = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_signInCancel = nullptr;

    // editing layout
    QLabel *m_largePicture = nullptr;
    QLabel *m_operatorsLabel = nullptr;
    CursorGrid *m_operatorGrid = nullptr;
    DbNavigator *m_operatorNavigator = nullptr;
    QLabel *m_adminsLabel = nullptr;
    CursorGrid *m_adminGrid = nullptr;
    DbNavigator *m_adminNavigator = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_editCancel = nullptr;
};
