#pragma once

#include <QStringList>

// krodalin-db accounts FOLDER|--server CONNECTION [--add-admin NAME | --add-operator NAME] [--password PASS]
// Returns the exit code, or -1 for a malformed command line.
int accountsCommand(const QStringList &args);
