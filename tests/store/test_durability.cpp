// A row is on disk once Post returns: a child process posts a row and is
// killed with SIGKILL right after; the row must be in the journal. The child
// also has a cursor standing part-way through a walk, whose open statement
// must not hold the posts back.

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <unistd.h>

#include "store/schema.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"

namespace {

// Runs in the child: posts `count` rows and reports each one on stdout as
// soon as Post has returned, then waits to be killed.
int childPost(const QString &programDir, int count)
{
    auto store = TableStore::open(programDir);
    TableCursor reader(*store, Tables::Journal);
    reader.Open();
    reader.Next();
    TableCursor c(*store, Tables::Journal);
    c.Open();
    for (int i = 0; i < count; ++i) {
        c.Append();
        c.SetFieldText("N_Avto", QStringLiteral("А%1").arg(i));
        c.SetFieldText("Tara", QStringLiteral("5,1"));
        c.Post();
        const QByteArray line = QByteArray::number(i) + '\n';
        if (::write(STDOUT_FILENO, line.constData(), size_t(line.size())) < 0)
            return 1;
    }
    for (;;)
        ::pause();
}

}

class TestDurability final : public QObject
{
    Q_OBJECT
private slots:
    void postedRowSurvivesKill()
    {
        QTemporaryDir dir;
        auto store = TableStore::openCreating(dir.path());
        Schema::createTables(*store);
        for (const char *truck : {"Р0", "Р1", "Р2"}) {
            TableCursor c(*store, Tables::Journal);
            c.Open();
            c.Append();
            c.SetFieldText("N_Avto", QString::fromUtf8(truck));
            c.Post();
        }
        store.reset();

        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--post-child", dir.path(), "3"});
        QVERIFY(child.waitForStarted());
        QByteArray seen;
        while (!seen.contains("2\n")) {
            QVERIFY2(child.waitForReadyRead(20000), "the child did not report its posts");
            seen += child.readAllStandardOutput();
        }
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished());
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        store = TableStore::open(dir.path());
        TableCursor c(*store, Tables::Journal);
        c.Open();
        QStringList trucks;
        for (c.First(); !c.AtEnd(); c.Next())
            trucks << c.FieldText("N_Avto") + "/" + c.FieldText("Tara");
        QCOMPARE(trucks, QStringList({"Р0/", "Р1/", "Р2/", "А0/5,1", "А1/5,1", "А2/5,1"}));
        store.reset();
    }
};

int main(int argc, char *argv[])
{
    if (argc == 4 && qstrcmp(argv[1], "--post-child") == 0) {
        QCoreApplication app(argc, argv);
        return childPost(QString::fromLocal8Bit(argv[2]), atoi(argv[3]));
    }
    QCoreApplication app(argc, argv);
    TestDurability t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_durability.moc"
