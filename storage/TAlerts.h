#pragma once

#include "storage/TAlert.h"

#include <QString>
#include <QVariant>

#include <vector>

class TConnection;
struct TRunChange;
struct TRunRecord;
struct TWatch;

// The alerts of the watches' rules, recorded in alertlog.
class TAlerts
{
public:
    static const char* const DropRule;
    static const char* const BelowRule;

    explicit TAlerts(TConnection* connection);

    // The alerts of a complete run against the previous complete run of its keyword (none when there is no
    // previous one and no below rule): drop: a listing whose price fell by at least dropPercent %; below: a
    // listing at or below the price that is new or was above it in the previous complete run. One per listing,
    // rule and run. Recorded in alertlog and returned: the ones recorded by this call, so that raising again
    // for the same run returns none. A run that is not complete raises nothing. A null rule is no rule; a bad
    // value is refused with the message of TWatchList::Validate.
    bool Raise(qint64 runId, const QVariant& dropPercent, const QVariant& belowPrice, std::vector<TAlert>* raised,
               QString* error);
    // Newest first.
    bool List(std::vector<TAlert>* alerts, QString* error, int limit = 200);

private:
    bool Changes(const TRunRecord& run, const TWatch& rules, std::vector<TRunChange>* changes, QString* error);
    bool Record(std::vector<TAlert>* alerts, QString* error);

    TConnection* m_connection;
};
