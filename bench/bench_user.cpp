// What an operator meets on a journal of 1,000,000 rows, timed from the
// action to its result, on two journals: the one `krodalin-db demo` makes and
// a project-shaped one (gen_journal.py beside this file: a few thousand
// trucks, drivers and customers). Each round starts a fresh program process
// that runs the real start order and is driven as a person drives it, with
// clicks and keys on its windows: "Продолжить работу" to the main window with
// its 13 lists filled (and the process's peak memory then), the pending-truck
// window with 10,000 waiting trucks, the first and a second visit of the
// journal page, " Поиск!", edit mode, "Печать БД" and "Экспорт БД". Beside
// each, in the same round, the sqlite3 shell on the same file; and for each,
// the longest the event loop stood still while it ran. Prints figures, ratios
// and goals; asserts nothing. Needs a display or QT_QPA_PLATFORM=offscreen.
//
//   bench_user [ROWS] [FOLDER] [ROUNDS]   (FOLDER keeps the two journals for reuse)
//
// The bench knows the program only from outside: widgets by objectName,
// the journal by its SQL columns, so it measures the same way whatever the
// program's insides become.

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMap>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QStringEncoder>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTimer>
#include <QToolButton>

#include <array>
#include <cstdlib>
#include <functional>
#include <memory>

#include "app/startup.h"
#include "store/schema.h"
#include "journalgenerator.h"
#include "keyboard.h"
#include "startupchild.h"

namespace {

QTextStream out(stdout);

// Not "--session": the application takes that for the window system's own.
const char *const SessionFlag = "--operator-session";
const QString OperatorName = QStringLiteral("Оператор Весовой");
const QString OperatorPassword = QStringLiteral("1111");
const QString AdminName = QStringLiteral("Администратор");
const QString AdminPassword = QStringLiteral("admin");
constexpr int WaitingTrucks = 10000;
// A list longer than this nobody scrolls through: it may be completed after
// the window shows.
constexpr int LongList = 50000;

// The thirteen entry fields ComboBox1 .. ComboBox13, as the journal's columns.
using namespace WeighingRecord;
const std::array<Field, 13> EntryColumns = {N_Avto,      Marcka, FIO,   AvtoPr, Zakazchik, Gruz_otprav, Gruz_poluch,
                                            Punkt,       Tovar,  Forma, N_List, N_pricepa, Punkt_zagruz};
// The journal page's six lists, top to bottom: the column and the list's name.
const std::array<std::pair<Field, const char *>, 6> SearchColumns = {{{Zakazchik, "ComboBox18"},
                                                                      {FIO, "ComboBox14"},
                                                                      {N_Avto, "ComboBox15"},
                                                                      {AvtoPr, "ComboBox16"},
                                                                      {Klad, "ComboBox17"},
                                                                      {Tovar, "ComboBox13a"}}};

QStringList namesOf(std::initializer_list<Field> fields)
{
    QStringList names;
    for (const Field f : fields)
        names << fieldName(f);
    return names;
}

QString quotedColumns(const QStringList &names)
{
    QStringList quoted;
    for (const QString &n : names)
        quoted << QStringLiteral("\"%1\"").arg(n);
    return quoted.join(u',');
}

QStringList entryColumns()
{
    QStringList names;
    for (const Field c : EntryColumns)
        names << fieldName(c);
    return names;
}

QStringList searchColumns()
{
    QStringList names;
    for (const auto &c : SearchColumns)
        names << fieldName(c.first);
    return names;
}

// ======================================================================
// The operator's session, in a fresh program process.

// What the session is told by the bench: where the program is, how long
// each list must grow, and what to search for.
struct SessionPlan
{
    QString programDir;
    QVector<int> entrySizes;    // ComboBox1 .. ComboBox13
    QVector<int> searchSizes;   // the journal page's six lists
    QList<std::pair<QString, QString>> search;   // field objectName, text typed into it
};

void click(QWidget *w) { QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center()); }

QWidget *topLevel(const char *name)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String(name) && w->isVisible())
            return w;
    return nullptr;
}

QWidget *modal(const char *name)
{
    QWidget *w = QApplication::activeModalWidget();
    return w && w->isVisible() && w->objectName() == QLatin1String(name) ? w : nullptr;
}

template <typename W>
W *child(QWidget *parent, const char *name)
{
    W *w = parent ? parent->findChild<W *>(QLatin1String(name)) : nullptr;
    if (!w)
        qFatal("no widget %s", name);
    return w;
}

