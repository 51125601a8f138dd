// krodalin-db: prepares the database of a Krodalin program folder.
//
//   krodalin-db init FOLDER [--admin NAME] [--admin-password PW]
//                           [--operator NAME] [--operator-password PW]
//   krodalin-db init --server "host=... dbname=..." [the same options]
//   krodalin-db copy FOLDER --server "host=... dbname=..."
//   krodalin-db audit FOLDER [--since DATE]
//   krodalin-db verify FOLDER
//   krodalin-db verify --server "host=... dbname=..."
//   krodalin-db demo FOLDER [--rows N]
//   krodalin-db backup FOLDER DEST
//   krodalin-db restore FOLDER BACKUPFILE
//   krodalin-db accounts FOLDER [--add-admin NAME | --add-operator NAME] [--password PW]
//   krodalin-db accounts --server "host=... dbname=..." [the same options]
//   krodalin-db totals FOLDER|--server "..." [--from DD.MM.YYYY] [--to DD.MM.YYYY] [--by customer[,goods]] [--csv FILE]
//
// init creates the journal and both account tables in the WE database of
// FOLDER (or, with --server, in a database on a PostgreSQL server, named by a
// libpq connection string) and adds a first administrator and a first
// operator. Whatever is not given as an option is asked for at the terminal.
// Where the tables exist already it only adds what is missing of the trail
// of hand edits (BD_audit), the pass records (BD_pass) and the hash chain
// over the journal's changes (BD_chain); existing tables are never touched.
//
// copy moves a site onto a server: the tables of FOLDER's SQLite database go
// into the server database row for row, ids kept (the server's tables are
// made when missing and must be empty). The password comes from ~/.pgpass,
// PGPASSFILE or a service file, as libpq finds it.
//
// audit prints the trail of hand edits of the journal, oldest first, one
// change of one field a line, tab-separated: when, operator, action, table,
// row id, field, old text, new text. DATE is day.month.year or year-month-day.
//
// verify checks the hash chain link by link, the pass records and trail rows
// against their links, and every journal row the chain vouches for against
// what the chain says it must hold now. It prints each difference (table,
// row id, field, what the chain says, what the table holds), the first link
// that does not follow from the one before, and the chain's last link, and
// exits with 0 only when everything matches. Rows from before the chain
// started are counted as unlogged.
//
// demo fills an empty journal with N (300) varied demo weighings; a journal
// that holds rows is left alone.
//
// backup copies the database of FOLDER, also while the program runs on it,
// to the file DEST, or into the folder DEST as WE-YYYY-MM-DD.sqlite (today's
// date); the copy is checked before it takes its name. restore checks
// BACKUPFILE and puts it in place of the database of FOLDER, keeping the
// replaced file as *.before-restore; the program must be closed.
//
// accounts lists the administrators and the operators (BD_tools2, BD_tools.DB),
// for a site that lost its administrator or a password. --add-admin and
// --add-operator add an account, or set the password of the one a sign-in
// with that name finds; a password not given with --password is asked for.
//
// totals prints the completed weighings' count and Netto per customer,
// goods, truck, consignor or day (--by; two joined by a comma split each
// group once more), each unit apart, for the period from --from to --to
// inclusive, as the totals window's report shows them; --csv FILE writes
// the (sub)group lines as UTF-8 ";"-separated text too.

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

#include "accounts.h"
#include "common/failure.h"
#include "demojournal.h"
#include "store/databasebackup.h"
#include "store/tablecopy.h"
#include "store/tablecursor.h"
#include "store/audittrail.h"
#include "store/chainverify.h"
#include "store/schema.h"
#include "store/tablestore.h"
#include "terminal.h"
#include "totalscommand.h"

