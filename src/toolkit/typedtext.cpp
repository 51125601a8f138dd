#include "toolkit/typedtext.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWindow>

namespace {

// A completer's popup swallows the click that closes it, so " Поиск!" or
// "Взвесить" pressed right after typing would do nothing (or, where the
// window system replays the click, act only when the release comes late
// enough). Installed after the completer's own filter, this one sees the
// click first: the popup closes and the click goes on, through its window,
// to what was clicked, as if no popup had been open.
class PassClickOn : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::MouseButtonPress)
            return false;
        auto *popup = static_cast<QWidget *>(watched);
        auto *press = static_cast<QMouseEvent *>(event);
        if (popup->rect().contains(press->position().toPoint()))
            return false;
        const QPointF global = press->globalPosition();
        popup->hide();
        QWidget *target = QApplication::widgetAt(global.toPoint());
        QWindow *window = target ? target->window()->windowHandle() : nullptr;
        if (window) {
            const QPointF local = window->mapFromGlobal(global);
            QMouseEvent again(QEvent::MouseButtonPress, local, local, global, press->button(), press->buttons(),
                              press->modifiers());
            QCoreApplication::sendEvent(window, &again);
        }
        return true;
    }
};

}

void keepOneLine(QLineEdit *edit)
{
    // textEdited comes only from the operator's typing, pasting and dropping.
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString &text) {
        const QString line = oneLine(text);
        if (line == text)
            return;
        const int cursor = int(oneLine(text.left(edit->cursorPosition())).size());
        edit->setText(line);
        edit->setCursorPosition(cursor);
    });
}

void keepTypedText(QComboBox *box)
{
    box->setEditable(true);
    // What is typed is searched for or stored as typed; only the journal feeds the lists.
    box->setInsertPolicy(QComboBox::NoInsert);
    if (QCompleter *completer = box->completer()) {
        completer->setCompletionMode(QCompleter::PopupCompletion);
        completer->setCaseSensitivity(Qt::CaseSensitive);
        QAbstractItemView *popup = completer->popup();
        popup->setAttribute(Qt::WA_NoMouseReplay);   // the filter passes the click on itself
        popup->installEventFilter(new PassClickOn(completer));
    }
    keepOneLine(box->lineEdit());
}
