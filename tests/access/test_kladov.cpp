// The login window: the name lookup, the operator login and its refusals,
// the closing rules that end the program, the administrator sign-in and the
// editing of both account lists, all on a real SQLite database.

#include <QAbstractItemView>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>

#include "access/accountcheck.h"
#include "access/accountlookup.h"
#include "access/kladov.h"
#include "common/session.h"
#include "keyboard.h"
#include "messageboxes.h"
#include "common/failure.h"
#include "store/schema.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "toolkit/cursorgrid.h"
#include "toolkit/cursormodel.h"
#include "toolkit/navigator.h"
#include "tempdatabase.h"

namespace {

const QString LoginTitle = QStringLiteral("Авторизация пользователя");
const QString AdminTitle = QStringLiteral("Авторизация администратора");

const QString Ivanov = QStringLiteral("Иванов Иван Петрович");
const QString Petrov = QStringLiteral("Петров Пётр");
const QString Ivanova = QStringLiteral("Иванова Анна");
const QString NoPassword = QStringLiteral("Без Пароля");
const QString Admin = QStringLiteral("Администратор");
const QString Chief = QStringLiteral("Главный");

// A program folder whose account tables hold a few operators and two
// administrators.
class Accounts
{
public:
    Accounts()
    {
        Schema::addAccount(m_db.store(), Tables::Operators, Ivanov, QStringLiteral("ivan1"));
        Schema::addAccount(m_db.store(), Tables::Operators, Petrov, QStringLiteral("Pass"));
        Schema::addAccount(m_db.store(), Tables::Operators, Ivanova, QStringLiteral("anna"));
        Schema::addAccount(m_db.store(), Tables::Operators, NoPassword, QString(""));
        Schema::addAccount(m_db.store(), Tables::Administrators, Admin, QStringLiteral("Admin"));
        Schema::addAccount(m_db.store(), Tables::Administrators, Chief, QStringLiteral("root"));
    }

    TableStore &store() const { return m_db.store(); }

private:
    TempDatabase m_db;
};

// Puts the keyboard focus into a field as a click or Tab would, and returns
// the widget a keyboard's keys then reach (for a name lookup, the combo box
// itself, not its inner line edit).
QWidget *focusOn(QWidget *field)
{
    QWidget *window = field->window();
    if (!window->isVisible()) {
        window->show();
        if (!QTest::qWaitForWindowExposed(window))
            qWarning("window not exposed");
    }
    QApplication::setActiveWindow(window);
    field->setFocus(Qt::OtherFocusReason);
    QWidget *focused = QApplication::focusWidget();
    if (!focused || (focused != field && focused->focusProxy() != field && field->focusProxy() != focused))
        qWarning("the focus is not in %s", qPrintable(field->objectName()));
    return focused;
}

// What a person types into a field, one key at a time (QTest::keyClicks knows Latin only).
void typeText(QWidget *field, const QString &text)
{
    QWidget *focused = focusOn(field);
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, focused, Qt::Key(ch.toUpper().unicode()), QString(ch), Qt::NoModifier);
}

void pressKey(QWidget *field, Qt::Key key)
{
    QTest::keyClick(focusOn(field), key);
}

QString storedPassword(TableStore &store, const QString &table, const QString &name)
{
    TableCursor c(store, table);
    c.Open();
    for (c.First(); !c.AtEnd(); c.Next())
        if (c.FieldText(AccountFields::Name) == name)
            return c.FieldText(AccountFields::Password);
    return QStringLiteral("<no such account>");
}

// Clicks a cell of a grid and types there; a tab moves to the next cell.
void typeIntoGrid(CursorGrid *grid, int row, int column, const QString &text)
{
    const QRect cell = grid->visualRect(grid->model()->index(row, column));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    const QStringList parts = text.split(QLatin1Char('\t'));
    for (int i = 0; i < parts.size(); ++i) {
        if (i > 0)
            key(grid->window(), Qt::Key_Tab);
        type(grid->window(), parts[i]);
    }
}

// Runs the application's own loop, as the start order does after the login,
// and returns its exit code; 99 when nothing ended it within the time.
int runApplicationLoop(int watchdogMs)
{
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    watchdog.start(watchdogMs);
    return QCoreApplication::exec();
}

// The login window with its controls at hand.
struct Login
{
    explicit Login(TableStore &store) : dlg(std::make_unique<kladov>(store))
    {
        name = dlg->findChild<AccountNameLookup *>(QStringLiteral("OperatorName"));
        password = dlg->findChild<QLineEdit *>(QStringLiteral("OperatorPassword"));
        adminName = dlg->findChild<AccountNameLookup *>(QStringLiteral("AdministratorName"));
        adminPassword = dlg->findChild<QLineEdit *>(QStringLiteral("AdministratorPassword"));
        operatorGrid = dlg->findChild<CursorGrid *>(QStringLiteral("OperatorGrid"));
        adminGrid = dlg->findChild<CursorGrid *>(QStringLiteral("AdministratorGrid"));
    }
    QPushButton *button(const char *name) const { return dlg->findChild<QPushButton *>(QLatin1String(name)); }
    void show()
    {
        dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
    }
    // Types the administrator's name and password and presses "OK".
    void signInAdmin(const QString &typed, const QString &pw)
    {
        button("ChangeListButton")->click();
        typeText(adminName, typed);
        adminPassword->setText(pw);
        button("OkButton")->click();
    }

