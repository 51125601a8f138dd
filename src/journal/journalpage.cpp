#include "journal/journalpage.h"
#include "journal/storedtaremark.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>
#include <QStringListModel>
#include <QThread>
#include <QVBoxLayout>

#include <limits>

#include "common/errorreport.h"
#include "store/filterpreview.h"
#include "store/hashchain.h"
#include "store/schema.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "toolkit/cursorgrid.h"
#include "toolkit/cursormodel.h"
#include "toolkit/datefield.h"
#include "toolkit/navigator.h"
#include "toolkit/typedtext.h"
#include "toolkit/widgetlook.h"

const QString JournalPage::ViewModeCaption = QStringLiteral("Режим редактирования");
const QString JournalPage::EditModeCaption = QStringLiteral("Режим просмотра и поиска");
const QString JournalPage::CompletedLine = WeighingRecord::equalsLine(WeighingRecord::Ok_cicle, QStringLiteral("2"));

namespace {

const QString ConditionHint = QStringLiteral("Выбор условий для поиска");

// The grid's columns, left to right; -1 keeps the default width.
const QVector<GridColumn> &journalColumns()
{
    using namespace WeighingRecord;
    static const QVector<GridColumn> columns = [] {
        const std::pair<Field, int> shown[] = {
            {N_Avto, 91},  {N_pricepa, -1},    {Marcka, 111}, {FIO, 141},   {AvtoPr, 99},   {Zakazchik, 154},
            {Okpo, 100},   {Gruz_otprav, 160}, {Gruz_poluch, -1}, {Punkt, 134}, {Punkt_zagruz, -1}, {Tovar, -1},
            {Zena, -1},    {Forma, -1},        {N_List, 100}, {Tara, -1},   {Netto, -1},    {Sum, -1},
            {Ed_izm, -1},  {Dat, -1},          {Time, -1},    {Klad, 106},
        };
        QVector<GridColumn> list;
        for (const auto &[field, width] : shown)
            list.append({fieldName(field), title(field), width});
        return list;
    }();
    return columns;
}

// The preparation tool's command that adds BD_audit to the journal's database.
QString trailCommand(const QString &programDir)
{
    const TableStore::Location where = TableStore::location(programDir);
    if (where.engine == TableStore::Engine::SQLite)
        return QStringLiteral("krodalin-db init \"%1\"").arg(programDir);
    QStringList keys;
    const auto add = [&keys](const char *key, const QString &value) {
        if (!value.isEmpty())
            keys << QStringLiteral("%1=%2").arg(QLatin1String(key), value);
    };
    add("host", where.host);
    add("port", where.port > 0 ? QString::number(where.port) : QString());
    add("dbname", where.database);
    add("user", where.user);
    if (!where.options.isEmpty())
        keys << where.options;
    return QStringLiteral("krodalin-db init --server \"%1\"").arg(keys.join(QLatin1Char(' ')));
}

const char *const ListLabels[SearchListCount] = {"Заказчику", "Ф.И.О Водителя", "Номер Авто",
                                                 "Автопредприятие", "Весовщик", "Товару"};

}

JournalPage::JournalPage(const JournalPageHost &host) : QWidget(host.panel), m_host(host)
{
    setObjectName(QStringLiteral("JournalPage"));
    createGrid();
    createLayout();
    setEditing(false);
    if (m_host.panel) {
        auto *lay = new QVBoxLayout(m_host.panel);
        lay->setContentsMargins(0, 0, 0, 0);
        lay->addWidget(this);
    }
}

JournalPage::~JournalPage()
{
    // A read under way ends before its page goes.
    for (QThread *thread : findChildren<QThread *>(Qt::FindDirectChildrenOnly))
        thread->wait();
}

// ---------------------------------------------------------------- layout

void JournalPage::createGrid()
{
    m_model = new CursorModel(m_host.journal, journalColumns(), this);
    m_grid = new CursorGrid(this);
    m_grid->setObjectName(QStringLiteral("JournalGrid"));
    m_grid->setCursorModel(m_model);
    m_navigator = new DbNavigator(this);
    m_navigator->setObjectName(QStringLiteral("JournalNavigator"));
    m_navigator->setCursor(m_host.journal);
    // No short hint; the long one goes to the status bar.
    m_navigator->setStatusTip(QStringLiteral("Действия проводимые Навигатором применяються к текущей записи"));
}

