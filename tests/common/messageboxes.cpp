#include "messageboxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDebug>
#include <QDialog>
#include <QEvent>
#include <QMetaEnum>
#include <QTest>

#include "toolkit/errorbox.h"

namespace {

QString buttonName(QMessageBox::StandardButton button)
{
    const QMetaObject &meta = QMessageBox::staticMetaObject;
    const QMetaEnum buttons = meta.enumerator(meta.indexOfEnumerator("StandardButtons"));
    const char *name = buttons.isValid() ? buttons.valueToKey(button) : nullptr;
    return name ? QString::fromLatin1(name) : QString::number(int(button), 16);
}

} // namespace

ModalWatcher::ModalWatcher(QObject *parent) : QObject(parent)
{
    // A test that watches boxes sees the general error report as the
    // operator does, in the program's own box.
    installErrorBox();
    m_timer.setInterval(5);
    connect(&m_timer, &QTimer::timeout, this, &ModalWatcher::poll);
    m_timer.start();
}

ModalWatcher::~ModalWatcher()
{
    if (!m_answers.empty())
        qWarning() << "ModalWatcher:" << m_answers.size() << "scripted answer(s) never used";
    if (!m_handlers.empty())
        qWarning() << "ModalWatcher:" << m_handlers.size() << "dialog handler(s) never used";
    for (const QString &problem : std::as_const(m_problems))
        qWarning() << "ModalWatcher:" << problem;
}

void ModalWatcher::answer(std::initializer_list<QMessageBox::StandardButton> buttons)
{
    m_answers.insert(m_answers.end(), buttons.begin(), buttons.end());
}

void ModalWatcher::answer(QMessageBox::StandardButton button)
{
    m_answers.push_back(button);
}

void ModalWatcher::handleDialog(DialogHandler handler)
{
    m_handlers.push_back(std::move(handler));
}

bool ModalWatcher::waitForBoxes(int count, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (m_seen.size() < count || m_answered < count) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(5);
    }
    return true;
}

void ModalWatcher::clear()
{
    m_answers.clear();
    m_handlers.clear();
    m_seen.clear();
    m_dialogs.clear();
    m_problems.clear();
    m_answered = 0;
}

void ModalWatcher::poll()
{
    m_taken.removeIf([](const QPointer<QWidget> &w) { return !w || !w->isVisible(); });

    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || m_taken.contains(modal))
        return;
    m_taken.append(modal);
    // A window leaves the list the moment it hides, so that one box object
    // shown again right away (no poll in between) is answered again.
    modal->installEventFilter(this);
    if (auto *box = qobject_cast<QMessageBox *>(modal))
        takeBox(box);
    else
        takeDialog(modal);
}

bool ModalWatcher::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Hide) {
        watched->removeEventFilter(this);
        m_taken.removeIf([watched](const QPointer<QWidget> &w) { return !w || w == watched; });
    }
    return QObject::eventFilter(watched, event);
}

void ModalWatcher::takeBox(QMessageBox *box)
{
    Box seen;
    seen.text = box->text();
    seen.informativeText = box->informativeText();
    seen.title = box->windowTitle();
    seen.icon = box->icon();
    seen.buttons = box->standardButtons();
    for (uint flag = QMessageBox::FirstButton; flag <= QMessageBox::LastButton; flag <<= 1)
        if (QAbstractButton *b = box->button(QMessageBox::StandardButton(flag)))
            seen.buttonTexts << b->text();
    seen.textFormat = box->textFormat();
    seen.parent = box->parentWidget();

    QMessageBox::StandardButton choice;
    if (!m_answers.empty()) {
        choice = m_answers.front();
        m_answers.pop_front();
        if (!box->button(choice)) {
            m_problems << QStringLiteral("box \"%1\" has no button %2").arg(seen.text, buttonName(choice));
            choice = unscriptedAnswer(box);
        }
    } else {
        choice = unscriptedAnswer(box);
    }
    seen.answer = choice;
    m_seen.append(seen);
    if (m_look)
        m_look(seen);

    // Queued, so that whatever the answer sets off (the next box, say) runs
    // outside this timer's slot and is watched too.
    QMetaObject::invokeMethod(
        this,
        [this, target = QPointer<QMessageBox>(box), choice] {
            if (target && target->isVisible()) {
                if (QAbstractButton *button = target->button(choice))
                    button->click();
                else
                    target->done(choice);
            }
            ++m_answered;
        },
        Qt::QueuedConnection);
}

void ModalWatcher::takeDialog(QWidget *widget)
{
    m_dialogs.append(Dialog{QString::fromLatin1(widget->metaObject()->className()), widget->objectName(),
                            widget->windowTitle()});
    DialogHandler handler;
    if (!m_handlers.empty()) {
        handler = std::move(m_handlers.front());
        m_handlers.pop_front();
    } else {
        m_problems << QStringLiteral("unexpected modal window %1 \"%2\"")
                          .arg(m_dialogs.last().className, m_dialogs.last().title);
    }
    QMetaObject::invokeMethod(
        this,
        [target = QPointer<QWidget>(widget), handler = std::move(handler)] {
            if (!target)
                return;
            if (handler) {
                handler(target);
            } else if (auto *dialog = qobject_cast<QDialog *>(target.data())) {
                dialog->reject();
            } else {
                target->close();
            }
        },
        Qt::QueuedConnection);
}

QMessageBox::StandardButton ModalWatcher::unscriptedAnswer(const QMessageBox *box)
{
    const QMessageBox::StandardButtons buttons = box->standardButtons();
    for (QMessageBox::StandardButton b : {QMessageBox::Ok, QMessageBox::No, QMessageBox::Cancel,
                                          QMessageBox::Close, QMessageBox::Abort}) {
        if (buttons.testFlag(b))
            return b;
    }
    const QList<QAbstractButton *> all = box->buttons();
    return all.isEmpty() ? QMessageBox::NoButton : box->standardButton(all.first());
}
