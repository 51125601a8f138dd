#include "store/schema.h"

#include <QSqlQuery>

#include "common/failure.h"
#include "store/audittrail.h"
#include "store/hashchain.h"
#include "store/passlog.h"
#include "store/sqldialect.h"
#include "store/tablestore.h"
#include "store/truckregister.h"

namespace Schema {

const QStringList &journalFields()
{
    static const QStringList fields = {
        "N_Avto", "Marcka", "FIO", "AvtoPr", "Zakazchik", "Gruz_otprav", "Gruz_poluch",
        "Punkt", "Tovar", "Forma", "N_List", "N_pricepa", "Punkt_zagruz", "Netto",
        "Dat", "Time", "Klad", "Okpo", "Zena", "Sum", "Tara", "Ed_izm",
        "Ok_tara", "Ok_brutto", "Ok_cicle"};
    return fields;
}

const QStringList &accountFields()
{
    static const QStringList fields = {QStringLiteral("Имя пользователя"), QStringLiteral("Пароль")};
    return fields;
}

namespace {

QString columnList(const QStringList &fields, const QString &dateField = QString())
{
    QStringList cols{SqlDialect::idColumn()};
    for (const QString &f : fields) {
        if (f == dateField)
            cols << QStringLiteral("\"%1\" DATE").arg(f);
        else
            cols << QStringLiteral("\"%1\" %2 NOT NULL DEFAULT ''").arg(f, SqlDialect::textType());
    }
    return cols.join(QStringLiteral(", "));
}

void exec(QSqlQuery &q, const QString &sql) { TableStore::check(q.exec(sql), q); }

}

void createTables()
{
    for (const QString &t : {Tables::Journal, Tables::Operators, Tables::Administrators})
        if (TableStore::tableExists(t))
            throw StoreError(QStringLiteral("Таблица %1 уже существует; ничего не изменено").arg(t));

    TableStore::Transaction transaction;
    QSqlQuery q(TableStore::connection());
    const QString journal = TableStore::sqlName(Tables::Journal);
    exec(q, QStringLiteral("CREATE TABLE %1 (%2)").arg(journal, columnList(journalFields(), "Dat")));
    // The search fields and the markers get indexes, so that a filter on
    // one of them finds its first row at once in a large journal.
    for (const char *f : {"N_Avto", "FIO", "AvtoPr", "Zakazchik", "Tovar", "Klad",
                          "Dat", "Ok_tara", "Ok_brutto", "Ok_cicle"}) {
        const QString field = QString::fromLatin1(f);
        exec(q, QStringLiteral("CREATE INDEX %1_%2 ON %1 %3")
                    .arg(journal, field, SqlDialect::indexColumns(QStringLiteral("\"%1\"").arg(field))));
    }
    exec(q, QStringLiteral("CREATE TABLE %1 (%2)")
                .arg(TableStore::sqlName(Tables::Operators), columnList(accountFields())));
    exec(q, QStringLiteral("CREATE TABLE %1 (%2)")
                .arg(TableStore::sqlName(Tables::Administrators), columnList(accountFields())));
    AuditTrail::ensureTable();
    PassLog::ensureTable();
    TruckRegister::ensureTable();
    transaction.commit();
    // Its first link finds the journal empty.
    HashChain::ensureTable();
    TableStore::bumpGeneration();
}

QStringList ensureLogTables()
{
    QStringList added;
    if (AuditTrail::ensureTable())
        added << Tables::Audit;
    if (PassLog::ensureTable())
        added << Tables::Passes;
    for (const QString &column : PassLog::ensureColumns())
        added << Tables::Passes + QLatin1Char('.') + column;
    if (TruckRegister::ensureTable())
        added << Tables::Trucks;
    if (HashChain::ensureTable())
        added << Tables::Chain;
    return added;
}

void addAccount(const QString &table, const QString &name, const QString &password)
{
    QSqlQuery q(TableStore::connection());
    TableStore::releaseReaders();
    q.prepare(QStringLiteral("INSERT INTO %1 (\"%2\", \"%3\") VALUES (?, ?)")
                  .arg(TableStore::sqlName(table), accountFields()[0], accountFields()[1]));
    q.addBindValue(name);
    q.addBindValue(password);
    TableStore::check(q.exec(), q);
    TableStore::bumpGeneration();
}

}
