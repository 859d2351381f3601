#pragma once

#include "storage/TWatch.h"

#include <QDateTime>
#include <QString>

#include <vector>

class TConnection;

// The watches (table watchlist): kept, listed, found due, and claimed by the one program that runs a watch.
class TWatchList
{
public:
    static constexpr int MinPages = 1;
    static constexpr int MaxPages = 100;
    static constexpr double MinHours = 0.5;
    static constexpr double MaxHours = 168;

    explicit TWatchList(TConnection* connection);

    // Checks the ranges; false with a Chinese message for bad values (nothing written). A rule may come as a
    // number or as a text; a blank text is no rule.
    static bool Validate(const TWatch& watch, QString* error);
    // A rule's value as a number: a null for no rule (a null, or a blank text); false for what is no finite number.
    static bool RuleValue(const QVariant& rule, QVariant* value);
    // Its id, or 0 with a message (bad values, or a watch of the same keyword exists).
    qint64 Add(const TWatch& watch, QString* error);
    // Writes the keyword, pages, interval, rules and on/off of the watch of that id.
    bool Update(const TWatch& watch, QString* error);
    bool Remove(qint64 id, QString* error); // false + message when no such watch
    bool List(std::vector<TWatch>* watches, QString* error);
    bool Find(qint64 id, TWatch* watch, QString* error);
    // Enabled watches whose interval has passed since their last run's start (or that never ran), at `now`.
    bool Due(const QDateTime& now, std::vector<TWatch>* watches, QString* error);
    // When the next enabled watch is due (invalid when none); a watch that never ran is due now.
    QDateTime NextDue(QString* error);
    // A watch runs in one program at a time: Claim marks it taken until `until` (a lease, so that a program
    // that died does not hold it for ever) and fails (returns false, no error) when another program holds it.
    // The holder may claim again to extend its lease. `owner` names one program instance (say, its kind, host and
    // process id): two programs that gave the same name would both hold the watch.
    bool Claim(qint64 id, const QString& owner, const QDateTime& until, QString* error);
    // Gives the watch up and records its last run (lastRunId > 0). False with a message when the watch does not
    // exist, or when another program took it over after the lease ran out (the run is still recorded).
    bool Release(qint64 id, const QString& owner, qint64 lastRunId, QString* error);

private:
    // When a watch is next due: its last run's start plus its interval; invalid when it never ran.
    bool DueTime(const TWatch& watch, QDateTime* due, QString* error);
    bool KeywordTaken(const TWatch& watch, QString* error);

    TConnection* m_connection;
};
