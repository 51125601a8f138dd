#include "weighing/tnewdb.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include "common/errorreport.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "toolkit/cursorgrid.h"
#include "toolkit/cursormodel.h"
#include "weighing/choicelook.h"
#include "weighing/entryform.h"
#include "weighing/journalrecord.h"
#include "weighing/weighoperation.h"
#include "toolkit/widgetlook.h"

namespace {

const QString NoRecordText = QStringLiteral(
    "Ошибка Нет записей для взвешивания! Тара или Брутто для Нового автомобиля НЕБЫЛО измеренно!");

QVector<GridColumn> columns()
{
    using namespace WeighingRecord;
    auto col = [](Field f, int width) { return GridColumn{fieldName(f), title(f), width}; };
    return {col(Dat, -1),    col(Time, 51),  col(N_Avto, 84), col(N_pricepa, 65),
            col(Marcka, 105), col(FIO, 120),  col(Tovar, 126), col(N_List, 98),
            col(Tara, 46),    col(Sum, 49),   col(Klad, 98)};
}

// The picture beside the buttons: a truck standing on a weighbridge.
QPixmap drawPicture(const QSize &size)
{
    QPixmap pm(size);
    pm.fill(Qt::white);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const int w = size.width();
    const int h = size.height();

    // Sky fading into the ground line.
    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(205, 225, 250));
    sky.setColorAt(1, Qt::white);
    p.fillRect(pm.rect(), sky);

    const int ground = h - 18;
    p.fillRect(0, ground, w, h - ground, QColor(170, 170, 170));

    // The weighbridge platform and its indicator post.
    const QRect bridge(40, ground - 6, w - 120, 8);
    p.fillRect(bridge, QColor(90, 90, 110));
    p.setPen(QPen(QColor(60, 60, 70), 1));
    p.drawRect(bridge);
    const int postX = w - 60;
    p.fillRect(postX, ground - 50, 4, 50, QColor(80, 80, 80));
    const QRect display(postX - 22, ground - 72, 48, 24);
    p.setBrush(QColor(30, 30, 30));
    p.drawRoundedRect(display, 3, 3);
    p.setPen(Qt::red);
    QFont f = p.font();
    f.setPixelSize(13);
    f.setBold(true);
    p.setFont(f);
    p.drawText(display, Qt::AlignCenter, QStringLiteral("15,32"));

    // The truck: cab on the right, load body on the left.
    const int base = ground - 6;
    const int x0 = 70;
    p.setPen(QPen(QColor(20, 20, 60), 1));
    p.setBrush(QColor(40, 90, 170));
    p.drawRect(x0, base - 48, 150, 34);                 // body
    p.setBrush(QColor(200, 60, 50));
    QPainterPath cab;
    cab.moveTo(x0 + 156, base - 14);
    cab.lineTo(x0 + 156, base - 50);
    cab.lineTo(x0 + 186, base - 50);
    cab.lineTo(x0 + 202, base - 30);
    cab.lineTo(x0 + 202, base - 14);
    cab.closeSubpath();
    p.drawPath(cab);
    p.setBrush(QColor(200, 230, 250));
    p.drawRect(x0 + 164, base - 45, 18, 13);            // window
    p.setBrush(QColor(60, 60, 60));
    p.drawRect(x0, base - 16, 202, 4);                  // frame
    p.setBrush(QColor(25, 25, 25));
    for (int cx : {x0 + 24, x0 + 52, x0 + 178})
        p.drawEllipse(QPoint(cx, base - 9), 9, 9);
    p.setBrush(QColor(150, 150, 150));
    for (int cx : {x0 + 24, x0 + 52, x0 + 178})
        p.drawEllipse(QPoint(cx, base - 9), 3, 3);
    return pm;
}

} // namespace

TnewDB::TnewDB(EntryForm *form, QWidget *parent)
    : QDialog(parent), m_form(form), m_view(new TableCursor(form->host().journal->store(), Tables::Journal, this))
{
    setObjectName(QStringLiteral("DBnew"));
    m_view->setObjectName(QStringLiteral("PendingJournalView"));
    // The view lives as long as the window; a journal that cannot be opened
    // is reported now and leaves an empty list.
    runGuarded([&] { m_view->Open(); });
    createLayout();
}