// Clicks into a text field (a combo box's or a date field's editor), selects
// what it holds and types text over it; a completion offered beyond the text
// is deleted, as a person would.
void typeInto(QWidget *window, QWidget *field, const QString &text)
{
    auto *edit = qobject_cast<QLineEdit *>(field);
    if (!edit)
        edit = field->findChild<QLineEdit *>();
    click(edit);
    key(window, Qt::Key_A, Qt::ControlModifier);
    type(window, text);
    if (edit->hasSelectedText())
        key(window, Qt::Key_Delete);
}

class UserSession : public QObject
{
public:
    explicit UserSession(SessionPlan plan) : m_plan(std::move(plan)) {}

    // Before the start order runs: the login window is the first thing to wait for.
    void start()
    {
        m_clock.start();
        qApp->installEventFilter(this);
        // The watchdog: a tick every 2 ms on the window thread; the longest
        // gap between ticks is the longest the window stood still.
        m_tick.setTimerType(Qt::PreciseTimer);
        m_tick.setInterval(2);
        connect(&m_tick, &QTimer::timeout, this, [this] { tick(); });
        m_tick.start();
        waitFor(QStringLiteral("the login window"), [] { return modal("kladov") != nullptr; }, [this] { logIn(); });
    }

protected:
    // Notes what has been painted since the action began: each widget by its
    // own, its parent's (a grid's viewport) and its window's name; a grid also
    // with the rows it had then.
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Paint && o->isWidgetType()) {
            auto *w = static_cast<QWidget *>(o);
            m_painted.insert(w->objectName());
            m_painted.insert(w->window()->objectName());
            if (QWidget *p = w->parentWidget()) {
                m_painted.insert(p->objectName());
                if (m_gridReset && p->objectName() == QLatin1String("JournalGrid"))
                    m_painted.insert(QStringLiteral("JournalGrid, rows read afresh"));
                if (auto *view = qobject_cast<QAbstractItemView *>(p); view && view->model()
                    && view->model()->rowCount() > 0)
                    m_paintedRows.insert(p->objectName());
            }
        }
        return false;
    }

