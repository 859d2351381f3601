#pragma once

#include <QString>

#include <functional>

class TConnection;

// The schema step that records runs: the table of runs (collectrun), the run and the item key of every goods
// row (goodslist.run_id, goodslist.item_key, both indexed), the watches (watchlist) and the alerts they raised
// (alertlog), and the summary of the listings by item key (TItemSummary). The step is one transaction and can
// run again: it adds what a file lacks and gives every row without an item key its key. A program of an earlier version
// still opens a file after the step: its goods query takes the columns it knows, and the rows it stores without a key
// get one at the next open here.
class TRunSchema
{
public:
    // Steps done and steps in all; called while the step runs.
    using Progress = std::function<void(qint64 done, qint64 total)>;

    static const char* const Version; // the schema version the step writes
    static const char* const RunIdColumn;
    static const char* const ItemKeyColumn;
    static const char* const ItemKeyFunction; // item_key(nid, detail_url, shopLink, id), the rule of TItemKey

    // False with the provider's message; the file is unchanged then. A file without goodslist is left alone and
    // reported as done.
    static bool Upgrade(TConnection* connection, const Progress& progress, QString* error);
    // True when the file holds everything the step makes and every goods row has its item key.
    static bool IsInPlace(TConnection* connection);
    // The SQL function item_key(nid, detail_url, shopLink, id) on the connection.
    static bool RegisterItemKey(TConnection* connection, QString* error);
    // The item key of a row about to be stored; empty when the rule gives the row's own id (the row has no item
    // number and no link), which the database fills in when the row is written.
    static QString KeyBeforeInsert(const QString& nid, const QString& detailUrl, const QString& listingUrl);
};
