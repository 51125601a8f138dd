// krodalin-db: prepares the database of a Krodalin program folder.
//
//   krodalin-db init FOLDER [--admin NAME] [--admin-password PW]
//                           [--operator NAME] [--operator-password PW]
//
// Creates the journal and both account tables in the WE database of FOLDER
// and adds a first administrator and a first operator. Whatever is not given
// as an option is asked for at the terminal. Existing tables are never touched.

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

#include "common/failure.h"
#include "store/schema.h"
#include "store/tablestore.h"

namespace {

QString ask(const QString &prompt)
{
    QTextStream out(stdout);
    QTextStream in(stdin);
    out << prompt << ": " << Qt::flush;
    const QString line = in.readLine();
    if (line.isNull())
        throw Failure(QStringLiteral("нет ответа на вопрос «%1»").arg(prompt));
    return line;
}

int usage()
{
    QTextStream(stderr) << "Usage: krodalin-db init FOLDER [--admin NAME] [--admin-password PW]\n"
                           "                              [--operator NAME] [--operator-password PW]\n";
    return 2;
}

}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.size() < 2 || args[0] != QLatin1String("init"))
        return usage();
    const QString folder = args[1];
    QString admin, adminPassword, op, opPassword;
    bool haveAdmin = false, haveAdminPw = false, haveOp = false, haveOpPw = false;
    for (int i = 2; i < args.size(); ++i) {
        if (i + 1 >= args.size())
            return usage();
        const QString &name = args[i];
        const QString value = args[++i];
        if (name == QLatin1String("--admin")) {
            admin = value;
            haveAdmin = true;
        } else if (name == QLatin1String("--admin-password")) {
            adminPassword = value;
            haveAdminPw = true;
        } else if (name == QLatin1String("--operator")) {
            op = value;
            haveOp = true;
        } else if (name == QLatin1String("--operator-password")) {
            opPassword = value;
            haveOpPw = true;
        } else {
            return usage();
        }
    }

    try {
        TableStore::openCreating(folder);
        for (const QString &t : {Tables::Journal, Tables::Operators, Tables::Administrators})
            if (TableStore::tableExists(t))
                throw Failure(QStringLiteral("таблица %1 уже существует в %2; ничего не изменено")
                                  .arg(t, TableStore::databasePath(folder)));
        if (!haveAdmin)
            admin = ask(QStringLiteral("Имя администратора"));
        if (!haveAdminPw)
            adminPassword = ask(QStringLiteral("Пароль администратора"));
        if (!haveOp)
            op = ask(QStringLiteral("Ф.И.О. оператора"));
        if (!haveOpPw)
            opPassword = ask(QStringLiteral("Пароль оператора"));
        Schema::createTables();
        Schema::addAccount(Tables::Administrators, admin, adminPassword);
        Schema::addAccount(Tables::Operators, op, opPassword);
        TableStore::close();
    } catch (const Failure &e) {
        QTextStream(stderr) << "krodalin-db: " << e.message() << "\n";
        return 1;
    }
    QTextStream(stdout) << "Таблицы созданы: " << TableStore::databasePath(folder) << "\n";
    return 0;
}