private:
    using Check = std::function<bool()>;
    using Step = std::function<void()>;

    qint64 now() const { return m_clock.nsecsElapsed(); }

    void tick()
    {
        const qint64 t = now();
        m_longestGap = std::max(m_longestGap, t - m_lastTick);
        m_lastTick = t;
        if (!m_until)
            return;
        if (m_until()) {
            const Step then = std::exchange(m_then, {});
            m_until = {};
            then();
        } else if (t > m_deadline) {
            fail(QStringLiteral("waited in vain for ") + m_waitingFor);
        }
    }

    // Checks until at every tick, and runs then (from the tick) once it holds.
    void waitFor(const QString &what, Check until, Step then)
    {
        m_waitingFor = what;
        m_until = std::move(until);
        m_then = std::move(then);
        m_deadline = now() + qint64(600) * 1000000000;
    }

    // An action run from the event loop, not from a tick: one that opens a
    // modal window waits in it while the ticks go on. The flag says it returned.
    std::shared_ptr<bool> post(Step action)
    {
        auto returned = std::make_shared<bool>(false);
        QTimer::singleShot(0, this, [action = std::move(action), returned] {
            action();
            *returned = true;
        });
        return returned;
    }

    // The user's click, posted as post() does, the clock started at it.
    std::shared_ptr<bool> timedClick(QWidget *w)
    {
        return post([this, w] {
            begin();
            click(w);
        });
    }

    // The user's action starts now.
    void begin()
    {
        m_begun = now();
        m_lastTick = m_begun;
        m_longestGap = 0;
        m_painted.clear();
        m_paintedRows.clear();
        m_gridReset = false;
    }

    // Its result is there: the time since begin() and the longest stall.
    void record(const char *key, const QString &note = {})
    {
        const qint64 t = now();
        const qint64 stall = std::max(m_longestGap, t - m_lastTick);
        out << "figure " << key << ' ' << bench::fixed(double(t - m_begun) / 1e6, 2) << ' '
            << bench::fixed(double(stall) / 1e6, 2) << ' ' << note << Qt::endl;
    }

    [[noreturn]] void fail(const QString &why)
    {
        QString seen;
        if (QWidget *w = QApplication::activeModalWidget()) {
            seen = QStringLiteral(" (on screen: %1 \"%2\"").arg(w->objectName(), w->windowTitle());
            if (auto *box = qobject_cast<QMessageBox *>(w))
                seen += QStringLiteral(": ") + box->text();
            seen += u')';
        }
        out << "failed " << why << seen << Qt::endl;
        std::_Exit(1);
    }

    bool filled(const QList<QPointer<QComboBox>> &lists, const QVector<int> &sizes) const
    {
        for (int i = 0; i < lists.size(); ++i)
            if (!lists[i] || lists[i]->count() < sizes[i])
                return false;
        return true;
    }

    QString sizesOf(const QList<QPointer<QComboBox>> &lists) const
    {
        QStringList s;
        for (const auto &l : lists)
            s << (l ? QString::number(l->count()) : QStringLiteral("-"));
        return s.join(u',');
    }

    // The main window's page tab, clicked.
    void clickPage(int index)
    {
        QTabBar *bar = child<QTabWidget>(m_main, "PageControl1")->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }

    // ------------------------------------------------------------ the steps

    void logIn()
    {
        QWidget *login = modal("kladov");
        typeInto(login, child<QComboBox>(login, "OperatorName"), OperatorName);
        typeInto(login, child<QLineEdit>(login, "OperatorPassword"), OperatorPassword);
        auto *go = child<QPushButton>(login, "ContinueButton");
        timedClick(go);
        waitFor(QStringLiteral("the main window with its lists"), [this] { return startedUp(false); }, [this] {
            record("start-up", sizesOf(m_entryLists));
            out << "shown " << bench::fixed(double(m_shownAt - m_begun) / 1e6, 2) << Qt::endl;
            // The clock goes on: the lists nobody scrolls through, whole,
            // and the longest stall from the click to then.
            waitFor(QStringLiteral("the 13 lists whole"), [this] { return startedUp(true); }, [this] {
                record("lists-whole", sizesOf(m_entryLists));
                out << "memory " << bench::fixed(bench::statusMb("VmHWM:")) << Qt::endl;
                openPendingTrucks();
            });
        });
    }

    // The window painted with its lists filled; a list too long to scroll
    // through (the waybill numbers) may still be filling unless whole is asked.
    bool startedUp(bool whole)
    {
        if (!m_main) {
            m_main = topLevel("MainForm");
            if (!m_main)
                return false;
            for (int i = 1; i <= 13; ++i)
                m_entryLists << child<QComboBox>(m_main, QStringLiteral("ComboBox%1").arg(i).toLatin1().constData());
            m_page = child<QWidget>(m_main, "JournalPage");
            for (const auto &c : SearchColumns)
                m_searchLists << child<QComboBox>(m_page, c.second);
        }
        if (m_shownAt == 0 && m_painted.contains(QStringLiteral("MainForm")))
            m_shownAt = now();
        QVector<int> sizes = m_plan.entrySizes;
        if (!whole)
            for (int &n : sizes)
                if (n > LongList)
                    n = 0;
        return m_shownAt != 0 && filled(m_entryLists, sizes);
    }

    // "Брутто после погрузки" opens the window of the trucks waiting for it.
    void openPendingTrucks()
    {
        auto *mode = child<QRadioButton>(m_main, "RadioButton6");
        const auto returned = timedClick(mode);
        waitFor(QStringLiteral("the pending-truck window with its rows"),
                [this] { return modal("DBnew") && m_paintedRows.contains(QStringLiteral("DBGrid1")); },
                [this, returned] {
                    record("pending");
                    QWidget *window = modal("DBnew");
                    click(child<QPushButton>(window, "CancelButton"));
                    waitFor(QStringLiteral("the weighing page again"), [returned] { return *returned; },
                            [this] { visitJournal(true); });
                });
    }

    void visitJournal(bool first)
    {
        const auto returned = post([this] {
            begin();
            clickPage(1);
        });
        waitFor(QStringLiteral("the journal page's six lists"),
                [this, returned] {
                    return *returned && m_painted.contains(QStringLiteral("JournalGrid"))
                           && filled(m_searchLists, m_plan.searchSizes);
                },
                [this, first] {
                    record(first ? "visit-1" : "visit-2", sizesOf(m_searchLists));
                    if (!first) {
                        search();
                        return;
                    }
                    clickPage(0);
                    visitJournal(false);
                });
    }

    void search()
    {
        for (const auto &[field, text] : m_plan.search)
            typeInto(m_main, child<QWidget>(m_page, field.toLatin1().constData()), text);
        auto *button = child<QPushButton>(m_page, "SearchButton");
        // The rows may be read while the window goes on: the clock stops at
        // the grid painted after its rows were read afresh.
        QAbstractItemModel *rows = child<QAbstractItemView>(m_page, "JournalGrid")->model();
        const auto reset = connect(rows, &QAbstractItemModel::modelReset, this, [this] { m_gridReset = true; });
        const auto returned = timedClick(button);
        waitFor(QStringLiteral("the search's rows"),
                [this, returned] { return *returned && m_painted.contains(QStringLiteral("JournalGrid, rows read afresh")); },
                [this, reset] {
                    disconnect(reset);
                    QStringList typed;
                    for (const auto &c : m_plan.search)
                        typed << child<QWidget>(m_page, c.first.toLatin1().constData())->findChild<QLineEdit *>()->text();
                    record("search", typed.join(QStringLiteral(" / ")));
                    editMode();
                });
    }

    // The mode button asks the administrator gate; timed from its "OK" to
    // the page in edit mode with the gate's message up.
    void editMode()
    {
        auto *mode = child<QPushButton>(m_page, "ModeButton");
        const auto asked = post([mode] { click(mode); });
        waitFor(QStringLiteral("the administrator gate"), [] { return modal("Security") != nullptr; }, [this, mode, asked] {
            QWidget *gate = modal("Security");
            typeInto(gate, child<QComboBox>(gate, "AdministratorName"), AdminName);
            typeInto(gate, child<QLineEdit>(gate, "AdministratorPassword"), AdminPassword);
            auto *ok = child<QPushButton>(gate, "OkButton");
            timedClick(ok);
            waitFor(QStringLiteral("edit mode"),
                    [mode] {
                        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                        return box && box->isVisible() && mode->text() == QStringLiteral("Режим просмотра и поиска");
                    },
                    [this, mode, asked] {
                        record("edit-mode");
                        click(qobject_cast<QMessageBox *>(QApplication::activeModalWidget())->button(QMessageBox::Ok));
                        waitFor(QStringLiteral("the journal page again"), [asked] { return *asked; }, [this, mode] {
                            click(mode);   // back to view mode at once
                            printJournal();
                        });
                    });
        });
    }

    void printJournal()
    {
        auto *button = child<QPushButton>(m_page, "PrintJournalButton");
        const auto returned = timedClick(button);
        waitFor(QStringLiteral("the report's first page"),
                [this, returned] { return *returned && m_painted.contains(QStringLiteral("PageView")); },
                [this] {
                    record("report");
                    click(child<QToolButton>(topLevel("PreviewWindow"), "CloseButton"));
                    exportJournal();
                });
    }

    // "Экспорт БД", and the save dialog's preset name taken with Enter; timed
    // from that Enter to the file written.
    void exportJournal()
    {
        const QDir dir(m_plan.programDir);
        const auto removeExports = [dir] {
            for (const QString &f : dir.entryList({QStringLiteral("*.csv")}, QDir::Files))
                QFile::remove(dir.filePath(f));
        };
        removeExports();
        auto *button = child<QPushButton>(m_page, "ExportJournalButton");
        const auto returned = post([button] { click(button); });
        waitFor(QStringLiteral("the save dialog"), [] { return modal("ExportDialog") != nullptr; },
                [this, returned, dir, removeExports] {
                    QWidget *dialog = modal("ExportDialog");
                    post([this, dialog] {
                        begin();
                        key(dialog, Qt::Key_Return);
                    });
                    waitFor(QStringLiteral("the exported file"), [returned] { return *returned; },
                            [this, dir, removeExports] {
                                qint64 bytes = 0;
                                for (const QFileInfo &f : dir.entryInfoList({QStringLiteral("*.csv")}, QDir::Files))
                                    bytes += f.size();
                                record("export", QStringLiteral("%1 MB").arg(bytes >> 20));
                                removeExports();
                                out << "memory-end " << bench::fixed(bench::statusMb("VmHWM:")) << Qt::endl;
                                out << "done" << Qt::endl;
                                std::_Exit(0);
                            });
                });
    }

    SessionPlan m_plan;
    QTimer m_tick;
    QElapsedTimer m_clock;
    qint64 m_begun = 0;
    qint64 m_lastTick = 0;
    qint64 m_longestGap = 0;
    qint64 m_shownAt = 0;
    QString m_waitingFor;
    Check m_until;
    Step m_then;
    qint64 m_deadline = 0;
    QSet<QString> m_painted;
    QSet<QString> m_paintedRows;
    bool m_gridReset = false;   // the journal grid's rows read afresh since the action began
    QWidget *m_main = nullptr;
    QWidget *m_page = nullptr;
    QList<QPointer<QComboBox>> m_entryLists;
    QList<QPointer<QComboBox>> m_searchLists;
};

