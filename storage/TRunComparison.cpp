#include "storage/TRunComparison.h"

#include "storage/TRunRecords.h"
#include "storage/engine/TStatement.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace {
// One listing of a run: its first row there.
struct TSighting
{
    QString Key, Title, DetailUrl;
    QVariant Price;
};

// The listings of a run, each once (its first row by id), in the order of those rows. A row without a key (a
// program of an earlier version stored it since the last open) counts as a listing of its own. A listing's page
// is its detail link, or its listing link where it has none (the body framing gives only that).
bool Sightings(TConnection* connection, qint64 run, std::vector<TSighting>* sightings, QString* error)
{
    TStatement statement;
    if (!statement.Prepare(connection,
                           QStringLiteral("SELECT coalesce(g.item_key, '#' || g.id), g.title, "
                                          "coalesce(nullif(g.detail_url, ''), g.shopLink), "
                                          "g.view_price FROM goodslist g JOIN (SELECT min(id) AS id FROM goodslist "
                                          "WHERE run_id = ?1 GROUP BY coalesce(item_key, '#' || id)) f "
                                          "ON g.id = f.id ORDER BY g.id"),
                           error)
        || !statement.Bind({run}, error)) {
        return false;
    }
    while (statement.Next()) {
        sightings->push_back({statement.Value(0).toString(), statement.Value(1).toString(),
                              statement.Value(2).toString(), statement.Value(3)});
    }
    if (statement.Failed()) {
        *error = statement.Error();
        return false;
    }
    return true;
}

bool RequireComplete(TConnection* connection, qint64 run, QString* error)
{
    TRunRecords records(connection);
    TRunRecord record;
    if (!records.Find(run, &record, error)) {
        return false;
    }
    if (record.Outcome != QLatin1String(TRunRecords::Complete)) {
        const QString outcome = record.Outcome.isEmpty() ? QStringLiteral("尚未结束") : record.Outcome;
        *error = QStringLiteral("运行 %1 没有完整结束（%2），不能比较").arg(run).arg(outcome);
        return false;
    }
    return true;
}

bool PriceChanged(const QVariant& before, const QVariant& after)
{
    if (before.isNull() || after.isNull()) {
        return false;
    }
    const double a = before.toDouble();
    const double b = after.toDouble();
    // Prices come from page texts with a few decimals; what differs below that is rounding.
    return std::abs(a - b) > 1e-9 * std::max({1.0, std::abs(a), std::abs(b)});
}

TRunChange ChangeOf(TRunChange::Kind kind, const TSighting& sighting, const QVariant& oldPrice)
{
    TRunChange change;
    change.Change = kind;
    change.ItemKey = sighting.Key;
    change.Title = sighting.Title;
    change.DetailUrl = sighting.DetailUrl;
    change.OldPrice = oldPrice;
    change.NewPrice = kind == TRunChange::Gone ? QVariant() : sighting.Price;
    return change;
}
} // namespace

bool TRunComparison::Compare(TConnection* connection, qint64 older, qint64 newer, std::vector<TRunChange>* changes,
                             QString* error)
{
    std::vector<TSighting> before;
    std::vector<TSighting> after;
    if (!RequireComplete(connection, older, error) || !RequireComplete(connection, newer, error)
        || !Sightings(connection, older, &before, error) || !Sightings(connection, newer, &after, error)) {
        return false;
    }
    QHash<QString, const TSighting*> previous;
    for (const TSighting& sighting : before) {
        previous.insert(sighting.Key, &sighting);
    }
    changes->clear();
    QSet<QString> seen;
    for (const TSighting& sighting : after) {
        seen.insert(sighting.Key);
        const TSighting* old = previous.value(sighting.Key);
        if (old == nullptr) {
            changes->push_back(ChangeOf(TRunChange::New, sighting, QVariant()));
        } else if (PriceChanged(old->Price, sighting.Price)) {
            const bool cheaper = sighting.Price.toDouble() < old->Price.toDouble();
            changes->push_back(ChangeOf(cheaper ? TRunChange::Cheaper : TRunChange::Dearer, sighting, old->Price));
        }
    }
    for (const TSighting& sighting : before) {
        if (!seen.contains(sighting.Key)) {
            changes->push_back(ChangeOf(TRunChange::Gone, sighting, sighting.Price));
        }
    }
    return true;
}

bool TRunComparison::AllNew(TConnection* connection, qint64 run, std::vector<TRunChange>* changes, QString* error)
{
    std::vector<TSighting> sightings;
    if (!RequireComplete(connection, run, error) || !Sightings(connection, run, &sightings, error)) {
        return false;
    }
    changes->clear();
    for (const TSighting& sighting : sightings) {
        changes->push_back(ChangeOf(TRunChange::New, sighting, QVariant()));
    }
    return true;
}

TRunComparison::TCounts TRunComparison::Count(const std::vector<TRunChange>& changes)
{
    TCounts counts;
    for (const TRunChange& change : changes) {
        switch (change.Change) {
        case TRunChange::New:
            ++counts.New;
            break;
        case TRunChange::Gone:
            ++counts.Gone;
            break;
        case TRunChange::Cheaper:
            ++counts.Cheaper;
            break;
        case TRunChange::Dearer:
            ++counts.Dearer;
            break;
        }
    }
    return counts;
}
