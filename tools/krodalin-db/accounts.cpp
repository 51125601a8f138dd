#include "accounts.h"

#include <QTextStream>

#include "common/failure.h"
#include "store/schema.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "terminal.h"

// The accounts a site signs in with, outside the program: for a site whose
// last administrator was deleted or whose passwords nobody remembers.
namespace {

struct AccountTable
{
    QString table;
    QString heading;
    QString kind;   // for the confirmation
};

const AccountTable Administrators{Tables::Administrators, QStringLiteral("Администраторы"),
                                  QStringLiteral("Администратор")};
const AccountTable Operators{Tables::Operators, QStringLiteral("Пользователи"), QStringLiteral("Пользователь")};

void list(QTextStream &out, TableStore &store, const AccountTable &t)
{
    TableCursor c(store, t.table);
    c.Open();
    const int name = c.fieldIndex(AccountRecord::fieldName(AccountRecord::Name));
    const int password = c.fieldIndex(AccountRecord::fieldName(AccountRecord::Password));
    out << t.heading << " (" << t.table << "):\n";
    if (c.IsEmpty())
        out << "  нет ни одного\n";
    for (c.First(); !c.AtEnd(); c.Next())
        out << "  " << c.FieldText(name) << (c.FieldText(password).isEmpty() ? "  (без пароля)" : "") << "\n";
}

// Sets the password of the account that a sign-in with this name finds (the
// first of that name, letter case ignored), or adds the account.
QString addOrSetPassword(TableStore &store, const AccountTable &t, const QString &name, const QString &password)
{
    TableCursor c(store, t.table);
    c.Open();
    const int nameField = c.fieldIndex(AccountRecord::fieldName(AccountRecord::Name));
    for (c.First(); !c.AtEnd(); c.Next()) {
        if (c.FieldText(nameField).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        const QString stored = c.FieldText(nameField);
        c.Edit();
        c.SetFieldText(AccountRecord::fieldName(AccountRecord::Password), password);
        c.Post();
        return QStringLiteral("%1 «%2»: пароль изменён").arg(t.kind, stored);
    }
    Schema::addAccount(store, t.table, name, password);
    return QStringLiteral("%1 «%2» добавлен").arg(t.kind, name);
}

} // namespace

int accountsCommand(const QStringList &args)
{
    if (args.size() < 2)
        return -1;
    const bool server = args[1] == QLatin1String("--server");
    if (server && args.size() < 3)
        return -1;
    const AccountTable *adding = nullptr;
    QString name, password;
    bool havePassword = false;
    for (int i = server ? 3 : 2; i < args.size(); i += 2) {
        if (i + 1 >= args.size())
            return -1;
        const QString &option = args[i];
        const bool add = option == QLatin1String("--add-admin") || option == QLatin1String("--add-operator");
        if (add && !adding) {
            adding = option == QLatin1String("--add-admin") ? &Administrators : &Operators;
            name = args[i + 1];
        } else if (option == QLatin1String("--password") && !havePassword) {
            password = args[i + 1];
            havePassword = true;
        } else {
            return -1;
        }
    }
    if (havePassword && !adding)
        return -1;

    QTextStream out(stdout);
    try {
        const auto store = server ? TableStore::openServer(args[2]) : TableStore::open(args[1]);
        for (const AccountTable *t : {&Administrators, &Operators})
            if (!store->tableExists(t->table))
                throw Failure(QStringLiteral("в %1 нет таблицы %2; её создаст krodalin-db init")
                                  .arg(store->describe(), t->table));
        if (adding) {
            // An empty name can never sign in: the login asks for one.
            if (name.trimmed().isEmpty())
                throw Failure(QStringLiteral("имя не может быть пустым"));
            if (!havePassword)
                password = ask(QStringLiteral("Пароль для «%1»").arg(name));
            out << addOrSetPassword(*store, *adding, name, password) << "\n";
        }
        list(out, *store, Administrators);
        list(out, *store, Operators);
    } catch (const Failure &e) {
        out.flush();
        QTextStream(stderr) << "krodalin-db: " << e.message() << "\n";
        return 1;
    }
    return 0;
}