QVector<int> numbers(const QString &commaList)
{
    QVector<int> v;
    for (const QString &n : commaList.split(u','))
        v << n.toInt();
    return v;
}

// argv: SessionFlag, program folder, the 13 entry list sizes, the six search
// list sizes, then pairs of a search field's name and its text.
[[noreturn]] void sessionChild(int argc, char *argv[])
{
    QApplication app(argc, argv);
    installToolkitTranslation();
    const QStringList args = QCoreApplication::arguments();
    SessionPlan plan{args[2], numbers(args[3]), numbers(args[4]), {}};
    for (int i = 5; i + 1 < args.size(); i += 2)
        plan.search.append({args[i], args[i + 1]});
    UserSession session(plan);
    session.start();
    runStartOrder(plan.programDir);
    out << "failed the program ended before the session did" << Qt::endl;
    std::_Exit(1);
}

// ======================================================================
// The bench: the journals, the shell, the rounds.

// Exactly WaitingTrucks records wait for "Брутто после погрузки" (their tare
// taken first): surplus waiting ones, oldest first, get their second pass; then
// the latest completed ones lose it until there are enough.
QString waitingSql()
{
    return QStringLiteral("UPDATE %1 SET %2 = CAST(CAST(%3 AS INTEGER) + 12000 AS TEXT), %4 = '12000', "
                          "%5 = '0', %6 = '0', %7 = '2' WHERE %5 = '1' AND id NOT IN "
                          "(SELECT id FROM %1 WHERE %5 = '1' ORDER BY id DESC LIMIT %8); "
                          "UPDATE %1 SET %2 = '', %4 = '', %5 = '1', %6 = '', %7 = '' "
                          "WHERE id IN (SELECT id FROM %1 WHERE %7 = '2' ORDER BY id DESC "
                          "LIMIT max(0, %8 - (SELECT count(*) FROM %1 WHERE %5 = '1'))); "
                          "PRAGMA wal_checkpoint(TRUNCATE);")
        .arg(bench::journalTable(), bench::column(Sum), bench::column(Tara), bench::column(Netto),
             bench::column(Ok_tara), bench::column(Ok_brutto), bench::column(Ok_cicle), QString::number(WaitingTrucks));
}

