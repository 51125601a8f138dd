#include "weighing/entryform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <utility>

#include "common/errorreport.h"
#include "indicator/weightdisplay.h"
#include "store/tablecursor.h"
#include "weighing/entryfield.h"
#include "weighing/tnewdb.h"
#include "weighing/weighoperation.h"
#include "toolkit/typedtext.h"
#include "toolkit/widgetlook.h"

namespace {

struct FieldLook
{
    QString label;
    QString hint;
    QString emptyMessage; // empty for the optional trailer number
};

// Entry field i is look[i - 1].
const std::array<FieldLook, WeighingRecord::EntryFieldCount> &fieldLooks()
{
    static const std::array<FieldLook, WeighingRecord::EntryFieldCount> looks = {{
        {QStringLiteral("Автомобиль №:"), QStringLiteral("Номер автомобиля"),
         QStringLiteral("Введите номер автомобиля!")},
        {QStringLiteral("Марка автомобиля:"), QStringLiteral("Марка автомобиля"),
         QStringLiteral("Введите марку автомобиля!")},
        {QStringLiteral("ФИО водителя:"), QStringLiteral("ФИО водителя"),
         QStringLiteral("Введите ФИО водителя автомобиля!")},
        {QStringLiteral("Автопредприятие:"), QStringLiteral("Автопредприятие"),
         QStringLiteral("Введите Название Автопредприятия!")},
        {QStringLiteral("Заказчик:"), QStringLiteral("Заказчик"), QStringLiteral("Введите Заказчика!")},
        {QStringLiteral("Грузоотправитель:"), QStringLiteral("Грузоотправитель"),
         QStringLiteral("Введите Грузоотправителя!")},
        {QStringLiteral("Грузополучатель:"), QStringLiteral("Грузополучатель"),
         QStringLiteral("Введите Грузополучателя!")},
        {QStringLiteral("Пункт разгрузки:"), QStringLiteral("Пункт разгрузки"),
         QStringLiteral("Введите Пункт разгрузки!")},
        {QStringLiteral("Товар:"), QStringLiteral("Товар"), QStringLiteral("Введите Наименование Товара!")},
        {QStringLiteral("Форма\nоплаты:"), QStringLiteral("Форма оплаты"), QStringLiteral("Введите Форму оплаты!")},
        {QStringLiteral("№ путев. листа:"), QStringLiteral("Номер путев. листа"),
         QStringLiteral("Введите Номер путев. листа!")},
        {QStringLiteral("Номер прицепа:"), QStringLiteral("Номер прицепа, если есть!"), QString()},
        {QStringLiteral("Пункт загрузки:"), QStringLiteral("Пункт загрузки"),
         QStringLiteral("Введите Пункт загрузки!")},
    }};
    return looks;
}

struct ModeLook
{
    WeighingMode mode;
    const char *objectName;
    QString caption;
    QString hint;
};

// In the order the group shows them.
const std::array<ModeLook, 5> &modeLooks()
{
    static const std::array<ModeLook, 5> looks = {{
        {WeighingMode::TareBeforeLoading, "RadioButton1", QStringLiteral("Тара перед погрузкой"),
         QStringLiteral("Для тарирования выбирите этот путкт")},
        {WeighingMode::GrossAfterLoading, "RadioButton6", QStringLiteral("Брутто после погрузки"),
         QStringLiteral("Для взвешивания выбирите этот путкт")},
        {WeighingMode::GrossBeforeUnloading, "RadioButton8", QStringLiteral("Брутто перед разгрузкой"),
         QStringLiteral("Для взвешивания выбирите этот путкт")},
        {WeighingMode::TareAfterUnloading, "RadioButton7", QStringLiteral("Тара после разгрузки"),
         QStringLiteral("Для тарирования выбирите этот путкт")},
        {WeighingMode::GrossByStoredTare, "RadioButton9", QStringLiteral("Брутто по сохранённой таре"),
         QStringLiteral("Для взвешивания выбирите этот путкт")},
    }};
    return looks;
}

int modeSlot(WeighingMode m)
{
    const auto &looks = modeLooks();
    for (size_t i = 0; i < looks.size(); ++i)
        if (looks[i].mode == m)
            return int(i);
    return 0;
}

} // namespace

