#pragma once
// The administrator gate "Только для Администратора": one modal window that
// unlocks the two things on the main window open to administrators only,
// the device settings panel and the journal's edit mode.
//
// A requester does not tell the gate what it wants: it sets its purpose flag
// on the main window (CheckBox1 for the settings, CheckBox2 for the edit
// mode) and calls request(). A sign-in then grants every purpose whose flag
// is set and which is not granted already: the edit mode first, then the
// settings, each with its own message. Cancelling leaves the flags set, so a
// later sign-in for the other purpose grants this one as well.
//
// The gate knows the main window only through the targets it is handed by
// the start order; an empty callback means that purpose has nothing to
// unlock yet (an empty "is available"/"is hidden" reads as false).

#include <QDialog>
#include <functional>

class AccountNameLookup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TableCursor;
class TableStore;

struct SecurityTargets
{
    QCheckBox *CheckBox1 = nullptr;             // settings unlock requested or granted
    QCheckBox *CheckBox2 = nullptr;             // journal edit mode requested or granted
    std::function<bool()> editModeAvailable;    // the mode button reads "Режим редактирования"
    std::function<void()> enterEditMode;        // the journal's EnterEditMode
    std::function<bool()> settingsPanelHidden;  // panel_controls is hidden
    std::function<void()> showSettingsPanel;    // shows panel_controls
    std::function<void()> switchPortOff;        // the port switch to off (closes the port)
};

class Security : public QDialog
{
    Q_OBJECT
public:
    // Opens the gate's own cursor on the administrator table, kept for the
    // run. Throws StoreError when the table cannot be opened. parent: the
    // window the gate's messages belong to (the gate itself is centred on
    // the desktop).
    // The gate over the store's administrators.
    explicit Security(TableStore &store, QWidget *parent = nullptr);
    ~Security() override;

    void setTargets(const SecurityTargets &targets) { m_targets = targets; }

    // What every requester does after setting its flag: empty name and
    // password fields, then the gate, modally.
    void request();
    // Empties both fields; emptying a filled name moves the gate's cursor
    // to the first administrator row.
    void clearFields();

    TableCursor *administratorCursor() const { return m_administrators; }

    void OKClick();       // "OK"
    void CancelClick();   // "Отмена"

protected:
    void showEvent(QShowEvent *e) override;

private:
    void createLayout();
    void refuse(const QString &text, QWidget *focus);
    void inform(const QString &text);

    SecurityTargets m_targets;
    TableCursor *m_administrators = nullptr;
    QLabel *m_header = nullptr;
    AccountNameLookup *m_name = nullptr;
    QLineEdit *m_password = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
};
