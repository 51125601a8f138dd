#include "app/mainform.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include "common/session.h"
#include "app/aboutpicture.h"
#include "common/errorreport.h"
#include "app/helptext.h"
#include "app/limitsettings.h"
#include "app/settingsfile.h"
#include "app/settingspage.h"
#include "toolkit/clocklabel.h"
#include "indicator/indicatorlink.h"
#include "indicator/weightdisplay.h"
#include "indicator/indicatorpanel.h"
#include "indicator/indicatorwidgets.h"
#include "toolkit/lamp.h"
#include "toolkit/portswitch.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "weighing/entryform.h"
#include "weighing/tnewdb.h"
#include "weighing/weighoperation.h"
#include "journal/journalpage.h"
#include "toolkit/widgetlook.h"

namespace {

const QString ExitQuestion = QStringLiteral("Вы хотите завершить работу программы?");
const QString ExitCaption = QStringLiteral("Завершение работы программы");
const QString PortLampHint = QStringLiteral("Индикатор работы СОМ порта");
const QString BackToWorkHint = QStringLiteral("Переход на закладку работы с прибором");


QLabel *sunkenPanel(const QString &name, const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    l->setAlignment(Qt::AlignCenter);
    l->setFixedHeight(24);
    return l;
}

// A small printer for the note's button.
QIcon printerIcon()
{
    QPixmap pm(24, 24);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6.5, 2.5, 11, 7));      // paper going in
    p.setBrush(QColor(110, 110, 120));
    p.drawRoundedRect(QRectF(2.5, 8.5, 19, 9), 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6.5, 14.5, 11, 7));     // the printed sheet
    p.setPen(QColor(60, 60, 60));
    p.drawLine(QPointF(8.5, 17.5), QPointF(15.5, 17.5));
    p.drawLine(QPointF(8.5, 19.5), QPointF(13.5, 19.5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(80, 200, 80));
    p.drawEllipse(QRectF(17, 10.5, 2.5, 2.5));
    return QIcon(pm);
}

}

void MainForm::setHint(QWidget *w, const QStringList &lines)
{
    ::setHint(w, lines);
}

MainForm::MainForm(TableStore &store, const QString &programDir, QWidget *parent)
    : QMainWindow(parent), m_programDir(programDir)
{
    setObjectName(QStringLiteral("MainForm"));
    m_journal = new TableCursor(store, Tables::Journal, this);
    m_journal->setObjectName(QStringLiteral("MainJournalView"));

    createLayout();
    createIndicatorLink();
    m_settingsPage->attach({m_checkBox1, m_opencom, m_link, m_programDir,
                            [this] { m_pages->setCurrentIndex(WorkPage); }});
    // What fills the pages (the entry form, the journal page) is built here,
    // before the creation steps, which fill its lists and bring the link up.

    // Weighing: the entry form on page 1; creation step 3 fills its lists.
    m_entryForm = new EntryForm({m_entryPanel, m_newButtonSlot, m_unitLabel, m_journal, m_link});
    // The note is printed for the latest completed record; a form reset
    // leaves none shown.
    WeighOperation *weighing = m_entryForm->weighing();
    connect(weighing, &WeighOperation::secondPassCompleted, m_printme, [this] { m_printme->setEnabled(true); });
    connect(m_entryForm, &EntryForm::resetStarted, m_printme, [this] { m_printme->setEnabled(false); });
    connect(weighing, &WeighOperation::weightTaken, m_weight, [this](const QString &weight) {
        m_weightBeforePass = m_weight->text();
        m_weight->setText(weight);
    });
    connect(weighing, &WeighOperation::weightWithdrawn, m_weight, [this] { m_weight->setText(m_weightBeforePass); });

    connect(m_settingsPage, &SettingsPage::limitsSaved, weighing,
            [this, weighing] { weighing->setLimits(LoadLimits(m_programDir)); });

    // The journal page on page 2, over the same journal view; CheckBox2 is its edit-mode flag.
    m_journalPage = new ::JournalPage({m_journalPanel, m_journal, m_checkBox2, m_programDir});

    FormCreate();
}

MainForm::~MainForm()
{
    // FormDestroy: the port must not stay open behind a window that is gone.
    if (m_link)
        runGuarded([&] { m_link->closePort(); });
}

// ---------------------------------------------------------------- layout

