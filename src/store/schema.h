#pragma once
// The tables of the alias WE as the preparation tool creates them. The
// program itself never creates, restructures or empties a table.

#include <QString>
#include <QStringList>

namespace Schema {

// Journal columns in their fixed positions (0..24).
const QStringList &journalFields();
// The two account tables share these columns.
const QStringList &accountFields();   // "Имя пользователя", "Пароль"

// Creates the three tables (and the trail of hand edits BD_audit, the pass records BD_pass and the
// hash chain BD_chain) in the open WE database. Throws StoreError when
// any of them exists already (nothing is touched then) or creation fails.
void createTables();

// Adds to a database prepared before them what is missing of the trail of
// hand edits, the pass records and the hash chain (whose first link then
// takes the journal's rows as from before it). The names of the tables
// added. Throws StoreError.
QStringList ensureLogTables();

// Adds to the journal the indexes a database prepared before them lacks;
// the fields indexed now. Throws StoreError.
QStringList ensureIndexes();

// Adds an account row (used by the preparation tool and by tests).
void addAccount(const QString &table, const QString &name, const QString &password);

}
