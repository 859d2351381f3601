#include "library/THistoryQuery.h"

#include "page/TItemKey.h"
#include "storage/engine/TStatement.h"

#include <algorithm>

namespace {
const char* const SightingSql
    = "SELECT g.id, g.collect_time, g.view_price, g.view_fee, g.comment_count, g.keyname, g.run_id, r.outcome, "
      "r.reason, g.title, g.detail_url, g.shopLink, g.nid FROM goodslist g LEFT JOIN collectrun r ON r.id = g.run_id ";

TListingHistory::TSighting Read(const TStatement& row)
{
    TListingHistory::TSighting sighting;
    sighting.Id = row.Int(0);
    sighting.CollectTime = row.Value(1).toString();
    sighting.Price = row.Value(2);
    sighting.Fee = row.Value(3);
    sighting.Comments = row.Value(4);
    sighting.Keyword = row.Value(5).toString();
    sighting.RunId = row.Int(6);
    sighting.Outcome = row.Value(7).toString();
    sighting.Reason = row.Value(8).toString();
    sighting.Title = row.Value(9).toString();
    sighting.DetailUrl = row.Value(10).toString();
    sighting.ShopLink = row.Value(11).toString();
    return sighting;
}

// The rows a statement selects; with a key to match, only the rows whose rule gives that key.
bool Select(TConnection* connection, const QString& where, const QVariantList& values, const QString* ruleKey,
            std::vector<TListingHistory::TSighting>* rows, QString* error)
{
    TStatement statement;
    if (!statement.Prepare(connection, QLatin1String(SightingSql) + where, error) || !statement.Bind(values, error)) {
        return false;
    }
    while (statement.Next()) {
        TListingHistory::TSighting sighting = Read(statement);
        if (ruleKey == nullptr
            || TItemKey::Of(statement.Value(12).toString(), sighting.DetailUrl, sighting.ShopLink, sighting.Id)
                == *ruleKey) {
            rows->push_back(std::move(sighting));
        }
    }
    if (statement.Failed()) {
        *error = statement.Error();
        return false;
    }
    return true;
}
} // namespace

bool THistoryQuery::KeyOfRow(TConnection* connection, qint64 rowId, QString* key, QString* error)
{
    TStatement statement;
    if (!statement.Prepare(connection,
                           QStringLiteral("SELECT item_key, nid, detail_url, shopLink FROM goodslist WHERE id = ?1"),
                           error)
        || !statement.Bind({rowId}, error)) {
        return false;
    }
    if (!statement.Next()) {
        *error = statement.Failed() ? statement.Error() : QStringLiteral("这一行已不在数据库中（编号 %1）").arg(rowId);
        return false;
    }
    const QString stored = statement.Value(0).toString();
    *key = !stored.isEmpty() ? stored
                             : TItemKey::Of(statement.Value(1).toString(), statement.Value(2).toString(),
                                            statement.Value(3).toString(), rowId);
    return true;
}

bool THistoryQuery::Sightings(TConnection* connection, const QString& key,
                              std::vector<TListingHistory::TSighting>* rows, QString* error)
{
    rows->clear();
    // The rows without a key are few (those stored by an earlier version since the last start); the key's
    // index finds them as it finds the others.
    if (!Select(connection, QStringLiteral("WHERE g.item_key = ?1"), {key}, nullptr, rows, error)
        || !Select(connection, QStringLiteral("WHERE g.item_key IS NULL"), {}, &key, rows, error)) {
        return false;
    }
    std::sort(rows->begin(), rows->end(), [](const auto& a, const auto& b) { return a.Id < b.Id; });
    return true;
}

bool THistoryQuery::Read(TConnection* connection, const TTarget& target, TListingHistory* history, QString* error)
{
    *history = TListingHistory();
    QString key = target.ItemKey;
    if (key.isEmpty() && !KeyOfRow(connection, target.RowId, &key, error)) {
        return false;
    }
    history->ItemKey = key;
    if (!Sightings(connection, key, &history->Sightings, error)) {
        return false;
    }
    history->Summarise();
    return true;
}
