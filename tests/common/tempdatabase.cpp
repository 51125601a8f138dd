#include "tempdatabase.h"

#include "store/schema.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"

TempDatabase::TempDatabase()
{
    TableStore::openCreating(m_dir.path());
    Schema::createTables();
}

TempDatabase::~TempDatabase() { TableStore::close(); }

void TempDatabase::addJournalRow(const QList<QPair<QString, QString>> &fields)
{
    TableCursor c(Tables::Journal);
    c.Open();
    c.Append();
    for (const auto &f : fields)
        c.SetFieldText(f.first, f.second);
    c.Post();
}
