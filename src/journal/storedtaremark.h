#pragma once
// The journal page's mark of a record weighed against a stored tare: what its
// BD_pass row says of where the tare came from (and of an overload stored).

#include <QString>

class TableStore;

namespace StoredTareMark {

// The mark's text for a journal row; empty for a record whose tare was weighed.
// Throws StoreError.
QString forRow(TableStore &store, qint64 rowId);

}
