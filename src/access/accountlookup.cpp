#include "access/accountlookup.h"

#include <QKeyEvent>
#include <QLineEdit>

#include "access/accountcheck.h"
#include "common/errorreport.h"
#include "store/tablecursor.h"

AccountNameLookup::AccountNameLookup(TableCursor *cursor, QWidget *parent)
    : QComboBox(parent), m_cursor(cursor)
{
    setEditable(true);
    // The lookup completes by itself from the table; the combo's own
    // completer would fight it, and typed text must never become an item.
    setCompleter(nullptr);
    setInsertPolicy(QComboBox::NoInsert);
    setMaxVisibleItems(12);

    connect(lineEdit(), &QLineEdit::textEdited, this, &AccountNameLookup::onTextEdited);
    connect(this, &QComboBox::editTextChanged, this, &AccountNameLookup::onEditTextChanged);
    connect(this, &QComboBox::activated, this, &AccountNameLookup::onActivated);
    reloadNames();
}

void AccountNameLookup::setText(const QString &text)
{
    setEditText(text);
}

void AccountNameLookup::reloadNames()
{
    QStringList names;
    QVector<qint64> ids;
    if (m_cursor->isOpen()) {
        runGuarded([&] {
            const int field = m_cursor->fieldIndex(AccountFields::Name);
            const QVector<qint64> all = m_cursor->visibleIds(0, 0);
            if (field < 0 || all.isEmpty())
                return;
            const auto rows = m_cursor->rowsByIdRange(all.first(), all.last());
            for (const auto &row : rows) {
                ids << row.first;
                names << TableCursor::valueText(row.second.string(field), false);
            }
        });
    }

    // Refilling a combo rewrites its text; the operator's text stays.
    const QString keep = currentText();
    const int position = lineEdit()->cursorPosition();
    m_reloading = true;
    clear();
    for (int i = 0; i < names.size(); ++i)
        addItem(names[i], ids[i]);
    const int current = findData(m_cursor->isOpen() ? m_cursor->currentId() : qint64(-1));
    setCurrentIndex(current >= 0 && itemText(current) == keep ? current : -1);
    if (currentText() != keep)
        setEditText(keep);
    lineEdit()->setCursorPosition(position);
    m_reloading = false;
}

void AccountNameLookup::followText()
{
    const QString text = currentText();
    if (text.isEmpty() || !m_cursor->isOpen())
        return;
    const std::optional<Account> current = currentAccount(*m_cursor);
    if (current && current->name.compare(text, Qt::CaseInsensitive) == 0)
        return;
    runGuarded([&] { m_cursor->Locate(AccountFields::Name, text); });
}

void AccountNameLookup::showPopup()
{
    reloadNames();
    QComboBox::showPopup();
}

void AccountNameLookup::keyPressEvent(QKeyEvent *event)
{
    m_deleting = event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete
                 || event->matches(QKeySequence::Cut);
    QComboBox::keyPressEvent(event);
    m_deleting = false;   // a key that edited nothing must not mark the next edit
}

void AccountNameLookup::onTextEdited(const QString &text)
{
    const bool deleting = std::exchange(m_deleting, false);
    if (text.isEmpty() || !m_cursor->isOpen())
        return;   // an emptied field is handled with every other text change

    bool found = false;
    QString stored;
    runGuarded([&] {
        found = m_cursor->Locate(AccountFields::Name, text);
        if (found)
            stored = m_cursor->FieldText(AccountFields::Name);
    });
    if (!found || deleting)
        return;
    // Complete only while typing at the end; an edit in the middle keeps
    // the operator's text and cursor where they are.
    QLineEdit *edit = lineEdit();
    if (edit->cursorPosition() != text.size() || !stored.startsWith(text, Qt::CaseInsensitive))
        return;
    edit->setText(stored);
    // Select backwards, so that the text cursor stays after the typed part.
    edit->setSelection(int(stored.size()), int(text.size() - stored.size()));
}

void AccountNameLookup::onEditTextChanged(const QString &text)
{
    if (m_reloading)
        return;
    const bool emptied = text.isEmpty() && !m_held.isEmpty();
    m_held = text;
    if (emptied && m_cursor->isOpen())
        runGuarded([&] { m_cursor->First(); });
}

void AccountNameLookup::onActivated(int index)
{
    const qint64 id = itemData(index).toLongLong();
    const QString name = itemText(index);
    runGuarded([&] {
        if (!m_cursor->isOpen() || m_cursor->moveToId(id))
            return;
        // The row went away since the list was filled.
        m_cursor->Locate(AccountFields::Name, name);
        reloadNames();
    });
}
