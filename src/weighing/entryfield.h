#pragma once
// The entry form's fields: a reference list as a drop-down shows it, and the
// field that waits for a list still filling. Used by the entry form alone.

#include <QAbstractListModel>
#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>

#include <utility>

#include "weighing/referencelists.h"

// One entry field's list as its drop-down shows it. The row count is taken
// at each reset, so a view never sees the list change under it between the
// begin and the end of a refresh; a list still filling shows no rows.
class ReferenceListModel : public QAbstractListModel
{
public:
    ReferenceListModel(const ReferenceList &list, QObject *parent) : QAbstractListModel(parent), m_list(list) {}

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_rows); }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_rows)
            return {};
        if (role == Qt::DisplayRole || role == Qt::EditRole)
            return m_list.textAt(index.row());
        return {};
    }

    void beginChange() { beginResetModel(); }
    void endChange(bool filling)
    {
        m_rows = filling ? 0 : m_list.size();
        endResetModel();
    }

private:
    const ReferenceList &m_list;
    qsizetype m_rows = 0;
};

// An entry field whose list may still be filling after the window shows:
// its drop-down and the completion of what is typed wait for the whole list
// rather than offer a part of it, and come up as soon as it is there.
class EntryField : public QComboBox
{
public:
    using QComboBox::QComboBox;

    // After keepTypedText: the line edit is there.
    void watchTyping()
    {
        connect(lineEdit(), &QLineEdit::textEdited, this, [this] { m_typed = m_filling; });
    }

    bool filling() const { return m_filling; }
    void setFilling(bool on)
    {
        m_filling = on;
        const bool popup = std::exchange(m_popupAsked, false);
        const bool typed = std::exchange(m_typed, false);
        if (on || !isEnabled() || !isVisible())
            return;
        if (popup) {
            showPopup();
        } else if (typed && (hasFocus() || lineEdit()->hasFocus()) && !currentText().isEmpty() && completer()) {
            completer()->setCompletionPrefix(currentText());
            completer()->complete();
        }
    }

    void showPopup() override
    {
        if (m_filling)
            m_popupAsked = true;
        else
            QComboBox::showPopup();
    }

private:
    bool m_filling = false;
    bool m_popupAsked = false;
    bool m_typed = false;
};
