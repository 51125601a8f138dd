#pragma once
#include <QString>

// The start order: login, the main window and its companions, the event loop.
// programDir is where tools.ini and the database live.
int runKrodalin(int argc, char *argv[], const QString &programDir);