struct Figures
{
    QVector<double> ms, stall, shell;
    QString note;
};

struct Shape
{
    QString key;       // "demo", "project": its folder's name
    QString title;
    QString folder;    // prepared by krodalin-db init
    QString file;      // the journal's database file
    QVector<int> entrySizes, searchSizes;
    int rows = 0;
    int waiting = 0;
    QList<std::pair<QString, QString>> search;
    QString searchSql;      // the shell's equivalent of the search
    QString searchTitle;
    std::unique_ptr<QTemporaryDir> program;
    QMap<QString, Figures> figures;
    QVector<double> shown, memory, memoryEnd;
};

bool runTool(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        out << program << ' ' << args.join(u' ') << " failed\n";
        return false;
    }
    return true;
}

// Makes the shape's journal unless the folder holds it already.
bool prepare(Shape &s, int rows)
{
    QFile ready(QDir(s.folder).filePath(QStringLiteral("bench-ready")));
    if (ready.open(QIODevice::ReadOnly) && ready.readAll().trimmed() == QByteArray::number(rows))
        return true;
    ready.close();
    QDir(s.folder).removeRecursively();
    QElapsedTimer t;
    t.start();
    const QString tool = QCoreApplication::applicationDirPath() + QStringLiteral("/krodalin-db");
    if (!runTool(tool, {QStringLiteral("init"), s.folder, QStringLiteral("--admin"), AdminName,
                        QStringLiteral("--admin-password"), AdminPassword, QStringLiteral("--operator"), OperatorName,
                        QStringLiteral("--operator-password"), OperatorPassword}))
        return false;
    const bool made = s.key == QLatin1String("demo")
                          ? runTool(tool, {QStringLiteral("demo"), s.folder, QStringLiteral("--rows"), QString::number(rows)})
                          : runTool(QStringLiteral("python3"), {QStringLiteral(KRODALIN_BENCH_DIR "/gen_journal.py"),
                                                                QString::number(rows), s.folder});
    if (!made || bench::shell(s.file, waitingSql(), out) < 0)
        return false;
    if (!ready.open(QIODevice::WriteOnly))
        return false;
    ready.write(QByteArray::number(rows) + '\n');
    out << "made the " << s.title << " journal of " << rows << " rows in " << bench::fixed(t.elapsed() / 1000.0) << " s\n";
    return true;
}

