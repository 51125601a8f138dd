// The administrator gate: its face, the sign-in and its refusals, and the
// two purposes it grants from the main window's flags, on a real SQLite
// administrator table. The requesters here are stand-ins that do what the
// settings page and the journal page do: set their flag, then request().

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "access/accountcheck.h"
#include "access/accountlookup.h"
#include "access/security.h"
#include "keyboard.h"
#include "messageboxes.h"
#include "store/schema.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "tempdatabase.h"

namespace {

const QString Admin = QStringLiteral("Администратор");
const QString Chief = QStringLiteral("Главный");
const QString EditMode = QStringLiteral("Режим редактирования");
const QString ViewMode = QStringLiteral("Режим просмотра и поиска");
const QString EditMessage =
    QStringLiteral("Для выхода из режима редактирования нажамите на кнопку <<Режим просмотра и поиска>>!");
const QString SettingsMessage =
    QStringLiteral("Все изменения вступят в силу только полсе нажания на кнопку <<Сохранить настройки>>");

// Two administrators, the gate, and the main window's side of it: the two
// flags, a settings panel, a journal mode button and the port switch.
struct Bench
{
    Bench()
    {
        Schema::addAccount(db.store(), Tables::Administrators, Admin, QStringLiteral("Admin"));
        Schema::addAccount(db.store(), Tables::Administrators, Chief, QStringLiteral("root"));
        gate = std::make_unique<Security>(db.store());
        panel.hide();
        modeButton.setText(EditMode);
        SecurityTargets t;
        t.CheckBox1 = &checkBox1;
        t.CheckBox2 = &checkBox2;
        t.editModeAvailable = [this] { return modeButton.text() == EditMode; };
        t.enterEditMode = [this] { modeButton.setText(ViewMode); };
        t.settingsPanelHidden = [this] { return panel.isHidden(); };
        t.showSettingsPanel = [this] { panel.show(); };
        t.switchPortOff = [this] { boxesBeforePortOff = watcher.seen().size(); };
        gate->setTargets(t);
        name = gate->findChild<AccountNameLookup *>(QStringLiteral("AdministratorName"));
        password = gate->findChild<QLineEdit *>(QStringLiteral("AdministratorPassword"));
    }

    // The next request is answered the way a person answers it: Tab from
    // "OK" into the name, the name, Tab, the password, Enter. Then `after`
    // looks at the gate (still open after a refusal) and leaves it.
    void signInAtNextRequest(const QString &typedName, bool dropCompletion, const QString &pw,
                             std::function<void(Security *)> after = {})
    {
        watcher.handleDialog([=](QWidget *d) {
            auto *g = static_cast<Security *>(d);
            key(g, Qt::Key_Tab);
            type(g, typedName);
            if (dropCompletion)
                key(g, Qt::Key_Delete);
            key(g, Qt::Key_Tab);
            type(g, pw);
            key(g, Qt::Key_Return);
            if (after)
                after(g);
        });
    }

    // The next request is left without signing in, by "Отмена", Escape or the close box.
    void cancelAtNextRequest(int how)
    {
        watcher.handleDialog([how](QWidget *d) {
            auto *g = static_cast<Security *>(d);
            if (how == 0)
                QTest::mouseClick(g->findChild<QPushButton *>(QStringLiteral("CancelButton")), Qt::LeftButton);
            else if (how == 1)
                key(g, Qt::Key_Escape);
            else
                g->close();
        });
    }

    QStringList texts() const
    {
        QStringList t;
        for (const ModalWatcher::Box &b : watcher.seen())
            t << b.text;
        return t;
    }

    TempDatabase db;
    ModalWatcher watcher;
    std::unique_ptr<Security> gate;
    QCheckBox checkBox1;
    QCheckBox checkBox2;
    QWidget panel;
    QPushButton modeButton;
    qsizetype boxesBeforePortOff = -1; // boxes seen when the port was switched off; -1: never
    AccountNameLookup *name = nullptr;
    QLineEdit *password = nullptr;
};

} // namespace