const std::array<int, 12> &EntryForm::requiredFieldOrder()
{
    // The loading point is asked for right after the unloading point.
    static const std::array<int, 12> order = {1, 2, 3, 4, 5, 6, 7, 8, 13, 9, 10, 11};
    return order;
}

QString EntryForm::emptyFieldMessage(int i)
{
    if (i < 1 || i > WeighingRecord::EntryFieldCount)
        return {};
    return fieldLooks()[size_t(i - 1)].emptyMessage;
}

EntryForm::EntryForm(const EntryFormHost &host) : QWidget(host.panel), m_host(host)
{
    setObjectName(QStringLiteral("EntryForm"));
    createLayout();
    m_weighing = new WeighOperation(this);

    connect(m_weighButton, &QPushButton::clicked, this, guarded([this] { m_weighing->Weigh(); }));
    connect(m_newButton, &QPushButton::clicked, this, guarded([this] { formReset(WeighingMode::TareBeforeLoading); }));
}

EntryForm::~EntryForm()
{
    m_stopFilling = true;
    if (m_fillThread.joinable())
        m_fillThread.join();
}

// ---------------------------------------------------------------- layout

void EntryForm::createLayout()
{
    if (m_host.panel) {
        auto *hostLayout = m_host.panel->layout();
        if (!hostLayout) {
            hostLayout = new QVBoxLayout(m_host.panel);
            hostLayout->setContentsMargins(0, 0, 0, 0);
        }
        hostLayout->addWidget(this);
    }

    auto *col = new QVBoxLayout(this);
    col->setContentsMargins(2, 2, 2, 2);
    col->setSpacing(8);
    col->addWidget(createFields());
    col->addWidget(createWeighRow());
    col->addStretch(1);

    m_newButton = new QPushButton(QStringLiteral("  Новый"), m_host.newButtonSlot);
    m_newButton->setObjectName(QStringLiteral("NewButton"));
    m_newButton->setFont(pixelFont(font(), 0, true));
    setHint(m_newButton, {QStringLiteral("Очистка всех полей!"), QStringLiteral("для ввода новых данных!")});
    if (m_host.newButtonSlot) {
        if (QLayout *slot = m_host.newButtonSlot->layout())
            slot->addWidget(m_newButton);
        else
            m_newButton->setGeometry(m_host.newButtonSlot->rect());
    }
}

QWidget *EntryForm::createFields()
{
    auto *box = new QWidget(this);
    box->setObjectName(QStringLiteral("EntryFields"));
    auto *g = new QGridLayout(box);
    g->setContentsMargins(0, 0, 0, 0);
    g->setHorizontalSpacing(6);
    g->setVerticalSpacing(3);

    const QFont bold = pixelFont(font(), 0, true);
    auto label = [&](int i) {
        auto *l = new QLabel(fieldLooks()[size_t(i - 1)].label, box);
        l->setObjectName(QStringLiteral("Label%1").arg(i));
        paintText(l, Qt::blue);
        return l;
    };

    for (int i = 1; i <= WeighingRecord::EntryFieldCount; ++i) {
        auto *c = new EntryField(box);
        c->setObjectName(QStringLiteral("ComboBox%1").arg(i));
        c->setMaxVisibleItems(50);
        c->setFont(bold);
        // A list may hold a million texts: widths come from the layout, not
        // from measuring every entry, and the drop-down rows are alike.
        c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        c->setMinimumContentsLength(4);
        if (auto *view = qobject_cast<QListView *>(c->view()))
            view->setUniformItemSizes(true);
        auto *model = new ReferenceListModel(m_lists.list(i - 1), c);
        c->setModel(model);
        // Inline completion would store "Заказчик-1" for a typed "Заказчик".
        keepTypedText(c);
        c->watchTyping();
        c->setCurrentIndex(-1);
        setHint(c, {fieldLooks()[size_t(i - 1)].hint});
        // Disabled, a field shows the chosen truck's record: keep it legible.
        QPalette pal = c->palette();
        pal.setColor(QPalette::Disabled, QPalette::Text, QColor(80, 80, 80));
        pal.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(80, 80, 80));
        c->setPalette(pal);
        m_fields[size_t(i - 1)] = c;
        m_models[size_t(i - 1)] = model;
    }

    // Truck number with the make's label to its right; the trailer number
    // below it, with the make's field under its label.
    g->addWidget(label(1), 0, 0);
    g->addWidget(m_fields[0], 0, 1);
    g->addWidget(label(2), 0, 2, 1, 2);
    g->addWidget(label(12), 1, 0);
    g->addWidget(m_fields[11], 1, 1);
    g->addWidget(m_fields[1], 1, 2, 1, 2);

    // Driver, company, customer, consignor, consignee, unloading point,
    // loading point and goods, one full-width row each.
    int row = 2;
    for (int i : {3, 4, 5, 6, 7, 8, 13, 9}) {
        g->addWidget(label(i), row, 0);
        g->addWidget(m_fields[size_t(i - 1)], row, 1, 1, 3);
        ++row;
    }

    // Waybill number, form of payment to its right.
    g->addWidget(label(11), row, 0);
    g->addWidget(m_fields[10], row, 1);
    g->addWidget(label(10), row, 2);
    g->addWidget(m_fields[9], row, 3);

    g->setColumnStretch(1, 3);
    g->setColumnStretch(3, 2);
    return box;
}

