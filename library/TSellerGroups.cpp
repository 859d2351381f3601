#include "library/TSellerGroups.h"

#include "storage/engine/TStatement.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
const double NoPrice = std::numeric_limits<double>::quiet_NaN();

bool Exec(TConnection* connection, const QString& sql, const QVariantList& values, QString* error)
{
    TStatement statement;
    return statement.Prepare(connection, sql, error) && statement.Bind(values, error) && statement.Run(error);
}

QVariant PriceValue(double price)
{
    return std::isnan(price) ? QVariant() : QVariant(price);
}

// The view's rows by seller, each seller's in the order of their prices (without a price first): one pass over them
// sums up a seller.
QString RowsSql(const TSellerGroups::TSource& source)
{
    return QStringLiteral("SELECT seller, item, view_price, comment_count, id FROM (SELECT %1 AS seller, %2 AS item, "
                          "view_price, comment_count, id FROM goodslist%3) ORDER BY seller, view_price")
        .arg(TLibrarySql::SellerKey(), source.ItemKey, source.Where.Sql());
}
} // namespace

// One seller's rows as they are read.
struct TSellerGroups::TTally
{
    QVariant Seller;
    qint64 Sightings = 0;
    qint64 LastId = 0;
    std::vector<double> Prices; // ascending
    QHash<QString, qint64> Comments; // each listing's highest count; -1 where none is known

    void Add(const TStatement& row)
    {
        ++Sightings;
        LastId = std::max(LastId, row.Int(4));
        if (!row.IsNull(2)) {
            Prices.push_back(row.Double(2));
        }
        const QString item = row.Value(1).toString();
        auto comments = Comments.find(item);
        if (comments == Comments.end()) {
            comments = Comments.insert(item, -1);
        }
        if (!row.IsNull(3)) {
            *comments = std::max(*comments, row.Int(3));
        }
    }

    QVariantList Values() const
    {
        qint64 comments = 0;
        bool known = false;
        for (const qint64 count : Comments) {
            if (count >= 0) {
                comments += count;
                known = true;
            }
        }
        const size_t n = Prices.size();
        const double median = n == 0 ? NoPrice : (Prices[(n - 1) / 2] + Prices[n / 2]) / 2;
        return {LastId,
                static_cast<qint64>(Comments.size()),
                Sightings,
                PriceValue(n == 0 ? NoPrice : Prices.front()),
                PriceValue(median),
                PriceValue(n == 0 ? NoPrice : Prices.back()),
                known ? QVariant(comments) : QVariant()};
    }
};

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
    } else if (Columns().contains(sort.Column) && sort.Column != QLatin1String("collect_time")) {
        key = QStringLiteral("s.") + sort.Column;
    }
    return key + direction + QStringLiteral(", s.last_id") + direction;
}

// The sellers are summed up in one pass over the view's rows into a table of their figures, then given their
// latest row's user_id, nickname and time and numbered in the view's order.
bool TSellerGroups::Build(TConnection* connection, const TSource& source, const TLibrarySort& sort, QString* error)
{
    m_count = 0;
    const bool made = Exec(connection, QStringLiteral("DROP TABLE IF EXISTS temp.lib_sellers"), {}, error)
        && Exec(connection, QStringLiteral("DROP TABLE IF EXISTS temp.lib_seller_figures"), {}, error)
        && Exec(connection,
                QStringLiteral("CREATE TEMP TABLE lib_sellers(pos INTEGER PRIMARY KEY, %1, last_id)")
                    .arg(Columns().join(QLatin1String(", "))),
                {}, error)
        && Exec(connection,
                QStringLiteral("CREATE TEMP TABLE lib_seller_figures(last_id, listings, sightings, min_price, "
                               "median_price, max_price, comments)"),
                {}, error);
    if (!made || !Exec(connection, QStringLiteral("BEGIN"), {}, error)) {
        return false;
    }
    // One transaction of the temporary tables: the file itself is only read.
    QString failure;
    const bool ok = SumUp(connection, source, &failure)
        && Exec(connection,
                QStringLiteral("INSERT INTO temp.lib_sellers(%1, last_id) SELECT g.user_id, g.nick, s.listings, "
                               "s.sightings, s.min_price, s.median_price, s.max_price, s.comments, %2, s.last_id "
                               "FROM temp.lib_seller_figures s JOIN goodslist g ON g.id = s.last_id ORDER BY %3")
                    .arg(Columns().join(QLatin1String(", ")),
                         source.Schema.CollectTime ? QStringLiteral("g.collect_time") : QStringLiteral("NULL"),
                         OrderSql(sort, source.Schema.CollectTime)),
                {}, &failure)
        && Exec(connection, QStringLiteral("DROP TABLE temp.lib_seller_figures"), {}, &failure)
        && Exec(connection, QStringLiteral("COMMIT"), {}, &failure);
    if (!ok) {
        QString ignored;
        Exec(connection, QStringLiteral("ROLLBACK"), {}, &ignored);
        *error = failure;
        return false;
    }
    TStatement count;
    if (!count.Prepare(connection, QStringLiteral("SELECT count(*) FROM temp.lib_sellers"), error)) {
        return false;
    }
    if (!count.Next()) {
        *error = count.Error();
        return false;
    }
    m_count = count.Int(0);
    return true;
}

bool TSellerGroups::SumUp(TConnection* connection, const TSource& source, QString* error)
{
    TStatement rows;
    TStatement insert;
    if (!rows.Prepare(connection, RowsSql(source), error) || !rows.Bind(source.Where.Values, error)
        || !insert.Prepare(connection,
                           QStringLiteral("INSERT INTO temp.lib_seller_figures VALUES (?, ?, ?, ?, ?, ?, ?)"), error)) {
        return false;
    }
    const auto write = [&insert, error](const TTally& tally) {
        insert.Reset();
        return insert.Bind(tally.Values(), error) && insert.Run(error);
    };
    TTally tally;
    while (rows.Next()) {
        const QVariant seller = rows.Value(0);
        if (tally.Sightings > 0 && seller != tally.Seller) {
            if (!write(tally)) {
                return false;
            }
            tally = TTally();
        }
        tally.Seller = seller;
        tally.Add(rows);
    }
    if (rows.Failed()) {
        *error = rows.Error();
        return false;
    }
    return tally.Sightings == 0 || write(tally);
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
