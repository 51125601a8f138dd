#include "access/kladov.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

#include "access/accountcheck.h"
#include "access/accountlookup.h"
#include "access/loginpictures.h"
#include "access/passwordfield.h"
#include "common/session.h"
#include "common/errorreport.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "toolkit/cursorgrid.h"
#include "toolkit/cursormodel.h"
#include "toolkit/navigator.h"
#include "toolkit/widgetlook.h"

namespace {

const QString LoginTitle = QStringLiteral("Авторизация пользователя");
const QString AdminTitle = QStringLiteral("Авторизация администратора");
const QString PasswordPrompt = QStringLiteral("Введите пароль");

constexpr QSize StartSize{316, 304};
constexpr QSize ReturnSize{330, 310};
constexpr QSize EditingSize{640, 330};

QLabel *label(const QString &name, const QString &text, QWidget *parent, const QRect &geometry)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setGeometry(geometry);
    return l;
}

QLabel *picture(const QString &name, const QImage &image, QWidget *parent, QPoint at)
{
    auto *l = new QLabel(parent);
    l->setObjectName(name);
    l->setPixmap(QPixmap::fromImage(image));
    l->setGeometry(QRect(at, image.size()));
    return l;
}

QPushButton *button(const QString &name, const QString &caption, QWidget *parent, const QRect &geometry)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setGeometry(geometry);
    return b;
}

QVector<GridColumn> accountColumns()
{
    return {{AccountFields::Name, AccountFields::Name, 168}, {AccountFields::Password, AccountFields::Password, 110}};
}

// Where the login and sign-in layouts put their controls; the two layouts
// share the places, and the editing area lies to the right of both.
const QRect NameLabelRect(94, 80, 212, 16);
const QRect NameFieldRect(94, 97, 212, 22);
const QRect PasswordLabelRect(94, 128, 212, 16);
const QRect PasswordFieldRect(94, 145, 212, 22);
const QPoint PersonPictureAt(12, 78);
const QRect LeftButtonRect(12, 196, 145, 30);
const QRect RightButtonRect(161, 196, 145, 30);
const QRect WideButtonRect(12, 236, 294, 30);
constexpr int EditX = 332;
constexpr int EditWidth = 300;

} // namespace

kladov::kladov(TableStore &store, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("kladov"));
    createCursors(store);
    createLayout();
    showLayout(Layout::Login);
    setClientSize(StartSize);
}

kladov::~kladov() = default;

void kladov::createCursors(TableStore &store)
{
    m_operators = new TableCursor(store, Tables::Operators, this);
    m_operators->setObjectName(QStringLiteral("OperatorAccounts"));
    m_administrators = new TableCursor(store, Tables::Administrators, this);
    m_administrators->setObjectName(QStringLiteral("AdministratorAccounts"));
    m_operators->Open();
    m_administrators->Open();
}

void kladov::createLayout()
{
    setWindowTitle(LoginTitle);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                   | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint);
    setSizeGripEnabled(false);

    setFont(windowFont());

    m_header = picture(QStringLiteral("HeaderPicture"), drawLoginHeader(), this, QPoint(0, 0));
    m_header->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    createLoginArea();
    createSignInArea();
    createEditingArea();
    createTabOrder();
}

void kladov::createLoginArea()
{
    m_operatorPicture = picture(QStringLiteral("OperatorPicture"), drawOperatorPicture(), this, PersonPictureAt);
    m_operatorNameLabel = label(QStringLiteral("OperatorNameLabel"), QStringLiteral("Введите Ф.И.О."), this, NameLabelRect);
    m_operatorName = new AccountNameLookup(m_operators, this);
    m_operatorName->setObjectName(QStringLiteral("OperatorName"));
    m_operatorName->setGeometry(NameFieldRect);
    m_operatorNameLabel->setBuddy(m_operatorName);
    m_operatorPasswordLabel = label(QStringLiteral("OperatorPasswordLabel"), PasswordPrompt, this, PasswordLabelRect);
    m_operatorPassword = passwordField(QStringLiteral("OperatorPassword"), this, PasswordFieldRect);
    m_operatorPasswordLabel->setBuddy(m_operatorPassword);

    m_continue = button(QStringLiteral("ContinueButton"), QStringLiteral("Продолжить работу"), this, LeftButtonRect);
    setHint(m_continue, {QStringLiteral("Проверка пароля пользователя"), QStringLiteral("и вход в систему")});
    m_exit = button(QStringLiteral("ExitButton"), QStringLiteral("  Выход"), this, RightButtonRect);
    setHint(m_exit, {QStringLiteral("Завершение работы")});
    m_changeList = button(QStringLiteral("ChangeListButton"), QStringLiteral("Изменить список пользователей"), this,
                          WideButtonRect);
    setHint(m_changeList, {QStringLiteral("Авторизация Администратора "),
                           QStringLiteral("Изменение списока пользователей и паролей")});

    connect(m_continue, &QPushButton::clicked, this, [this] { ContinueClick(); });
    connect(m_exit, &QPushButton::clicked, this, [this] { ExitClick(); });
    connect(m_changeList, &QPushButton::clicked, this, [this] { ChangeListClick(); });
}