QWidget *EntryForm::createWeighRow()
{
    auto *rowBox = new QWidget(this);
    rowBox->setObjectName(QStringLiteral("WeighRow"));
    auto *row = new QHBoxLayout(rowBox);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);

    m_weighButton = new QPushButton(QStringLiteral("Взвесить"), rowBox);
    m_weighButton->setObjectName(QStringLiteral("WeighButton"));
    m_weighButton->setFont(pixelFont(font(), 16, true));
    m_weighButton->setFixedSize(104, 96);
    setHint(m_weighButton, {QStringLiteral("Взвешивание и занесения результатов в БД")});
    row->addWidget(m_weighButton, 0, Qt::AlignTop);

    // The three weight displays, stacked with their labels.
    auto *displays = new QWidget(rowBox);
    displays->setObjectName(QStringLiteral("WeightDisplays"));
    auto *dg = new QGridLayout(displays);
    dg->setContentsMargins(0, 0, 0, 0);
    dg->setHorizontalSpacing(4);
    dg->setVerticalSpacing(2);
    const QFont large = pixelFont(font(), 18, true);
    auto display = [&](int n, const QString &caption, const QString &hint) {
        auto *l = new QLabel(caption, displays);
        l->setObjectName(QStringLiteral("DisplayLabel%1").arg(n));
        l->setFont(pixelFont(font(), 12, true));
        paintText(l, Qt::blue);
        auto *e = new QLineEdit(displays);
        e->setObjectName(QStringLiteral("Edit%1").arg(n));
        e->setReadOnly(true);
        e->setFrame(false);
        e->setFont(large);
        e->setFixedWidth(112);
        e->setFocusPolicy(Qt::NoFocus);
        paintText(e, Qt::red);
        // Borderless on the page: only the red figures show.
        QPalette pal = e->palette();
        pal.setColor(QPalette::Base, Qt::transparent);
        e->setPalette(pal);
        setHint(e, {hint});
        keepWholeWeightText(e);
        dg->addWidget(l, n - 1, 0);
        dg->addWidget(e, n - 1, 1);
        return e;
    };
    m_tare = display(1, QStringLiteral("ТАРА:"), QStringLiteral("Тара"));
    m_gross = display(2, QStringLiteral("БРУТТО:"), QStringLiteral("Брутто"));
    m_net = display(3, QStringLiteral("НЕТТО:"), QStringLiteral("Нетто"));
    row->addWidget(displays, 0, Qt::AlignTop);

    // The five modes, in a frame narrow enough margins for the longest caption.
    auto *group = new QGroupBox(QStringLiteral("Режим взвешивания"), rowBox);
    group->setObjectName(QStringLiteral("ModeGroup"));
    auto *gl = new QVBoxLayout(group);
    gl->setContentsMargins(2, 4, 0, 4);
    gl->setSpacing(2);
    for (const ModeLook &look : modeLooks()) {
        auto *b = new QRadioButton(look.caption, group);
        b->setObjectName(QString::fromLatin1(look.objectName));
        setHint(b, {look.hint});
        gl->addWidget(b);
        m_modeButtons[size_t(modeSlot(look.mode))] = b;
        const WeighingMode mode = look.mode;
        connect(b, &QRadioButton::clicked, this, [this, mode] { onModeButtonClicked(mode); });
    }
    m_modeButtons[size_t(modeSlot(WeighingMode::TareBeforeLoading))]->setChecked(true);
    m_rememberTare = new QCheckBox(QStringLiteral("Запомнить тару"), group);
    m_rememberTare->setObjectName(QStringLiteral("RememberTare"));
    setHint(m_rememberTare, {QStringLiteral("Сохранить тару машины для взвешивания в один проход")});
    gl->addWidget(m_rememberTare);
    // Only a pass that weighs the tare can remember it: a tick under a gross
    // mode would promise what is not done.
    for (const ModeLook &look : modeLooks()) {
        const WeighingMode mode = look.mode;
        connect(modeButton(mode), &QRadioButton::toggled, m_rememberTare, [this, mode](bool on) {
            if (!on)
                return;
            m_rememberTare->setEnabled(WeighingModes::weighsTare(mode));
            if (!m_rememberTare->isEnabled())
                m_rememberTare->setChecked(false);
        });
    }
    row->addWidget(group, 1, Qt::AlignTop);
    return rowBox;
}