namespace {

int usage()
{
    QTextStream(stderr) << "Usage: krodalin-db init FOLDER [--admin NAME] [--admin-password PW]\n"
                           "                              [--operator NAME] [--operator-password PW]\n"
                           "       krodalin-db init --server \"host=... dbname=...\" [the same options]\n"
                           "       krodalin-db copy FOLDER --server \"host=... dbname=...\"\n"
                           "       krodalin-db audit FOLDER [--since DATE]\n"
                           "       krodalin-db verify FOLDER | --server \"host=... dbname=...\"\n"
                           "       krodalin-db demo FOLDER [--rows N]\n"
                           "       krodalin-db backup FOLDER DEST\n"
                           "       krodalin-db restore FOLDER BACKUPFILE\n"
                           "       krodalin-db accounts FOLDER [--add-admin NAME | --add-operator NAME] [--password PW]\n"
                           "       krodalin-db accounts --server \"host=... dbname=...\" [the same options]\n"
                           "       krodalin-db totals FOLDER|--server \"...\" [--from DD.MM.YYYY] [--to DD.MM.YYYY]\n"
                           "                          [--by customer|goods|truck|consignor|day[,...]] [--csv FILE]\n";
    return 2;
}

// One line per entry; tabs and line breaks inside a text would break the
// columns, so they are shown escaped.
QString cell(const QString &text)
{
    QString out = text;
    out.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    out.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    out.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    out.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return out;
}

int demo(const QStringList &args)
{
    int rows = 300;
    if (args.size() == 4 && args[2] == QLatin1String("--rows"))
        rows = args[3].toInt();
    else if (args.size() != 2)
        return usage();
    if (rows <= 0)
        return usage();
    try {
        const auto store = TableStore::open(args[1]);
        TableCursor journal(*store, Tables::Journal);
        journal.Open();
        if (!journal.IsEmpty()) {
            QTextStream(stdout) << "Журнал не пуст; демонстрационные взвешивания не добавлены\n";
            return 0;
        }
        journal.Close();
        addDemoWeighings(*store, rows);
    } catch (const Failure &e) {
        QTextStream(stderr) << "krodalin-db: " << e.message() << "\n";
        return 1;
    }
    QTextStream(stdout) << "Добавлено демонстрационных взвешиваний: " << rows << "\n";
    return 0;
}

int audit(const QStringList &args)
{
    if (args.size() != 2 && !(args.size() == 4 && args[2] == QLatin1String("--since")))
        return usage();
    QDate since;
    if (args.size() == 4) {
        since = QDate::fromString(args[3], QStringLiteral("d.M.yyyy"));
        if (!since.isValid())
            since = QDate::fromString(args[3], Qt::ISODate);
        if (!since.isValid()) {
            QTextStream(stderr) << "krodalin-db: \"" << args[3] << "\" не является датой\n";
            return 2;
        }
    }
    try {
        const auto store = TableStore::open(args[1]);
        if (!store->tableExists(Tables::Audit))
            throw Failure(QStringLiteral("в %1 нет таблицы %2; её добавит krodalin-db init")
                              .arg(TableStore::databasePath(args[1]), Tables::Audit));
        QTextStream out(stdout);
        for (const AuditEntry &e : AuditTrail::read(*store, since))
            out << e.at << '\t' << cell(e.operatorName) << '\t' << e.action << '\t' << e.table << '\t' << e.rowId
                << '\t' << cell(e.field) << '\t' << cell(e.oldText) << '\t' << cell(e.newText) << '\n';
    } catch (const Failure &e) {
        QTextStream(stderr) << "krodalin-db: " << e.message() << "\n";
        return 1;
    }
    return 0;
}

int verify(const QStringList &args)
{
    const bool server = args.size() == 3 && args[1] == QLatin1String("--server");
    if (args.size() != 2 && !server)
        return usage();
    ChainVerify::Report report;
    try {
        const auto store = server ? TableStore::openServer(args[2]) : TableStore::open(args[1]);
        report = ChainVerify::run(*store);
    } catch (const Failure &e) {
        QTextStream(stderr) << "krodalin-db: " << e.message() << "\n";
        return 1;
    }
    QTextStream out(stdout);
    for (const ChainVerify::Finding &f : report.findings)
        out << cell(ChainVerify::describe(f)) << "\n";
    if (report.firstBrokenLink)
        out << "Первое нарушенное звено цепочки: " << report.firstBrokenLink << "\n";
    out << "Звеньев в цепочке: " << report.links << "; последнее звено: " << report.lastLinkId << " "
        << report.lastLink << "\n";
    out << "Записей журнала по цепочке: " << report.loggedRows << "; до начала цепочки (unlogged): "
        << report.unloggedRows << "\n";
    out << (report.ok() ? "Журнал совпадает с цепочкой\n" : "Журнал НЕ совпадает с цепочкой\n");
    return report.ok() ? 0 : 3;
}

int backup(const QStringList &args)
{
    if (args.size() != 3)
        return usage();
    QString destination = args[2];
    if (QFileInfo(destination).isDir())
        destination = QDir(destination).filePath(DatabaseBackup::fileName(QDate::currentDate()));
    try {
        DatabaseBackup::take(TableStore::databasePath(args[1]), destination);
    } catch (const Failure &e) {
        QTextStream(stderr) << "krodalin-db: " << e.message() << "\n";
        return 1;
    }
    QTextStream(stdout) << "Резервная копия записана: " << destination << "\n";
    return 0;
}

// The open database holds the journal and both account tables.
// What init or restore says of a table or a column ("BD_pass.TareFrom") it added.
QString addedText(const QString &added)
{
    const qsizetype dot = added.indexOf(QLatin1Char('.'));
    return dot < 0 ? QStringLiteral("Таблица %1 добавлена: ").arg(added)
                   : QStringLiteral("Поле %1 таблицы %2 добавлено: ").arg(added.mid(dot + 1), added.left(dot));
}

bool holdsProgramTables(TableStore &store)
{
    return store.tableExists(Tables::Journal) && store.tableExists(Tables::Operators)
           && store.tableExists(Tables::Administrators);
}

int restore(const QStringList &args)
{
    if (args.size() != 3)
        return usage();
    const QString database = TableStore::databasePath(args[1]);
    QString kept;
    try {
        kept = DatabaseBackup::restore(args[2], database);
    } catch (const Failure &e) {
        QTextStream(stderr) << "krodalin-db: " << e.message() << "\n";
        return 1;
    }
    QTextStream out(stdout);
    out << "База данных восстановлена из " << args[2] << ": " << database << "\n";
    if (!kept.isEmpty())
        out << "Прежняя база данных сохранена как " << kept << "\n";
    // A copy made before the trail of hand edits, the pass records or the
    // chain existed gets them, as init would give them: the program neither
    // edits nor weighs without them.
    if (TableStore::location(args[1]).engine != TableStore::Engine::SQLite)
        return 0;
    try {
        const auto store = TableStore::open(args[1]);
        if (holdsProgramTables(*store))
            for (const QString &t : Schema::ensureLogTables(*store))
                out << addedText(t) << store->describe() << "\n";
    } catch (const Failure &e) {
        QTextStream(stderr) << "krodalin-db: таблицы BD_audit, BD_pass и BD_chain не добавлены (" << e.message()
                            << "); её добавит krodalin-db init " << args[1] << "\n";
        return 1;
    }
    return 0;
}

// The engine makes a new database file rw-r--r-- whatever the umask. Made
// here first, empty, it gets the umask's mode: in a folder a group shares
// (the installed program's, under umask 002) the whole group may write it.
void makeDatabaseFile(const QString &folder)
{
    const TableStore::Location loc = TableStore::location(folder);
    if (loc.engine != TableStore::Engine::SQLite || QFileInfo::exists(loc.path))
        return;
    QFile file(loc.path);
    if (!QDir().mkpath(QFileInfo(loc.path).absolutePath()) || !file.open(QIODevice::WriteOnly))
        throw Failure(QStringLiteral("не удалось создать %1: %2").arg(loc.path, file.errorString()));
}

int copy(const QStringList &args)
{
    if (args.size() != 4 || args[2] != QLatin1String("--server"))
        return usage();
    try {
        const QString file = TableStore::databasePath(args[1]);
        const auto store = TableStore::openServer(args[3]);
        const QVector<TableCopy::Copied> copied = TableCopy::fromSqlite(*store, file);
        QTextStream out(stdout);
        out << "Скопировано из " << file << " в " << store->describe() << ":\n";
        for (const TableCopy::Copied &c : copied)
            out << "  " << c.table << ": " << c.rows << "\n";
    } catch (const Failure &e) {
        QTextStream(stderr) << "krodalin-db: " << e.message() << "\n";
        return 1;
    }
    return 0;
}

}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.size() >= 2 && args[0] == QLatin1String("audit"))
        return audit(args);
    if (args.size() >= 2 && args[0] == QLatin1String("verify"))
        return verify(args);
    if (args.size() >= 2 && args[0] == QLatin1String("demo"))
        return demo(args);
    if (args.size() >= 2 && args[0] == QLatin1String("backup"))
        return backup(args);
    if (args.size() >= 2 && args[0] == QLatin1String("restore"))
        return restore(args);
    if (args.size() >= 2 && args[0] == QLatin1String("copy"))
        return copy(args);
    if (args.size() >= 2 && args[0] == QLatin1String("accounts")) {
        const int code = accountsCommand(args);
        return code < 0 ? usage() : code;
    }
    if (args.size() >= 2 && args[0] == QLatin1String("totals")) {
        const int code = totalsCommand(args);
        return code < 0 ? usage() : code;
    }
    if (args.size() < 2 || args[0] != QLatin1String("init"))
        return usage();
    // init FOLDER ..., or init --server "connection string" ...
    const bool server = args[1] == QLatin1String("--server");
    if (server && args.size() < 3)
        return usage();
    const QString folder = server ? QString() : args[1];
    const QString connection = server ? args[2] : QString();
    QString admin, adminPassword, op, opPassword;
    bool haveAdmin = false, haveAdminPw = false, haveOp = false, haveOpPw = false;
    for (int i = server ? 3 : 2; i < args.size(); ++i) {
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
        std::unique_ptr<TableStore> store;
        if (server) {
            store = TableStore::openServer(connection);
        } else {
            makeDatabaseFile(folder);
            store = TableStore::openCreating(folder);
        }
        // A database prepared before the trail, the pass records or the
        // chain existed gets them, and nothing else.
        if (holdsProgramTables(*store)) {
            const QStringList added = Schema::ensureLogTables(*store);
            for (const QString &t : added)
                QTextStream(stdout) << addedText(t) << store->describe() << "\n";
            const QStringList indexed = Schema::ensureIndexes(*store);
            if (!indexed.isEmpty())
                QTextStream(stdout) << "Индексы по полям " << indexed.join(QStringLiteral(", "))
                                    << " добавлены: " << store->describe() << "\n";
            if (added.isEmpty() && indexed.isEmpty())
                QTextStream(stdout) << "Все таблицы уже есть: " << store->describe() << "\n";
            return 0;
        }
        for (const QString &t : {Tables::Journal, Tables::Operators, Tables::Administrators})
            if (store->tableExists(t))
                throw Failure(QStringLiteral("таблица %1 уже существует в %2; ничего не изменено")
                                  .arg(t, store->describe()));
        if (!haveAdmin)
            admin = ask(QStringLiteral("Имя администратора"));
        if (!haveAdminPw)
            adminPassword = ask(QStringLiteral("Пароль администратора"));
        if (!haveOp)
            op = ask(QStringLiteral("Ф.И.О. оператора"));
        if (!haveOpPw)
            opPassword = ask(QStringLiteral("Пароль оператора"));
        Schema::createTables(*store);
        Schema::addAccount(*store, Tables::Administrators, admin, adminPassword);
        Schema::addAccount(*store, Tables::Operators, op, opPassword);
        QTextStream(stdout) << "Таблицы созданы: " << store->describe() << "\n";
    } catch (const Failure &e) {
        QTextStream(stderr) << "krodalin-db: " << e.message() << "\n";
        return 1;
    }
    return 0;
}
