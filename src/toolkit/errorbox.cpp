#include "toolkit/errorbox.h"

#include <QApplication>
#include <QMessageBox>

#include "common/errorreport.h"

void installErrorBox()
{
    setErrorReporter([](const QString &text) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Krodalin"), text, QMessageBox::Ok,
                        QApplication::activeWindow());
        // Engine messages may hold "<" and the like; they are shown as written.
        box.setTextFormat(Qt::PlainText);
        box.exec();
    });
}