void JournalPage::createLayout()
{
    auto *col = new QVBoxLayout(this);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(3);
    col->addWidget(m_grid, 1);
    col->addWidget(m_navigator);
    // Which records took their tare from the truck register.
    m_storedTareMark = new QLabel(this);
    m_storedTareMark->setObjectName(QStringLiteral("StoredTareMark"));
    paintText(m_storedTareMark, Qt::darkGreen);
    col->addWidget(m_storedTareMark);
    connect(m_host.journal, &TableCursor::currentChanged, m_storedTareMark, [this] {
        // Only a look: a mark that cannot be read stays blank rather than
        // stopping every move of the grid with a message.
        try {
            m_storedTareMark->setText(StoredTareMark::forRow(m_host.journal->store(), m_host.journal->currentId()));
        } catch (const Failure &) {
            m_storedTareMark->clear();
        }
    });
    auto *bottom = new QHBoxLayout;
    bottom->setSpacing(6);
    bottom->addWidget(createConditions());
    bottom->addWidget(createButtons(), 1);
    col->addLayout(bottom);
}

QWidget *JournalPage::createConditions()
{
    auto *box = new QWidget(this);
    box->setObjectName(QStringLiteral("SearchConditions"));
    auto *grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(1);
    auto *heading = new QLabel(QStringLiteral("Условия для поиска:"), box);
    heading->setFont(pixelFont(font(), 11, true));
    grid->addWidget(heading, 0, 0, 1, 2);
    for (int i = 0; i < SearchListCount; ++i) {
        grid->addWidget(new QLabel(QString::fromUtf8(ListLabels[i]), box), i + 1, 0);
        auto *list = new QComboBox(box);
        list->setObjectName(QLatin1String(SearchListFields[size_t(i)].comboName));
        list->setModel(new QStringListModel(list));
        // A search runs for what is typed, not for a listed text it begins.
        keepTypedText(list);
        list->setFixedWidth(260);
        list->setMaxVisibleItems(20);
        setHint(list, {ConditionHint});
        grid->addWidget(list, i + 1, 1);
        m_lists[size_t(i)] = list;
    }
    auto *dates = new QHBoxLayout;
    dates->setSpacing(4);
    m_dateFrom = new DateField(box);
    m_dateFrom->setObjectName(QStringLiteral("DateEdit1"));
    m_dateTo = new DateField(box);
    m_dateTo->setObjectName(QStringLiteral("DateEdit2"));
    for (DateField *d : {m_dateFrom, m_dateTo}) {
        d->setFixedWidth(100);
        setHint(d, {ConditionHint});
        setHint(d->editor(), {ConditionHint});
    }
    dates->addWidget(new QLabel(QStringLiteral("с"), box));
    dates->addWidget(m_dateFrom);
    dates->addWidget(new QLabel(QStringLiteral("по"), box));
    dates->addWidget(m_dateTo);
    dates->addStretch();
    grid->addWidget(new QLabel(QStringLiteral("Дате"), box), SearchListCount + 1, 0);
    grid->addLayout(dates, SearchListCount + 1, 1);
    return box;
}

