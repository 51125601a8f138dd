#include "weighing/truckchoice.h"

#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>

#include "common/errorreport.h"
#include "store/tablecursor.h"
#include "store/truckregister.h"
#include "toolkit/cursorgrid.h"
#include "toolkit/cursormodel.h"
#include "toolkit/widgetlook.h"
#include "weighing/choicelook.h"
#include "weighing/entryform.h"
#include "weighing/journalrecord.h"

namespace {

const QString NoTruckText = QStringLiteral(
    "Нет машин с сохранённой тарой! Взвесьте тару машины с отметкой «Запомнить тару».");

QVector<GridColumn> columns()
{
    using namespace TruckRegister;
    auto col = [](Column c, int width) { return GridColumn{columnNames()[c], columnTitle(c), width}; };
    return {col(Number, 100), col(Tare, 70), col(Unit, 60), col(Day, 155), col(Operator, 130), col(MaxGross, 165)};
}

} // namespace

TruckChoice::TruckChoice(EntryForm *form, QWidget *parent)
    : QDialog(parent), m_form(form), m_view(new TableCursor(form->host().journal->store(), Tables::Trucks, this))
{
    setObjectName(QStringLiteral("TruckChoice"));
    setWindowTitle(QStringLiteral("Выбор машины с сохранённой тарой"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                   | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(716, 291);
    setFont(windowFont());
    ChoiceLook::paintBlue(this);

    // A folder whose register is still missing opens it when it is asked for.
    if (TruckRegister::available(m_view->store()))
        runGuarded([&] { m_view->Open(); });
    m_model = new CursorModel(m_view, columns(), this);
    m_grid = new CursorGrid(this);
    m_grid->setObjectName(QStringLiteral("TruckGrid"));
    m_grid->setCursorModel(m_model);
    m_grid->setGeometry(7, 6, 701, 170);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ChoiceLook::paintBlue(m_grid->horizontalHeader());

    const ChoiceLook::Buttons buttons = ChoiceLook::makeButtons(this);
    m_choose = buttons.choose;
    m_cancel = buttons.cancel;
    connect(m_choose, &QPushButton::clicked, this, guarded([this] { ChooseClick(); }));
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

TruckChoice::~TruckChoice()
{
    delete m_grid;
    m_grid = nullptr;
}

bool TruckChoice::choose()
{
    m_chosen.clear();
    if (!m_view->isOpen()) {
        if (!TruckRegister::available(m_view->store()))
            throw StoreError(QStringLiteral("В базе данных нет справочника машин (BD_trucks). "
                                            "Его добавит команда krodalin-db init, выполненная для папки программы."));
        m_view->Open();
    }
    // A fresh look: another weighbridge may have stored a tare meanwhile.
    m_view->Refresh();
    m_view->First();
    m_grid->viewport()->update();
    exec();
    return !m_chosen.isEmpty();
}

void TruckChoice::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (e->spontaneous())
        return;
    centreOnDesktop(this);
    m_grid->setFocus();
}

void TruckChoice::ChooseClick()
{
    if (!m_view->isOpen() || m_view->IsEmpty() || m_view->FieldText(TruckRegister::Number).isEmpty()) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Внимание"), NoTruckText, QMessageBox::Ok, this);
        box.exec();
        reject();
        return;
    }
    const QString number = m_view->FieldText(TruckRegister::Number);
    // The truck as it came last: its latest record describes this trip too,
    // until the operator changes what differs.
    const QVector<QString> latest = TruckRegister::latestJournalRow(m_view->store(), number);
    QStringList texts;
    for (int p = 0; p < WeighingRecord::EntryFieldCount; ++p)
        texts << latest.value(p);
    texts[WeighingRecord::N_Avto] = number;
    EntryWeights w;
    w.tare = m_view->FieldText(TruckRegister::Tare);
    m_form->loadRecord(texts, w);
    m_chosen = number;
    accept();
}