    std::unique_ptr<kladov> dlg;
    AccountNameLookup *name = nullptr;
    QLineEdit *password = nullptr;
    AccountNameLookup *adminName = nullptr;
    QLineEdit *adminPassword = nullptr;
    CursorGrid *operatorGrid = nullptr;
    CursorGrid *adminGrid = nullptr;
};

QPoint screenCentre()
{
    return QGuiApplication::primaryScreen()->availableGeometry().center();
}

} // namespace

class TestKladov final : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        Session::LoginOk = 0;
        Session::OperatorName.clear();
    }

    void signInRule_data();
    void signInRule();
    void layoutsTextsAndHints();
    void lookupTyping_data();
    void lookupTyping();
    void lookupBackspaceDoesNotComplete_data();
    void lookupBackspaceDoesNotComplete();
    void lookupDropDownAndClearing();
    void continueWork_data();
    void continueWork();
    void closingRules_data();
    void closingRules();
    void adminSignIn_data();
    void adminSignIn();
    void saveStoresEditedAccounts_data();
    void saveStoresEditedAccounts();
    void cancelKeepsOnlyStoredRows();
    void signInAfterTheGrids_data();
    void signInAfterTheGrids();
    void lastAccountIsKept_data();
    void lastAccountIsKept();
    void missingAccountTable();
};

void TestKladov::signInRule_data()
{
    QTest::addColumn<QString>("typedName");
    QTest::addColumn<QString>("typedPassword");
    QTest::addColumn<bool>("hasRow");
    QTest::addColumn<bool>("passes");

    QTest::newRow("same name and password") << Ivanov << "ivan1" << true << true;
    QTest::newRow("name in another case") << Ivanov.toUpper() << "ivan1" << true << true;
    QTest::newRow("password in another case") << Ivanov << "IVAN1" << true << false;
    QTest::newRow("wrong password") << Ivanov << "ivan" << true << false;
    QTest::newRow("only the beginning of the name") << "Иванов" << "ivan1" << true << false;
    QTest::newRow("a letter more") << Ivanov + "а" << "ivan1" << true << false;
    QTest::newRow("empty name") << "" << "ivan1" << true << false;
    QTest::newRow("no row found") << Ivanov << "ivan1" << false << false;
}

void TestKladov::signInRule()
{
    QFETCH(QString, typedName);
    QFETCH(QString, typedPassword);
    QFETCH(bool, hasRow);
    QFETCH(bool, passes);
    const std::optional<Account> row =
        hasRow ? std::optional<Account>(Account{Ivanov, QStringLiteral("ivan1")}) : std::nullopt;
    QCOMPARE(signInPasses(typedName, typedPassword, row), passes);
}