QWidget *JournalPage::createButtons()
{
    auto *box = new QWidget(this);
    auto *col = new QVBoxLayout(box);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(3);

    auto *searchFrame = new QGroupBox(QStringLiteral("Поиск по БД"), box);
    auto *searchRow = new QHBoxLayout(searchFrame);
    searchRow->setContentsMargins(4, 2, 4, 4);
    m_clearButton = namedButton(QStringLiteral("ClearSearchButton"), QStringLiteral("Очистить\nзапросы"), searchFrame);
    setHint(m_clearButton, {QStringLiteral("Очистить запросы поиска")});
    m_searchButton = namedButton(QStringLiteral("SearchButton"), QStringLiteral(" Поиск!"), searchFrame);
    m_searchButton->setFont(pixelFont(font(), 11, true));
    setHint(m_searchButton, {QStringLiteral("Поиск по БД")});
    for (QPushButton *b : {m_clearButton, m_searchButton}) {
        b->setFixedHeight(34);
        searchRow->addWidget(b);
    }
    connect(m_clearButton, &QPushButton::clicked, this, guarded([this] { rebuildSearchLists(); }));
    connect(m_searchButton, &QPushButton::clicked, this, guarded([this] { search(); }));
    col->addWidget(searchFrame);
    m_searchState = new QLabel(box);
    m_searchState->setObjectName(QStringLiteral("SearchState"));
    paintText(m_searchState, Qt::darkBlue);
    col->addWidget(m_searchState);

    m_completed = new QCheckBox(QStringLiteral("Фильтровать взвешенные для печати накладной"), box);
    m_completed->setObjectName(QStringLiteral("CompletedFilterBox"));
    paintText(m_completed, Qt::red);
    connect(m_completed, &QCheckBox::toggled, this, guarded([this](bool on) {
                m_host.journal->setExtraFilter({CompletedLine}, on);
            }));
    col->addWidget(m_completed);

    auto *modeFrame = new QGroupBox(QStringLiteral("Режим работы"), box);
    auto *modeRow = new QHBoxLayout(modeFrame);
    modeRow->setContentsMargins(4, 2, 4, 4);
    m_modeButton = namedButton(QStringLiteral("ModeButton"), ViewModeCaption, modeFrame);
    m_modeButton->setFixedHeight(26);
    setHint(m_modeButton, {QStringLiteral("Перейти в режим редактирования или просмотра БД")});
    connect(m_modeButton, &QPushButton::clicked, this, guarded([this] { modeButtonClick(); }));
    modeRow->addWidget(m_modeButton);
    col->addWidget(modeFrame);

    // What these print and export comes with the printing part of the program.
    auto *reports = new QHBoxLayout;
    reports->setSpacing(3);
    m_printJournal = namedButton(QStringLiteral("PrintJournalButton"), QStringLiteral("Печать БД"), box);
    setHint(m_printJournal, {QStringLiteral("Печать всей БД")});
    m_exportJournal = namedButton(QStringLiteral("ExportJournalButton"), QStringLiteral("Экспорт БД"), box);
    setHint(m_exportJournal, {QStringLiteral("Экспорт БД в Microsoft Excel")});
    m_printNote = namedButton(QStringLiteral("PrintNoteButton"), QStringLiteral(" Печать \n Накладной"), box);
    setHint(m_printNote, {QStringLiteral("Печать путев. листа по выбранному АВТО")});
    m_totals = namedButton(QStringLiteral("TotalsButton"), QStringLiteral("Итоги"), box);
    setHint(m_totals, {QStringLiteral("Итоги по взвешиваниям за период")});
    for (QPushButton *b : {m_printJournal, m_exportJournal, m_printNote}) {
        b->setFixedHeight(34);
        reports->addWidget(b);
    }
    connect(m_exportJournal, &QPushButton::clicked, this, &JournalPage::exportJournalRequested);
    // The note prints the current row: without one there is nothing to print.
    for (auto change : {&TableCursor::currentChanged, &TableCursor::stateChanged, &TableCursor::rowsChanged})
        connect(m_host.journal, change, m_printNote, [this] { updatePrintNote(); });
    col->addLayout(reports);
    // "Итоги" beside the evidence button: four report buttons in one row
    // would widen this column until the search lists lose their arrows.
    auto *more = new QHBoxLayout;
    more->setSpacing(3);
    m_evidence = namedButton(QStringLiteral("EvidenceButton"), QStringLiteral("Доказательства взвешивания"), box);
    setHint(m_evidence, {QStringLiteral("Показания прибора при взвешивании")});
    for (QPushButton *b : {m_totals, m_evidence})
        b->setFixedHeight(26);
    more->addWidget(m_totals);
    more->addWidget(m_evidence, 1);
    connect(m_evidence, &QPushButton::clicked, this, [this] {
        if (m_host.journal->currentId() != 0)
            emit evidenceRequested(m_host.journal->currentId());
    });
    col->addLayout(more);
    updatePrintNote();
    col->addStretch();
    return box;
}

// ---------------------------------------------------------------- search

void JournalPage::showEvent(QShowEvent *e)
{
    QWidget::showEvent(e);
    // A window coming back from the task bar is no visit of the page.
    if (!e->spontaneous())
        runGuarded([this] { pageShown(); });
}

void JournalPage::hideEvent(QHideEvent *e)
{
    QWidget::hideEvent(e);
    // Leaving the page gives up a search under way: its rows would come to a
    // view that the next visit reads afresh anyway.
    if (!e->spontaneous()) {
        dropSearch();
        dropListsRead();
    }
}

void JournalPage::pageShown()
{
    rebuildSearchLists();
    m_lists[0]->setFocus();
}

