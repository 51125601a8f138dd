#pragma once
// The settings page ("Настройка программы"): the printer group with the
// copies choice, the administrator's lock button, the locked device panel
// `panel_controls` (model, unit, port, speed, the port switch and its lamp)
// and "  Сохранить настройки".
//
// The panel is locked (hidden) at start and after every save. The lock
// button unlocks it only through the administrator gate: it sets CheckBox1
// and asks for the gate (administratorRequested(), wired by the start
// order); the gate's sign-in calls showPanel(). Saving applies the panel's
// texts to the serial link and writes them to tools.ini.

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

#include "indicator/linesettings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class IndicatorLink;
class Lamp;
class PortSwitch;

class SettingsPage : public QWidget
{
    Q_OBJECT
public:
    // base: the main window's face, which the page's captions are sized from.
    explicit SettingsPage(const QFont &base, QWidget *parent = nullptr);

    ~SettingsPage() override;

    // What the page works on, all of it the main window's.
    struct Links
    {
        QCheckBox *CheckBox1 = nullptr;     // settings unlock requested or granted
        QLineEdit *opencom = nullptr;       // "1" when the port was on at the last save
        IndicatorLink *link = nullptr;
        QString programDir;                 // where tools.ini lives
        std::function<void()> showWorkPage; // brings "Работа с прибором" to the front
    };
    // Hands the page what it works on and connects its buttons.
    void attach(const Links &links);

    // The copies choice of the note: 1, 2 or 4.
    int copiesChoice() const;

    // The buttons.
    void LockButtonClick();
    void SaveClick();

    // The line settings as the panel's lists show them now.
    LineSettings lineSettings() const;

    // A successful administrator sign-in for the settings shows the panel.
    void showPanel();
    bool isLocked() const;

    QPushButton *printerSetupButton() const { return m_printerSetup; } // "PrinterSetupButton"
    QPushButton *lockButton() const { return m_lockButton; }           // "LockButton"
    QWidget *panelControls() const { return m_panelControls; }         // "panel_controls"
    QComboBox *pribor() const { return m_pribor; }                      // "Pribor"
    QComboBox *units() const { return m_units; }                        // "izmer"
    QComboBox *comselect() const { return m_comselect; }                // "comselect"
    QComboBox *comspeed() const { return m_comspeed; }                  // "comspeed"
    PortSwitch *portSwitch() const { return m_portSwitch; }             // "RxSwitch1"
    Lamp *portLamp() const { return m_lampSettings; }                   // "RxLamp2"
    QPushButton *saveButton() const { return m_saveButton; }            // "SaveSettingsButton"
    // The scale's limits beside the unit, as typed (tools.ini max and min).
    QLineEdit *maxWeight() const { return m_maxWeight; }                 // "MaxWeight"
    QLineEdit *minWeight() const { return m_minWeight; }                 // "MinWeight"
    QPushButton *trucksButton() const { return m_trucksButton; }        // "TrucksButton"

signals:
    // The lock button set CheckBox1 and wants the administrator gate.
    void administratorRequested();
    // "   Настройки принтера": the note's printer set-up is wanted (the start
    // order hands it to the note, which owns the note's print settings).
    void printerSetupRequested();
    // The operator changed a text of the model, unit, port or speed list.
    void lineSettingsEdited(const LineSettings &settings);
    // The limits were written to tools.ini.
    void limitsSaved();
    // "Справочник машин" on the unlocked panel.
    void trucksRequested();

private:
    Links m_links;

    QPushButton *m_printerSetup = nullptr;
    QRadioButton *m_copies1 = nullptr;
    QRadioButton *m_copies2 = nullptr;
    QRadioButton *m_copies4 = nullptr;
    QPushButton *m_lockButton = nullptr;
    QWidget *m_panelControls = nullptr;
    QComboBox *m_pribor = nullptr;
    QComboBox *m_units = nullptr;
    QComboBox *m_comselect = nullptr;
    QComboBox *m_comspeed = nullptr;
    PortSwitch *m_portSwitch = nullptr;
    Lamp *m_lampSettings = nullptr;
    QPushButton *m_saveButton = nullptr;
    QLineEdit *m_maxWeight = nullptr;
    QLineEdit *m_minWeight = nullptr;
    QPushButton *m_trucksButton = nullptr;
};
