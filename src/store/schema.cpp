#include "store/schema.h"

#include <QSqlQuery>

#include "common/failure.h"
#include "store/audittrail.h"
#include "store/hashchain.h"
#include "store/passlog.h"
#include "store/sqldialect.h"
#include "store/tablestore.h"

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

// The search fields and the markers get indexes, so that a filter on one of
// them finds its first row at once in a large journal; so do the entry
// fields of few distinct texts, whose lists the program takes from their
// indexes at start-up instead of reading every row. (The waybill number,
// new on nearly every row, gains nothing from one.)
const char *const IndexedFields[] = {"N_Avto", "FIO", "AvtoPr", "Zakazchik", "Tovar", "Klad", "Dat", "Ok_tara",
                                     "Ok_brutto", "Ok_cicle", "Marcka", "Gruz_otprav", "Gruz_poluch", "Punkt",
                                     "Forma", "N_pricepa", "Punkt_zagruz"};

QString indexSql(const QString &field, bool ifMissing)
{
    const QString journal = TableStore::sqlName(Tables::Journal);
    return QStringLiteral("CREATE INDEX %1%2_%3 ON %2 %4")
        .arg(ifMissing ? QStringLiteral("IF NOT EXISTS ") : QString(), journal, field,
             SqlDialect::indexColumns(QStringLiteral("\"%1\"").arg(field)));
}

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
    for (const char *f : IndexedFields)
        exec(q, indexSql(QString::fromLatin1(f), false));
    exec(q, QStringLiteral("CREATE TABLE %1 (%2)")
                .arg(TableStore::sqlName(Tables::Operators), columnList(accountFields())));
    exec(q, QStringLiteral("CREATE TABLE %1 (%2)")
                .arg(TableStore::sqlName(Tables::Administrators), columnList(accountFields())));
    AuditTrail::ensureTable();
    PassLog::ensureTable();
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
    if (HashChain::ensureTable())
        added << Tables::Chain;
    return added;
}

QStringList ensureIndexes()
{
    QStringList added;
    const QString journal = TableStore::sqlName(Tables::Journal);
    for (const char *f : IndexedFields) {
        const QString field = QString::fromLatin1(f);
        QSqlQuery q(TableStore::connection());
        q.prepare(SqlDialect::indexOnFieldSql());
        q.addBindValue(journal);
        q.addBindValue(field);
        TableStore::check(q.exec(), q);
        if (q.next())
            continue;
        q.finish();
        TableStore::releaseReaders();
        exec(q, indexSql(field, true));
        added << field;
    }
    if (!added.isEmpty())
        TableStore::bumpGeneration();
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