void kladov::createSignInArea()
{
    m_adminPicture = picture(QStringLiteral("AdministratorPicture"), drawAdministratorPicture(), this, PersonPictureAt);
    m_adminNameLabel = label(QStringLiteral("AdministratorNameLabel"), QStringLiteral("Выбирете администратора"), this,
                             NameLabelRect);
    m_adminName = new AccountNameLookup(m_administrators, this);
    m_adminName->setObjectName(QStringLiteral("AdministratorName"));
    m_adminName->setGeometry(NameFieldRect);
    m_adminNameLabel->setBuddy(m_adminName);
    m_adminPasswordLabel = label(QStringLiteral("AdministratorPasswordLabel"), PasswordPrompt, this, PasswordLabelRect);
    m_adminPassword = passwordField(QStringLiteral("AdministratorPassword"), this, PasswordFieldRect);
    m_adminPasswordLabel->setBuddy(m_adminPassword);

    m_ok = button(QStringLiteral("OkButton"), QStringLiteral("OK"), this, LeftButtonRect);
    setHint(m_ok, {QStringLiteral("Проверка пароля администратора"), QStringLiteral("и вход в систему")});
    m_signInCancel = button(QStringLiteral("SignInCancelButton"), QStringLiteral("Отмена"), this, RightButtonRect);
    setHint(m_signInCancel, {QStringLiteral("Выход в главное меню")});

    connect(m_ok, &QPushButton::clicked, this, [this] { SignInClick(); });
    connect(m_signInCancel, &QPushButton::clicked, this, [this] { CancelClick(); });
}

void kladov::createEditingArea()
{
    m_largePicture = picture(QStringLiteral("LargePicture"), drawAccountsPicture(), this, QPoint(8, 8));

    m_operatorsLabel = label(QStringLiteral("OperatorsLabel"),
                             QStringLiteral("Редактирование Имени и паролей Пользователей!!!"), this,
                             QRect(EditX, 6, EditWidth, 16));
    m_operatorGrid = new CursorGrid(this);
    m_operatorGrid->setObjectName(QStringLiteral("OperatorGrid"));
    m_operatorGrid->setGeometry(EditX, 24, EditWidth, 108);
    m_operatorGrid->setCursorModel(new CursorModel(m_operators, accountColumns(), m_operatorGrid));
    m_operatorGrid->setEditable(true);
    m_operatorGrid->horizontalHeader()->setStretchLastSection(true);
    m_operatorNavigator = new DbNavigator(this);
    m_operatorNavigator->setObjectName(QStringLiteral("OperatorNavigator"));
    m_operatorNavigator->setGeometry(EditX, 134, EditWidth, 24);
    m_operatorNavigator->setCursor(m_operators);
    m_operatorNavigator->setDeleteCheck([this] { return mayDelete(m_operators); });

    m_adminsLabel = label(QStringLiteral("AdministratorsLabel"),
                          QStringLiteral("Редактирование Имени и пароля Администратора!!!"), this,
                          QRect(EditX, 166, EditWidth, 16));
    m_adminGrid = new CursorGrid(this);
    m_adminGrid->setObjectName(QStringLiteral("AdministratorGrid"));
    m_adminGrid->setGeometry(EditX, 184, EditWidth, 108);
    m_adminGrid->setCursorModel(new CursorModel(m_administrators, accountColumns(), m_adminGrid));
    m_adminGrid->setEditable(true);
    m_adminGrid->horizontalHeader()->setStretchLastSection(true);
    m_adminNavigator = new DbNavigator(this);
    m_adminNavigator->setObjectName(QStringLiteral("AdministratorNavigator"));
    m_adminNavigator->setGeometry(EditX, 294, EditWidth, 24);
    m_adminNavigator->setCursor(m_administrators);
    m_adminNavigator->setDeleteCheck([this] { return mayDelete(m_administrators); });

    m_save = button(QStringLiteral("SaveButton"), QStringLiteral("Сохранить и выход"), this, QRect(8, 292, 154, 30));
    setHint(m_save, {QStringLiteral("Сохранить изминения и выход в главное меню")});
    m_editCancel = button(QStringLiteral("EditCancelButton"), QStringLiteral("Отмена"), this, QRect(166, 292, 154, 30));
    setHint(m_editCancel, {QStringLiteral("Выход в главное меню")});

    connect(m_save, &QPushButton::clicked, this, [this] { SaveClick(); });
    connect(m_editCancel, &QPushButton::clicked, this, [this] { CancelClick(); });
}