void TestKladov::layoutsTextsAndHints()
{
    Accounts db;
    Login l(db.store());
    kladov &dlg = *l.dlg;
    l.show();

    QCOMPARE(dlg.windowTitle(), LoginTitle);
    QCOMPARE(dlg.size(), QSize(316, 304));
    QCOMPARE(dlg.minimumSize(), dlg.maximumSize());
    const Qt::WindowFlags flags = dlg.windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));
    QCOMPARE(dlg.frameGeometry().center(), screenCentre());
    QCOMPARE(dlg.currentLayout(), kladov::Layout::Login);

    // The focus starts on "Продолжить работу", the default button.
    QCOMPARE(dlg.focusWidget(), l.button("ContinueButton"));
    QVERIFY(l.button("ContinueButton")->isDefault());

    const auto text = [&](const char *name) { return dlg.findChild<QLabel *>(QLatin1String(name))->text(); };
    QCOMPARE(text("OperatorNameLabel"), QStringLiteral("Введите Ф.И.О."));
    QCOMPARE(text("OperatorPasswordLabel"), QStringLiteral("Введите пароль"));
    QCOMPARE(text("AdministratorNameLabel"), QStringLiteral("Выбирете администратора"));
    QCOMPARE(text("AdministratorPasswordLabel"), QStringLiteral("Введите пароль"));
    QCOMPARE(text("OperatorsLabel"), QStringLiteral("Редактирование Имени и паролей Пользователей!!!"));
    QCOMPARE(text("AdministratorsLabel"), QStringLiteral("Редактирование Имени и пароля Администратора!!!"));

    struct Caption { const char *button; QString text; QString hint; };
    const Caption captions[] = {
        {"ChangeListButton", QStringLiteral("Изменить список пользователей"),
         QStringLiteral("Авторизация Администратора \nИзменение списока пользователей и паролей")},
        {"ContinueButton", QStringLiteral("Продолжить работу"), QStringLiteral("Проверка пароля пользователя\nи вход в систему")},
        {"ExitButton", QStringLiteral("  Выход"), QStringLiteral("Завершение работы")},
        {"OkButton", QStringLiteral("OK"), QStringLiteral("Проверка пароля администратора\nи вход в систему")},
        {"SignInCancelButton", QStringLiteral("Отмена"), QStringLiteral("Выход в главное меню")},
        {"SaveButton", QStringLiteral("Сохранить и выход"), QStringLiteral("Сохранить изминения и выход в главное меню")},
        {"EditCancelButton", QStringLiteral("Отмена"), QStringLiteral("Выход в главное меню")},
    };
    for (const Caption &c : captions) {
        QPushButton *b = l.button(c.button);
        QVERIFY2(b, c.button);
        QCOMPARE(b->text(), c.text);
        QCOMPARE(b->toolTip(), c.hint);
    }

    // Passwords show "*".
    l.password->setText(QStringLiteral("abc"));
    QCOMPARE(l.password->displayText(), QStringLiteral("***"));
    l.password->clear();

    // Only the login layout is on screen.
    for (const char *shown : {"HeaderPicture", "OperatorPicture", "OperatorNameLabel"})
        QVERIFY2(dlg.findChild<QWidget *>(QLatin1String(shown))->isVisible(), shown);
    QVERIFY(l.name->isVisible());
    for (const char *hidden : {"AdministratorPicture", "AdministratorNameLabel", "OkButton", "LargePicture",
                               "OperatorGrid", "AdministratorGrid", "SaveButton"})
        QVERIFY2(!dlg.findChild<QWidget *>(QLatin1String(hidden))->isVisible(), hidden);
    for (const char *pictureName : {"HeaderPicture", "OperatorPicture", "AdministratorPicture", "LargePicture"})
        QVERIFY2(!dlg.findChild<QLabel *>(QLatin1String(pictureName))->pixmap().isNull(), pictureName);

    // To the sign-in layout and back by "Отмена", then by Escape.
    l.button("ChangeListButton")->click();
    QCOMPARE(dlg.currentLayout(), kladov::Layout::SignIn);
    QVERIFY(l.adminName->isVisible());
    QVERIFY(dlg.findChild<QWidget *>(QStringLiteral("AdministratorPicture"))->isVisible());
    QVERIFY(!l.name->isVisible());
    QVERIFY(!l.button("ContinueButton")->isVisible());
    QVERIFY(l.button("OkButton")->isDefault());
    QCOMPARE(dlg.size(), QSize(316, 304));
    l.button("SignInCancelButton")->click();
    QCOMPARE(dlg.currentLayout(), kladov::Layout::Login);
    QCOMPARE(dlg.size(), QSize(330, 310));
    QCOMPARE(dlg.frameGeometry().center(), screenCentre());
    QVERIFY(l.name->isVisible());
    QVERIFY(!l.adminName->isVisible());

    l.button("ChangeListButton")->click();
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QCOMPARE(dlg.currentLayout(), kladov::Layout::Login);
    QVERIFY(dlg.isVisible());
    // Escape in the login layout does not close the window.
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QVERIFY(dlg.isVisible());

    // The editing layout: both grids with their ten-button navigators.
    ModalWatcher watcher;
    l.signInAdmin(QStringLiteral("адм"), QStringLiteral("Admin"));
    QCOMPARE(dlg.currentLayout(), kladov::Layout::Editing);
    QCOMPARE(dlg.size(), QSize(640, 330));
    QCOMPARE(dlg.frameGeometry().center(), screenCentre());
    const QStringList navigatorHints = {
        QStringLiteral("Первая запись "), QStringLiteral("Предыдущая запись"), QStringLiteral("Следующая запись"),
        QStringLiteral("Последняя запись"), QStringLiteral("Вставить запись"), QStringLiteral("Удалить запись"),
        QStringLiteral("Редактировать запись"), QStringLiteral("Сохранить запись"),
        QStringLiteral("Отменить редактирование"), QStringLiteral("Обновить данные")};
    for (const char *navName : {"OperatorNavigator", "AdministratorNavigator"}) {
        auto *nav = dlg.findChild<DbNavigator *>(QLatin1String(navName));
        QVERIFY2(nav && nav->isVisible(), navName);
        for (int b = 0; b < DbNavigator::Count; ++b)
            QCOMPARE(nav->button(DbNavigator::Button(b))->toolTip(), navigatorHints[b]);
    }
    for (CursorGrid *grid : {l.operatorGrid, l.adminGrid}) {
        QVERIFY(grid->isVisible());
        CursorModel *m = grid->cursorModel();
        QCOMPARE(m->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Имя пользователя"));
        QCOMPARE(m->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Пароль"));
    }
    // Passwords in clear.
    QCOMPARE(l.operatorGrid->cursorModel()->data(l.operatorGrid->cursorModel()->index(1, 1), Qt::DisplayRole).toString(),
             QStringLiteral("Pass"));
    QCOMPARE(l.adminGrid->cursorModel()->rowCount(), 2);
    QVERIFY(!dlg.findChild<QWidget *>(QStringLiteral("HeaderPicture"))->isVisible());
    QVERIFY(!l.adminName->isVisible());
    QVERIFY(watcher.seen().isEmpty());

    l.button("EditCancelButton")->click();
    QCOMPARE(dlg.currentLayout(), kladov::Layout::Login);
    QCOMPARE(dlg.size(), QSize(330, 310));
    QVERIFY(!l.operatorGrid->isVisible());
    QVERIFY(dlg.findChild<QWidget *>(QStringLiteral("HeaderPicture"))->isVisible());
}

void TestKladov::lookupTyping_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("currentRow");

    QTest::newRow("first letters, lower case") << "ив" << Ivanov << "анов Иван Петрович" << Ivanov;
    QTest::newRow("capitals") << "ПЕТ" << Petrov << "ров Пётр" << Petrov;
    QTest::newRow("typing on past a fork") << "иванова" << Ivanova << " Анна" << Ivanova;
    QTest::newRow("the whole name") << "петров пётр" << Petrov << "" << Petrov;
    QTest::newRow("begins no name") << "Сидоров" << "Сидоров" << "" << Ivanov;
    QTest::newRow("a name with a letter more") << "иванов иван петровичи" << "Иванов Иван Петровичи" << "" << Ivanov;
}