void MainForm::createLayout()
{
    setWindowTitle(QStringLiteral("Кродалин для автомобильных весов v.11.0.5 "));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
                   | Qt::MSWindowsFixedSizeDialogHint);

    setFont(windowFont());

    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("Central"));
    auto *lay = new QVBoxLayout(central);
    lay->setContentsMargins(0, 0, 0, 0);

    m_pages = new QTabWidget(central);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    m_pages->setUsesScrollButtons(false);
    m_pages->setElideMode(Qt::ElideNone);
    m_pages->addTab(createWorkPage(), QStringLiteral("Работа с прибором"));
    m_pages->addTab(createJournalPage(), QStringLiteral("Поиск, Просмотр и Редактирование БД"));
    m_settingsPage = new ::SettingsPage(font());
    m_pages->addTab(m_settingsPage, QStringLiteral("Настройка программы"));
    m_pages->addTab(createAboutPage(), QStringLiteral("О программе"));
    m_pages->addTab(createHelpPage(), QStringLiteral("Помощь"));
    m_pages->setCurrentIndex(WorkPage);
    lay->addWidget(m_pages);

    createFlags(central);
    setCentralWidget(central);

    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setSizeGripEnabled(false);

    setFixedSize(673, 493);
    if (QScreen *s = QGuiApplication::primaryScreen()) {
        QRect r(QPoint(0, 0), size());
        r.moveCenter(s->availableGeometry().center());
        move(r.topLeft());
    }
}

QWidget *MainForm::createWorkPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet1"));
    auto *row = new QHBoxLayout(page);
    row->setContentsMargins(4, 4, 4, 4);
    row->setSpacing(6);

    // The entry form (its lists, modes, weigh button and weight displays)
    // is built into this container by the weighing part of the program.
    m_entryPanel = new QWidget(page);
    m_entryPanel->setObjectName(QStringLiteral("EntryPanel"));
    m_entryPanel->setFixedWidth(462);
    row->addWidget(m_entryPanel);

    auto *right = new QWidget(page);
    right->setObjectName(QStringLiteral("RightPanel"));
    right->setFixedWidth(190);
    auto *col = new QVBoxLayout(right);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(5);

    auto *caption = new QLabel(QStringLiteral("Индикатор работы прибора"), right);
    caption->setObjectName(QStringLiteral("Label30"));
    caption->setFont(pixelFont(font(), 11, true));
    caption->setAlignment(Qt::AlignCenter);
    paintText(caption, Qt::red);
    col->addWidget(caption);

    col->addWidget(createIndicatorPanel());

    auto *lampRow = new QHBoxLayout;
    lampRow->setSpacing(6);
    m_lampMain = new Lamp(right);
    m_lampMain->setObjectName(QStringLiteral("RxLamp1"));
    setHint(m_lampMain, {PortLampHint});
    auto *lampLabel = new QLabel(QStringLiteral("Com port"), right);
    lampLabel->setObjectName(QStringLiteral("Label31"));
    lampRow->addWidget(m_lampMain);
    lampRow->addWidget(lampLabel);
    lampRow->addStretch();
    col->addLayout(lampRow);

    // Time display: the computer's clock and the indicator's time share one
    // place; the serial link decides which one shows (the clock is in front).
    auto *timePlace = new QWidget(right);
    timePlace->setObjectName(QStringLiteral("TimePlace"));
    auto *stack = new QGridLayout(timePlace);
    stack->setContentsMargins(0, 0, 0, 0);
    m_panel5 = sunkenPanel(QStringLiteral("Panel5"), QStringLiteral("12:00"), timePlace);
    m_panel5->setFont(pixelFont(font(), 13, true));
    m_clock = new ClockLabel(timePlace);
    m_clock->setObjectName(QStringLiteral("RxClock1"));
    m_clock->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_clock->setFixedHeight(24);
    m_clock->setAutoFillBackground(true);
    m_clock->setFont(pixelFont(font(), 13, true));
    setHint(m_clock, {QStringLiteral("Время")});
    stack->addWidget(m_panel5, 0, 0);
    stack->addWidget(m_clock, 0, 0);
    m_clock->raise();
    col->addWidget(timePlace);

    m_panel3 = sunkenPanel(QStringLiteral("Panel3"), QString(), right);
    m_panel3->setFont(pixelFont(font(), 13, true));
    setHint(m_panel3, {QStringLiteral("Дата")});
    col->addWidget(m_panel3);

    col->addSpacing(6);

    // The "  Новый" button of the entry form goes here.
    m_newButtonSlot = new QWidget(right);
    m_newButtonSlot->setObjectName(QStringLiteral("NewButtonSlot"));
    auto *slotLayout = new QVBoxLayout(m_newButtonSlot);
    slotLayout->setContentsMargins(0, 0, 0, 0);
    m_newButtonSlot->setFixedHeight(36);
    col->addWidget(m_newButtonSlot);

    m_printme = namedButton(QStringLiteral("printme"), QStringLiteral("  Печать \n  Накладной"), right);
    m_printme->setFixedHeight(36);
    m_printme->setFont(pixelFont(font(), 11, true));
    m_printme->setIcon(printerIcon());
    m_printme->setEnabled(false);
    setHint(m_printme, {QStringLiteral("Печать путев. листа по выбранному АВТО")});
    col->addWidget(m_printme);

    m_exitButton = namedButton(QStringLiteral("RxSpeedButton9"), QStringLiteral(" Выход"), right);
    m_exitButton->setFixedHeight(36);
    m_exitButton->setFont(pixelFont(font(), 11, true));
    paintText(m_exitButton, Qt::red);
    setHint(m_exitButton, {QStringLiteral("Завершение работы")});
    connect(m_exitButton, &QPushButton::clicked, this, guarded([this](bool) { RxSpeedButton9Click(); }));
    col->addWidget(m_exitButton);

    col->addStretch();
    row->addWidget(right);
    return page;
}

