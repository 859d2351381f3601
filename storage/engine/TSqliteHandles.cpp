#include "storage/engine/TSqliteHandles.h"

#include "storage/engine/TSqlite.h"

void TSqliteCloser::operator()(sqlite3* db) const
{
    // Closes once the last statement is finalised, whichever goes first.
    sqlite3_close_v2(db);
}

void TStatementFinalizer::operator()(sqlite3_stmt* statement) const
{
    sqlite3_finalize(statement);
}
