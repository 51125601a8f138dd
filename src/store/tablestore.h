#pragma once
// The alias WE: where the program's tables live, and the one connection to it.
//
// WE resolves to the SQLite file named in database.ini ([WE] Path=...) beside
// the program when that file exists, otherwise to data/WE.sqlite beside the
// program. A file that is not an SQLite database is refused untouched. Table names ignore letter case: BD_main.db and BD_main.DB are one
// table, stored as "bd_main_db".

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class TableStore
{
public:
    // Opens the alias for the program directory. Throws StoreError when the
    // database cannot be opened. Calling it again with the same path is a no-op.
    static void open(const QString &programDir);
    // For the preparation tool only: like open(), but creates the database
    // file (and its folder) when it is missing.
    static void openCreating(const QString &programDir);
    static void close();
    static bool isOpen();
    static QString databasePath(const QString &programDir);

    static QSqlDatabase connection();

    // The SQL name of a table as the program names it ("BD_main.db" -> "bd_main_db").
    static QString sqlName(const QString &tableName);
    static bool tableExists(const QString &tableName);

    // Changes made through any cursor bump this counter, so that other cursors
    // know their buffered rows may be stale.
    static quint64 generation();
    static void bumpGeneration();

    // Throws StoreError with the engine's message when q failed.
    static void check(bool ok, const class QSqlQuery &q);

    // Cursors keep a statement open between moves. An open statement pins
    // the engine's view of the file as it was when it started (the log cannot
    // be folded back while it stands) and may or may not see later changes;
    // so every write, and closing the connection, first lets them all go.
    class LiveReader
    {
    public:
        virtual void releaseStatement() = 0;

    protected:
        ~LiveReader() = default;
    };
    static void addReader(LiveReader *reader);
    static void removeReader(LiveReader *reader);
    static void releaseReaders();
};

// The program's tables, as their names are spelled everywhere else.
namespace Tables {
inline const QString Journal = QStringLiteral("BD_main.db");
inline const QString Operators = QStringLiteral("BD_tools.DB");
inline const QString Administrators = QStringLiteral("BD_tools2");
inline const QString Audit = QStringLiteral("BD_audit");   // the trail of hand edits
}