void TestKladov::lookupTyping()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, selected);
    QFETCH(QString, currentRow);

    Accounts db;
    Login l(db.store());
    l.show();
    QLineEdit *edit = l.name->lineEdit();
    typeText(l.name, typed);
    QCOMPARE(l.name->text(), shown);
    QCOMPARE(edit->selectedText(), selected);
    // The text cursor stays right after what was typed.
    QCOMPARE(edit->cursorPosition(), typed.size());
    QCOMPARE(l.dlg->operatorCursor()->FieldText(AccountFields::Name), currentRow);
}

void TestKladov::lookupBackspaceDoesNotComplete_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Backspace") << int(Qt::Key_Backspace);
    QTest::newRow("Delete") << int(Qt::Key_Delete);
}

// Keys from a keyboard reach the focused combo box, which hands them to its
// line edit itself: a deleting key must be noticed there, or every Backspace
// brings the completion straight back and the text can never be shortened.
void TestKladov::lookupBackspaceDoesNotComplete()
{
    QFETCH(int, key);
    Accounts db;
    Login l(db.store());
    l.show();
    QLineEdit *edit = l.name->lineEdit();

    typeText(l.name, QStringLiteral("иванов"));
    QCOMPARE(l.name->text(), Ivanov);
    QCOMPARE(edit->selectedText(), QStringLiteral(" Иван Петрович"));
    // The key takes the completion away and leaves the typed part.
    pressKey(l.name, Qt::Key(key));
    QCOMPARE(l.name->text(), QStringLiteral("Иванов"));
    QCOMPARE(edit->selectedText(), QString());
    // Each Backspace then takes one letter, without completing again.
    pressKey(l.name, Qt::Key_Backspace);
    QCOMPARE(l.name->text(), QStringLiteral("Ивано"));
    pressKey(l.name, Qt::Key_Backspace);
    QCOMPARE(l.name->text(), QStringLiteral("Иван"));
    QCOMPARE(edit->selectedText(), QString());
    QCOMPARE(l.dlg->operatorCursor()->FieldText(AccountFields::Name), Ivanov);
    // Typing again completes again.
    typeText(l.name, QStringLiteral("о"));
    QCOMPARE(l.name->text(), Ivanov);
    QCOMPARE(edit->selectedText(), QStringLiteral("в Иван Петрович"));
}

void TestKladov::lookupDropDownAndClearing()
{
    Accounts db;
    Login l(db.store());
    l.show();
    TableCursor *cursor = l.dlg->operatorCursor();

    // The drop-down lists every name in table order.
    l.name->showPopup();
    QStringList items;
    for (int i = 0; i < l.name->count(); ++i)
        items << l.name->itemText(i);
    QCOMPARE(items, (QStringList{Ivanov, Petrov, Ivanova, NoPassword}));

    // Choosing one puts it in the field and moves the cursor to its row.
    QAbstractItemView *view = l.name->view();
    QTRY_VERIFY(view->isVisible());
    const QModelIndex third = view->model()->index(2, 0);
    view->scrollTo(third);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(third).center());
    QTRY_VERIFY(!view->isVisible());
    QCOMPARE(l.name->text(), Ivanova);
    QCOMPARE(cursor->FieldText(AccountFields::Name), Ivanova);

    // A name added meanwhile shows at the next drop-down, the text stays.
    Schema::addAccount(db.store(), Tables::Operators, QStringLiteral("Новиков"), QStringLiteral("n"));
    l.name->showPopup();
    QCOMPARE(l.name->count(), 5);
    QCOMPARE(l.name->itemText(4), QStringLiteral("Новиков"));
    QCOMPARE(l.name->text(), Ivanova);
    l.name->hidePopup();

    // Clearing the field moves the cursor to the first row, whether the
    // program clears it or the operator does.
    l.name->clearText();
    QCOMPARE(cursor->FieldText(AccountFields::Name), Ivanov);
    typeText(l.name, QStringLiteral("пет"));
    QCOMPARE(cursor->FieldText(AccountFields::Name), Petrov);
    focusOn(l.name);
    l.name->lineEdit()->selectAll();
    pressKey(l.name, Qt::Key_Delete);
    QCOMPARE(l.name->text(), QString());
    QCOMPARE(cursor->FieldText(AccountFields::Name), Ivanov);
}

