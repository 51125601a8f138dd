#include "app/errorreport.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

QString errorReportText(const QString &message)
{
    // An empty message has no last character, so there is nothing to end.
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + u'.';
    return message;
}

void showErrorReport(const QString &message)
{
    const QString text = errorReportText(message);

    // The command-line tools link the same code but have no windows.
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        return;
    }

    QMessageBox box(QMessageBox::Critical, QStringLiteral("Krodalin"), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    // Engine messages may hold "<" and the like; they are shown as written.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
