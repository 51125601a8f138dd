#include "weighing/choicelook.h"

#include <QDialog>
#include <QHeaderView>
#include <QPushButton>

#include "toolkit/widgetlook.h"

namespace ChoiceLook {

void paintBlue(QDialog *window)
{
    QPalette blue = window->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    blue.setColor(QPalette::ButtonText, Qt::blue);
    window->setPalette(blue);
}

void paintBlue(QHeaderView *header)
{
    QPalette hp = header->palette();
    hp.setColor(QPalette::ButtonText, Qt::blue);
    hp.setColor(QPalette::WindowText, Qt::blue);
    header->setPalette(hp);
}

Buttons makeButtons(QDialog *window)
{
    const QFont bold = pixelFont(window->font(), 0, true);
    auto button = [&](const char *name, const QString &text, int top, const QString &hint) {
        auto *b = new QPushButton(text, window);
        b->setObjectName(QLatin1String(name));
        b->setFont(bold);
        b->setGeometry(7, top, 150, 44);
        setHint(b, {hint});
        return b;
    };
    Buttons b{button("ChooseButton", QStringLiteral(" Выбрать"), 186,
                     QStringLiteral("по выбранному из списка номеру автомобиля, заполняются все поля из БД")),
              button("CancelButton", QStringLiteral("Отмена"), 238, QStringLiteral("Отмена и переход в главное окно"))};
    b.choose->setDefault(true);
    return b;
}

}
