#include "app/settingspage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

#include "app/limitsettings.h"
#include "app/settingsfile.h"
#include "common/errorreport.h"
#include "indicator/devicemodel.h"
#include "indicator/indicatorlink.h"
#include "toolkit/lamp.h"
#include "toolkit/portswitch.h"
#include "toolkit/widgetlook.h"

namespace {

const QString PortLampHint = QStringLiteral("Индикатор работы СОМ порта");

// Lists of the settings page: editable, as typed text is what gets applied
// and stored; the typed text is never added to the list, and completion
// respects letter case, since the names are compared exactly.
QComboBox *settingsList(const QString &name, const QStringList &items, QWidget *parent)
{
    auto *c = new QComboBox(parent);
    c->setObjectName(name);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->addItems(items);
    if (c->completer())
        c->completer()->setCaseSensitivity(Qt::CaseSensitive);
    return c;
}

} // namespace

SettingsPage::SettingsPage(const QFont &base, QWidget *parent) : QWidget(parent)
{
    QWidget *page = this;
    setObjectName(QStringLiteral("TabSheet3"));
    setFont(base);
    const QFont bold = pixelFont(base, 11, true);

    // --- printer group, top left
    auto *printerBox = new QFrame(page);
    printerBox->setObjectName(QStringLiteral("PrinterGroup"));
    printerBox->setFrameStyle(QFrame::Box | QFrame::Sunken);
    printerBox->setGeometry(8, 8, 420, 104);
    auto *pg = new QGridLayout(printerBox);
    pg->setContentsMargins(8, 6, 8, 6);
    pg->setVerticalSpacing(4);

    auto *printerLabel = new QLabel(QStringLiteral("Настройки принтера"), printerBox);
    printerLabel->setFont(bold);
    pg->addWidget(printerLabel, 0, 0, 1, 4);
    m_printerSetup = namedButton(QStringLiteral("PrinterSetupButton"), QStringLiteral("   Настройки принтера"),
                            printerBox);
    m_printerSetup->setFixedSize(170, 26);
    setHint(m_printerSetup, {QStringLiteral("Настройки принтера")});
    pg->addWidget(m_printerSetup, 1, 0, 1, 4, Qt::AlignLeft);
    auto *copiesLabel = new QLabel(QStringLiteral("Число копий дорожно-транспортной накладной"), printerBox);
    pg->addWidget(copiesLabel, 2, 0, 1, 4);
    m_copies1 = new QRadioButton(QStringLiteral("1"), printerBox);
    m_copies1->setObjectName(QStringLiteral("Copies1"));
    setHint(m_copies1, {QStringLiteral("1 копия")});
    m_copies1->setChecked(true);
    m_copies2 = new QRadioButton(QStringLiteral("2"), printerBox);
    m_copies2->setObjectName(QStringLiteral("Copies2"));
    setHint(m_copies2, {QStringLiteral("2 копии")});
    m_copies4 = new QRadioButton(QStringLiteral("4"), printerBox);
    m_copies4->setObjectName(QStringLiteral("Copies4"));
    setHint(m_copies4, {QStringLiteral("4 копии")});
    pg->addWidget(m_copies1, 3, 0);
    pg->addWidget(m_copies2, 3, 1);
    pg->addWidget(m_copies4, 3, 2);
    pg->setColumnStretch(3, 1);

    // --- administrator lock, to the right of the device panel
    auto *adminLabel = new QLabel(QStringLiteral("Только для Администратора"), page);
    adminLabel->setObjectName(QStringLiteral("AdminLabel"));
    adminLabel->setFont(bold);
    paintText(adminLabel, Qt::red);
    adminLabel->setGeometry(446, 126, 210, 18);
    m_lockButton = namedButton(QStringLiteral("LockButton"),
                          QStringLiteral("Настройки программы \nработы с прибором"), page);
    m_lockButton->setGeometry(446, 148, 200, 44);
    setHint(m_lockButton, {QStringLiteral("Административные настройки"),
                           QStringLiteral("программы для работы с прибором "),
                           QStringLiteral("нужен пароль Администратора!")});

    // --- the locked device panel
    auto *panel = new QGroupBox(QStringLiteral("Настройка работы с прибором"), page);
    m_panelControls = panel;
    panel->setObjectName(QStringLiteral("panel_controls"));
    panel->setFont(bold);
    panel->setGeometry(8, 120, 420, 330);
    auto *g = new QGridLayout(panel);
    g->setContentsMargins(10, 8, 10, 8);
    g->setHorizontalSpacing(10);
    g->setVerticalSpacing(5);
    // The panel's font is bold for its title; its rows are not.
    const QFont regular = pixelFont(base, 11, false);
    auto plain = [&regular](const QString &text, QWidget *parent) {
        auto *l = new QLabel(text, parent);
        l->setFont(regular);
        return l;
    };

    m_pribor = settingsList(QStringLiteral("Pribor"), DeviceModel::modelNames(), panel);
    m_units = settingsList(QStringLiteral("izmer"), {QStringLiteral("кг"), QStringLiteral("тонны")}, panel);
    m_comselect = settingsList(QStringLiteral("comselect"), DeviceModel::portNames(), panel);
    m_comspeed = settingsList(QStringLiteral("comspeed"), DeviceModel::speedNames(), panel);
    for (QComboBox *c : {m_pribor, m_units, m_comselect, m_comspeed}) {
        c->setFont(regular);
        c->setFixedWidth(200);
    }

    g->addWidget(plain(QStringLiteral("Выбор прибора"), panel), 0, 0);
    g->addWidget(m_pribor, 0, 1);
    g->addWidget(plain(QStringLiteral("Выбор едениц измерения"), panel), 1, 0);
    g->addWidget(m_units, 1, 1);
    // The scale's limits, in the unit chosen just above.
    auto limitField = [&](const QString &name, const QString &hint) {
        auto *e = new QLineEdit(panel);
        e->setObjectName(name);
        e->setFont(regular);
        e->setFixedWidth(200);
        setHint(e, {hint, QStringLiteral("в единицах весов; пусто — без предела")});
        return e;
    };
    m_maxWeight = limitField(QStringLiteral("MaxWeight"), QStringLiteral("Наибольший вес, который взвешивают весы"));
    m_minWeight = limitField(QStringLiteral("MinWeight"), QStringLiteral("Наименьший вес, который взвешивают весы"));
    g->addWidget(plain(QStringLiteral("Наибольший предел весов"), panel), 2, 0);
    g->addWidget(m_maxWeight, 2, 1);
    g->addWidget(plain(QStringLiteral("Наименьший предел весов"), panel), 3, 0);
    g->addWidget(m_minWeight, 3, 1);
    auto *comHeading = new QLabel(QStringLiteral("Настройки COM порта"), panel);
    g->addWidget(comHeading, 4, 0, 1, 2);
    g->addWidget(plain(QStringLiteral("Выбор COM порта"), panel), 5, 0);
    g->addWidget(m_comselect, 5, 1);
    g->addWidget(plain(QStringLiteral("Выбор скорости обмена порта"), panel), 6, 0);
    g->addWidget(m_comspeed, 6, 1);

    g->addWidget(plain(QStringLiteral("ВКЛ/ВЫКЛ COM Port"), panel), 7, 0);
    m_portSwitch = new PortSwitch(panel);
    m_portSwitch->setObjectName(QStringLiteral("RxSwitch1"));
    setHint(m_portSwitch, {QStringLiteral("Производит включение и выключение СОМ порта прибора и индикатора "
                                          "работы прибора")});
    g->addWidget(m_portSwitch, 7, 1, Qt::AlignLeft);

    auto *lampRow = new QHBoxLayout;
    lampRow->setSpacing(6);
    m_lampSettings = new Lamp(panel);
    m_lampSettings->setObjectName(QStringLiteral("RxLamp2"));
    setHint(m_lampSettings, {PortLampHint});
    lampRow->addWidget(m_lampSettings);
    lampRow->addWidget(plain(QStringLiteral("Порт COM открыт"), panel));
    lampRow->addStretch();
    g->addLayout(lampRow, 8, 0, 1, 2);
    m_trucksButton = namedButton(QStringLiteral("TrucksButton"), QStringLiteral("Справочник машин"), panel);
    m_trucksButton->setFont(regular);
    m_trucksButton->setFixedSize(170, 26);
    setHint(m_trucksButton, {QStringLiteral("Сохранённая тара и допустимая масса машин")});
    g->addWidget(m_trucksButton, 9, 0, 1, 2, Qt::AlignLeft);
    g->setRowStretch(10, 1);
    panel->hide();

    // --- save, bottom right
    m_saveButton = namedButton(QStringLiteral("SaveSettingsButton"), QStringLiteral("  Сохранить настройки"), page);
    m_saveButton->setGeometry(466, 414, 180, 36);
}