// ---------------------------------------------------------------- fields

QComboBox *EntryForm::entryField(int i) const
{
    if (i < 1 || i > WeighingRecord::EntryFieldCount)
        return nullptr;
    return m_fields[size_t(i - 1)];
}

QString EntryForm::fieldText(int i) const
{
    QComboBox *c = entryField(i);
    return c ? c->currentText() : QString();
}

void EntryForm::setFieldText(int i, const QString &text)
{
    if (QComboBox *c = entryField(i)) {
        c->setCurrentIndex(-1);
        c->setEditText(text);
    }
}

void EntryForm::setFieldsEnabled(bool on)
{
    for (QComboBox *c : m_fields)
        c->setEnabled(on);
}

// ---------------------------------------------------------------- weights

EntryWeights EntryForm::weights() const { return {m_tare->text(), m_gross->text(), m_net->text()}; }

void EntryForm::setWeights(const EntryWeights &w)
{
    m_tare->setText(w.tare);
    m_gross->setText(w.gross);
    m_net->setText(w.net);
}

void EntryForm::loadRecord(const QStringList &entryTexts, const EntryWeights &w)
{
    for (int i = 1; i <= WeighingRecord::EntryFieldCount; ++i)
        setFieldText(i, entryTexts.value(i - 1));
    setWeights(w);
}

// ---------------------------------------------------------------- modes

QRadioButton *EntryForm::modeButton(WeighingMode m) const { return m_modeButtons[size_t(modeSlot(m))]; }

void EntryForm::selectMode(WeighingMode m)
{
    m_mode = m;
    // setChecked emits no clicked(), so no handler runs.
    modeButton(m)->setChecked(true);
}

void EntryForm::onModeButtonClicked(WeighingMode m)
{
    // Clicking the selected first-pass mode again changes nothing; a
    // second-pass or one-pass mode clicked again offers its trucks once more.
    const WeighingMode previous = m_mode;
    m_mode = m;
    if (m == previous && !WeighingModes::isSecondPass(m) && !WeighingModes::isOnePass(m))
        return;
    emit modeClicked(m, previous);
}

// ---------------------------------------------------------------- lists

void EntryForm::fillReferenceLists() { refreshLists(true); }

void EntryForm::refreshReferenceLists() { refreshLists(false); }

namespace {

// A model reset makes an editable combo box show its first entry; what the
// field showed goes back, and for the field being typed into, where the
// cursor and the selection were.
class ShownText
{
public:
    explicit ShownText(QComboBox *c)
        : m_box(c), m_text(c->currentText()), m_cursor(c->lineEdit()->cursorPosition()),
          m_selectionStart(c->lineEdit()->selectionStart()), m_selectionLength(c->lineEdit()->selectionLength())
    {
    }
    void putBack() const
    {
        m_box->setCurrentIndex(-1);
        m_box->setEditText(m_text);
        QLineEdit *edit = m_box->lineEdit();
        if (m_selectionStart >= 0)
            edit->setSelection(m_selectionStart, m_selectionLength);
        else
            edit->setCursorPosition(m_cursor);
    }

private:
    QComboBox *m_box;
    QString m_text;
    int m_cursor;
    int m_selectionStart;
    int m_selectionLength;
};

} // namespace

