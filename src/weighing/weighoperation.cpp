#include "weighing/weighoperation.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QRadioButton>
#include <QSysInfo>

#include "common/session.h"
#include "common/errorreport.h"
#include "indicator/devicemodel.h"
#include "indicator/indicatorlink.h"
#include "indicator/numberform.h"
#include "indicator/readingtrace.h"
#include "common/failure.h"
#include "store/passlog.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "weighing/tnewdb.h"
#include "weighing/entryform.h"
#include "weighing/journalrecord.h"
#include "weighing/storedtare.h"
#include "weighing/truckchoice.h"

namespace {

const QString MessageCaption = QStringLiteral("Krodalin");
const QString UnstableText = QStringLiteral("Нестабильные показания прибора повторите взвешивание!");
const QString PortOffText = QStringLiteral("Для работы прибора необходимо включить СОМ Порт!");
const QString CompletionCaption = QStringLiteral("Взвешивание");
const QString RefusalCaption = QStringLiteral("Внимание");
const QString NoPassLogText = QStringLiteral(
    "Взвешивание не записано: в базе данных нет таблиц сведений о взвешивании (BD_pass, BD_chain). "
    "Их добавит команда krodalin-db init, выполненная для папки программы.");
const QString AlreadyCompletedText = QStringLiteral(
    "Взвешивание этой машины уже завершено. Выберите машину заново в списке ожидающих взвешивания.");
const QString NoLongerAwaitingText = QStringLiteral(
    "Выбранная машина больше не ожидает взвешивания. Выберите машину заново в списке ожидающих взвешивания.");
// Another weighbridge on the same journal completed the record between this
// one's look and its write.
const QString CompletedElsewhereText = QStringLiteral(
    "Эту машину только что взвесили на другом весовом посту. Второе взвешивание не записано. "
    "Выберите машину заново в списке ожидающих взвешивания.");

const QString ChooseStoredTareText = QStringLiteral(
    "Выберите машину заново в списке машин с сохранённой тарой (режим «Брутто по сохранённой таре»). "
    "Взвешивание не записано.");

// Weights are never converted, so a second weight in another unit than the
// first would make a net of kilograms less tonnes.
QString mixedUnitsText(const QString &recordUnit, const QString &unit)
{
    return QStringLiteral("Первое взвешивание этой машины записано в единицах «%1», а сейчас выбраны единицы «%2». "
                          "Второе взвешивание не записано: верните единицы «%1» в настройках и повторите взвешивание.")
        .arg(recordUnit, unit);
}

double parseWeight(const QString &text)
{
    const std::optional<double> v = NumberForm::parse(text);
    if (!v)
        throw Failure(QStringLiteral("'%1' не является правильным числом с плавающей точкой").arg(text));
    return *v;
}

// The indicator's date ("21.03.24"): a two-digit year is taken within fifty
// years of today, either way.
QDate parseIndicatorDate(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{2})\\.(\\d{2})\\.(\\d{2}|\\d{4})$"));
    const QRegularExpressionMatch m = form.match(text);
    QDate d;
    if (m.hasMatch()) {
        int year = m.captured(3).toInt();
        if (m.captured(3).size() == 2) {
            const int first = QDate::currentDate().year() - 50;
            year = first + ((year - first % 100) % 100 + 100) % 100;
        }
        d = QDate(year, m.captured(2).toInt(), m.captured(1).toInt());
    }
    if (!d.isValid())
        throw Failure(QStringLiteral("'%1' не является правильной датой").arg(text));
    return d;
}

// Leaves the view browsing when a step of a pass failed, so that the half-set
// record is not stored later, unannounced, by the view's next move.
template <typename F>
void storeOrDrop(TableCursor *view, F &&steps)
{
    try {
        steps();
    } catch (...) {
        // The failure that stopped the pass is what the operator is told; a
        // cancel that fails with it (the server gone) would only repeat it.
        if (view->state() == TableCursor::State::Edit || view->state() == TableCursor::State::Insert) {
            try {
                view->Cancel();
            } catch (const Failure &) {
            }
        }
        throw;
    }
}

} // namespace

WeighOperation::WeighOperation(EntryForm *form) : QObject(form), m_form(form)
{
    setObjectName(QStringLiteral("WeighOperation"));
    if (form->host().link)
        m_trace = new ReadingTrace(form->host().link, this);
    connect(form, &EntryForm::modeClicked, this,
            guarded([this](WeighingMode m, WeighingMode previous) { modeChosen(m, previous); }));
}

void WeighOperation::setPendingWindow(TnewDB *window) { m_pending = window; }