void JournalPage::rebuildSearchLists()
{
    dropSearch();
    dropListsRead();
    TableCursor *view = m_host.journal;
    // The conditions go first, so that a failed read leaves no stale choice.
    for (QComboBox *list : m_lists) {
        static_cast<QStringListModel *>(list->model())->setStringList({});
        list->clearEditText();
    }
    m_dateFrom->clear();
    m_dateTo->clear();
    // The rows are read afresh, so that the grid shows what another
    // weighbridge on the same journal stored since.
    // From the first row: standing on the last one (where the start-up walk
    // leaves the view) the grid would fetch every id up to it.
    if (view->filterActive())
        view->DeactivateFilter();
    view->First();
    view->Refresh();
    startListsRead();
}

struct JournalPage::ListsFill
{
    ListsFill(TableCursor &view, int seekLimit) : read(view, seekLimit) {}
    SearchListsRead read;
    std::atomic<bool> stop{false};
};

// On a long journal the six lists' seeks take a while, most of it the engine
// reading index pages this connection has not read yet: they go to a worker,
// on a connection of its own, and each list is shown as soon as it is in.
void JournalPage::startListsRead()
{
    TableCursor *view = m_host.journal;
    // On a worker a seek of many texts costs only time: no limit there.
    auto fill = std::make_shared<ListsFill>(*view, std::numeric_limits<int>::max() / 2);
    if (!fill->read.runsApart()) {
        // No second connection sees this journal as the view does: read here.
        const SearchLists lists = readSearchLists(*view);
        for (int i = 0; i < SearchListCount; ++i)
            showList(i, lists[size_t(i)]);
        return;
    }
    // The lists no seek gives are walked now, before anything can move the view.
    fill->read.walkUnread(*view);
    for (int i = 0; i < SearchListCount; ++i)
        showList(i, fill->read.lists()[size_t(i)]);
    m_listsFill = fill;
    auto failure = std::make_shared<QString>();
    QThread *thread = QThread::create([this, fill, failure] {
        try {
            fill->read.run(fill->stop, [this, fill](int i, const QStringList &texts) {
                QMetaObject::invokeMethod(
                    this, [this, fill, i, texts] {
                        if (fill == m_listsFill)
                            showList(i, texts);
                    },
                    Qt::QueuedConnection);
            });
        } catch (const Failure &e) {
            *failure = e.message();
        } catch (const std::exception &e) {
            *failure = QString::fromLocal8Bit(e.what());
        }
    });
    thread->setParent(this);
    connect(thread, &QThread::finished, this, [this, thread, fill, failure] {
        thread->deleteLater();
        if (fill != m_listsFill)
            return;   // given up: a later rebuild, or the page left
        m_listsFill.reset();
        if (!failure->isEmpty()) {
            showErrorReport(*failure);
            return;
        }
        // A row posted through the program meanwhile may have changed what
        // was read: read again for the journal as it is now.
        if (fill->read.generation() != m_host.journal->store().generation())
            runGuarded([this] { startListsRead(); });
    });
    thread->start();
}

void JournalPage::showList(int i, const QStringList &texts)
{
    QComboBox *list = m_lists[size_t(i)];
    auto *model = static_cast<QStringListModel *>(list->model());
    if (model->stringList() == texts)
        return;
    // What is typed meanwhile stays as typed, where it was typed.
    QLineEdit *edit = list->lineEdit();
    const QString typed = edit->text();
    const int cursor = edit->cursorPosition();
    model->setStringList(texts);
    if (edit->text() != typed) {
        edit->setText(typed);
        edit->setCursorPosition(cursor);
    }
}

void JournalPage::dropListsRead()
{
    if (!m_listsFill)
        return;
    m_listsFill->stop = true;
    m_listsFill.reset();
}

SearchConditions JournalPage::conditions() const
{
    SearchConditions c;
    c.customer = m_lists[0]->currentText();
    c.driver = m_lists[1]->currentText();
    c.truck = m_lists[2]->currentText();
    c.company = m_lists[3]->currentText();
    c.weigher = m_lists[4]->currentText();
    c.goods = m_lists[5]->currentText();
    c.dateFrom = m_dateFrom->text();
    c.dateTo = m_dateTo->text();
    return c;
}

void JournalPage::search()
{
    // A row in editing is posted before the search reads, as the rows it
    // finds must include it as stored.
    m_host.journal->settle();
    startSearch(searchLines(conditions()));
}

