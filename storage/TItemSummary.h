#pragma once

#include <QString>

class TConnection;

// The listings of goodslist in brief: one row per item key with its number of sightings and its latest row
// (itemsummary), and the number of item keys (itemcount). Triggers on goodslist keep both in step with every
// insert, deletion and change of a key, whichever program writes the file, so that the library counts and
// groups the listings of a large file without reading every row. Rows without a key (stored by a program of an
// earlier version, until the next start gives them theirs) are left out until they get it.
class TItemSummary
{
public:
    static const char* const Table;
    static const char* const CountTable;

    // Makes the tables and triggers where any is missing and fills them from the rows; a file that has them all is
    // left as it is. Runs inside the caller's transaction, after every row has its key.
    static bool Build(TConnection* connection, QString* error);
    // True when both tables and the three triggers stand.
    static bool IsInPlace(TConnection* connection);
};