void WeighOperation::setTruckChoice(TruckChoice *window) { m_truckChoice = window; }

void WeighOperation::refuse(const QString &text) const
{
    QMessageBox box(QMessageBox::Warning, RefusalCaption, text, QMessageBox::Ok, m_form->window());
    box.exec();
}

TableStore &WeighOperation::store() const { return m_form->host().journal->store(); }

QString WeighOperation::unitText() const
{
    return m_form->host().unitLabel ? m_form->host().unitLabel->text() : QString();
}

void WeighOperation::plainMessage(const QString &text) const
{
    QMessageBox box(QMessageBox::NoIcon, MessageCaption, text, QMessageBox::Ok, m_form->window());
    box.exec();
}

// ---------------------------------------------------------------- modes

void WeighOperation::modeChosen(WeighingMode m, WeighingMode previous)
{
    if (WeighingModes::isOnePass(m)) {
        if (!m_truckChoice)
            throw Failure(QStringLiteral("Окно выбора машины с сохранённой тарой не создано"));
        m_storedTareTruck.clear();
        m_form->formReset(m);
        try {
            if (m_truckChoice->choose()) {
                m_storedTareTruck = m_truckChoice->chosenNumber();
                return;
            }
        } catch (...) {
            m_form->selectMode(previous);
            throw;
        }
        // No stored tare chosen: the truck's tare is weighed first.
        m_form->formReset(WeighingMode::TareBeforeLoading);
        m_form->modeButton(WeighingMode::TareBeforeLoading)->setFocus();
        return;
    }
    if (!WeighingModes::isSecondPass(m)) {
        m_form->formReset(m);
        return;
    }

    if (!m_pending)
        throw Failure(QStringLiteral("Окно выбора машины для взвешивания не создано"));
    bool chosen = false;
    try {
        chosen = m_pending->choose(m);
    } catch (...) {
        // The trucks could not be read and the window stayed shut: the
        // form, its mode and an earlier choice stay as they were.
        m_form->selectMode(previous);
        throw;
    }
    m_chosenId = chosen ? m_pending->chosenId() : 0;
    if (chosen) {
        // The record's texts and first weight are in the form now.
        m_form->setFieldsEnabled(false);
        return;
    }
    const WeighingMode partner = WeighingModes::firstPassPartner(m);
    m_form->formReset(partner);
    m_form->modeButton(partner)->setFocus();
}

// ---------------------------------------------------------------- weigh

bool WeighOperation::checkFields()
{
    for (int i : EntryForm::requiredFieldOrder()) {
        // Blanks count as a value: the text is taken as typed.
        if (m_form->fieldText(i).isEmpty()) {
            plainMessage(EntryForm::emptyFieldMessage(i));
            m_form->entryField(i)->setFocus();
            return false;
        }
    }
    return true;
}

WeighOperation::Stamp WeighOperation::passStamp() const
{
    const IndicatorLink *link = m_form->host().link;
    const DeviceModel::Model *model = DeviceModel::traits(link->modelText());
    Stamp s;
    if (!model)
        return s; // a model text nobody knows dates nothing
    if (model->clock == DeviceModel::ClockSource::Indicator) {
        // The indicator's own clock dates the pass.
        s.write = true;
        s.date = QDateTime(parseIndicatorDate(link->IndicatorDate()), QTime(0, 0));
        s.time = link->IndicatorTime();
    } else {
        const QDateTime now = QDateTime::currentDateTime();
        s.write = true;
        s.date = now;
        s.time = now.time().toString(QStringLiteral("HH:mm:ss"));
    }
    return s;
}

bool WeighOperation::choiceStillAwaiting(WeighingMode m, QString *refusal) const
{
    if (m_chosenId == 0) {
        *refusal = AlreadyCompletedText;
        return false;
    }
    const TableCursor *view = m_pending ? m_pending->journalView() : nullptr;
    if (!view || view->currentId() != m_chosenId) {
        *refusal = NoLongerAwaitingText;
        return false;
    }
    // The record as stored now: the journal page, or another weighbridge on
    // the same journal, may have changed it since.
    view->lookAfresh();
    const QVector<QString> stored = view->rowById(m_chosenId);
    const int marker = WeighingModes::awaitingMarker(m);
    if (stored.size() <= marker || stored[marker] != WeighingRecord::Awaiting) {
        *refusal = NoLongerAwaitingText;
        return false;
    }
    return true;
}

