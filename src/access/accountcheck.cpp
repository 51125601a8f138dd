#include "access/accountcheck.h"

#include "store/tablecursor.h"

bool signInPasses(const QString &typedName, const QString &typedPassword,
                  const std::optional<Account> &found)
{
    if (!found || typedName.isEmpty())
        return false;
    return typedName.compare(found->name, Qt::CaseInsensitive) == 0 && typedPassword == found->password;
}

std::optional<Account> currentAccount(const TableCursor &cursor)
{
    // A row being added is no account yet.
    if (!cursor.isOpen() || cursor.currentId() == 0 || cursor.state() == TableCursor::State::Insert)
        return std::nullopt;
    const int name = cursor.fieldIndex(AccountFields::Name);
    const int password = cursor.fieldIndex(AccountFields::Password);
    if (name < 0 || password < 0)
        return std::nullopt;
    return Account{cursor.storedText(name), cursor.storedText(password)};
}