int SettingsPage::copiesChoice() const
{
    if (m_copies4->isChecked())
        return 4;
    if (m_copies2->isChecked())
        return 2;
    return 1;
}

SettingsPage::~SettingsPage() = default;

void SettingsPage::attach(const Links &links)
{
    m_links = links;
    connect(m_lockButton, &QPushButton::clicked, this, guarded([this] { LockButtonClick(); }));
    connect(m_saveButton, &QPushButton::clicked, this, guarded([this] { SaveClick(); }));
    connect(m_printerSetup, &QPushButton::clicked, this, &SettingsPage::printerSetupRequested);
    connect(m_trucksButton, &QPushButton::clicked, this, &SettingsPage::trucksRequested);
    for (QComboBox *list : {m_comselect, m_comspeed, m_pribor, m_units})
        connect(list, &QComboBox::currentTextChanged, this, [this] { emit lineSettingsEdited(lineSettings()); });
}

LineSettings SettingsPage::lineSettings() const
{
    return LineSettings{m_comselect->currentText(), m_comspeed->currentText(), m_pribor->currentText(),
                        m_units->currentText()};
}

bool SettingsPage::isLocked() const { return m_panelControls->isHidden(); }

void SettingsPage::showPanel() { m_panelControls->show(); }

void SettingsPage::LockButtonClick()
{
    // The gate empties its own fields when it is asked for; locking asks
    // nothing of it, and what the panel's boxes show stays unsaved.
    if (!isLocked()) {
        m_panelControls->hide();
        m_links.CheckBox1->setChecked(false);
        return;
    }
    m_links.CheckBox1->setChecked(true);
    emit administratorRequested();
}

