#include "toolkit/navigator.h"

#include <QHBoxLayout>
#include <QMessageBox>
#include <QToolButton>

#include "common/errorreport.h"
#include "store/tablecursor.h"

DbNavigator::DbNavigator(QWidget *parent) : QWidget(parent)
{
    static const char *const glyphs[Count] = {"|◀", "◀", "▶", "▶|", "+", "−", "▲", "✔", "✖", "↻"};
    static const char *const hints[Count] = {
        "Первая запись ",     "Предыдущая запись", "Следующая запись", "Последняя запись",
        "Вставить запись",    "Удалить запись",    "Редактировать запись", "Сохранить запись",
        "Отменить редактирование", "Обновить данные"};
    static const char *const names[Count] = {"nbFirst", "nbPrior", "nbNext",  "nbLast",   "nbInsert",
                                              "nbDelete", "nbEdit", "nbPost", "nbCancel", "nbRefresh"};
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int b = 0; b < Count; ++b) {
        auto *button = new QToolButton(this);
        button->setText(QString::fromUtf8(glyphs[b]));
        button->setObjectName(QString::fromLatin1(names[b]));
        button->setToolTip(QString::fromUtf8(hints[b]));
        button->setStatusTip(QString::fromUtf8(hints[b]));
        button->setMinimumSize(24, 22);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        connect(button, &QToolButton::clicked, this, [this, b] { press(Button(b)); });
        layout->addWidget(button);
        m_buttons[b] = button;
    }
    updateButtons();
}

void DbNavigator::setCursor(TableCursor *cursor)
{
    if (m_cursor)
        disconnect(m_cursor, nullptr, this, nullptr);
    m_cursor = cursor;
    if (m_cursor) {
        connect(m_cursor, &TableCursor::currentChanged, this, &DbNavigator::updateButtons);
        connect(m_cursor, &TableCursor::stateChanged, this, &DbNavigator::updateButtons);
        connect(m_cursor, &TableCursor::rowsChanged, this, &DbNavigator::updateButtons);
    }
    updateButtons();
}

void DbNavigator::press(Button b)
{
    if (!m_cursor)
        return;
    runGuarded([&] {
        switch (b) {
        case First: m_cursor->First(); break;
        case Prior: m_cursor->Prior(); break;
        case Next: m_cursor->Next(); break;
        case Last: m_cursor->Last(); break;
        case Insert: m_cursor->Append(); break;
        case Delete:
            if (m_cursor->currentId() == 0 && m_cursor->state() != TableCursor::State::Insert)
                break;
            if (m_deleteCheck && !m_deleteCheck())
                break;
            if (QMessageBox::question(window(), QStringLiteral("Confirm"), QStringLiteral("Delete record?"),
                                      QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
                == QMessageBox::Yes)
                m_cursor->Delete();
            break;
        case Edit: m_cursor->Edit(); break;
        case Post: m_cursor->Post(); break;
        case Cancel: m_cursor->Cancel(); break;
        case Refresh: m_cursor->Refresh(); break;
        case Count: break;
        }
    });
    updateButtons();
}

void DbNavigator::updateButtons()
{
    const bool open = m_cursor && m_cursor->isOpen();
    const bool editing = open && m_cursor->state() != TableCursor::State::Browse;
    const bool hasRow = open && m_cursor->currentId() != 0;
    m_buttons[First]->setEnabled(open && hasRow && !editing);
    m_buttons[Prior]->setEnabled(open && hasRow && !editing && !m_cursor->AtStart());
    m_buttons[Next]->setEnabled(open && hasRow && !editing && !m_cursor->AtEnd());
    m_buttons[Last]->setEnabled(open && hasRow && !editing);
    m_buttons[Insert]->setEnabled(open);
    m_buttons[Delete]->setEnabled(open && (hasRow || editing));
    m_buttons[Edit]->setEnabled(open && hasRow && !editing);
    m_buttons[Post]->setEnabled(editing);
    m_buttons[Cancel]->setEnabled(editing);
    m_buttons[Refresh]->setEnabled(open && !editing);
}
