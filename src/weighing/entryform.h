#pragma once
// The entry form of the first page: the thirteen entry fields ComboBox1 ..
// ComboBox13 with their reference lists, the weight displays Edit1 (tare),
// Edit2 (gross) and Edit3 (net), the four mode buttons, "Взвесить" and, on
// the page's right-hand panel, "  Новый".
//
// The main window builds it into its entry panel before its creation steps,
// and hands fillReferenceLists() to step 3. What "Взвесить" and the mode
// buttons do is the WeighOperation's (weighing()).

#include <QWidget>

#include <array>
#include <atomic>
#include <exception>
#include <memory>
#include <thread>

#include "weighing/referencelists.h"
#include "weighing/weighingmode.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class IndicatorLink;
class EntryField;
class PendingLists;
class ReferenceListModel;
class TableCursor;
class WeighOperation;

// What the main window lends the entry form.
struct EntryFormHost
{
    QWidget *panel = nullptr;           // EntryPanel: the form fills it
    QWidget *newButtonSlot = nullptr;   // NewButtonSlot: "  Новый" goes here
    QLabel *unitLabel = nullptr;        // izmer2, "кг" or "т"
    TableCursor *journal = nullptr;     // the main window's journal view
    IndicatorLink *link = nullptr;
};

// The texts of the three weight displays.
struct EntryWeights
{
    QString tare;  // Edit1
    QString gross; // Edit2
    QString net;   // Edit3
};

class EntryForm : public QWidget
{
    Q_OBJECT
public:
    explicit EntryForm(const EntryFormHost &host);
    ~EntryForm() override;

    const EntryFormHost &host() const { return m_host; }
    WeighOperation *weighing() const { return m_weighing; }

    // --- entry fields, i = 1..13 (journal position i - 1)
    // The fields "Взвесить" requires, in the order it tests them (the trailer
    // number, ComboBox12, is optional), and the message for an empty one.
    static const std::array<int, 12> &requiredFieldOrder();
    static QString emptyFieldMessage(int i);

    QComboBox *entryField(int i) const;
    QString fieldText(int i) const;
    void setFieldText(int i, const QString &text);
    void setFieldsEnabled(bool on);   // all thirteen together

    // --- weight displays: only the form writes them
    const QLineEdit *tareDisplay() const { return m_tare; }   // Edit1
    const QLineEdit *grossDisplay() const { return m_gross; } // Edit2
    const QLineEdit *netDisplay() const { return m_net; }     // Edit3
    EntryWeights weights() const;
    void setWeights(const EntryWeights &w);

    // A journal record into the form: the thirteen entry texts (journal
    // positions 0 .. 12) and the weights it shows.
    void loadRecord(const QStringList &entryTexts, const EntryWeights &w);

    QPushButton *weighButton() const { return m_weighButton; } // "WeighButton"
    QPushButton *newButton() const { return m_newButton; }     // "NewButton"
    // "Запомнить тару": a completed tare pass stores the truck's tare in the register.
    QCheckBox *rememberTare() const { return m_rememberTare; }  // "RememberTare"

    // --- modes
    WeighingMode mode() const { return m_mode; }
    QRadioButton *modeButton(WeighingMode m) const;
    // Selects a mode without running its handler.
    void selectMode(WeighingMode m);

    // --- reference lists
    const ReferenceLists &referenceLists() const { return m_lists; }
    // Creation step 3 of the main window: the refresh over the whole journal.
    // On a long journal the lists are completed on a worker after it returns
    // (those from indexes first, in a moment; the waybill numbers, new on
    // nearly every row, last); until then a field offers nothing, and its
    // drop-down or the completion of what was typed comes up as soon as its
    // list is whole. fillingDone() tells when all are.
    void fillReferenceLists();
    bool referenceListsFilling() const { return m_filling != nullptr; }
    // The refresh from the journal view's current row to its end.
    void refreshReferenceLists();

    // The form reset: resetStarted() (the note's print button goes off), displays and fields cleared, fields
    // enabled, mode m selected, focus to ComboBox1, reference lists refreshed.
    void formReset(WeighingMode m);

signals:
    // The operator chose a mode button (also a second-pass mode chosen
    // again); previous was selected before.
    void modeClicked(WeighingMode m, WeighingMode previous);
    // A form reset begins: no completed record is shown any more.
    void resetStarted();
    // The lists left to a worker at start-up are whole.
    void fillingDone();

private:
    void createLayout();
    QWidget *createFields();
    QWidget *createWeighRow();
    void onModeButtonClicked(WeighingMode m);
    void refreshLists(bool atStart);
    void startFilling(std::unique_ptr<PendingLists> read);
    // The given lists read by the worker, those still pending, into their fields.
    void takeFilled(const QVector<int> &positions);
    void finishFilling(bool ran, std::exception_ptr failure);

    EntryFormHost m_host;
    WeighOperation *m_weighing = nullptr;
    ReferenceLists m_lists;
    std::array<EntryField *, WeighingRecord::EntryFieldCount> m_fields{};
    std::array<ReferenceListModel *, WeighingRecord::EntryFieldCount> m_models{};
    std::array<QRadioButton *, 5> m_modeButtons{};
    QCheckBox *m_rememberTare = nullptr;
    QLineEdit *m_tare = nullptr;
    QLineEdit *m_gross = nullptr;
    QLineEdit *m_net = nullptr;
    QPushButton *m_weighButton = nullptr;
    QPushButton *m_newButton = nullptr;
    WeighingMode m_mode = WeighingMode::TareBeforeLoading;
    std::unique_ptr<PendingLists> m_filling;   // read by m_fillThread
    std::thread m_fillThread;
    std::atomic<bool> m_stopFilling{false};
};
