#pragma once
// The journal page: the grid over the main window's journal view with its
// navigator, the six search lists and two date fields, " Поиск!" and
// "Очистить запросы", the completed-weighings filter, the mode button that
// asks the administrator gate for edit mode, and the report buttons.
//
// The page is built into the main window's journal panel. It does not know
// the gate: a press of the mode button in view mode sets the edit-mode flag
// (CheckBox2) and emits editModeRequested(); the start order connects that
// to the gate, which calls EnterEditMode() once an administrator signed in.
// Edits made in edit mode leave their trail in BD_audit; without that table
// edit mode is refused, with what to run to add it.

#include <QWidget>

#include <array>
#include <memory>

#include "journal/searchlines.h"
#include "journal/searchlists.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class CursorGrid;
class CursorModel;
class DateField;
class DbNavigator;
class FilterPreview;
class TableCursor;

// What the main window lends the journal page.
struct JournalPageHost
{
    QWidget *panel = nullptr;         // JournalPanel: the page fills it
    TableCursor *journal = nullptr;   // the main window's journal view
    QCheckBox *editFlag = nullptr;    // CheckBox2, the hidden edit-mode flag
    QString programDir;               // where the journal's database is named
};

class JournalPage : public QWidget
{
    Q_OBJECT
public:
    static const QString ViewModeCaption;   // "Режим редактирования"
    static const QString EditModeCaption;   // "Режим просмотра и поиска"
    static const QString CompletedLine;     // "[Ok_cicle]='2'"

    explicit JournalPage(const JournalPageHost &host);
    ~JournalPage() override;

    // Called by the administrator gate once it accepted an administrator for
    // edit mode: cells can be typed into, the navigator works, and the mode
    // button offers the way back. Refused, with a message, on a journal
    // without BD_audit.
    void EnterEditMode();
    bool isEditMode() const;

    // Page shown: the search lists rebuilt, the focus to the customer list.
    void pageShown();
    // "Очистить запросы": the search filter off, the conditions cleared and
    // the lists read afresh from the journal view (its completed filter
    // applies). The engine's seeks run on a worker while the window answers;
    // each list is shown as soon as it is read, what is typed meanwhile kept.
    // A later rebuild or leaving the page takes the place of one under way.
    void rebuildSearchLists();
    // A rebuild's lists are still being read.
    bool searchListsFilling() const { return m_listsFill != nullptr; }
    // " Поиск!": the search filter built from the conditions and applied.
    // The engine reads its first rows on a worker while the window answers
    // ("SearchState" says so); the grid shows them once they are read. A
    // later search, "Очистить запросы" or leaving the page takes the place of
    // one still under way.
    void search();
    // The mode button's click.
    void modeButtonClick();

    SearchConditions conditions() const;

    // --- widgets, also found by objectName
    CursorGrid *grid() const { return m_grid; }                // "JournalGrid"
    DbNavigator *navigator() const { return m_navigator; }     // "JournalNavigator"
    QComboBox *searchList(int i) const { return m_lists[size_t(i)]; }   // order of SearchListFields
    DateField *dateFrom() const { return m_dateFrom; }         // DateEdit1
    DateField *dateTo() const { return m_dateTo; }             // DateEdit2
    QPushButton *searchButton() const { return m_searchButton; }   // "SearchButton"
    QPushButton *clearButton() const { return m_clearButton; }     // "ClearSearchButton"
    QCheckBox *completedFilterBox() const { return m_completed; }  // "CompletedFilterBox"
    QPushButton *modeButton() const { return m_modeButton; }       // "ModeButton"
    // The report buttons; the printing part of the program gives them work.
    QPushButton *printJournalButton() const { return m_printJournal; }  // "PrintJournalButton"
    QPushButton *exportJournalButton() const { return m_exportJournal; } // "ExportJournalButton"
    QPushButton *printNoteButton() const { return m_printNote; }       // "PrintNoteButton"
    QPushButton *totalsButton() const { return m_totals; }             // "TotalsButton"
    // "Доказательства взвешивания": the evidence window for the current row.
    QPushButton *evidenceButton() const { return m_evidence; }         // "EvidenceButton"
    // The current record's mark of a tare taken from the truck register.
    QLabel *storedTareMark() const { return m_storedTareMark; }        // "StoredTareMark"
    // "Идёт поиск…" while a search is under way, blank otherwise.
    QLabel *searchState() const { return m_searchState; }              // "SearchState"

signals:
    // The mode button asked for edit mode (CheckBox2 is set already).
    void editModeRequested();
    // Edit mode was left through the mode button (CheckBox2 is clear).
    void editModeLeft();
    // "Экспорт БД" was pressed.
    void exportJournalRequested();
    // "Доказательства взвешивания" was pressed on a stored row.
    void evidenceRequested(qint64 rowId);

protected:
    void showEvent(QShowEvent *e) override;
    void hideEvent(QHideEvent *e) override;

private:
    void createLayout();
    QWidget *createConditions();
    QWidget *createButtons();
    void createGrid();
    void setEditing(bool on);
    void leaveEditMode();
    bool trailAvailable();
    void updatePrintNote();
    void startSearch(const QStringList &lines);
    void searchRead(const std::shared_ptr<FilterPreview> &preview, const QStringList &lines);
    void showSearching(bool on);
    void dropSearch();
    struct ListsFill;
    void startListsRead();
    void showList(int i, const QStringList &texts);
    void dropListsRead();

    JournalPageHost m_host;
    CursorModel *m_model = nullptr;
    CursorGrid *m_grid = nullptr;
    DbNavigator *m_navigator = nullptr;
    std::array<QComboBox *, SearchListCount> m_lists{};
    DateField *m_dateFrom = nullptr;
    DateField *m_dateTo = nullptr;
    QPushButton *m_searchButton = nullptr;
    QPushButton *m_clearButton = nullptr;
    QCheckBox *m_completed = nullptr;
    QPushButton *m_modeButton = nullptr;
    QPushButton *m_printJournal = nullptr;
    QPushButton *m_exportJournal = nullptr;
    QPushButton *m_printNote = nullptr;
    QPushButton *m_totals = nullptr;
    QPushButton *m_evidence = nullptr;
    QLabel *m_storedTareMark = nullptr;   // "StoredTareMark"
    QLabel *m_searchState = nullptr;      // "SearchState"
    // The search under way, if any. Its reader is a QThread child of the
    // page, as are those of searches given up and still reading.
    std::shared_ptr<FilterPreview> m_search;
    std::shared_ptr<ListsFill> m_listsFill;
};