class TestSecurity final : public QObject
{
    Q_OBJECT

private slots:
    void face();
    void signIn_data();
    void signIn();
    void everyRequestStartsEmpty();
    void purposes_data();
    void purposes();
    void flagsOutliveACancelledRequest_data();
    void flagsOutliveACancelledRequest();
};

void TestSecurity::face()
{
    Bench b;
    Security &g = *b.gate;
    QCOMPARE(g.windowTitle(), QStringLiteral("             Только для Администратора"));
    QCOMPARE(g.minimumSize(), g.maximumSize());
    QVERIFY(g.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!g.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!g.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!g.findChild<QLabel *>(QStringLiteral("HeaderPicture"))->pixmap().isNull());
    QCOMPARE(g.findChild<QLabel *>(QStringLiteral("AdministratorNameLabel"))->text(),
             QStringLiteral("Выбирете администратора"));
    QCOMPARE(g.findChild<QLabel *>(QStringLiteral("AdministratorPasswordLabel"))->text(),
             QStringLiteral("Введите пароль"));
    auto *ok = g.findChild<QPushButton *>(QStringLiteral("OkButton"));
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QVERIFY(ok->isDefault());
    QCOMPARE(g.findChild<QPushButton *>(QStringLiteral("CancelButton"))->text(), QStringLiteral("Отмена"));
    QCOMPARE(b.name->cursor(), g.administratorCursor());

    b.watcher.handleDialog([&](QWidget *d) {
        // "OK" holds the focus and is first in tab order: Tab goes to the name.
        QCOMPARE(focusedIn(d), static_cast<QWidget *>(ok));
        QCOMPARE(d->frameGeometry().center(), QGuiApplication::primaryScreen()->availableGeometry().center());
        key(d, Qt::Key_Tab);
        QVERIFY(b.name->isAncestorOf(focusedIn(d)) || focusedIn(d) == b.name);
        key(d, Qt::Key_Tab);
        QCOMPARE(focusedIn(d), static_cast<QWidget *>(b.password));
        type(d, QStringLiteral("abc"));
        QCOMPARE(b.password->displayText(), QStringLiteral("***"));
        key(d, Qt::Key_Escape);
    });
    g.request();
    QVERIFY(!g.isVisible());
    QVERIFY(b.watcher.problems().isEmpty());
    QCOMPARE(b.watcher.dialogs().size(), 1);
}

void TestSecurity::signIn_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("dropCompletion"); // Delete after typing: the text stays as typed
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("refusal");     // empty: signed in

    QTest::newRow("first letters, another case") << "аДМ" << false << "Admin" << "";
    QTest::newRow("second administrator") << "гл" << false << "root" << "";
    QTest::newRow("wrong password") << "адм" << false << "root" << "Введите пароль";
    QTest::newRow("password in another case") << "адм" << false << "admin" << "Введите пароль";
    QTest::newRow("empty name") << "" << false << "Admin" << "Введите Имя Администратора";
    // Neither may sign in with the password of the row the lookup stands on.
    QTest::newRow("invented name") << "Сидоров" << false << "Admin" << "Введите пароль";
    QTest::newRow("only the beginning of a name") << "Адм" << true << "Admin" << "Введите пароль";
    QTest::newRow("a name with a letter more") << "Администраторы" << false << "Admin" << "Введите пароль";
}