void EntryForm::refreshLists(bool atStart)
{
    TableCursor *view = m_host.journal;
    if (!view || !view->isOpen() || view->IsEmpty())
        return;
    // The refresh reads from the view's current row to its end. Rows another
    // weighbridge on the same journal stored since the last refresh lie
    // before this program's latest row, or after the end the view stands
    // past: the refresh starts at the first of them.
    view->lookAfresh();
    // Nothing unread, nothing to do: wherever the journal page left the view,
    // the rows from there on were all read already.
    const QVector<qint64> unread = view->visibleIds(m_lists.takenUpTo(), 1);
    if (unread.isEmpty())
        return;
    // The walk ends past the last row; the view goes back to where it stood,
    // so that a grid over it need not fetch every id up to the last one.
    const qint64 standing = view->AtEnd() ? 0 : view->currentId();
    if (view->AtEnd() || unread.first() != view->currentId())
        view->moveToId(unread.first());

    std::vector<ShownText> shown;
    for (size_t p = 0; p < m_fields.size(); ++p) {
        shown.emplace_back(m_fields[p]);
        m_models[p]->beginChange();
    }
    auto putBack = [&] {
        for (size_t p = 0; p < m_fields.size(); ++p) {
            m_models[p]->endChange(m_lists.isPending(int(p)));
            shown[p].putBack();
        }
    };
    std::unique_ptr<PendingLists> pending;
    try {
        if (atStart && !m_filling)
            pending = m_lists.refreshLeavingLarge(*view);
        else
            m_lists.refresh(*view);
    } catch (...) {
        putBack();
        throw;
    }
    putBack();
    if (standing != 0)
        view->moveToId(standing);
    if (pending)
        startFilling(std::move(pending));
}

void EntryForm::startFilling(std::unique_ptr<PendingLists> read)
{
    for (const int p : read->positions())
        m_fields[size_t(p)]->setFilling(true);
    m_filling = std::move(read);
    m_stopFilling = false;
    m_fillThread = std::thread([this, read = m_filling.get()] {
        bool ran = false;
        std::exception_ptr failure;
        // The posted calls are gone with the form when it is destroyed first.
        const auto seeked = [this] {
            QMetaObject::invokeMethod(this, [this] { takeFilled(m_filling->seekedPositions()); }, Qt::QueuedConnection);
        };
        try {
            ran = read->run(m_stopFilling, seeked);
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(this, [this, ran, failure] { finishFilling(ran, failure); }, Qt::QueuedConnection);
    });
}

void EntryForm::takeFilled(const QVector<int> &positions)
{
    std::vector<std::pair<int, ShownText>> shown;
    for (const int p : positions)
        if (m_lists.isPending(p)) {
            shown.emplace_back(p, ShownText(m_fields[size_t(p)]));
            m_models[size_t(p)]->beginChange();
        }
    QVector<int> ready;
    for (const auto &s : shown)
        ready << s.first;
    m_lists.complete(*m_filling, ready);
    for (const auto &[p, text] : shown) {
        m_models[size_t(p)]->endChange(false);
        text.putBack();
    }
    for (const auto &[p, text] : shown)
        m_fields[size_t(p)]->setFilling(false);
}

void EntryForm::finishFilling(bool ran, std::exception_ptr failure)
{
    m_fillThread.join();
    // Where the worker could not read, the rest is read here: late, but
    // the lists are whole. A failure here too is reported, and the lists
    // show what they hold.
    if (failure || !ran)
        runGuarded([&] { m_filling->runHere(); });
    takeFilled(m_filling->positions());
    m_filling.reset();
    emit fillingDone();
}

// ---------------------------------------------------------------- reset

void EntryForm::formReset(WeighingMode m)
{
    emit resetStarted();
    m_tare->clear();
    m_gross->clear();
    m_net->clear();
    for (int i = 1; i <= WeighingRecord::EntryFieldCount; ++i)
        setFieldText(i, QString());
    // Each tare is remembered on purpose, not by a tick left from the last truck.
    m_rememberTare->setChecked(false);
    setFieldsEnabled(true);
    selectMode(m);
    m_fields[0]->setFocus();
    refreshReferenceLists();
}