// The sizes the lists must reach: each field's distinct texts (an empty or
// missing value is one entry, the empty text).
bool measureLists(Shape &s)
{
    QStringList parts;
    const QStringList columns = entryColumns() << fieldName(Klad);
    for (const QString &c : columns)
        parts << QStringLiteral("count(DISTINCT coalesce(\"%1\", ''))").arg(c);
    parts << QStringLiteral("(SELECT count(*) FROM %1 WHERE %2 = '1')").arg(bench::journalTable(), bench::column(Ok_tara))
          << QStringLiteral("count(*)");
    const QStringList v =
        bench::shellOutput(s.file, QStringLiteral("SELECT %1 FROM %2").arg(parts.join(u','), bench::journalTable()), out)
            .split(u'|');
    if (v.size() != columns.size() + 2)
        return false;
    QMap<QString, int> sizes;
    for (int i = 0; i < columns.size(); ++i)
        sizes[columns[i]] = v[i].toInt();
    for (const QString &c : entryColumns())
        s.entrySizes << sizes[c];
    for (const QString &c : searchColumns())
        s.searchSizes << sizes[c];
    s.waiting = v[columns.size()].toInt();
    s.rows = v[columns.size() + 1].toInt();
    return true;
}

// Every field the journal page searches has an index; a search that the
// index cannot narrow is one by dates taking in the whole journal ("с" its
// first day, "по" its last): every row matches.
bool planSearch(Shape &s)
{
    const QString day = bench::column(Dat);
    const QStringList days =
        bench::shellOutput(s.file, QStringLiteral("SELECT min(%1), max(%1) FROM %2").arg(day, bench::journalTable()), out)
            .split(u'|');
    if (days.size() != 2)
        return false;
    const QDate first = QDate::fromString(days[0], Qt::ISODate), last = QDate::fromString(days[1], Qt::ISODate);
    if (!first.isValid() || !last.isValid())
        return false;
    const QString form = QStringLiteral("ddMMyyyy");   // typed as digits into the date fields' template
    s.search = {{QStringLiteral("DateEdit1"), first.toString(form)}, {QStringLiteral("DateEdit2"), last.toString(form)}};
    s.searchTitle = QStringLiteral("\" Поиск!\" с %1 по %2, the whole journal (the date index cannot narrow it)")
                        .arg(first.toString(QStringLiteral("dd.MM.yyyy")), last.toString(QStringLiteral("dd.MM.yyyy")));
    s.searchSql = QStringLiteral("SELECT * FROM %1 WHERE %2 >= '%3' AND %2 <= '%4' ORDER BY id LIMIT 40")
                      .arg(bench::journalTable(), day, days[0], days[1]);
    return true;
}

// The program folder the session runs in: the settings with the port closed
// and no daily copy (a copy of 500 MB on the side is no part of what is
// timed), and the alias WE pointing at the shape's journal.
bool makeProgramFolder(Shape &s)
{
    s.program = std::make_unique<QTemporaryDir>();
    QFile tools(s.program->filePath(QStringLiteral("tools.ini")));
    QFile alias(s.program->filePath(QStringLiteral("database.ini")));
    if (!tools.open(QIODevice::WriteOnly) || !alias.open(QIODevice::WriteOnly))
        return false;
    QStringEncoder cp1251("windows-1251");
    tools.write(cp1251.encode(QStringLiteral(
        "[Tool]\r\nizmer=кг\r\nCOM=com1\r\nSpeed=br9600\r\nwi=Libra v.1_24\r\nopen=0\r\nbackups=0\r\n")));
    alias.write(QStringLiteral("[WE]\r\nPath=%1\r\n").arg(s.file).toUtf8());
    return true;
}

QString csvSql()
{
    return QStringLiteral("SELECT %1 FROM %2 ORDER BY id")
        .arg(quotedColumns(namesOf({N_Avto, N_pricepa, FIO, Marcka, AvtoPr, Zakazchik, Gruz_otprav, Gruz_poluch, Punkt,
                                    Punkt_zagruz, Tovar, Zena, Forma, N_List, Sum, Tara, Netto, Ed_izm, Dat, Time, Klad})),
             bench::journalTable());
}

