#include "common/errorreport.h"

#include <cstdio>

namespace {

ErrorReporter &installedReporter()
{
    static ErrorReporter reporter;
    return reporter;
}

} // namespace

QString errorReportText(const QString &message)
{
    // An empty message has no last character, so there is nothing to end.
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + u'.';
    return message;
}

ErrorReporter setErrorReporter(ErrorReporter reporter)
{
    return std::exchange(installedReporter(), std::move(reporter));
}

void showErrorReport(const QString &message)
{
    const QString text = errorReportText(message);
    if (const ErrorReporter &report = installedReporter()) {
        report(text);
        return;
    }
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}
