#include "common/session.h"

int Session::LoginOk = 0;
QString Session::OperatorName;
