#pragma once

#include "storage/TRunChange.h"
#include "storage/TRunRecord.h"

#include <QString>
#include <QStringList>

#include <vector>

class TConnection;

// What the comparison view reads: the recorded runs, the keywords that have runs, and what changed between two
// complete runs, a keyword's last two or any two chosen. Runs that did not end complete are refused, with a
// message that says which and why.
class TComparisonQuery
{
public:
    struct TResult
    {
        TRunRecord Older, Newer;
        std::vector<TRunChange> Changes;
    };

    // Every run, newest first.
    static bool Runs(TConnection* connection, std::vector<TRunRecord>* runs, QString* error);
    // The keywords that have runs, sorted.
    static bool Keywords(TConnection* connection, QStringList* keywords, QString* error);
    // The keyword's last two complete runs, the older against the newer; refused when it has fewer than two.
    static bool CompareLatest(TConnection* connection, const QString& keyword, TResult* result, QString* error);
    // Two runs given in either order, the older (the lower id) against the newer; refused for one run twice and
    // for a run that is not complete.
    static bool Compare(TConnection* connection, qint64 first, qint64 second, TResult* result, QString* error);
    // Why a run cannot be compared; empty when it can.
    static QString Unfit(const TRunRecord& run);
};
