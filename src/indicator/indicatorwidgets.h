#pragma once
// The widgets of the main window that show the indicator link's reports.
// The main window creates them (with their objectNames) and hands them to the
// IndicatorPanel; the link itself holds none of them.

class QLabel;
class QWidget;
class PortSwitch;
class Lamp;

struct IndicatorWidgets
{
    QLabel *weight = nullptr;         // RxLabel2: the live weight, "0,000" at start
    QLabel *unit = nullptr;           // izmer2: "кг" or "т"
    QLabel *status = nullptr;         // RxLabel23: "Прибор Выключен" / "Прибор Включен"
    QLabel *stability = nullptr;      // RxLabel10: "Стабильность"; shown == StableFlag
    QLabel *indicatorTime = nullptr;  // Panel5: the indicator's time, "12:00" at start
    QLabel *date = nullptr;           // Panel3: the date display
    QWidget *pcClock = nullptr;       // the running clock of the computer's time
    PortSwitch *portSwitch = nullptr; // RxSwitch1: shows PortSwitch
    Lamp *lampMain = nullptr;         // lamp beside "Com port" on the first page
    Lamp *lampSettings = nullptr;     // lamp beside "Порт COM открыт" on the settings panel
};
