#pragma once

// The one place that includes the cipher library's header. Engine sources include this file only.
#include "storage/engine/TSqliteHandles.h"

#include <QString>

#include <sqlcipher/sqlite3.h>

// The provider's message for the last failure on a connection.
inline QString SqliteMessage(sqlite3* db)
{
    return db != nullptr ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
}