// One round on one journal: the shell's queries, then a session.
void runRound(Shape &s, const QString &scratch)
{
    const QString table = bench::journalTable();
    const QString all13 = QStringLiteral("SELECT %1 FROM %2").arg(quotedColumns(entryColumns()), table);
    const QString six = QStringLiteral("SELECT %1 FROM %2").arg(quotedColumns(searchColumns()), table);
    const QString pending =
        QStringLiteral("SELECT %1 FROM %2 WHERE %3 = '1' ORDER BY id")
            .arg(quotedColumns(namesOf({Dat, Time, N_Avto, N_pricepa, Marcka, FIO, Tovar, N_List, Tara, Sum, Klad})), table,
                 bench::column(Ok_tara));
    const QString screen = QStringLiteral("SELECT * FROM %1 ORDER BY id LIMIT 40").arg(table);
    const QString ids = QStringLiteral("SELECT id FROM %1 ORDER BY id").arg(table);
    const double visitShell = bench::shell(s.file, six, out);
    s.figures["start-up"].shell << bench::shell(s.file, all13, out);
    s.figures["lists-whole"].shell << s.figures["start-up"].shell.last();
    s.figures["visit-1"].shell << visitShell;
    s.figures["visit-2"].shell << visitShell;
    s.figures["pending"].shell << bench::shell(s.file, pending, out);
    s.figures["search"].shell << bench::shell(s.file, s.searchSql, out);
    s.figures["edit-mode"].shell << bench::shell(s.file, screen, out);
    s.figures["report"].shell << bench::shell(s.file, ids, out);
    const QString csv = QDir(scratch).filePath(QStringLiteral("shell.csv"));
    s.figures["export"].shell << bench::shell(s.file, csvSql(), out, csv, {QStringLiteral("-csv")});
    QFile::remove(csv);

    QStringList args = {QString::fromLatin1(SessionFlag), s.program->path()};
    QStringList entry, search;
    for (int n : s.entrySizes)
        entry << QString::number(n);
    for (int n : s.searchSizes)
        search << QString::number(n);
    args << entry.join(u',') << search.join(u',');
    for (const auto &[field, text] : s.search)
        args << field << text;
    bool done = false;
    for (const QByteArray &line : bench::runSelf(args, 1800000)) {
        const QList<QByteArray> w = line.split(' ');
        if (w[0] == "figure" && w.size() >= 4) {
            Figures &f = s.figures[QString::fromLatin1(w[1])];
            f.ms << w[2].toDouble();
            f.stall << w[3].toDouble();
            f.note = QString::fromUtf8(w.mid(4).join(' '));
        } else if (w[0] == "shown" && w.size() == 2) {
            s.shown << w[1].toDouble();
        } else if (w[0] == "memory" && w.size() == 2) {
            s.memory << w[1].toDouble();
        } else if (w[0] == "memory-end" && w.size() == 2) {
            s.memoryEnd << w[1].toDouble();
        } else if (w[0] == "done") {
            done = true;
        } else if (!line.isEmpty()) {
            out << "  session: " << line << "\n";
        }
    }
    if (!done)
        out << "  the session on the " << s.title << " journal did not get through\n";
    out.flush();
}

double maxOf(const QVector<double> &v) { return v.isEmpty() ? 0 : *std::max_element(v.begin(), v.end()); }

QString msText(double v) { return v >= 100 ? bench::fixed(v, 0) + " ms" : bench::fixed(v, 1) + " ms"; }

QString count(qint64 n) { return QLocale(QLocale::English).toString(n); }

