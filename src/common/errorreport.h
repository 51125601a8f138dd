#pragma once
// The general error report: a failure that a handler does not deal with
// itself ends that handler and reaches the operator through the installed
// reporter (the program's shows a "Krodalin" box with an error icon; without
// one, the text goes to standard error, as the command-line tools want).
// Exceptions never cross Qt's event loop: slots that can fail are connected
// through guarded().

#include <QString>
#include <exception>
#include <functional>
#include <type_traits>
#include <utility>

#include "common/failure.h"

// The text as the box shows it: a full stop is added when the last character's
// code is above the full stop's.
QString errorReportText(const QString &message);

// Receives the report's text, full stop already added.
using ErrorReporter = std::function<void(const QString &text)>;

// Installs the reporter every later report goes to; an empty one restores
// the default (standard error). Returns the one it replaces.
ErrorReporter setErrorReporter(ErrorReporter reporter);

// Hands the message, as errorReportText() makes it, to the reporter.
void showErrorReport(const QString &message);

// Runs f, reporting a Failure or any other exception. Returns false when f failed.
template <typename F>
bool runGuarded(F &&f)
{
    try {
        std::forward<F>(f)();
        return true;
    } catch (const Failure &e) {
        showErrorReport(e.message());
    } catch (const std::exception &e) {
        showErrorReport(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

// Wraps a callable for connect(): the wrapper swallows nothing silently, it
// shows every failure through the report. f takes either all the signal's
// arguments or none (QTimer::timeout passes a private tag, for one).
template <typename F>
auto guarded(F f)
{
    return [f = std::move(f)](auto &&...args) {
        runGuarded([&] {
            if constexpr (std::is_invocable_v<const F &, decltype(args)...>)
                f(std::forward<decltype(args)>(args)...);
            else
                f();
        });
    };
}
