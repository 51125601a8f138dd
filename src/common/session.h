#pragma once
// Values that hold for the whole run: whether the operator login succeeded,
// and the operator who makes every weighing of this run.

#include <QString>

struct Session
{
    static int LoginOk;            // 0 at start; 1 only after a successful login
    static QString OperatorName;   // the signed-in operator's stored name
};
