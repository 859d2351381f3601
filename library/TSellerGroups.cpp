#include "library/TSellerGroups.h"

#include "storage/engine/TStatement.h"

#include <algorithm>

namespace {
bool Exec(TConnection* connection, const QString& sql, const QVariantList& values, QString* error)
{
    TStatement statement;
    return statement.Prepare(connection, sql, error) && statement.Bind(values, error) && statement.Run(error);
}

// The view's rows with their listing and seller (r); each seller's listings with their sightings and highest
// comment count (l), summed up per seller (s); its prices in order (p), their lowest, median and highest (q).
QString FillSql(const TSellerGroups::TSource& source, const QString& order)
{
    return QStringLiteral(
               "WITH r AS (SELECT id, view_price, comment_count, %1 AS item, %2 AS seller FROM goodslist%3), "
               "l AS (SELECT seller, count(*) AS n, max(comment_count) AS c, max(id) AS last_id FROM r "
               "GROUP BY seller, item), "
               "s AS (SELECT seller, count(*) AS listings, sum(n) AS sightings, sum(c) AS comments, "
               "max(last_id) AS last_id FROM l GROUP BY seller), "
               "p AS (SELECT seller, view_price, row_number() OVER w AS k, count(*) OVER (PARTITION BY seller) AS m "
               "FROM r WHERE view_price IS NOT NULL WINDOW w AS (PARTITION BY seller ORDER BY view_price)), "
               "q AS (SELECT seller, min(view_price) AS min_price, max(view_price) AS max_price, "
               "avg(CASE WHEN k IN ((m + 1) / 2, (m + 2) / 2) THEN view_price END) AS median_price "
               "FROM p GROUP BY seller) "
               "INSERT INTO temp.lib_sellers(user_id, nick, listings, sightings, min_price, median_price, max_price, "
               "comments, collect_time, last_id) "
               "SELECT g.user_id, g.nick, s.listings, s.sightings, q.min_price, q.median_price, q.max_price, "
               "s.comments, %4, s.last_id FROM s JOIN goodslist g ON g.id = s.last_id "
               "LEFT JOIN q ON q.seller = s.seller ORDER BY %5")
        .arg(source.ItemKey, TLibrarySql::SellerKey(), source.Where.Sql(),
             source.Schema.CollectTime ? QStringLiteral("g.collect_time") : QStringLiteral("NULL"), order);
}
} // namespace

const QStringList& TSellerGroups::Columns()
{
    static const QStringList columns{"user_id",      "nick",      "listings", "sightings",   "min_price",
                                     "median_price", "max_price", "comments", "collect_time"};
    return columns;
}

QString TSellerGroups::OrderSql(const TLibrarySort& sort, bool collectTime)
{
    const QString direction = sort.Descending ? QStringLiteral(" DESC") : QString();
    QString key = QStringLiteral("s.last_id");
    if (sort.Column == QLatin1String("user_id") || sort.Column == QLatin1String("nick")
        || (sort.Column == QLatin1String("collect_time") && collectTime)) {
        key = QStringLiteral("g.") + sort.Column;
    } else if (sort.Column.endsWith(QLatin1String("_price"))) {
        key = QStringLiteral("q.") + sort.Column;
    } else if (Columns().contains(sort.Column) && sort.Column != QLatin1String("collect_time")) {
        key = QStringLiteral("s.") + sort.Column;
    }
    return key + direction + QStringLiteral(", s.last_id") + direction;
}

bool TSellerGroups::Build(TConnection* connection, const TSource& source, const TLibrarySort& sort, QString* error)
{
    m_count = 0;
    TStatement count;
    const bool built = Exec(connection, QStringLiteral("DROP TABLE IF EXISTS temp.lib_sellers"), {}, error)
        && Exec(connection,
                QStringLiteral("CREATE TEMP TABLE lib_sellers(pos INTEGER PRIMARY KEY, %1, last_id)")
                    .arg(Columns().join(QLatin1String(", "))),
                {}, error)
        && Exec(connection, FillSql(source, OrderSql(sort, source.Schema.CollectTime)), source.Where.Values, error)
        && count.Prepare(connection, QStringLiteral("SELECT count(*) FROM temp.lib_sellers"), error);
    if (!built) {
        return false;
    }
    if (!count.Next()) {
        *error = count.Error();
        return false;
    }
    m_count = count.Int(0);
    return true;
}

bool TSellerGroups::Read(TConnection* connection, qint64 first, int limit, std::vector<TLibraryRow>* rows,
                         QString* error) const
{
    rows->clear();
    TStatement statement;
    if (!statement.Prepare(connection,
                           QStringLiteral("SELECT %1, pos FROM temp.lib_sellers WHERE pos > ? ORDER BY pos LIMIT ?")
                               .arg(Columns().join(QLatin1String(", "))),
                           error)
        || !statement.Bind({std::max<qint64>(first, 0), std::max(limit, 0)}, error)) {
        return false;
    }
    const int width = static_cast<int>(Columns().size());
    while (statement.Next()) {
        TLibraryRow row;
        for (int column = 0; column < width; ++column) {
            row.Values.append(statement.Value(column));
        }
        row.Key = statement.Int(width);
        rows->push_back(std::move(row));
    }
    if (statement.Failed()) {
        *error = statement.Error();
        return false;
    }
    return true;
}
