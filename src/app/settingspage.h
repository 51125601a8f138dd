#pragma once
// The settings page ("Настройка программы"): the printer group with the
// copies choice, the administrator's lock button, the locked device panel
// `panel_controls` (model, unit, port, speed, the port switch and its lamp)
// and "  Сохранить настройки".

#include <QWidget>

class QComboBox;
class QPushButton;
class QRadioButton;
class Lamp;
class PortSwitch;

class SettingsPage : public QWidget
{
    Q_OBJECT
public:
    // base: the main window's face, which the page's captions are sized from.
    explicit SettingsPage(const QFont &base, QWidget *parent = nullptr);

    // The copies choice of the note: 1, 2 or 4.
    int copiesChoice() const;

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

private:
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
};