void TestKladov::continueWork_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("dropCompletion");   // Delete after typing: the text stays as typed
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");        // empty: signed in
    QTest::addColumn<QString>("operatorName");

    QTest::newRow("first letters in another case") << "иВАН" << false << "ivan1" << "" << Ivanov;
    QTest::newRow("whole name in capitals") << "ПЕТРОВ ПЁТР" << false << "Pass" << "" << Petrov;
    QTest::newRow("account without a password") << "без" << false << "" << "" << NoPassword;
    QTest::newRow("wrong password") << "пет" << false << "ivan1" << "Введите пароль" << "";
    QTest::newRow("password in another case") << "пет" << false << "pass" << "Введите пароль" << "";
    QTest::newRow("empty name") << "" << false << "ivan1" << "Введите Ф.И.О." << "";
    // An invented name must not sign in with the password of the row the
    // lookup happens to stand on.
    QTest::newRow("invented name") << "Сидоров" << false << "ivan1" << "Введите пароль" << "";
    QTest::newRow("only the beginning of a name") << "Иванов Иван" << true << "ivan1" << "Введите пароль" << "";
    QTest::newRow("a name with a letter more") << "Иванов Иван Петровичи" << false << "ivan1" << "Введите пароль" << "";
}

void TestKladov::continueWork()
{
    QFETCH(QString, typed);
    QFETCH(bool, dropCompletion);
    QFETCH(QString, password);
    QFETCH(QString, message);
    QFETCH(QString, operatorName);

    Accounts db;
    Login l(db.store());
    l.show();
    typeText(l.name, typed);
    if (dropCompletion)
        pressKey(l.name, Qt::Key_Delete);
    const QString nameText = l.name->text();
    l.password->setText(password);

    ModalWatcher watcher;
    l.button("ContinueButton")->click();

    if (message.isEmpty()) {
        QVERIFY(watcher.seen().isEmpty());
        QCOMPARE(Session::LoginOk, 1);
        QCOMPARE(Session::OperatorName, operatorName);
        QVERIFY(!l.dlg->isVisible());
        QCOMPARE(l.dlg->result(), int(QDialog::Accepted));
        QVERIFY(!l.dlg->terminationRequested());
        return;
    }
    QCOMPARE(watcher.seen().size(), 1);
    QCOMPARE(watcher.seen()[0].text, message);
    QCOMPARE(watcher.seen()[0].title, LoginTitle);
    QCOMPARE(watcher.seen()[0].icon, QMessageBox::Critical);
    QCOMPARE(Session::LoginOk, 0);
    QVERIFY(l.dlg->isVisible());
    QCOMPARE(l.dlg->currentLayout(), kladov::Layout::Login);
    // The typed texts are kept.
    QCOMPARE(l.name->text(), nameText);
    QCOMPARE(l.password->text(), password);
    if (message == QStringLiteral("Введите пароль"))
        QCOMPARE(l.dlg->focusWidget(), l.password);
}

void TestKladov::closingRules_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("byExitButton");     // else the close box
    QTest::addColumn<int>("loginOkBefore");
    QTest::addColumn<bool>("programEnds");
    QTest::addColumn<QString>("operatorName");

    QTest::newRow("empty name, close box") << "" << "" << false << 0 << true << "";
    QTest::newRow("empty name, exit button") << "" << "ivan1" << true << 0 << true << "";
    // Only "Продолжить работу" signs in: closing after a correct name and
    // password leaves LoginOk at 0, and the main window ends the program.
    QTest::newRow("correct name and password, close box") << "ив" << "ivan1" << false << 0 << false << Ivanov;
    QTest::newRow("correct name and password, exit button") << "ив" << "ivan1" << true << 1 << false << Ivanov;
    QTest::newRow("wrong password, close box") << "ив" << "x" << false << 1 << false << Ivanov;
    QTest::newRow("invented name, close box") << "Сидоров" << "ivan1" << false << 1 << false << "Сидоров";
}

void TestKladov::closingRules()
{
    QFETCH(QString, typed);
    QFETCH(QString, password);
    QFETCH(bool, byExitButton);
    QFETCH(int, loginOkBefore);
    QFETCH(bool, programEnds);
    QFETCH(QString, operatorName);

    Accounts db;
    Login l(db.store());
    Session::LoginOk = loginOkBefore;

    // As at start: shown modally before the application's own loop runs.
    ModalWatcher watcher;
    watcher.handleDialog([&](QWidget *w) {
        typeText(l.name, typed);
        l.password->setText(password);
        if (byExitButton)
            l.button("ExitButton")->click();
        else
            w->close();
    });
    l.dlg->exec();
    QVERIFY(!l.dlg->isVisible());
    QCOMPARE(Session::LoginOk, 0);
    QCOMPARE(Session::OperatorName, operatorName);
    QCOMPARE(l.dlg->terminationRequested(), programEnds);

    // The application's loop then ends at once when the name was empty.
    QCOMPARE(runApplicationLoop(programEnds ? 5000 : 300), programEnds ? 0 : 99);
}