void SettingsPage::SaveClick()
{
    if (isLocked()) {
        m_links.showWorkPage();
        return;
    }
    IndicatorLink &link = *m_links.link;

    // A limit that is no weight would silently weigh without it: nothing is
    // applied or written until it reads.
    for (QLineEdit *limit : {m_maxWeight, m_minWeight}) {
        if (!WeighLimitsCheck::readable(limit->text())) {
            QMessageBox box(QMessageBox::Warning, QStringLiteral("Внимание"),
                            QStringLiteral("Предел весов «%1» не является весом. Введите число (например 60000 "
                                           "или 0,5) или оставьте поле пустым.")
                                .arg(limit->text()),
                            QMessageBox::Ok, this);
            box.exec();
            limit->setFocus();
            return;
        }
    }

    // The link goes down while the new parameters are applied and comes up
    // again with them when it was on.
    if (m_portSwitch->isOn()) {
        m_links.opencom->setText(QStringLiteral("1"));
        m_portSwitch->setOn(false);
    } else {
        m_links.opencom->setText(QStringLiteral("0"));
    }
    link.resetDisplay();

    // The port name is not applied: it is taken from the file at the next start.
    link.apply(lineSettings(), true);

    if (m_links.opencom->text() == QLatin1String("1")) {
        m_portSwitch->setOn(true);
        // The link has shown why the port did not open; nothing is written
        // and the panel stays unlocked for another try.
        if (!link.isPortOpen())
            return;
    }

    SaveSettings(m_links.programDir, SettingsValues{m_comselect->currentText(), m_comspeed->currentText(),
                                                    m_pribor->currentText(), m_links.opencom->text(),
                                                    m_units->currentText()});
    SaveLimits(m_links.programDir, m_maxWeight->text(), m_minWeight->text());
    emit limitsSaved();

    m_panelControls->hide();
    m_links.showWorkPage();
    m_links.CheckBox1->setChecked(false);
}