void kladov::createTabOrder()
{
    // "Продолжить работу" comes first, so it holds the focus at start.
    const QList<QWidget *> order = {m_continue,  m_operatorName, m_operatorPassword, m_exit,
                                    m_changeList, m_adminName,   m_adminPassword,    m_ok,
                                    m_signInCancel, m_operatorGrid, m_operatorNavigator, m_adminGrid,
                                    m_adminNavigator, m_save,     m_editCancel};
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

// ---------------------------------------------------------------- layouts

void kladov::showLayout(Layout layout)
{
    m_layout = layout;
    const bool login = layout == Layout::Login;
    const bool signIn = layout == Layout::SignIn;
    const bool editing = layout == Layout::Editing;

    // Hide first, so that the focus never lands on a control about to go.
    const QList<QWidget *> loginWidgets = {m_operatorPicture, m_operatorNameLabel, m_operatorName,
                                           m_operatorPasswordLabel, m_operatorPassword, m_continue,
                                           m_exit, m_changeList};
    const QList<QWidget *> signInWidgets = {m_adminPicture, m_adminNameLabel, m_adminName,
                                            m_adminPasswordLabel, m_adminPassword, m_ok, m_signInCancel};
    const QList<QWidget *> editingWidgets = {m_largePicture,  m_operatorsLabel, m_operatorGrid,
                                             m_operatorNavigator, m_adminsLabel, m_adminGrid,
                                             m_adminNavigator, m_save,        m_editCancel};
    const auto setShown = [](const QList<QWidget *> &widgets, bool shown) {
        for (QWidget *w : widgets)
            w->setVisible(shown);
    };
    if (!login)
        setShown(loginWidgets, false);
    if (!signIn)
        setShown(signInWidgets, false);
    if (!editing)
        setShown(editingWidgets, false);
    m_header->setVisible(!editing);
    setShown(loginWidgets, login);
    setShown(signInWidgets, signIn);
    setShown(editingWidgets, editing);

    m_continue->setDefault(login);
    m_ok->setDefault(signIn);

    if (login)
        m_continue->setFocus();
    else if (signIn)
        m_ok->setFocus();
    else
        m_operatorGrid->setFocus();
}

void kladov::setClientSize(QSize size)
{
    setFixedSize(size);
    if (m_layout != Layout::Editing) {
        m_header->setPixmap(QPixmap::fromImage(drawLoginHeader(QSize(size.width(), LoginHeaderSize.height()))));
        m_header->setGeometry(0, 0, size.width(), LoginHeaderSize.height());
    }
    ::centreOnDesktop(this);
}

void kladov::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (!m_shownOnce) {
        m_shownOnce = true;
        ::centreOnDesktop(this);   // the frame is known only now
        if (m_layout == Layout::Login)
            m_continue->setFocus();
    }
}

void kladov::keyPressEvent(QKeyEvent *e)
{
    // Escape is the sign-in's "Отмена"; elsewhere it does nothing, so that
    // a stray key press never closes the window (and with it the program).
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        if (m_layout == Layout::SignIn)
            CancelClick();
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

// ---------------------------------------------------------------- buttons

void kladov::refuse(const QString &text, const QString &title, QWidget *focus)
{
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, this);
    box.exec();
    if (focus)
        focus->setFocus();
}

