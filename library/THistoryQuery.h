#pragma once

#include "library/TListingHistory.h"

#include <QString>

class TConnection;

// Reads the history of one listing: every row of goodslist with its item key, through the key's index, with the
// outcome of the run that stored it. Rows that a program of an earlier version stored since the last upgrade
// have no key yet; theirs is worked out by the key's rule, so they count too.
class THistoryQuery
{
public:
    // A listing by one of its rows (the row's id), or by its item key when that is known.
    struct TTarget
    {
        qint64 RowId = 0;
        QString ItemKey;
    };

    // The listing's sightings, summarised. False with the provider's message, or when the row does not exist.
    static bool Read(TConnection* connection, const TTarget& target, TListingHistory* history, QString* error);
    // The item key of a stored row: its own, or the one the rule gives it while it has none.
    static bool KeyOfRow(TConnection* connection, qint64 rowId, QString* key, QString* error);
    // The sightings of a key, in the order they were stored (by id).
    static bool Sightings(TConnection* connection, const QString& key, std::vector<TListingHistory::TSighting>* rows,
                          QString* error);
};