TnewDB::~TnewDB()
{
    // The grid must let go of the view before the view goes.
    delete m_grid;
    m_grid = nullptr;
}

void TnewDB::createLayout()
{
    setWindowTitle(QStringLiteral("Выбор машины для взвешивания"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                   | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(616, 291);
    setFont(windowFont());

    ChoiceLook::paintBlue(this);

    m_model = new CursorModel(m_view, columns(), this);
    m_grid = new CursorGrid(this);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_grid->setCursorModel(m_model);
    m_grid->setGeometry(7, 6, 601, 170);
    m_grid->setFrameShape(QFrame::NoFrame);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QPalette gp = m_grid->palette();
    gp.setColor(QPalette::Base, Qt::white);
    gp.setColor(QPalette::Text, Qt::black);
    m_grid->setPalette(gp);
    ChoiceLook::paintBlue(m_grid->horizontalHeader());

    const ChoiceLook::Buttons buttons = ChoiceLook::makeButtons(this);
    m_choose = buttons.choose;
    m_cancel = buttons.cancel;
    connect(m_choose, &QPushButton::clicked, this, guarded([this] { ChooseClick(); }));
    connect(m_cancel, &QPushButton::clicked, this, [this] { CancelClick(); });

    auto *picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setGeometry(168, 186, 440, 96);
    picture->setPixmap(drawPicture(picture->size()));

    // State the window keeps in hidden widgets: the result flag and the
    // marker value the filter asks for.
    m_checkOK2 = new QCheckBox(this);
    m_checkOK2->setObjectName(QStringLiteral("CheckOK2"));
    m_okTara = new QLineEdit(WeighingRecord::Awaiting, this);
    m_okTara->setObjectName(QStringLiteral("ok_tara"));
    m_okBrutto = new QLineEdit(WeighingRecord::Awaiting, this);
    m_okBrutto->setObjectName(QStringLiteral("ok_brutto"));
    for (QWidget *w : std::initializer_list<QWidget *>{m_checkOK2, m_okTara, m_okBrutto}) {
        w->setVisible(false);
        w->setFocusPolicy(Qt::NoFocus);
    }
}

bool TnewDB::CheckOK2() const { return m_checkOK2->isChecked(); }

bool TnewDB::choose(WeighingMode mode)
{
    m_mode = mode;
    // The trucks are read before the window shows: an empty list in front
    // of an error would offer a choice that does not exist.
    FormShow();
    exec();
    return CheckOK2();
}

void TnewDB::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (e->spontaneous())
        return;
    centreOnDesktop(this);
    m_grid->setFocus();
}

void TnewDB::FormShow()
{
    const QString line = m_mode == WeighingMode::TareAfterUnloading
                             ? WeighingRecord::equalsLine(WeighingRecord::Ok_brutto, m_okBrutto->text())
                             : WeighingRecord::equalsLine(WeighingRecord::Ok_tara, m_okTara->text());
    if (!m_view->isOpen())
        m_view->Open();
    m_view->SetFilterLines({line});
    m_view->ActivateFilter();
    // Each showing starts at the first waiting truck.
    m_view->First();

    m_checkOK2->setChecked(false);
    m_chosenId = 0;
    m_grid->viewport()->update();
}

void TnewDB::ChooseClick()
{
    using namespace WeighingRecord;
    if (!m_view->isOpen() || m_view->IsEmpty() || m_view->FieldText(N_Avto).isEmpty()) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Внимание"), NoRecordText, QMessageBox::Ok, this);
        box.exec();
        reject();
        return;
    }

    QStringList texts;
    for (int i = 1; i <= EntryFieldCount; ++i)
        texts << m_view->FieldText(i - 1);
    // The record's first weight; the net waits for the second pass.
    EntryWeights w;
    if (m_mode == WeighingMode::GrossAfterLoading)
        w.tare = m_view->FieldText(Tara);
    else
        w.gross = m_view->FieldText(Sum);
    m_form->loadRecord(texts, w);

    m_chosenId = m_view->currentId();
    m_checkOK2->setChecked(true);
    accept();
}

void TnewDB::CancelClick() { reject(); }
