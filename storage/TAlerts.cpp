#include "storage/TAlerts.h"

#include "storage/TLibrarySchema.h"
#include "storage/TRunComparison.h"
#include "storage/TRunRecords.h"
#include "storage/TStoreSql.h"
#include "storage/TWatchList.h"
#include "storage/engine/TStatement.h"

const char* const TAlerts::DropRule = "drop";
const char* const TAlerts::BelowRule = "below";

namespace {
TAlert AlertOf(const TRunRecord& run, const TRunChange& change, const char* rule)
{
    TAlert alert;
    alert.RunId = run.Id;
    alert.ItemKey = change.ItemKey;
    alert.Title = change.Title;
    alert.DetailUrl = change.DetailUrl;
    alert.OldPrice = change.OldPrice;
    alert.NewPrice = change.NewPrice;
    alert.Rule = QLatin1String(rule);
    alert.Keyword = run.Keyword;
    return alert;
}

// A fall of at least `percent` % of the old price.
bool Dropped(const TRunChange& change, double percent)
{
    const double before = change.OldPrice.toDouble();
    const double after = change.NewPrice.toDouble();
    // A little slack, so that 100 to 90 is a drop of 10 % whatever the rounding of the stored prices.
    return change.Change == TRunChange::Cheaper && before > 0
        && (before - after) * 100 >= percent * before * (1 - 1e-9);
}

// New at or below the price, or above it before and at or below it now.
bool WentBelow(const TRunChange& change, double price)
{
    if (change.NewPrice.isNull() || change.NewPrice.toDouble() > price) {
        return false;
    }
    return change.Change == TRunChange::New
        || (change.Change == TRunChange::Cheaper && change.OldPrice.toDouble() > price);
}

// The rules as numbers or nulls, checked as a watch's are.
bool Rules(const QVariant& dropPercent, const QVariant& belowPrice, TWatch* rules, QString* error)
{
    rules->Keyword = QStringLiteral("-");
    rules->DropPercent = dropPercent;
    rules->BelowPrice = belowPrice;
    if (!TWatchList::Validate(*rules, error)) {
        return false;
    }
    TWatchList::RuleValue(dropPercent, &rules->DropPercent);
    TWatchList::RuleValue(belowPrice, &rules->BelowPrice);
    return true;
}
} // namespace

TAlerts::TAlerts(TConnection* connection)
    : m_connection(connection)
{
}

bool TAlerts::Raise(qint64 runId, const QVariant& dropPercent, const QVariant& belowPrice, std::vector<TAlert>* raised,
                    QString* error)
{
    raised->clear();
    TWatch rules;
    TRunRecords records(m_connection);
    TRunRecord run;
    if (!Rules(dropPercent, belowPrice, &rules, error) || !records.Find(runId, &run, error)) {
        return false;
    }
    // A partial, failed or stopped run is never compared: a page that failed is no listing that is gone.
    if (run.Outcome != QLatin1String(TRunRecords::Complete)
        || (rules.DropPercent.isNull() && rules.BelowPrice.isNull())) {
        return true;
    }
    std::vector<TRunChange> changes;
    if (!Changes(run, rules, &changes, error)) {
        return false;
    }
    std::vector<TAlert> alerts;
    for (const TRunChange& change : changes) {
        if (!rules.DropPercent.isNull() && Dropped(change, rules.DropPercent.toDouble())) {
            alerts.push_back(AlertOf(run, change, DropRule));
        }
        if (!rules.BelowPrice.isNull() && WentBelow(change, rules.BelowPrice.toDouble())) {
            alerts.push_back(AlertOf(run, change, BelowRule));
        }
    }
    if (!Record(&alerts, error)) {
        return false;
    }
    *raised = std::move(alerts);
    return true;
}

// The run against the previous complete run of its keyword; without one, every listing is new (which only the
// below rule looks at).
bool TAlerts::Changes(const TRunRecord& run, const TWatch& rules, std::vector<TRunChange>* changes, QString* error)
{
    TRunRecords records(m_connection);
    TRunRecord previous;
    if (!records.PreviousComplete(run.Keyword, run.Id, &previous, error)) {
        return false;
    }
    if (previous.Id != 0) {
        return TRunComparison::Compare(m_connection, previous.Id, run.Id, changes, error);
    }
    return rules.BelowPrice.isNull() || TRunComparison::AllNew(m_connection, run.Id, changes, error);
}

// Writes the alerts in one transaction; those the run already has are left out of the list.
bool TAlerts::Record(std::vector<TAlert>* alerts, QString* error)
{
    const QString raised = TLibrarySchema::CollectTimeNow();
    std::vector<TAlert> recorded;
    const bool ok = TStoreSql::InTransaction(
        m_connection,
        [&](QString* failure) {
            for (TAlert& alert : *alerts) {
                QVariant id;
                if (!TStoreSql::Value(m_connection,
                                      QStringLiteral("INSERT OR IGNORE INTO alertlog (run_id, item_key, title, "
                                                     "detail_url, old_price, new_price, rule, raised) "
                                                     "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8) RETURNING id"),
                                      {alert.RunId, alert.ItemKey, alert.Title, alert.DetailUrl, alert.OldPrice,
                                       alert.NewPrice, alert.Rule, raised},
                                      &id, failure)) {
                    return false;
                }
                if (!id.isNull()) {
                    alert.Id = id.toLongLong();
                    alert.Raised = raised;
                    recorded.push_back(alert);
                }
            }
            return true;
        },
        error);
    if (ok) {
        *alerts = std::move(recorded);
    }
    return ok;
}

bool TAlerts::List(std::vector<TAlert>* alerts, QString* error, int limit)
{
    TStatement statement;
    if (!statement.Prepare(m_connection,
                           QStringLiteral("SELECT a.id, a.run_id, a.item_key, a.title, a.detail_url, a.old_price, "
                                          "a.new_price, a.rule, a.raised, c.keyname FROM alertlog a LEFT JOIN "
                                          "collectrun c ON c.id = a.run_id ORDER BY a.id DESC LIMIT ?1"),
                           error)
        || !statement.Bind({limit > 0 ? limit : -1}, error)) {
        return false;
    }
    alerts->clear();
    while (statement.Next()) {
        TAlert alert;
        alert.Id = statement.Int(0);
        alert.RunId = statement.Int(1);
        alert.ItemKey = statement.Value(2).toString();
        alert.Title = statement.Value(3).toString();
        alert.DetailUrl = statement.Value(4).toString();
        alert.OldPrice = statement.Value(5);
        alert.NewPrice = statement.Value(6);
        alert.Rule = statement.Value(7).toString();
        alert.Raised = statement.Value(8).toString();
        alert.Keyword = statement.Value(9).toString();
        alerts->push_back(alert);
    }
    if (statement.Failed()) {
        *error = statement.Error();
        return false;
    }
    return true;
}