void TestKladov::adminSignIn_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");

    QTest::newRow("signed in") << "гл" << "root" << "" << "";
    QTest::newRow("empty name, right password of the first row") << "" << "Admin" << "Введите Имя Администратора"
                                                                 << "AdministratorName";
    QTest::newRow("empty name, empty password") << "" << "" << "Введите Имя Администратора" << "AdministratorName";
    QTest::newRow("wrong password") << "адм" << "admin" << "Введите пароль" << "AdministratorPassword";
    QTest::newRow("invented name") << "Хакер" << "Admin" << "Введите пароль" << "AdministratorPassword";
    QTest::newRow("only the beginning of a name") << "Админ" << "Admin" << "Введите пароль" << "AdministratorPassword";
}

void TestKladov::adminSignIn()
{
    QFETCH(QString, typed);
    QFETCH(QString, password);
    QFETCH(QString, message);
    QFETCH(QString, focus);

    Accounts db;
    Login l(db.store());
    l.show();
    ModalWatcher watcher;
    l.button("ChangeListButton")->click();
    typeText(l.adminName, typed);
    if (typed == QStringLiteral("Админ"))
        pressKey(l.adminName, Qt::Key_Delete);
    l.adminPassword->setText(password);
    l.button("OkButton")->click();

    if (message.isEmpty()) {
        QVERIFY(watcher.seen().isEmpty());
        QCOMPARE(l.dlg->currentLayout(), kladov::Layout::Editing);
        QCOMPARE(l.dlg->size(), QSize(640, 330));
        QCOMPARE(l.adminPassword->text(), QString());
        QVERIFY(l.operatorGrid->isVisible());
        QVERIFY(l.adminGrid->isVisible());
        QVERIFY(!l.dlg->findChild<QWidget *>(QStringLiteral("AdministratorPicture"))->isVisible());
        QVERIFY(!l.button("OkButton")->isVisible());
        // An administrator's sign-in is not an operator's login.
        QCOMPARE(Session::LoginOk, 0);
        return;
    }
    QCOMPARE(watcher.seen().size(), 1);
    QCOMPARE(watcher.seen()[0].text, message);
    QCOMPARE(watcher.seen()[0].title, AdminTitle);
    QCOMPARE(watcher.seen()[0].icon, QMessageBox::Critical);
    QCOMPARE(l.dlg->currentLayout(), kladov::Layout::SignIn);
    QCOMPARE(l.dlg->size(), QSize(316, 304));
    QCOMPARE(l.adminPassword->text(), password);
    QWidget *focused = l.dlg->focusWidget();
    QWidget *expected = l.dlg->findChild<QWidget *>(focus);
    QVERIFY(focused == expected || expected->isAncestorOf(focused));
}

void TestKladov::saveStoresEditedAccounts_data()
{
    QTest::addColumn<int>("editedRow");   // operator row whose password changes
    QTest::newRow("the row the name field found") << 0;
    QTest::newRow("another row, the grid moved the cursor") << 1;
}

void TestKladov::saveStoresEditedAccounts()
{
    QFETCH(int, editedRow);

    Accounts db;
    Login l(db.store());
    l.show();
    ModalWatcher watcher;
    typeText(l.name, QStringLiteral("ив"));
    l.signInAdmin(QStringLiteral("адм"), QStringLiteral("Admin"));
    QCOMPARE(l.dlg->currentLayout(), kladov::Layout::Editing);

    // New passwords typed into both grids, not yet stored.
    CursorModel *ops = l.operatorGrid->cursorModel();
    QVERIFY(ops->setData(ops->index(editedRow, 1), QStringLiteral("Новый-1"), Qt::EditRole));
    CursorModel *admins = l.adminGrid->cursorModel();
    QVERIFY(admins->setData(admins->index(0, 1), QStringLiteral("Root-2"), Qt::EditRole));
    const QString editedName = editedRow == 0 ? Ivanov : Petrov;
    const QString oldPassword = editedRow == 0 ? QStringLiteral("ivan1") : QStringLiteral("Pass");
    QCOMPARE(storedPassword(db.store(), Tables::Operators, editedName), oldPassword);
    TableCursor *operators = l.dlg->operatorCursor();
    const qint64 rowBefore = operators->currentId();
    QCOMPARE(operators->FieldText(AccountFields::Name), editedName);

    l.button("SaveButton")->click();
    QVERIFY(watcher.seen().isEmpty());
    QCOMPARE(storedPassword(db.store(), Tables::Operators, editedName), QStringLiteral("Новый-1"));
    QCOMPARE(storedPassword(db.store(), Tables::Administrators, Admin), QStringLiteral("Root-2"));
    QCOMPARE(l.dlg->currentLayout(), kladov::Layout::Login);
    QCOMPARE(l.dlg->size(), QSize(330, 310));
    QCOMPARE(operators->currentId(), rowBefore);
    QCOMPARE(operators->state(), TableCursor::State::Browse);
    QVERIFY(!l.dlg->administratorCursor()->isOpen());

    // The administrator signs in again with the stored password, and the
    // reopened grid shows both administrators.
    l.button("ChangeListButton")->click();
    QVERIFY(l.dlg->administratorCursor()->isOpen());
    l.adminPassword->setText(QStringLiteral("Admin"));
    l.button("OkButton")->click();
    QCOMPARE(watcher.seen().size(), 1);
    QCOMPARE(watcher.seen()[0].text, QStringLiteral("Введите пароль"));
    l.adminPassword->setText(QStringLiteral("Root-2"));
    l.button("OkButton")->click();
    QCOMPARE(watcher.seen().size(), 1);
    QCOMPARE(l.dlg->currentLayout(), kladov::Layout::Editing);
    QCOMPARE(l.adminGrid->cursorModel()->rowCount(), 2);
    l.button("EditCancelButton")->click();

    // The operator whose name is in the field signs in against the stored values.
    const QString ivanovPassword = editedRow == 0 ? QStringLiteral("Новый-1") : QStringLiteral("ivan1");
    l.password->setText(editedRow == 0 ? QStringLiteral("ivan1") : QStringLiteral("Новый-1"));
    l.button("ContinueButton")->click();
    QCOMPARE(watcher.seen().size(), 2);
    QCOMPARE(watcher.seen()[1].text, QStringLiteral("Введите пароль"));
    QCOMPARE(Session::LoginOk, 0);
    l.password->setText(ivanovPassword);
    l.button("ContinueButton")->click();
    QCOMPARE(watcher.seen().size(), 2);
    QCOMPARE(Session::LoginOk, 1);
    QCOMPARE(Session::OperatorName, Ivanov);
}