void WeighOperation::Weigh()
{
    // The moment of the press, before any message waits for the operator.
    Press press;
    press.at = QDateTime::currentDateTime();
    if (m_trace)
        press.trace = m_trace->beforeNow();
    const WeighingMode mode = m_form->mode();
    const IndicatorLink *link = m_form->host().link;
    const bool switchOn = link->isSwitchOn();

    if (switchOn && !WeighingModes::isSecondPass(mode) && !checkFields())
        return;
    // With the switch off the reading is never stable either, so this is
    // what the operator sees then, also with empty fields.
    if (!link->StableFlag()) {
        plainMessage(UnstableText);
        return;
    }
    if (!switchOn) {
        plainMessage(PortOffText);
        return;
    }
    // The value tested is the value stored: nothing runs in between.
    const double w = link->CurrentReading();
    if (w == 0)
        return;
    // What the scale cannot weigh is not stored.
    if (const QString outside = WeighLimitsCheck::outsideScale(m_limits, w, unitText()); !outside.isEmpty()) {
        refuse(outside);
        return;
    }

    if (WeighingModes::isSecondPass(mode)) {
        QString refusal;
        if (!choiceStillAwaiting(mode, &refusal) || !sameUnitAsRecord(&refusal)) {
            QMessageBox box(QMessageBox::Warning, RefusalCaption, refusal, QMessageBox::Ok, m_form->window());
            box.exec();
            return;
        }
    }
    // A date the indicator sent that does not read stops the pass here,
    // before anything is shown or written.
    const Stamp stamp = passStamp();
    if (!PassLog::available(store())) {
        QMessageBox box(QMessageBox::Warning, RefusalCaption, NoPassLogText, QMessageBox::Ok, m_form->window());
        box.exec();
        return;
    }

    // What the displays show now, for a pass that fails before its record
    // is stored: a weighing that was not stored must not look completed.
    const QString weight = NumberForm::format(w);
    if (!registerAllows(mode, weight))
        return;

    const EntryWeights shownBefore = m_form->weights();
    m_stored = false;

    EntryWeights shown = shownBefore;
    shown.net.clear();
    m_form->setWeights(shown);
    emit weightTaken(weight);

    try {
        if (WeighingModes::isOnePass(mode))
            onePass(mode, weight, stamp, press);
        else if (WeighingModes::isSecondPass(mode))
            secondPass(mode, weight, stamp, press);
        else
            firstPass(mode, weight, stamp, press);
    } catch (const RowChangedError &) {
        // Nothing was written; the form keeps the truck, the displays what
        // they showed before the press.
        m_form->setWeights(shownBefore);
        emit weightWithdrawn();
        QMessageBox box(QMessageBox::Warning, RefusalCaption, CompletedElsewhereText, QMessageBox::Ok,
                        m_form->window());
        box.exec();
        return;
    } catch (...) {
        if (!m_stored) {
            m_form->setWeights(shownBefore);
            emit weightWithdrawn();
        }
        throw;
    }
}

bool WeighOperation::sameUnitAsRecord(QString *refusal) const
{
    const QVector<QString> stored = m_pending->journalView()->rowById(m_chosenId);
    const QString recordUnit = stored.value(WeighingRecord::Ed_izm);
    const QString unit = m_form->host().unitLabel ? m_form->host().unitLabel->text() : QString();
    // A record without a unit (written before units were kept) has nothing
    // to disagree with.
    if (recordUnit.isEmpty() || recordUnit == unit)
        return true;
    *refusal = mixedUnitsText(recordUnit, unit);
    return false;
}

TableCursor::PostRecorder WeighOperation::passRecorder(WeighingMode m, int pass, const QString &weight,
                                                      const Press &press)
{
    PassRecord record;
    record.pass = pass;
    record.mode = m_form->modeButton(m)->text();
    record.weight = weight;
    record.unit = m_form->host().unitLabel ? m_form->host().unitLabel->text() : QString();
    record.at = press.at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    const IndicatorLink *link = m_form->host().link;
    const DeviceModel::Model *model = DeviceModel::traits(link->modelText());
    if (model && model->clock == DeviceModel::ClockSource::Indicator) {
        record.indicatorDate = link->IndicatorDate();
        record.indicatorTime = link->IndicatorTime();
    }
    record.operatorName = Session::OperatorName;
    record.station = QSysInfo::machineHostName();
    record.trace = press.trace;
    record.tareFrom = m_notes.tareFrom;
    record.tareDay = m_notes.tareDay;
    record.tareRow = m_notes.tareRow;
    record.overload = m_notes.overload;
    return [&store = store(), record](qint64 rowId, const FieldValues &written) mutable {
        record.rowId = rowId;
        try {
            PassLog::write(store, record, written);
        } catch (const Failure &e) {
            throw StoreError(QStringLiteral("Взвешивание не записано: не удалось сохранить сведения о взвешивании (%1)")
                                 .arg(e.message()));
        }
    };
}