QWidget *MainForm::createIndicatorPanel()
{
    // A red 2-pixel rectangle around the white, bordered panel.
    auto *redFrame = new QFrame;
    redFrame->setObjectName(QStringLiteral("Shape1"));
    redFrame->setStyleSheet(QStringLiteral("#Shape1 { border: 2px solid red; }"));
    auto *outer = new QVBoxLayout(redFrame);
    outer->setContentsMargins(2, 2, 2, 2);

    auto *panel = new QFrame(redFrame);
    m_panel4 = panel;
    panel->setObjectName(QStringLiteral("Panel4"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(1);
    panel->setAutoFillBackground(true);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, Qt::white);
    panel->setPalette(pal);
    setHint(panel, {QStringLiteral("если на идикаторе не отображаеться "),
                    QString(18, QLatin1Char(' ')) + QStringLiteral("\"Стабильность\" "),
                    QStringLiteral("значит показания прибора нестабильны! ")});
    outer->addWidget(panel);

    auto *lay = new QVBoxLayout(panel);
    lay->setContentsMargins(6, 3, 6, 4);
    lay->setSpacing(2);

    // The stability label keeps its room while hidden, so the weight does
    // not jump each time it comes and goes.
    m_stability = new QLabel(QStringLiteral("Стабильность"), panel);
    m_stability->setObjectName(QStringLiteral("RxLabel10"));
    m_stability->setFont(pixelFont(font(), 16, true));
    m_stability->setAlignment(Qt::AlignCenter);
    paintText(m_stability, Qt::red);
    QSizePolicy keep = m_stability->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    m_stability->setSizePolicy(keep);
    m_stability->hide();
    lay->addWidget(m_stability);

    auto *weightRow = new QHBoxLayout;
    weightRow->setSpacing(6);
    // The whole weight always shows: a long one gets a smaller font.
    m_weight = new WeightLabel(QStringLiteral("0,000"), panel);
    m_weight->setObjectName(QStringLiteral("RxLabel2"));
    m_weight->setFont(pixelFont(font(), 24, false));
    m_weight->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    paintText(m_weight, Qt::red);
    m_unitLabel = new QLabel(QStringLiteral("кг"), panel);
    m_unitLabel->setObjectName(QStringLiteral("izmer2"));
    m_unitLabel->setFont(pixelFont(font(), 24, true));
    m_unitLabel->setFixedWidth(36);
    paintText(m_unitLabel, Qt::red);
    weightRow->addWidget(m_weight, 1);
    weightRow->addWidget(m_unitLabel);
    lay->addLayout(weightRow);

    m_status = new QLabel(QStringLiteral("Прибор Выключен"), panel);
    m_status->setObjectName(QStringLiteral("RxLabel23"));
    m_status->setFont(pixelFont(font(), 11, true));
    m_status->setAlignment(Qt::AlignCenter);
    paintText(m_status, Qt::red);
    lay->addWidget(m_status);

    watchDoubleClicks(panel);
    return redFrame;
}

QWidget *MainForm::createJournalPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet2"));
    auto *col = new QVBoxLayout(page);
    col->setContentsMargins(4, 4, 4, 4);

    auto *heading = new QLabel(QStringLiteral("Поиск, просмотр и редактирование Базы  Данных"), page);
    heading->setObjectName(QStringLiteral("Label32"));
    heading->setFont(pixelFont(font(), 13, true));
    heading->setAlignment(Qt::AlignCenter);
    paintText(heading, Qt::red);
    col->addWidget(heading);

    // The journal browser is built into this container by the journal page.
    m_journalPanel = new QWidget(page);
    m_journalPanel->setObjectName(QStringLiteral("JournalPanel"));
    col->addWidget(m_journalPanel, 1);
    return page;
}