void TestKladov::cancelKeepsOnlyStoredRows()
{
    Accounts db;
    Login l(db.store());
    l.show();
    ModalWatcher watcher;
    l.signInAdmin(QStringLiteral("адм"), QStringLiteral("Admin"));
    QCOMPARE(l.dlg->currentLayout(), kladov::Layout::Editing);

    // A new operator stored through the navigator...
    auto *nav = l.dlg->findChild<DbNavigator *>(QStringLiteral("OperatorNavigator"));
    nav->press(DbNavigator::Insert);
    CursorModel *ops = l.operatorGrid->cursorModel();
    const int newRow = ops->rowCount() - 1;
    QVERIFY(ops->setData(ops->index(newRow, 0), QStringLiteral("Сидоров Сидор"), Qt::EditRole));
    QVERIFY(ops->setData(ops->index(newRow, 1), QStringLiteral("sid"), Qt::EditRole));
    nav->press(DbNavigator::Post);
    // ...and another row left in editing.
    QVERIFY(ops->setData(ops->index(1, 1), QStringLiteral("unsaved"), Qt::EditRole));
    TableCursor *operators = l.dlg->operatorCursor();
    QCOMPARE(operators->state(), TableCursor::State::Edit);

    l.button("EditCancelButton")->click();
    QVERIFY(watcher.seen().isEmpty());
    QCOMPARE(l.dlg->currentLayout(), kladov::Layout::Login);
    QCOMPARE(l.dlg->size(), QSize(330, 310));
    QCOMPARE(storedPassword(db.store(), Tables::Operators, QStringLiteral("Сидоров Сидор")), QStringLiteral("sid"));
    QCOMPARE(storedPassword(db.store(), Tables::Operators, Petrov), QStringLiteral("Pass"));
    QCOMPARE(operators->state(), TableCursor::State::Browse);
    QVERIFY(l.dlg->administratorCursor()->isOpen());

    // The operator stored from the grid signs in.
    typeText(l.name, QStringLiteral("сид"));
    l.password->setText(QStringLiteral("sid"));
    l.button("ContinueButton")->click();
    QVERIFY(watcher.seen().isEmpty());
    QCOMPARE(Session::OperatorName, QStringLiteral("Сидоров Сидор"));
    QCOMPARE(Session::LoginOk, 1);
}

void TestKladov::signInAfterTheGrids_data()
{
    QTest::addColumn<QString>("grid");
    QTest::addColumn<int>("row");             // -1: a row added with the navigator
    QTest::addColumn<QString>("typed");       // into its password (a new row: name, tab, password)
    QTest::addColumn<QString>("leave");       // the button that ends the editing
    QTest::addColumn<QString>("name");        // then typed at the login ("Down": walked to); none: as administrator
    QTest::addColumn<QString>("signedIn");    // OperatorName; none: refused
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("stored");      // its password in the table afterwards
    // "Отмена": what the grid did not store is gone, and does not sign in.
    QTest::newRow("cancelled, the row the name finds")
        << "OperatorGrid" << 0 << "new1" << "EditCancelButton" << "ив" << "" << Ivanov << "ivan1";
    QTest::newRow("cancelled, another row")
        << "OperatorGrid" << 1 << "new1" << "EditCancelButton" << "пет" << "" << Petrov << "Pass";
    QTest::newRow("cancelled, a new operator") << "OperatorGrid" << -1 << "Сидоров\tsid" << "EditCancelButton"
                                               << "сидоров" << "" << "Сидоров" << "<no such account>";
    QTest::newRow("cancelled, an administrator")
        << "AdministratorGrid" << 0 << "Root-2" << "EditCancelButton" << "" << "" << Admin << "Admin";
    // Saved: an operator beside "Иванов Иван Петрович" signs in at once.
    QTest::newRow("saved, the name typed") << "OperatorGrid" << -1 << "Иванов\tshort" << "SaveButton" << "иванов"
                                           << "Иванов" << "Иванов" << "short";
    QTest::newRow("saved, the last of the list") << "OperatorGrid" << -1 << "Иванов\tshort" << "SaveButton"
                                                 << "Down" << "Иванов" << "Иванов" << "short";
}