void TestSecurity::signIn()
{
    QFETCH(QString, typed);
    QFETCH(bool, dropCompletion);
    QFETCH(QString, password);
    QFETCH(QString, refusal);

    Bench b;
    b.checkBox1.setChecked(true);
    b.checkBox2.setChecked(true);
    bool openAfter = false;
    QWidget *focusAfter = nullptr;
    QString nameAfter;
    QString passwordAfter;
    b.signInAtNextRequest(typed, dropCompletion, password, [&](Security *g) {
        openAfter = g->isVisible();
        focusAfter = focusedIn(g);
        nameAfter = b.name->text();
        passwordAfter = b.password->text();
        if (openAfter)
            key(g, Qt::Key_Escape);
    });
    b.gate->request();
    QVERIFY(b.watcher.problems().isEmpty());
    // A Delete sent to the name list itself (where the focus is) drops the
    // completion, so the partial name stands in the field as typed.
    if (dropCompletion)
        QCOMPARE(nameAfter, typed);

    if (refusal.isEmpty()) {
        QVERIFY(!openAfter);
        QCOMPARE(b.texts(), (QStringList{EditMessage, SettingsMessage}));
        QCOMPARE(b.modeButton.text(), ViewMode);
        QVERIFY(!b.panel.isHidden());
        return;
    }
    QCOMPARE(b.texts(), QStringList{refusal});
    const ModalWatcher::Box box = b.watcher.seen()[0];
    QCOMPARE(box.title, QStringLiteral("Авторизация администратора"));
    QCOMPARE(box.icon, QMessageBox::Critical);
    // The gate stays open with the typed texts, the focus where the fault is.
    QVERIFY(openAfter);
    QVERIFY(nameAfter.startsWith(typed, Qt::CaseInsensitive));
    QCOMPARE(passwordAfter, password);
    if (typed.isEmpty())
        QVERIFY(focusAfter == b.name || b.name->isAncestorOf(focusAfter));
    else
        QCOMPARE(focusAfter, static_cast<QWidget *>(b.password));
    // Nothing was granted, and the flags stay for the next sign-in.
    QCOMPARE(b.modeButton.text(), EditMode);
    QVERIFY(b.panel.isHidden());
    QCOMPARE(b.boxesBeforePortOff, -1);
    QVERIFY(b.checkBox1.isChecked() && b.checkBox2.isChecked());
}

void TestSecurity::everyRequestStartsEmpty()
{
    Bench b;
    TableCursor *cursor = b.gate->administratorCursor();
    b.checkBox1.setChecked(true);

    // A refused sign-in, then the gate left with its texts in the fields.
    b.signInAtNextRequest(QStringLiteral("гл"), false, QStringLiteral("wrong"),
                          [](Security *g) { key(g, Qt::Key_Escape); });
    b.gate->request();
    QCOMPARE(b.name->text(), Chief);
    QCOMPARE(b.password->text(), QStringLiteral("wrong"));
    QCOMPARE(cursor->FieldText(AccountFields::Name), Chief);

    // The next request opens with both fields empty, the cursor back on the
    // first administrator, and "OK" holding the focus.
    QString nameShown = QStringLiteral("?");
    QString passwordShown = QStringLiteral("?");
    QString row;
    bool okFocused = false;
    b.watcher.handleDialog([&](QWidget *d) {
        nameShown = b.name->text();
        passwordShown = b.password->text();
        row = cursor->FieldText(AccountFields::Name);
        okFocused = focusedIn(d) == d->findChild<QPushButton *>(QStringLiteral("OkButton"));
        key(d, Qt::Key_Escape);
    });
    b.gate->request();
    QCOMPARE(nameShown, QString());
    QCOMPARE(passwordShown, QString());
    QCOMPARE(row, Admin);
    QVERIFY(okFocused);
    QVERIFY(b.watcher.problems().isEmpty());
}

void TestSecurity::purposes_data()
{
    QTest::addColumn<bool>("settingsFlag");
    QTest::addColumn<bool>("editFlag");
    QTest::addColumn<bool>("inEditMode");   // the mode button reads "Режим просмотра и поиска"
    QTest::addColumn<bool>("panelShown");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("portSwitchedOff");

    QTest::newRow("settings") << true << false << false << false << QStringList{SettingsMessage} << true;
    QTest::newRow("edit mode") << false << true << false << false << QStringList{EditMessage} << false;
    QTest::newRow("both: edit mode first") << true << true << false << false
                                           << QStringList{EditMessage, SettingsMessage} << true;
    QTest::newRow("edit mode while the panel is shown") << true << true << false << true
                                                        << QStringList{EditMessage} << false;
    QTest::newRow("settings while in edit mode") << true << true << true << false
                                                 << QStringList{SettingsMessage} << true;
}

