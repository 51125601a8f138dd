#pragma once

#include <QStringList>

// krodalin-db totals FOLDER|--server CONNECTION [--from DD.MM.YYYY] [--to DD.MM.YYYY]
//                    [--by customer[,goods]] [--csv FILE]
// Prints the totals as the window's report lays them out; --csv writes the
// (sub)group lines into FILE as well. Returns the exit code, or -1 for a
// malformed command line.
int totalsCommand(const QStringList &args);
