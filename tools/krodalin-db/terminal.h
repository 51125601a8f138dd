#pragma once
// Questions at the terminal, for what the command line left out.

#include <QString>
#include <QTextStream>

#include "common/failure.h"

inline QString ask(const QString &prompt)
{
    QTextStream out(stdout);
    QTextStream in(stdin);
    out << prompt << ": " << Qt::flush;
    const QString line = in.readLine();
    if (line.isNull())
        throw Failure(QStringLiteral("нет ответа на вопрос «%1»").arg(prompt));
    return line;
}