void TestSecurity::purposes()
{
    QFETCH(bool, settingsFlag);
    QFETCH(bool, editFlag);
    QFETCH(bool, inEditMode);
    QFETCH(bool, panelShown);
    QFETCH(QStringList, messages);
    QFETCH(bool, portSwitchedOff);

    Bench b;
    b.checkBox1.setChecked(settingsFlag);
    b.checkBox2.setChecked(editFlag);
    if (inEditMode)
        b.modeButton.setText(ViewMode);
    b.panel.setVisible(panelShown);

    bool closed = false;
    b.signInAtNextRequest(QStringLiteral("гл"), false, QStringLiteral("root"),
                          [&](Security *g) { closed = !g->isVisible(); });
    b.gate->request();
    QVERIFY(closed);
    QCOMPARE(b.texts(), messages);
    for (const ModalWatcher::Box &box : b.watcher.seen()) {
        QCOMPARE(box.title, QStringLiteral("Внимание"));
        QCOMPARE(box.icon, QMessageBox::Information);
    }
    QCOMPARE(b.modeButton.text(), editFlag || inEditMode ? ViewMode : EditMode);
    QCOMPARE(b.panel.isHidden(), !(settingsFlag || panelShown));
    // The port goes off only once the settings message has been read.
    QCOMPARE(b.boxesBeforePortOff, portSwitchedOff ? messages.size() : -1);
    // The flags say what is granted; the gate never clears them.
    QCOMPARE(b.checkBox1.isChecked(), settingsFlag);
    QCOMPARE(b.checkBox2.isChecked(), editFlag);
    QVERIFY(b.watcher.problems().isEmpty());
}

void TestSecurity::flagsOutliveACancelledRequest_data()
{
    QTest::addColumn<bool>("settingsFirst");
    QTest::addColumn<int>("cancelBy"); // 0 "Отмена", 1 Escape, 2 the close box
    QTest::newRow("settings cancelled, then edit mode; Отмена") << true << 0;
    QTest::newRow("settings cancelled, then edit mode; close box") << true << 2;
    QTest::newRow("edit mode cancelled, then settings; Escape") << false << 1;
    QTest::newRow("edit mode cancelled, then settings; Отмена") << false << 0;
}

void TestSecurity::flagsOutliveACancelledRequest()
{
    QFETCH(bool, settingsFirst);
    QFETCH(int, cancelBy);

    Bench b;
    QCheckBox &first = settingsFirst ? b.checkBox1 : b.checkBox2;
    QCheckBox &second = settingsFirst ? b.checkBox2 : b.checkBox1;

    first.setChecked(true);
    b.cancelAtNextRequest(cancelBy);
    b.gate->request();
    QVERIFY(!b.gate->isVisible());
    QVERIFY(first.isChecked());
    QVERIFY(b.watcher.seen().isEmpty());
    QCOMPARE(b.modeButton.text(), EditMode);
    QVERIFY(b.panel.isHidden());

    // A sign-in for the other purpose grants both, edit mode first.
    second.setChecked(true);
    b.signInAtNextRequest(QStringLiteral("адм"), false, QStringLiteral("Admin"));
    b.gate->request();
    QCOMPARE(b.texts(), (QStringList{EditMessage, SettingsMessage}));
    QCOMPARE(b.modeButton.text(), ViewMode);
    QVERIFY(!b.panel.isHidden());
    QCOMPARE(b.boxesBeforePortOff, 2);
    QVERIFY(b.watcher.problems().isEmpty());
}

QTEST_MAIN(TestSecurity)
#include "test_security.moc"