void WeighOperation::firstPass(WeighingMode m, const QString &weight, const Stamp &stamp, const Press &press)
{
    TableCursor *view = m_form->host().journal;
    const bool tare = WeighingModes::weighsTare(m);
    EntryWeights shown = m_form->weights();
    if (tare) {
        shown.tare = weight;
        shown.gross.clear();
    } else {
        shown.gross = weight;
        shown.tare.clear();
    }
    m_form->setWeights(shown);

    // The journal page may be in edit mode on this view: a weighing is no
    // hand edit, and neither leaves a trail nor waits for one.
    view->Append(TableCursor::Origin::Program);
    storeOrDrop(view, [&] {
        writeEntryFields(view, stamp);
        if (tare)
            view->SetFieldText(WeighingRecord::Tara, m_form->weights().tare);
        else
            view->SetFieldText(WeighingRecord::Sum, m_form->weights().gross);
        view->SetFieldText(WeighingRecord::Klad, Session::OperatorName);
        view->SetFieldText(WeighingRecord::Ed_izm,
                           m_form->host().unitLabel ? m_form->host().unitLabel->text() : QString());
        view->SetFieldText(WeighingModes::awaitingMarker(m), WeighingRecord::Awaiting);
        view->setPostRecorder(remembering(m, passRecorder(m, 1, weight, press), weight, stamp));
        view->Post();
    });
    m_stored = true;
    const qint64 id = view->currentId();

    // Only now, with the record on disk, is the operator told.
    QMessageBox box(QMessageBox::Information, CompletionCaption, WeighingModes::completionText(m), QMessageBox::Ok,
                    m_form->window());
    box.exec();
    emit firstPassStored(id);

    // Ready for the next truck; the lists take up this record's values.
    m_form->formReset(WeighingMode::TareBeforeLoading);
}

void WeighOperation::secondPass(WeighingMode m, const QString &weight, const Stamp &stamp, const Press &press)
{
    TableCursor *view = m_pending->journalView();
    const bool tare = WeighingModes::weighsTare(m);
    EntryWeights shown = m_form->weights();
    if (tare)
        shown.tare = weight;
    else
        shown.gross = weight;
    m_form->setWeights(shown);

    // Parsed before the record is touched: a first weight edited into
    // something that is not a number leaves the record as it was.
    const QString tareText = m_form->weights().tare;
    const QString grossText = m_form->weights().gross;
    parseWeight(tareText);
    parseWeight(grossText);
    // Exactly on the decimal digits: 15,3 less 15,2 is 0,1.
    const QString net = NumberForm::difference(grossText, tareText).value_or(QString());
    shown = m_form->weights();
    shown.net = net;
    m_form->setWeights(shown);

    const qint64 id = m_chosenId;
    view->Edit(TableCursor::Origin::Program);
    storeOrDrop(view, [&] {
        if (tare)
            view->SetFieldText(WeighingRecord::Tara, tareText);
        else
            view->SetFieldText(WeighingRecord::Sum, grossText);
        view->SetFieldText(WeighingRecord::Netto, m_form->weights().net);
        view->SetFieldText(WeighingRecord::Ok_tara, WeighingRecord::Done);
        view->SetFieldText(WeighingRecord::Ok_brutto, WeighingRecord::Done);
        view->SetFieldText(WeighingRecord::Ok_cicle, WeighingRecord::Completed);
        view->SetFieldText(WeighingRecord::Klad, Session::OperatorName);
        if (stamp.write) {
            view->SetFieldDateTime(WeighingRecord::Dat, stamp.date);
            view->SetFieldText(WeighingRecord::Time, stamp.time);
        }
        // Completed once only: the update itself checks that the record still
        // awaits this pass, so that of two weighbridges pressing "Взвесить"
        // on the same truck one completes it and the other is refused.
        view->setPostRecorder(remembering(m, passRecorder(m, 2, weight, press), tareText, stamp));
        view->PostIfStill(WeighingModes::awaitingMarker(m), WeighingRecord::Awaiting);
    });
    m_stored = true;
    // The choice is used up: a further press needs a new one.
    m_chosenId = 0;
    m_lastCompletedId = id;

    QMessageBox box(QMessageBox::Information, CompletionCaption, WeighingModes::completionText(m), QMessageBox::Ok,
                    m_form->window());
    box.exec();

    // The note's print button comes on with this.
    emit secondPassCompleted(id);
}

// ---------------------------------------------------------------- the truck register

