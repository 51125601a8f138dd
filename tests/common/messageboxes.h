#pragma once
// Reads and answers the modal message boxes and dialogs that a test provokes.
//
//     ModalWatcher watcher;
//     watcher.answer({QMessageBox::No});
//     exitButton->click();                  // the box is answered inside exec()
//     QCOMPARE(watcher.seen().size(), 1);
//     QCOMPARE(watcher.seen()[0].text, QString("..."));
//
// The watcher polls QApplication::activeModalWidget() with a timer, so it
// sees boxes opened from anywhere: a click, a timer tick, a port event, or
// the handler of another box or dialog. It answers through a queued call,
// never from inside its own timer, so that an answer that opens the next box
// is watched as well.

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>
#include <initializer_list>

class ModalWatcher : public QObject
{
    Q_OBJECT

public:
    // A message box as the operator saw it, and how the watcher answered it.
    struct Box
    {
        QString text;
        QString informativeText;
        QString title;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        QStringList buttonTexts;   // as shown, in the order of the buttons' flags
        Qt::TextFormat textFormat = Qt::AutoText;
        QPointer<QWidget> parent;
        QMessageBox::StandardButton answer = QMessageBox::NoButton;
    };

    // A modal window that is not a message box.
    struct Dialog
    {
        QString className;
        QString objectName;
        QString title;
    };

    // Called with the dialog; it fills and closes it (accept, reject, a click).
    using DialogHandler = std::function<void(QWidget *)>;

    explicit ModalWatcher(QObject *parent = nullptr);
    ~ModalWatcher() override;

    // Buttons for the next message boxes, in the order the boxes appear.
    // A box without a scripted answer gets Ok when it has one, otherwise its
    // refusing choice (No, Cancel, Close, Abort), otherwise its first button.
    void answer(std::initializer_list<QMessageBox::StandardButton> buttons);
    void answer(QMessageBox::StandardButton button);

    // Handler for the next modal window that is not a message box. A dialog
    // without a handler is rejected (or closed) and noted as a problem.
    void handleDialog(DialogHandler handler);

    // Called with every message box while it is on screen, before it is
    // answered: for what must hold at the moment the operator reads it.
    void whileShown(std::function<void(const Box &)> look) { m_look = std::move(look); }

    const QList<Box> &seen() const { return m_seen; }
    const QList<Dialog> &dialogs() const { return m_dialogs; }

    // Boxes that did not go as scripted: a scripted button the box lacked, a
    // dialog nobody was ready for. Empty when all went to plan.
    const QStringList &problems() const { return m_problems; }

    // Scripted answers and dialog handlers not used yet.
    int pendingAnswers() const { return int(m_answers.size()); }
    int pendingDialogHandlers() const { return int(m_handlers.size()); }

    // Processes events until at least count boxes were seen and answered;
    // false on timeout. For boxes that come from timers or port events.
    bool waitForBoxes(int count, int timeoutMs = 5000);

    // Forgets what was seen, the script and the problems.
    void clear();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void poll();
    void takeBox(QMessageBox *box);
    void takeDialog(QWidget *widget);
    static QMessageBox::StandardButton unscriptedAnswer(const QMessageBox *box);

    QTimer m_timer;
    QList<QPointer<QWidget>> m_taken; // answered or being answered, still on screen
    std::deque<QMessageBox::StandardButton> m_answers;
    std::deque<DialogHandler> m_handlers;
    QList<Box> m_seen;
    QList<Dialog> m_dialogs;
    QStringList m_problems;
    int m_answered = 0;
    std::function<void(const Box &)> m_look;
};