QWidget *MainForm::createAboutPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet4"));
    auto *picture = new QLabel(page);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setPixmap(QPixmap::fromImage(drawAboutPicture()));
    picture->setGeometry(QRect(QPoint(2, 2), AboutPictureSize));
    setHint(picture, {QStringLiteral("О программе")});

    auto *ok = namedButton(QStringLiteral("RxSpeedButton4"), QStringLiteral("Ок"), page);
    setHint(ok, {BackToWorkHint});
    connect(ok, &QPushButton::clicked, this, [this] { RxSpeedButton4Click(); });
    ok->setGeometry(576, 417, 78, 26);
    return page;
}

QWidget *MainForm::createHelpPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet5"));
    auto *col = new QVBoxLayout(page);
    col->setContentsMargins(4, 4, 4, 4);

    auto *text = new QPlainTextEdit(page);
    text->setObjectName(QStringLiteral("Memo1"));
    text->setReadOnly(true);
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    text->setPlainText(helpText());
    setHint(text, {QStringLiteral("Помощь")});
    col->addWidget(text, 1);

    auto *ok = namedButton(QStringLiteral("RxSpeedButton5"), QStringLiteral("Ок"), page);
    ok->setFixedSize(78, 26);
    setHint(ok, {BackToWorkHint});
    connect(ok, &QPushButton::clicked, this, [this] { RxSpeedButton4Click(); });
    col->addWidget(ok, 0, Qt::AlignRight);
    return page;
}

void MainForm::createFlags(QWidget *host)
{
    // State that other parts of the program keep in the main window. The
    // widgets are never shown; only their values count.
    m_checkBox1 = new QCheckBox(host);
    m_checkBox1->setObjectName(QStringLiteral("CheckBox1"));
    m_checkBox2 = new QCheckBox(host);
    m_checkBox2->setObjectName(QStringLiteral("CheckBox2"));
    m_checkexit = new QCheckBox(host);
    m_checkexit->setObjectName(QStringLiteral("Checkexit"));
    m_opencom = new QLineEdit(QStringLiteral("0"), host);
    m_opencom->setObjectName(QStringLiteral("opencom"));
    for (QWidget *w : std::initializer_list<QWidget *>{m_checkBox1, m_checkBox2, m_checkexit, m_opencom}) {
        w->setVisible(false);
        w->setFocusPolicy(Qt::NoFocus);
    }
}

void MainForm::createIndicatorLink()
{
    IndicatorWidgets w;
    w.weight = m_weight;
    w.unit = m_unitLabel;
    w.status = m_status;
    w.stability = m_stability;
    w.indicatorTime = m_panel5;
    w.date = m_panel3;
    w.pcClock = m_clock;
    w.portSwitch = m_settingsPage->portSwitch();
    w.lampMain = m_lampMain;
    w.lampSettings = m_settingsPage->portLamp();
    m_link = new IndicatorLink(this);
    m_indicatorPanel = new IndicatorPanel(m_link, w, this);
    // The link is handed the settings lists' texts whenever they change: an
    // unsaved choice holds for the next switch-on, as the operator expects.
    m_link->setLineSettings(m_settingsPage->lineSettings());
    connect(m_settingsPage, &SettingsPage::lineSettingsEdited, m_link, &IndicatorLink::setLineSettings);
}

