#pragma once
// The operator login window "Авторизация пользователя", with the
// administrator sign-in and the editing of both account lists.

#include <QDialog>

class TableCursor;

class kladov : public QDialog
{
    Q_OBJECT
public:
    // Opens the operator and administrator cursors. Throws StoreError when an
    // account table cannot be opened.
    explicit kladov(QWidget *parent = nullptr);
    ~kladov() override;

    TableCursor *operatorCursor() const { return m_operators; }
    TableCursor *administratorCursor() const { return m_administrators; }

protected:
    void closeEvent(QCloseEvent *e) override;
    void done(int r) override;

private:
    class Private;
    Private *d = nullptr;
    TableCursor *m_operators = nullptr;
    TableCursor *m_administrators = nullptr;
};
