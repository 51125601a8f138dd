#pragma once
// The user manual shown on the "Помощь" page: plain text in five sections.

#include <QString>
#include <QStringList>

// The whole manual, lines joined by "\n".
QString helpText();

// The section headings in the order in which the manual gives them.
const QStringList &helpSectionHeadings();
