#pragma once

#include "storage/TRunChange.h"

#include <QString>

#include <vector>

class TConnection;

// What changed between two runs: the listings new in the newer run, gone from it, and those whose price fell or
// rose. Only complete runs are compared: a page a run failed to read is no listing that is gone.
class TRunComparison
{
public:
    // The listings of run `newer` against those of run `older`, by item_key (a listing seen several times in a
    // run counts once, its first row by id): new ones, cheaper and dearer ones in the newer run's order, then
    // the gone ones in the older run's order. Refuses (false + message) when either run is not complete.
    static bool Compare(TConnection* connection, qint64 older, qint64 newer, std::vector<TRunChange>* changes,
                        QString* error);
    // The listings of a complete run that has no earlier run to compare with: every one of them is new.
    static bool AllNew(TConnection* connection, qint64 run, std::vector<TRunChange>* changes, QString* error);

    struct TCounts
    {
        int New = 0, Gone = 0, Cheaper = 0, Dearer = 0;
    };
    static TCounts Count(const std::vector<TRunChange>& changes);
};