void printShape(const Shape &s)
{
    out << "\n### " << s.title << ": " << count(s.rows) << " rows; " << count(s.entrySizes[0]) << " trucks, "
        << count(s.entrySizes[2]) << " drivers, " << count(s.entrySizes[4]) << " customers, "
        << count(s.entrySizes[10]) << " waybill numbers; " << count(s.waiting)
        << " trucks waiting for their gross weighing\n\n";
    out << "| what | program (median) | longest stall (worst round) | sqlite3 shell (median) | ratio (median of rounds) | goal |\n";
    out << "|---|---|---|---|---|---|\n";
    struct Row
    {
        const char *key;
        QString what;
        QString shell;
        QString goal;
        double ratioGoal;   // 0: none
    };
    const QString stallGoal = QStringLiteral("stall ≤ 200 ms");
    const Row rows[] = {
        {"start-up", QStringLiteral("click on \"Продолжить работу\" to the main window shown with its 13 lists "
                                    "(those over %1 entries may still be filling)").arg(count(LongList)),
         QStringLiteral("13 entry fields of every row"), QStringLiteral("≤ 0.8 × shell"), 0.8},
        {"lists-whole", QStringLiteral("... to the 13 lists whole, the longest stall from the click"),
         QStringLiteral("the same"), stallGoal, 0},
        {"visit-1", QStringLiteral("first visit of the journal page, six lists rebuilt"),
         QStringLiteral("six list fields of every row"), QStringLiteral("≤ 0.3 × shell, ") + stallGoal, 0.3},
        {"visit-2", QStringLiteral("second visit"), QStringLiteral("the same"), stallGoal, 0},
        {"pending", QStringLiteral("pending-truck window, %1 waiting, to its rows painted").arg(count(s.waiting)),
         QStringLiteral("its 11 fields of the waiting rows"), stallGoal, 0},
        {"search", s.searchTitle, QStringLiteral("the same condition, first 40 rows"), stallGoal, 0},
        {"edit-mode", QStringLiteral("edit mode: the gate's \"OK\" to the grid editable"),
         QStringLiteral("first 40 rows"), stallGoal, 0},
        {"report", QStringLiteral("\"Печать БД\" to the preview's first page painted"), QStringLiteral("every id"),
         stallGoal, 0},
        {"export", QStringLiteral("\"Экспорт БД\": the save dialog's Enter to the file written"),
         QStringLiteral("`-csv`, the same 21 columns to a file"), stallGoal, 0},
    };
    for (const Row &r : rows) {
        const Figures f = s.figures.value(QString::fromLatin1(r.key));
        if (f.ms.isEmpty()) {
            out << "| " << r.what << " | failed | | | | " << r.goal << " |\n";
            continue;
        }
        // The ratio of each round, program and shell under the same load of
        // the machine; their median.
        QVector<double> ratios;
        for (int i = 0; i < f.ms.size() && i < f.shell.size(); ++i)
            ratios << f.ms[i] / f.shell[i];
        const double program = bench::median(f.ms), shell = bench::median(f.shell), ratio = bench::median(ratios);
        QString ratioText = bench::fixed(ratio, 2);
        if (r.ratioGoal > 0 && ratio > r.ratioGoal)
            ratioText += QStringLiteral(" (over)");
        QString stallText = msText(maxOf(f.stall));
        if (maxOf(f.stall) > 200)
            stallText += QStringLiteral(" (over)");
        out << "| " << r.what << " | " << msText(program) << " | " << stallText << " | " << msText(shell) << " ("
            << r.shell << ") | " << ratioText << " | " << r.goal << " |\n";
    }
    const double peak = maxOf(s.memory);
    out << "| peak memory of the process when its 13 lists are filled (at the end of the session) | "
        << bench::fixed(peak, 0) << " MB (" << bench::fixed(maxOf(s.memoryEnd), 0) << " MB)" << (peak > 200 ? " (over)" : "")
        << " | | | | ≤ 200 MB |\n\n";
    out << "main window first painted " << msText(bench::median(s.shown)) << " after the click;";
    for (const char *key : {"start-up", "visit-1", "export"})
        out << ' ' << key << ": " << s.figures.value(QString::fromLatin1(key)).note << ';';
    out << "\nevery round (program / stall / shell, ms):\n";
    for (auto it = s.figures.cbegin(); it != s.figures.cend(); ++it) {
        out << "  " << it.key() << ':';
        for (int i = 0; i < it->ms.size(); ++i)
            out << ' ' << bench::fixed(it->ms[i], 0) << '/' << bench::fixed(it->stall[i], 0) << '/'
                << bench::fixed(i < it->shell.size() ? it->shell[i] : -1, 0);
        out << "\n";
    }
    out.flush();
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 4 && qstrcmp(argv[1], SessionFlag) == 0)
        sessionChild(argc, argv);

    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(1, QString(argv[1]).toInt()) : 1000000;
    QTemporaryDir temp;
    const QString cache = argc > 2 ? QString(argv[2]) : temp.path();
    const int rounds = bench::rounds(argc, argv);

    Shape shapes[2];
    shapes[0].key = QStringLiteral("demo");
    shapes[0].title = QStringLiteral("the demo tool's journal (`krodalin-db demo --rows N`)");
    shapes[1].key = QStringLiteral("project");
    shapes[1].title = QStringLiteral("the project-shaped journal (`gen_journal.py N`)");
    for (Shape &s : shapes) {
        s.folder = QDir(cache).filePath(s.key);
        s.file = QDir(s.folder).filePath(QStringLiteral("data/WE.sqlite"));
        if (!prepare(s, rows) || !measureLists(s) || !planSearch(s) || !makeProgramFolder(s)) {
            out << "could not prepare the " << s.title << " journal in " << s.folder << "\n";
            return 1;
        }
    }
    out << "journals in " << cache << "; " << rounds << " rounds\n";
    out.flush();

    for (int r = 0; r < rounds; ++r)
        for (Shape &s : shapes)
            runRound(s, temp.path());
    for (const Shape &s : shapes)
        printShape(s);
    return 0;
}