void MainForm::watchDoubleClicks(QWidget *w)
{
    w->installEventFilter(this);
    for (QWidget *child : w->findChildren<QWidget *>())
        child->installEventFilter(this);
}

bool MainForm::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::MouseButtonDblClick && watched->isWidgetType()) {
        auto *w = static_cast<QWidget *>(watched);
        if (w == m_panel4 || m_panel4->isAncestorOf(w)) {
            Panel4DblClick();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, e);
}

int MainForm::copiesChoice() const
{
    return m_settingsPage->copiesChoice();
}


// ---------------------------------------------------------------- creation

void MainForm::FormCreate()
{
    if (Session::LoginOk == 0) {
        // Nobody signed in: nothing may be used, and the event loop ends as
        // soon as it starts (the other windows are still created).
        m_pages->setEnabled(false);
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        return;
    }

    runGuarded([&] {
        if (!m_journal->isOpen())
            m_journal->Open();

        fillReferenceLists();

        const SettingsValues s = LoadSettings(m_programDir);
        m_settingsPage->comselect()->setCurrentText(s.com);
        m_settingsPage->comspeed()->setCurrentText(s.speed);
        m_settingsPage->pribor()->setCurrentText(s.wi);
        m_opencom->setText(s.open);
        m_settingsPage->units()->setCurrentText(s.izmer);
        const WeighLimits limits = LoadLimits(m_programDir);
        m_settingsPage->maxWeight()->setText(limits.max);
        m_settingsPage->minWeight()->setText(limits.min);
        m_entryForm->weighing()->setLimits(limits);

        // The port name is taken from the settings only here; a port chosen
        // later on the settings page waits for the next start.
        const LineSettings line = m_settingsPage->lineSettings();
        m_link->setPortName(line.portName);
        m_link->apply(line, false);

        if (m_opencom->text() == QLatin1String("1")) {
            m_settingsPage->portSwitch()->setOn(true);
            // The link has reported a failed open itself; what follows the
            // failed step is skipped, as after any other failure here.
            if (!m_link->isPortOpen())
                return;
        }

        m_panel3->setText(QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat));
    });
}

void MainForm::fillReferenceLists() { m_entryForm->fillReferenceLists(); }

void MainForm::setPendingView(TableCursor *view) { m_pendingView = view; }

TableCursor *MainForm::pendingView() const { return m_pendingView.data(); }

// ---------------------------------------------------------------- leaving

bool MainForm::confirmExit()
{
    return QMessageBox::question(this, ExitCaption, ExitQuestion, QMessageBox::Yes | QMessageBox::No)
           == QMessageBox::Yes;
}

void MainForm::takeDown()
{
    // Each step runs on its own: a failure in one must not keep the operator
    // in the program or leave the port open.
    runGuarded([&] { m_settingsPage->portSwitch()->setOn(false); });
    runGuarded([&] { m_link->closePort(); });
    runGuarded([&] { m_journal->Close(); });
    runGuarded([&] {
        if (m_pendingView)
            m_pendingView->Close();
    });
}

void MainForm::RxSpeedButton9Click()
{
    if (!confirmExit())
        return;
    m_checkexit->setChecked(true);
    takeDown();
    close();
}

void MainForm::closeEvent(QCloseEvent *e)
{
    if (!m_checkexit->isChecked()) {
        if (!confirmExit()) {
            e->ignore();
            return;
        }
        takeDown();
        m_checkexit->setChecked(true);
    }
    e->accept();
    // Closing the main window ends the program even when another window of
    // it happens to be open. Only while a loop runs: outside one, exit()
    // would make the next loop end before it starts.
    if (QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(0);
}

void MainForm::RxSpeedButton4Click() { m_pages->setCurrentIndex(WorkPage); }

void MainForm::Panel4DblClick() { m_pages->setCurrentIndex(SettingsPage); }

QPushButton *MainForm::lockButton() const { return m_settingsPage->lockButton(); }
QPushButton *MainForm::saveSettingsButton() const { return m_settingsPage->saveButton(); }
QPushButton *MainForm::printerSetupButton() const { return m_settingsPage->printerSetupButton(); }
QWidget *MainForm::settingsPanel() const { return m_settingsPage->panelControls(); }
PortSwitch *MainForm::portSwitch() const { return m_settingsPage->portSwitch(); }
