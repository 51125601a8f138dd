#include "journal/storedtaremark.h"

#include <QDate>

#include "store/passlog.h"

namespace StoredTareMark {

QString forRow(TableStore &store, qint64 rowId)
{
    if (rowId == 0 || !PassLog::available(store))
        return {};
    QString mark;
    for (const PassRecord &p : PassLog::forRow(store, rowId)) {
        if (p.tareFrom == QLatin1String("stored")) {
            const QDate day = QDate::fromString(p.tareDay, Qt::ISODate);
            mark = QStringLiteral("Тара по справочнику машин: взвешена %1, запись журнала %2")
                       .arg(day.isValid() ? day.toString(QStringLiteral("dd.MM.yyyy")) : p.tareDay)
                       .arg(p.tareRow);
        }
        if (!p.overload.isEmpty())
            mark += (mark.isEmpty() ? QString() : QStringLiteral("; "))
                    + QStringLiteral("масса больше допустимой для машины: %1").arg(p.overload);
    }
    return mark;
}

}
