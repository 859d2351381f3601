#pragma once

#include <memory>

struct sqlite3;
struct sqlite3_stmt;

// Owners of the engine's raw handles, usable in headers that must not see the cipher library.
struct TSqliteCloser
{
    void operator()(sqlite3* db) const;
};

struct TStatementFinalizer
{
    void operator()(sqlite3_stmt* statement) const;
};

using TSqliteHandle = std::unique_ptr<sqlite3, TSqliteCloser>;
using TStatementHandle = std::unique_ptr<sqlite3_stmt, TStatementFinalizer>;
