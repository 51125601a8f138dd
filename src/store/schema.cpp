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

const TableDef &journal()
{
    using K = FieldKind;
    // Search fields and markers are indexed, so that a filter on one of them
    // finds its first row at once in a large journal; so are the entry
    // fields of few distinct texts, whose lists the program takes from their
    // indexes at start-up instead of reading every row. (The waybill number,
    // new on nearly every row, would gain nothing from one.)
    static const TableDef def(Tables::Journal, {
        {QStringLiteral("N_Avto"), K::Text, QStringLiteral("№ Автомобиля"), true},
        {QStringLiteral("Marcka"), K::Text, QStringLiteral("Марка автомобиля"), true},
        {QStringLiteral("FIO"), K::Text, QStringLiteral("Ф.И.О. Водителя"), true},
        {QStringLiteral("AvtoPr"), K::Text, QStringLiteral("Автопредприятие"), true},
        {QStringLiteral("Zakazchik"), K::Text, QStringLiteral("Заказчик"), true},
        {QStringLiteral("Gruz_otprav"), K::Text, QStringLiteral("Грузоотправитель"), true},
        {QStringLiteral("Gruz_poluch"), K::Text, QStringLiteral("Грузополучатель"), true},
        {QStringLiteral("Punkt"), K::Text, QStringLiteral("Пункт разгрузки"), true},
        {QStringLiteral("Tovar"), K::Text, QStringLiteral("Товар"), true},
        {QStringLiteral("Forma"), K::Text, QStringLiteral("Форма оплаты"), true},
        {QStringLiteral("N_List"), K::Text, QStringLiteral("№ путевого листа")},
        {QStringLiteral("N_pricepa"), K::Text, QStringLiteral("№ прицепа"), true},
        {QStringLiteral("Punkt_zagruz"), K::Text, QStringLiteral("Пункт загрузки"), true},
        {QStringLiteral("Netto"), K::Text, QStringLiteral("Нетто")},
        {QStringLiteral("Dat"), K::Date, QStringLiteral("Дата"), true},
        {QStringLiteral("Time"), K::Text, QStringLiteral("Время")},
        {QStringLiteral("Klad"), K::Text, QStringLiteral("Весовщик"), true},
        {QStringLiteral("Okpo"), K::Text, QStringLiteral("ОКПО")},
        {QStringLiteral("Zena"), K::Text, QStringLiteral("Цена")},
        {QStringLiteral("Sum"), K::Text, QStringLiteral("Брутто")},
        {QStringLiteral("Tara"), K::Text, QStringLiteral("Тара")},
        {QStringLiteral("Ed_izm"), K::Text, QStringLiteral("Единицы измерения веса")},
        {QStringLiteral("Ok_tara"), K::Text, QString(), true},
        {QStringLiteral("Ok_brutto"), K::Text, QString(), true},
        {QStringLiteral("Ok_cicle"), K::Text, QString(), true},
    });
    return def;
}

const TableDef &accounts()
{
    static const TableDef def(Tables::Operators, {
        {QStringLiteral("Имя пользователя"), FieldKind::Text},
        {QStringLiteral("Пароль"), FieldKind::Text},
    });
    return def;
}

const TableDef &audit()
{
    using K = FieldKind;
    static const TableDef def(Tables::Audit, {
        {QStringLiteral("At"), K::Text, QString(), true},
        {QStringLiteral("Operator"), K::Text},
        {QStringLiteral("Action"), K::Text},
        {QStringLiteral("TableName"), K::Text},
        {QStringLiteral("RowId"), K::Integer},
        {QStringLiteral("Field"), K::Text},
        {QStringLiteral("OldText"), K::Nullable},
        {QStringLiteral("NewText"), K::Nullable},
    });
    return def;
}

const TableDef *forTable(const QString &tableName)
{
    const QString sql = TableStore::sqlName(tableName);
    if (sql == TableStore::sqlName(Tables::Journal))
        return &journal();
    if (sql == TableStore::sqlName(Tables::Operators) || sql == TableStore::sqlName(Tables::Administrators))
        return &accounts();
    if (sql == TableStore::sqlName(Tables::Audit))
        return &audit();
    return nullptr;
}

QString columnsSql(const TableStore &store, const TableDef &def)
{
    const QString text = SqlDialect::textType(store);
    QStringList cols{SqlDialect::idColumn(store)};
    for (const FieldDef &f : def.fields()) {
        switch (f.kind) {
        case FieldKind::Text: cols << QStringLiteral("\"%1\" %2 NOT NULL DEFAULT ''").arg(f.name, text); break;
        case FieldKind::Date: cols << QStringLiteral("\"%1\" DATE").arg(f.name); break;
        case FieldKind::Integer: cols << QStringLiteral("\"%1\" BIGINT NOT NULL").arg(f.name); break;
        case FieldKind::Nullable: cols << QStringLiteral("\"%1\" %2").arg(f.name, text); break;
        }
    }
    return cols.join(QStringLiteral(", "));
}

