#pragma once
// The sign-in rule shared by the login window and the administrator gate.
//
// A sign-in passes only when the name typed is the name of the account row
// the lookup found (letter case ignored) and the password typed equals that
// row's password exactly. A name that merely begins an account name, or
// begins none, never passes: otherwise any invented name would sign in with
// the password of whatever row the lookup last stood on.

#include <QString>
#include <optional>

#include "store/schema.h"

class TableCursor;

// Field names of both account tables, as the store's schema has them.
namespace AccountFields {
inline const QString &Name = AccountRecord::fieldName(AccountRecord::Name);
inline const QString &Password = AccountRecord::fieldName(AccountRecord::Password);
}

struct Account
{
    QString name;       // as stored
    QString password;   // as stored
};

// The rule itself; `found` is the row the name lookup stands on (none when
// the table is empty or closed).
bool signInPasses(const QString &typedName, const QString &typedPassword,
                  const std::optional<Account> &found);

// The account on the cursor's current row as stored: a row being edited
// counts with its stored values, a row being added not at all. None when the
// cursor is closed or has no row.
std::optional<Account> currentAccount(const TableCursor &cursor);