bool WeighOperation::registerAllows(WeighingMode m, const QString &weight)
{
    m_notes = PassRecord();
    const QString number = m_form->fieldText(1);
    std::optional<TruckRegister::Truck> truck;
    if (WeighingModes::isOnePass(m)) {
        // The tare belongs to the truck chosen; a number typed over since is another truck.
        if (m_storedTareTruck.isEmpty() || number != m_storedTareTruck) {
            refuse(ChooseStoredTareText);
            return false;
        }
        // The tare as stored now: another weighbridge may have replaced it.
        truck = TruckRegister::find(store(), number);
        TruckRegister::Truck none;
        none.number = number;
        const QString why = StoredTare::refusal(truck.value_or(none), weight, unitText(), m_limits,
                                                QDate::currentDate());
        if (!why.isEmpty()) {
            refuse(why);
            return false;
        }
        m_pressTruck = *truck;
        m_notes.tareFrom = QStringLiteral("stored");
        m_notes.tareDay = truck->day.toString(Qt::ISODate);
        m_notes.tareRow = truck->rowId;
    } else if (m == WeighingMode::GrossBeforeUnloading || m == WeighingMode::GrossAfterLoading) {
        if (TruckRegister::available(store()))
            truck = TruckRegister::find(store(), number);
    }
    if (!truck)
        return true;
    const std::optional<double> permitted = StoredTare::permittedGross(*truck, unitText());
    if (!permitted || *NumberForm::parse(weight) <= *permitted)
        return true;
    QMessageBox box(QMessageBox::Question, RefusalCaption,
                    StoredTare::overloadQuestion(number, weight, *permitted, unitText()),
                    QMessageBox::Yes | QMessageBox::No, m_form->window());
    if (box.exec() != QMessageBox::Yes)
        return false;
    m_notes.overload = StoredTare::overloadNote(weight, *permitted, unitText());
    return true;
}

TableCursor::PostRecorder WeighOperation::remembering(WeighingMode m, TableCursor::PostRecorder recorder,
                                                      const QString &tare, const Stamp &stamp) const
{
    if (!WeighingModes::weighsTare(m) || !m_form->rememberTare()->isChecked())
        return recorder;
    TruckRegister::Truck truck;
    truck.number = m_form->fieldText(1);
    truck.tare = tare;
    truck.unit = unitText();
    truck.day = stamp.write ? stamp.date.date() : QDate::currentDate();
    truck.operatorName = Session::OperatorName;
    return StoredTare::rememberingTare(store(), std::move(recorder), truck);
}

void WeighOperation::writeEntryFields(TableCursor *view, const Stamp &stamp) const
{
    for (int p = 0; p < WeighingRecord::EntryFieldCount; ++p)
        view->SetFieldText(p, m_form->fieldText(p + 1));
    if (stamp.write) {
        view->SetFieldDateTime(WeighingRecord::Dat, stamp.date);
        view->SetFieldText(WeighingRecord::Time, stamp.time);
    }
}

void WeighOperation::onePass(WeighingMode m, const QString &weight, const Stamp &stamp, const Press &press)
{
    TableCursor *view = m_form->host().journal;
    // The tare as read at the press, which its BD_pass row names; the one
    // shown when the truck was chosen may have been replaced since.
    const QString tare = m_pressTruck.tare;
    const QString net = NumberForm::difference(weight, tare).value_or(QString());
    m_form->setWeights({tare, weight, net});

    view->Append(TableCursor::Origin::Program);
    storeOrDrop(view, [&] {
        writeEntryFields(view, stamp);
        view->SetFieldText(WeighingRecord::Tara, tare);
        view->SetFieldText(WeighingRecord::Sum, weight);
        view->SetFieldText(WeighingRecord::Netto, net);
        view->SetFieldText(WeighingRecord::Klad, Session::OperatorName);
        view->SetFieldText(WeighingRecord::Ed_izm, unitText());
        view->SetFieldText(WeighingRecord::Ok_tara, WeighingRecord::Done);
        view->SetFieldText(WeighingRecord::Ok_brutto, WeighingRecord::Done);
        view->SetFieldText(WeighingRecord::Ok_cicle, WeighingRecord::Completed);
        view->setPostRecorder(passRecorder(m, 1, weight, press));
        view->Post();
    });
    m_stored = true;
    const qint64 id = view->currentId();
    // Used up: a further press needs a new choice.
    m_storedTareTruck.clear();
    m_lastCompletedId = id;
    m_form->setFieldsEnabled(false);

    QMessageBox box(QMessageBox::Information, CompletionCaption, WeighingModes::completionText(m), QMessageBox::Ok,
                    m_form->window());
    box.exec();
    emit secondPassCompleted(id);
}
