#include "access/security.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include "access/accountcheck.h"
#include "access/accountlookup.h"
#include "access/loginpictures.h"
#include "access/passwordfield.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "toolkit/widgetlook.h"

namespace {

const QString GateTitle = QString(13, QLatin1Char(' ')) + QStringLiteral("Только для Администратора");
const QString RefusalTitle = QStringLiteral("Авторизация администратора");
const QString NoticeTitle = QStringLiteral("Внимание");
constexpr QSize GateSize{316, 224};

// Reads a purpose callback; one that is not wired has nothing to unlock.
bool holds(const std::function<bool()> &f) { return f && f(); }
void run(const std::function<void()> &f)
{
    if (f)
        f();
}
bool isSet(const QCheckBox *flag) { return flag && flag->isChecked(); }

} // namespace

Security::Security(TableStore &store, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Security"));
    m_administrators = new TableCursor(store, Tables::Administrators, this);
    m_administrators->setObjectName(QStringLiteral("GateAdministrators"));
    m_administrators->Open();
    createLayout();
}

Security::~Security() = default;

void Security::createLayout()
{
    setWindowTitle(GateTitle);
    // Its own window even with a parent: only the close box, fixed in size.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                   | Qt::MSWindowsFixedSizeDialogHint);
    setSizeGripEnabled(false);
    setModal(true);

    setFont(windowFont());

    m_header = new QLabel(this);
    m_header->setObjectName(QStringLiteral("HeaderPicture"));
    m_header->setPixmap(QPixmap::fromImage(drawLoginHeader(QSize(GateSize.width(), LoginHeaderSize.height()))));
    m_header->setGeometry(0, 0, GateSize.width(), LoginHeaderSize.height());

    auto *nameLabel = new QLabel(QStringLiteral("Выбирете администратора"), this);
    nameLabel->setObjectName(QStringLiteral("AdministratorNameLabel"));
    nameLabel->setGeometry(12, 74, 292, 16);
    m_name = new AccountNameLookup(m_administrators, this);
    m_name->setObjectName(QStringLiteral("AdministratorName"));
    m_name->setGeometry(12, 91, 292, 22);
    nameLabel->setBuddy(m_name);

    auto *passwordLabel = new QLabel(QStringLiteral("Введите пароль"), this);
    passwordLabel->setObjectName(QStringLiteral("AdministratorPasswordLabel"));
    passwordLabel->setGeometry(12, 122, 292, 16);
    m_password = passwordField(QStringLiteral("AdministratorPassword"), this, QRect(12, 139, 292, 22));
    passwordLabel->setBuddy(m_password);

    m_ok = namedButton(QStringLiteral("OkButton"), QStringLiteral("OK"), this);
    m_ok->setGeometry(12, 180, 145, 30);
    m_ok->setDefault(true);
    m_cancel = namedButton(QStringLiteral("CancelButton"), QStringLiteral("Отмена"), this);
    m_cancel->setGeometry(159, 180, 145, 30);
    connect(m_ok, &QPushButton::clicked, this, [this] { OKClick(); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { CancelClick(); });

    // "OK" first, so that it holds the focus when the gate comes up.
    setTabOrder(m_ok, m_name);
    setTabOrder(m_name, m_password);
    setTabOrder(m_password, m_cancel);

    setFixedSize(GateSize);
}

void Security::clearFields()
{
    m_name->clearText();
    m_password->clear();
}

void Security::request()
{
    clearFields();
    m_ok->setFocus();
    exec();
}

void Security::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    ::centreOnDesktop(this);   // the frame is known only now
    m_ok->setFocus();
}

void Security::refuse(const QString &text, QWidget *focus)
{
    QMessageBox box(QMessageBox::Critical, RefusalTitle, text, QMessageBox::Ok, this);
    box.exec();
    focus->setFocus();
}

void Security::inform(const QString &text)
{
    // The gate is closed by now: the message belongs to the main window.
    QMessageBox box(QMessageBox::Information, NoticeTitle, text, QMessageBox::Ok, parentWidget());
    box.exec();
}

void Security::OKClick()
{
    const QString name = m_name->text();
    if (name.isEmpty()) {
        refuse(QStringLiteral("Введите Имя Администратора"), m_name);
        return;
    }
    // Only the administrator the name is: a name that merely begins one, or
    // begins none, never signs in with the password of the row found last.
    m_name->followText();
    if (!signInPasses(name, m_password->text(), currentAccount(*m_administrators))) {
        refuse(QStringLiteral("Введите пароль"), m_password);
        return;
    }

    if (isSet(m_targets.CheckBox2) && holds(m_targets.editModeAvailable)) {
        run(m_targets.enterEditMode);
        accept();
        inform(QStringLiteral("Для выхода из режима редактирования нажамите на кнопку <<Режим просмотра и поиска>>!"));
    }
    if (isSet(m_targets.CheckBox1) && holds(m_targets.settingsPanelHidden)) {
        m_password->clear();
        run(m_targets.showSettingsPanel);
        accept();
        inform(QStringLiteral("Все изменения вступят в силу только полсе нажания на кнопку <<Сохранить настройки>>"));
        run(m_targets.switchPortOff);
    }
}

void Security::CancelClick() { reject(); }