// Over a long journal the engine may sort every row the conditions let
// through before it gives the first: that read goes to a worker, on a
// connection of its own, and the window stands on its rows when it is done.
void JournalPage::startSearch(const QStringList &lines)
{
    dropSearch();
    const std::shared_ptr<FilterPreview> preview = m_host.journal->previewFilter(lines, CursorModel::Chunk);
    if (!preview->runsApart()) {
        // No second connection sees this journal as the view does: read here.
        preview->run();
        searchRead(preview, lines);
        return;
    }
    m_search = preview;
    showSearching(true);
    auto failure = std::make_shared<QString>();
    QThread *thread = QThread::create([preview, failure] {
        try {
            preview->run();
        } catch (const Failure &e) {
            *failure = e.message();
        } catch (const std::exception &e) {
            *failure = QString::fromLocal8Bit(e.what());
        }
    });
    thread->setParent(this);
    connect(thread, &QThread::finished, this, [this, thread, preview, failure, lines] {
        thread->deleteLater();
        if (preview != m_search)
            return;   // given up: a later search, or the page left
        dropSearch();
        if (!failure->isEmpty()) {
            showErrorReport(*failure);
            return;
        }
        runGuarded([&] { searchRead(preview, lines); });
    });
    thread->start();
}

void JournalPage::searchRead(const std::shared_ptr<FilterPreview> &preview, const QStringList &lines)
{
    // What was read may no longer hold (a row posted meanwhile, the
    // completed filter switched): read again for the view as it is now.
    if (!m_host.journal->replaceFilter(*preview))
        startSearch(lines);
}

void JournalPage::showSearching(bool on)
{
    m_searchState->setText(on ? QStringLiteral("Идёт поиск…") : QString());
    if (on)
        m_grid->setCursor(Qt::BusyCursor);
    else
        m_grid->unsetCursor();
}

void JournalPage::dropSearch()
{
    if (!m_search)
        return;
    m_search.reset();
    showSearching(false);
}

// ---------------------------------------------------------------- modes

bool JournalPage::isEditMode() const { return m_modeButton->text() == EditModeCaption; }

void JournalPage::setEditing(bool on)
{
    m_grid->setEditable(on);
    m_navigator->setEnabled(on);
    m_modeButton->setText(on ? EditModeCaption : ViewModeCaption);
    m_host.journal->setAudited(on);
}

void JournalPage::EnterEditMode()
{
    if (trailAvailable())
        setEditing(true);
}

bool JournalPage::trailAvailable()
{
    // Every change made in edit mode is written with its trail or not at all;
    // without the table each one would fail. The program never changes the
    // database's structure itself.
    // Each change also extends the journal's hash chain.
    const bool trail = m_host.journal->store().tableExists(Tables::Audit);
    if (trail && m_host.journal->store().tableExists(Tables::Chain))
        return true;
    const QString text =
        trail ? QStringLiteral("В базе данных нет таблицы BD_chain, цепочки изменений журнала, поэтому режим "
                               "редактирования не включён. Закройте программу и выполните:\n%1\n"
                               "Команда добавит недостающие таблицы и больше ничего не изменит.")
              : QStringLiteral("В базе данных нет таблицы BD_audit, в которую записываются изменения журнала, "
                               "поэтому режим редактирования не включён. Закройте программу и выполните:\n%1\n"
                               "Команда добавит эту таблицу и больше ничего не изменит.");
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Krodalin"), text.arg(trailCommand(m_host.programDir)),
                    QMessageBox::Ok, window());
    box.exec();
    return false;
}

void JournalPage::updatePrintNote()
{
    const TableCursor *view = m_host.journal;
    m_printNote->setEnabled(view && view->isOpen()
                            && (view->currentId() != 0 || view->state() == TableCursor::State::Insert));
    // The evidence belongs to a stored row.
    m_evidence->setEnabled(view && view->isOpen() && view->currentId() != 0);
}

void JournalPage::modeButtonClick()
{
    if (!isEditMode()) {
        if (!trailAvailable())
            return;
        if (m_host.editFlag)
            m_host.editFlag->setChecked(true);
        emit editModeRequested();
        return;
    }
    leaveEditMode();
}

void JournalPage::leaveEditMode()
{
    // A row still in editing is posted (or dropped) while its trail is
    // still being kept; if it cannot be, it is dropped.
    if (!runGuarded([this] { m_host.journal->settle(); }))
        runGuarded([this] { m_host.journal->Cancel(); });
    setEditing(false);
    if (m_host.editFlag)
        m_host.editFlag->setChecked(false);
    emit editModeLeft();
}