void TestKladov::signInAfterTheGrids()
{
    QFETCH(QString, grid);
    QFETCH(int, row);
    QFETCH(QString, typed);
    QFETCH(QString, leave);
    QFETCH(QString, name);
    QFETCH(QString, signedIn);
    QFETCH(QString, account);
    QFETCH(QString, stored);
    Accounts db;
    Login l(db.store());
    l.show();
    ModalWatcher watcher;
    l.signInAdmin(QStringLiteral("адм"), QStringLiteral("Admin"));
    auto *cells = l.dlg->findChild<CursorGrid *>(grid);
    if (row < 0)
        QTest::mouseClick(l.dlg->findChild<DbNavigator *>("OperatorNavigator")->button(DbNavigator::Insert),
                          Qt::LeftButton);
    typeIntoGrid(cells, row < 0 ? cells->model()->rowCount() - 1 : row, row < 0 ? 0 : 1, typed);
    if (leave == QStringLiteral("SaveButton"))
        typeIntoGrid(cells, 0, 0, QString());   // a look at the first row stores the new one
    QTest::mouseClick(l.button(qPrintable(leave)), Qt::LeftButton);

    const bool admins = name.isEmpty();
    if (admins)
        l.button("ChangeListButton")->click();   // the name is still in its field
    else
        typeText(l.name, name == QStringLiteral("Down") ? QString() : name);
    for (int i = 0; name == QStringLiteral("Down") && i < 6; ++i)
        pressKey(l.name, Qt::Key_Down);
    typeText(admins ? l.adminPassword : l.password, typed.section('\t', -1));
    l.button(admins ? "OkButton" : "ContinueButton")->click();
    QCOMPARE(storedPassword(db.store(), admins ? Tables::Administrators : Tables::Operators, account), stored);
    QCOMPARE(watcher.seen().size(), signedIn.isEmpty() ? 1 : 0);
    QCOMPARE(Session::OperatorName, signedIn);
    if (signedIn.isEmpty())
        QCOMPARE(watcher.seen()[0].text, QStringLiteral("Введите пароль"));
}

void TestKladov::lastAccountIsKept_data()
{
    QTest::addColumn<QString>("navigator");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("administrators") << "AdministratorNavigator" << Tables::Administrators
                                    << "Последнего администратора удалить нельзя: без него никто не сможет "
                                       "изменить список пользователей и настройки программы.";
    QTest::newRow("operators") << "OperatorNavigator" << Tables::Operators
                               << "Последнего пользователя удалить нельзя: без него никто не сможет войти в программу.";
}

// Every row but the last can be deleted; the last is refused, unasked.
void TestKladov::lastAccountIsKept()
{
    QFETCH(QString, navigator);
    QFETCH(QString, table);
    QFETCH(QString, refusal);
    Accounts db;
    Login l(db.store());
    l.show();
    ModalWatcher watcher;
    l.signInAdmin(QStringLiteral("адм"), QStringLiteral("Admin"));
    TableCursor c(db.store(), table);
    c.Open();
    const int rows = c.visibleCount();
    for (int i = 0; i < rows; ++i) {
        if (i < rows - 1)
            watcher.answer(QMessageBox::Yes);
        QTest::mouseClick(l.dlg->findChild<DbNavigator *>(navigator)->button(DbNavigator::Delete), Qt::LeftButton);
    }
    QCOMPARE(c.visibleCount(), 1);
    QCOMPARE(watcher.seen().size(), rows);
    QCOMPARE(watcher.seen()[rows - 2].text, QStringLiteral("Delete record?"));
    QCOMPARE(watcher.seen().last().text, refusal);
    QCOMPARE(watcher.seen().last().icon, QMessageBox::Critical);
}

void TestKladov::missingAccountTable()
{
    // A database without the account tables: the window cannot be built.
    QTemporaryDir dir;
    auto store = TableStore::openCreating(dir.path());
    bool thrown = false;
    QString message;
    try {
        kladov dlg(*store);
    } catch (const StoreError &e) {
        thrown = true;
        message = e.message();
    }
    store.reset();
    QVERIFY(thrown);
    QVERIFY(!message.isEmpty());
}

QTEST_MAIN(TestKladov)
#include "test_kladov.moc"
