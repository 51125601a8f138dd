#pragma once
// The main window: five pages, the indicator panel, the hidden state flags,
// the creation steps that bring the settings and the serial link up, and the
// two ways out (the " Выход" button and the close box), both confirmed.
//
// Other parts of the program reach its widgets by objectName
// (findChild<QComboBox *>("comspeed")) or through the accessors below.
// Page 1's entry form goes into entryPanel(), its "  Новый" button into
// newButtonSlot(); page 2's journal browser goes into journalPanel().

#include <QMainWindow>
#include <QPointer>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QWidget;
class ClockLabel;
class EntryForm;
class IndicatorLink;
class IndicatorPanel;
class JournalPage;
class Lamp;
class PortSwitch;
class SettingsPage;
class TableCursor;
class TableStore;

class MainForm : public QMainWindow
{
    Q_OBJECT
public:
    // Pages of PageControl1, in tab order.
    enum Page { WorkPage = 0, JournalPage, SettingsPage, AboutPage, HelpPage };

    // Builds the window and runs FormCreate. programDir holds tools.ini;
    // the table store must be open already.
    // The main window over the store's journal.
    MainForm(TableStore &store, const QString &programDir, QWidget *parent = nullptr);
    // FormDestroy: closes the serial port.
    ~MainForm() override;

    // The creation steps (run by the constructor). A failure in a step is
    // shown by the general error report and the later steps are skipped.
    void FormCreate();

    // " Выход": asks, then takes the link and the journal views down and closes.
    void RxSpeedButton9Click();
    // The "Ок" buttons of "О программе" and "Помощь": back to page 1.
    void RxSpeedButton4Click();
    // Double click on the indicator panel: the settings page.
    void Panel4DblClick();

    // --- what other parts of the program use

    // The main window's journal view on BD_main.db, shared by the entry form,
    // the weigh operation, the journal page and the consignment note.
    TableCursor *journalView() const { return m_journal; }

    // The pending-truck window's journal view. That window is created after
    // this one; the start order hands its view over, and exit and close
    // close it after ours.
    void setPendingView(TableCursor *view);
    TableCursor *pendingView() const;

    // Page 1's entry form (in entryPanel()), with its weigh operation.
    EntryForm *entryForm() const { return m_entryForm; }

    IndicatorLink *indicatorLink() const { return m_link; }
    QTabWidget *pageControl() const { return m_pages; }

    QWidget *entryPanel() const { return m_entryPanel; }       // "EntryPanel"
    QWidget *newButtonSlot() const { return m_newButtonSlot; } // "NewButtonSlot"
    QWidget *journalPanel() const { return m_journalPanel; }   // "JournalPanel"
    ::JournalPage *journalPage() const { return m_journalPage; } // built into journalPanel()
    QPushButton *printButton() const { return m_printme; }     // "printme"
    QPushButton *lockButton() const;         // "LockButton"
    QPushButton *saveSettingsButton() const; // "SaveSettingsButton"
    QPushButton *printerSetupButton() const; // "PrinterSetupButton"
    QWidget *settingsPanel() const;          // "panel_controls"
    ::SettingsPage *settingsPage() const { return m_settingsPage; }
    PortSwitch *portSwitch() const;          // "RxSwitch1"

    // The copies choice of the settings page: 1, 2 or 4.
    int copiesChoice() const;

    // Hidden flags.
    QCheckBox *settingsUnlockFlag() const { return m_checkBox1; } // CheckBox1
    QCheckBox *journalEditFlag() const { return m_checkBox2; }    // CheckBox2
    QCheckBox *exitConfirmedFlag() const { return m_checkexit; }  // Checkexit
    QLineEdit *openComFlag() const { return m_opencom; }          // opencom

    const QString &programDir() const { return m_programDir; }

    // The window's hint on a widget: the lines as its tooltip, and the lines
    // joined on one line as its status-bar text.
    static void setHint(QWidget *w, const QStringList &lines);

protected:
    // Creation step 3: fills the entry form's reference lists from the journal.
    virtual void fillReferenceLists();

    // FormClose.
    void closeEvent(QCloseEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void createLayout();
    QWidget *createWorkPage();
    QWidget *createIndicatorPanel();
    QWidget *createJournalPage();
    QWidget *createAboutPage();
    QWidget *createHelpPage();
    void createFlags(QWidget *host);
    void createIndicatorLink();
    void watchDoubleClicks(QWidget *w);

    bool confirmExit();
    void takeDown();

    QString m_programDir;
    TableCursor *m_journal = nullptr;
    QPointer<TableCursor> m_pendingView;
    EntryForm *m_entryForm = nullptr;
    IndicatorLink *m_link = nullptr;
    IndicatorPanel *m_indicatorPanel = nullptr;

    QTabWidget *m_pages = nullptr;

    // page 1
    QWidget *m_entryPanel = nullptr;
    QWidget *m_panel4 = nullptr;
    QLabel *m_stability = nullptr;   // RxLabel10
    QLabel *m_weight = nullptr;      // RxLabel2
    QString m_weightBeforePass;      // RxLabel2 before the weigh operation took a weight
    QLabel *m_unitLabel = nullptr;   // izmer2
    QLabel *m_status = nullptr;      // RxLabel23
    Lamp *m_lampMain = nullptr;
    ClockLabel *m_clock = nullptr;
    QLabel *m_panel5 = nullptr;
    QLabel *m_panel3 = nullptr;
    QWidget *m_newButtonSlot = nullptr;
    QPushButton *m_printme = nullptr;
    QPushButton *m_exitButton = nullptr; // RxSpeedButton9

    // page 2
    QWidget *m_journalPanel = nullptr;
    ::JournalPage *m_journalPage = nullptr;

    // page 3
    ::SettingsPage *m_settingsPage = nullptr;

    // hidden flags
    QCheckBox *m_checkBox1 = nullptr;
    QCheckBox *m_checkBox2 = nullptr;
    QCheckBox *m_checkexit = nullptr;
    QLineEdit *m_opencom = nullptr;
};
