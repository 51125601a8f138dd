#include "totalscommand.h"

#include <QDateTime>
#include <QSaveFile>
#include <QTextStream>

#include "common/failure.h"
#include "print/totals.h"
#include "store/tablestore.h"

namespace {

// "customer" or "customer,goods"; nothing for anything else.
std::optional<Totals::Request> groupingsNamed(const QString &by)
{
    const QStringList names = by.split(QLatin1Char(','));
    if (names.size() > 2)
        return std::nullopt;
    Totals::Request r;
    const auto first = Totals::groupingNamed(names[0]);
    if (!first)
        return std::nullopt;
    r.first = *first;
    if (names.size() == 2) {
        r.second = Totals::groupingNamed(names[1]);
        if (!r.second || *r.second == r.first)
            return std::nullopt;
    }
    return r;
}

void writeCsv(const QString &path, const QByteArray &bytes)
{
    // The file takes its name only when whole: a mailer picking it up from
    // cron never sees half of it.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw Failure(QStringLiteral("не удалось записать %1: %2").arg(path, file.errorString()));
}

}

int totalsCommand(const QStringList &args)
{
    if (args.size() < 2)
        return -1;
    const bool server = args[1] == QLatin1String("--server");
    if (server && args.size() < 3)
        return -1;
    Totals::Request request;
    QString from, to, csvPath;
    for (int i = server ? 3 : 2; i < args.size(); i += 2) {
        if (i + 1 >= args.size())
            return -1;
        const QString &option = args[i];
        const QString &value = args[i + 1];
        if (option == QLatin1String("--from")) {
            from = value;
        } else if (option == QLatin1String("--to")) {
            to = value;
        } else if (option == QLatin1String("--by")) {
            const auto named = groupingsNamed(value);
            if (!named)
                return -1;
            request.first = named->first;
            request.second = named->second;
        } else if (option == QLatin1String("--csv")) {
            csvPath = value;
        } else {
            return -1;
        }
    }
    for (const auto &[text, date] : {std::pair{&from, &request.from}, std::pair{&to, &request.to}}) {
        if (text->isEmpty())
            continue;
        *date = QDate::fromString(*text, QStringLiteral("d.M.yyyy"));
        if (!date->isValid()) {
            QTextStream(stderr) << "krodalin-db: \"" << *text << "\" не является датой\n";
            return 2;
        }
    }
    if (request.from.isValid() && request.to.isValid() && request.from > request.to) {
        QTextStream(stderr) << "krodalin-db: дата --from позже даты --to\n";
        return 2;
    }

    try {
        const QDateTime made = QDateTime::currentDateTime();
        Totals::Result result;
        {
            const auto store = server ? TableStore::openServer(args[2]) : TableStore::open(args[1]);
            if (!store->tableExists(Tables::Journal))
                throw Failure(QStringLiteral("в %1 нет таблицы %2; её создаст krodalin-db init")
                                  .arg(store->describe(), Tables::Journal));
            result = Totals::compute(*store, request);
        }
        if (!csvPath.isEmpty())
            writeCsv(csvPath, Totals::csv(result));
        QTextStream(stdout) << Totals::text(result, made);
    } catch (const Failure &e) {
        QTextStream(stderr) << "krodalin-db: " << e.message() << "\n";
        return 1;
    }
    return 0;
}