namespace {

void exec(QSqlQuery &q, const QString &sql) { TableStore::check(q.exec(sql), q); }

QString indexSql(const TableStore &store, const QString &field, bool ifMissing)
{
    return QStringLiteral("CREATE INDEX %1%2_%3 ON %2 %4")
        .arg(ifMissing ? QStringLiteral("IF NOT EXISTS ") : QString(), TableStore::sqlName(Tables::Journal), field,
             SqlDialect::indexColumns(store, QStringLiteral("\"%1\"").arg(field)));
}

}

void createTables(TableStore &store)
{
    for (const QString &t : {Tables::Journal, Tables::Operators, Tables::Administrators})
        if (store.tableExists(t))
            throw StoreError(QStringLiteral("Таблица %1 уже существует; ничего не изменено").arg(t));

    TableStore::Transaction transaction(store);
    QSqlQuery q(store.connection());
    const QString journalTable = TableStore::sqlName(Tables::Journal);
    exec(q, QStringLiteral("CREATE TABLE %1 (%2)").arg(journalTable, columnsSql(store, journal())));
    for (const FieldDef &f : journal().fields())
        if (f.indexed)
            exec(q, indexSql(store, f.name, false));
    exec(q, QStringLiteral("CREATE TABLE %1 (%2)").arg(TableStore::sqlName(Tables::Operators), columnsSql(store, accounts())));
    exec(q, QStringLiteral("CREATE TABLE %1 (%2)")
                .arg(TableStore::sqlName(Tables::Administrators), columnsSql(store, accounts())));
    AuditTrail::ensureTable(store);
    PassLog::ensureTable(store);
    TruckRegister::ensureTable(store);
    transaction.commit();
    // Its first link finds the journal empty.
    HashChain::ensureTable(store);
    store.bumpGeneration();
}

QStringList ensureLogTables(TableStore &store)
{
    QStringList added;
    if (AuditTrail::ensureTable(store))
        added << Tables::Audit;
    if (PassLog::ensureTable(store))
        added << Tables::Passes;
    for (const QString &column : PassLog::ensureColumns(store))
        added << Tables::Passes + QLatin1Char('.') + column;
    if (TruckRegister::ensureTable(store))
        added << Tables::Trucks;
    if (HashChain::ensureTable(store))
        added << Tables::Chain;
    return added;
}

QStringList ensureIndexes(TableStore &store)
{
    QStringList added;
    const QString journalTable = TableStore::sqlName(Tables::Journal);
    for (const FieldDef &f : journal().fields()) {
        if (!f.indexed)
            continue;
        const QString &field = f.name;
        QSqlQuery q(store.connection());
        q.prepare(SqlDialect::indexOnFieldSql(store));
        q.addBindValue(journalTable);
        q.addBindValue(field);
        TableStore::check(q.exec(), q);
        if (q.next())
            continue;
        q.finish();
        store.releaseReaders();
        exec(q, indexSql(store, field, true));
        added << field;
    }
    if (!added.isEmpty())
        store.bumpGeneration();
    return added;
}

void addAccount(TableStore &store, const QString &table, const QString &name, const QString &password)
{
    QSqlQuery q(store.connection());
    store.releaseReaders();
    q.prepare(QStringLiteral("INSERT INTO %1 (\"%2\", \"%3\") VALUES (?, ?)")
                  .arg(TableStore::sqlName(table), AccountRecord::fieldName(AccountRecord::Name),
                       AccountRecord::fieldName(AccountRecord::Password)));
    q.addBindValue(name);
    q.addBindValue(password);
    TableStore::check(q.exec(), q);
    store.bumpGeneration();
}

}

namespace WeighingRecord {

const QString &fieldName(int position) { return Schema::journal().fieldName(position); }
const QString &title(int position) { return Schema::journal().field(position).title; }
const QStringList &fieldNames() { return Schema::journal().names(); }
int position(const QString &name) { return Schema::journal().indexOf(name); }

QString equalsLine(Field field, const QString &text)
{
    QString literal = text;
    literal.replace(QLatin1Char('\''), QLatin1String("''"));
    return QStringLiteral("[%1]='%2'").arg(fieldName(field), literal);
}

}

namespace AccountRecord {
const QString &fieldName(int position) { return Schema::accounts().fieldName(position); }
}

namespace AuditRecord {
const QString &fieldName(int position) { return Schema::audit().fieldName(position); }
}
