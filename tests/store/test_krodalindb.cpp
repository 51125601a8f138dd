// The preparation tool on real folders: init adds the trail of hand edits to
// a folder prepared before it existed and touches nothing else; audit prints
// the trail.

#include <QProcess>
#include <QSqlQuery>
#include <QtTest>

#include "common/session.h"
#include "store/audittrail.h"
#include "store/schema.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "toolrun.h"

namespace {

int count(const QString &table)
{
    QSqlQuery q(TableStore::connection());
    q.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(TableStore::sqlName(table)));
    q.next();
    return q.value(0).toInt();
}

}

class TestKrodalinDb final : public QObject
{
    Q_OBJECT

private slots:
    void initAddsOnlyTheTrail()
    {
        QTemporaryDir dir;
        // A folder as init made it before the trail existed, with data in it.
        TableStore::openCreating(dir.path());
        Schema::createTables();
        Schema::addAccount(Tables::Administrators, "Админ", "1");
        {
            TableCursor journal(Tables::Journal);
            journal.Open();
            journal.Append();
            journal.SetFieldText("N_Avto", "А001АА");
            journal.Post();
        }
        TableStore::releaseReaders();
        QSqlQuery(TableStore::connection()).exec("DROP TABLE bd_audit");
        TableStore::close();

        const Run first = krodalinDb({"init", dir.path()});
        QCOMPARE(first.code, 0);
        QVERIFY2(first.out.contains("BD_audit"), qPrintable(first.out));
        const Run again = krodalinDb({"init", dir.path()});
        QCOMPARE(again.code, 0);

        TableStore::open(dir.path());
        QVERIFY(TableStore::tableExists(Tables::Audit));
        QCOMPARE(count(Tables::Journal), 1);
        QCOMPARE(count(Tables::Administrators), 1);
        QCOMPARE(count(Tables::Operators), 0);
        QCOMPARE(count(Tables::Audit), 0);
        TableStore::close();
    }

    void auditPrintsTheTrail()
    {
        QTemporaryDir dir;
        TableStore::openCreating(dir.path());
        Schema::createTables();
        Session::OperatorName = QStringLiteral("Петров П.П.");
        {
            TableCursor journal(Tables::Journal);
            journal.Open();
            journal.Append();
            journal.SetFieldText("Sum", "15,32");
            journal.Post();
            journal.setAudited(true);
            journal.Edit();
            journal.SetFieldText("Sum", "16");
            journal.SetFieldText("N_Avto", "tab\there");
            journal.Post();
        }
        TableStore::close();

        const Run all = krodalinDb({"audit", dir.path()});
        QCOMPARE(all.code, 0);
        const QStringList lines = all.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        // One change of one field a line; a tab inside a text cannot split it.
        const QStringList avto = lines[0].split('\t');
        QCOMPARE(avto.mid(1), QStringList({"Петров П.П.", "edit", "BD_main.db", "1", "N_Avto", "", "tab\\there"}));
        const QStringList sum = lines[1].split('\t');
        QCOMPARE(sum.mid(1), QStringList({"Петров П.П.", "edit", "BD_main.db", "1", "Sum", "15,32", "16"}));

        const QString tomorrow = QDate::currentDate().addDays(1).toString("dd.MM.yyyy");
        const Run later = krodalinDb({"audit", dir.path(), "--since", tomorrow});
        QCOMPARE(later.code, 0);
        QCOMPARE(later.out, QString());
        const Run today = krodalinDb({"audit", dir.path(), "--since", QDate::currentDate().toString(Qt::ISODate)});
        QCOMPARE(today.out, all.out);
    }
};

QTEST_GUILESS_MAIN(TestKrodalinDb)
#include "test_krodalindb.moc"
