#pragma once
// The filter lines of a journal search, built from the page's conditions.
// No widget in here, so that tests call it directly.

#include <QString>
#include <QStringList>

struct SearchConditions
{
    QString customer;   // ComboBox18, Zakazchik
    QString goods;      // ComboBox13a, Tovar
    QString driver;     // ComboBox14, FIO
    QString truck;      // ComboBox15, N_Avto
    QString company;    // ComboBox16, AvtoPr
    QString weigher;    // ComboBox17, Klad
    QString dateFrom;   // DateEdit1 as shown ("15.03.2005", or the blank template)
    QString dateTo;     // DateEdit2 as shown
};

// One line per condition that is set, in the fixed order customer, goods,
// driver, truck, company, weigher, "с", "по"; every line after the first
// begins with " and ". A list condition is set when its text is not empty
// (a single blank counts); a date when its text sorts after "01.01.1900"
// (the blank template never does).
//
// Two faults of the old lines are mended here: a quote in a text is doubled
// inside the literal ([Zakazchik]='O''Neil'), so it is searched for instead
// of ending the literal; and both dates include their own day (>= and <=),
// so that the same day in both fields shows that day.
QStringList searchLines(const SearchConditions &c);

// The text as a filter literal: in single quotes, a quote inside doubled.
QString quotedLiteral(const QString &text);