void kladov::ContinueClick()
{
    const QString name = m_operatorName->text();
    if (name.isEmpty()) {
        refuse(QStringLiteral("Введите Ф.И.О."), LoginTitle, nullptr);
        return;
    }
    m_operatorName->followText();
    const std::optional<Account> account = currentAccount(*m_operators);
    if (!signInPasses(name, m_operatorPassword->text(), account)) {
        refuse(PasswordPrompt, LoginTitle, m_operatorPassword);
        return;
    }
    // The stored spelling goes into the journal, not the typed one.
    Session::OperatorName = account->name;
    Session::LoginOk = 1;
    accept();
}

void kladov::ExitClick()
{
    Session::LoginOk = 0;
    close();
}

void kladov::ChangeListClick()
{
    showLayout(Layout::SignIn);
    runGuarded([&] {
        if (!m_administrators->isOpen()) {
            m_administrators->Open();
            // The grid bound to the cursor re-reads its rows on a refresh.
            m_administrators->Refresh();
            m_adminName->followText();
        }
    });
    m_adminName->reloadNames();
}

void kladov::SignInClick()
{
    const QString name = m_adminName->text();
    if (name.isEmpty()) {
        refuse(QStringLiteral("Введите Имя Администратора"), AdminTitle, m_adminName);
        return;
    }
    m_adminName->followText();
    if (!signInPasses(name, m_adminPassword->text(), currentAccount(*m_administrators))) {
        refuse(PasswordPrompt, AdminTitle, m_adminPassword);
        return;
    }
    showLayout(Layout::Editing);
    setClientSize(EditingSize);
    m_adminPassword->clear();
}

void kladov::SaveClick()
{
    // A failed post leaves the window in the editing layout, the row still
    // in editing, and the engine's message on the screen.
    if (!runGuarded([&] {
            m_operators->settle();
            m_administrators->settle();
        }))
        return;
    runGuarded([&] { m_administrators->Close(); });
    m_adminPassword->clear();
    backToLogin();
}

void kladov::CancelClick()
{
    // What the grids stored stays stored; an edit not stored yet is dropped
    // now, before a lookup could post it by moving its cursor, or a sign-in
    // take a password nobody saved.
    runGuarded([&] {
        for (TableCursor *accounts : {m_operators, m_administrators})
            if (accounts->isOpen())
                accounts->Cancel();
    });
    backToLogin();
}

void kladov::backToLogin()
{
    // The list may hold accounts added or renamed in the grid.
    m_operatorName->reloadNames();
    showLayout(Layout::Login);
    setClientSize(ReturnSize);
}

bool kladov::mayDelete(TableCursor *accounts)
{
    // Deleting the last account of a list would leave nobody to sign in
    // with it, and only an administrator can add accounts in the program.
    if (accounts->state() == TableCursor::State::Insert || accounts->visibleCount() > 1)
        return true;
    const bool admins = accounts == m_administrators;
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Внимание"),
                    admins ? QStringLiteral("Последнего администратора удалить нельзя: без него никто не сможет "
                                            "изменить список пользователей и настройки программы.")
                           : QStringLiteral("Последнего пользователя удалить нельзя: без него никто не сможет "
                                            "войти в программу."),
                    QMessageBox::Ok, this);
    box.exec();
    return false;
}

// ---------------------------------------------------------------- closing

void kladov::FormClose()
{
    const QString typed = m_operatorName->text();
    const std::optional<Account> account = currentAccount(*m_operators);
    const bool passes = signInPasses(typed, m_operatorPassword->text(), account);
    Session::OperatorName = passes ? account->name : typed;
    if (typed.isEmpty())
        m_terminate = true;
    if (!passes)
        Session::LoginOk = 0;
}

void kladov::done(int r)
{
    FormClose();
    QDialog::done(r);
    if (m_terminate && m_execDepth == 0)
        requestTermination();
}

int kladov::exec()
{
    QPointer<kladov> self(this);
    ++m_execDepth;
    const int result = QDialog::exec();
    if (!self)
        return result;
    --m_execDepth;
    // Asked from inside our own loop, an exit would end only that loop: the
    // request goes to whichever loop runs next, the application's own.
    if (m_terminate)
        requestTermination();
    return result;
}

void kladov::requestTermination()
{
    if (m_terminationPosted)
        return;
    m_terminationPosted = true;
    // Queued: the login runs before the application's loop exists, and an
    // exit asked for before that loop starts would be forgotten when it does.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}
