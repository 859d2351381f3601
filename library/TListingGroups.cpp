#include "library/TListingGroups.h"

#include "storage/engine/TStatement.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

namespace {
// Rows a statement reads by id at a time.
const qint64 ChunkRows = 500;
const double NoPrice = std::numeric_limits<double>::quiet_NaN();

const QString Sightings = QStringLiteral("sightings");
const QString MinPrice = QStringLiteral("min_price");
const QString MaxPrice = QStringLiteral("max_price");
const QString Item = QStringLiteral("item");

// Every listing of the file with its sightings and latest row, from the summary the triggers keep.
const char* const SummarySql
    = "SELECT s.last_id, s.sightings FROM (SELECT item_key AS item, sightings, last_id FROM itemsummary) s";

QString AggregateSql(const TListingGroups::TSource& source)
{
    return QStringLiteral("SELECT s.last_id, s.sightings, s.min_price, s.max_price FROM (SELECT %1 AS item, "
                          "count(*) AS sightings, min(view_price) AS min_price, max(view_price) AS max_price, "
                          "max(id) AS last_id FROM goodslist%2 GROUP BY item) s")
        .arg(source.ItemKey, source.Where.Sql());
}

QVariant PriceValue(double price)
{
    return std::isnan(price) ? QVariant() : QVariant(price);
}

QString Marks(qint64 count)
{
    QStringList marks;
    for (qint64 i = 0; i < count; ++i) {
        marks.append(QStringLiteral("?"));
    }
    return marks.join(QLatin1Char(','));
}
} // namespace

const QStringList& TListingGroups::OwnColumns()
{
    static const QStringList columns{Sightings, MinPrice, MaxPrice, Item};
    return columns;
}

bool TListingGroups::Build(TConnection* connection, const TSource& source, const TLibrarySort& sort, QString* error)
{
    m_source = source;
    m_groups.clear();
    const bool byPrice = sort.Column == MinPrice || sort.Column == MaxPrice;
    const bool fromSummary = source.FromSummary && !byPrice; // the summary holds no prices
    m_pricesKnown = !fromSummary;
    // The figures each listing comes with sort here; a column of its latest row sorts in the statement.
    const bool inMemory = sort.Column.isEmpty() || sort.Column == Sightings || byPrice;
    QString sql = fromSummary ? QString::fromLatin1(SummarySql) : AggregateSql(source);
    if (!inMemory) {
        bool joined = false;
        const QString order = OrderSql(sort, QStringLiteral("s."), &joined);
        sql += (joined ? QStringLiteral(" JOIN goodslist g ON g.id = s.last_id") : QString())
            + QStringLiteral(" ORDER BY ") + order;
    }
    if (!ReadGroups(connection, sql, fromSummary ? QVariantList() : source.Where.Values, error)) {
        m_groups.clear();
        return false;
    }
    if (inMemory) {
        SortGroups(sort);
    }
    return true;
}

QString TListingGroups::OrderSql(const TLibrarySort& sort, const QString& own, bool* joined) const
{
    const QString direction = sort.Descending ? QStringLiteral(" DESC") : QString();
    QString key = own + QStringLiteral("last_id");
    if (OwnColumns().contains(sort.Column)) {
        key = own + sort.Column;
    } else if (!sort.Column.isEmpty()
               && (sort.Column != QLatin1String("collect_time") || m_source.Schema.CollectTime)) {
        key = QStringLiteral("g.") + sort.Column;
        *joined = true;
    }
    return key + direction + QStringLiteral(", ") + own + QStringLiteral("last_id") + direction;
}

bool TListingGroups::ReadGroups(TConnection* connection, const QString& sql, const QVariantList& values, QString* error)
{
    TStatement statement;
    if (!statement.Prepare(connection, sql, error) || !statement.Bind(values, error)) {
        return false;
    }
    const bool prices = statement.ColumnCount() > 2;
    while (statement.Next()) {
        TGroup group;
        group.LastId = statement.Int(0);
        group.Sightings = statement.Int(1);
        group.MinPrice = prices && !statement.IsNull(2) ? statement.Double(2) : NoPrice;
        group.MaxPrice = prices && !statement.IsNull(3) ? statement.Double(3) : NoPrice;
        m_groups.push_back(group);
    }
    if (statement.Failed()) {
        *error = statement.Error();
        return false;
    }
    return true;
}

// As the statement would order them: a listing without a price before every price, ties by the latest row.
void TListingGroups::SortGroups(const TLibrarySort& sort)
{
    const auto order = [this, &sort](auto key) {
        const bool descending = sort.Descending;
        std::sort(m_groups.begin(), m_groups.end(), [&key, descending](const TGroup& a, const TGroup& b) {
            const auto ka = std::make_pair(key(a), a.LastId);
            const auto kb = std::make_pair(key(b), b.LastId);
            return descending ? kb < ka : ka < kb;
        });
    };
    const auto price = [](double value) { return std::make_pair(!std::isnan(value), std::isnan(value) ? 0.0 : value); };
    if (sort.Column == Sightings) {
        order([](const TGroup& group) { return group.Sightings; });
    } else if (sort.Column == MinPrice) {
        order([&price](const TGroup& group) { return price(group.MinPrice); });
    } else if (sort.Column == MaxPrice) {
        order([&price](const TGroup& group) { return price(group.MaxPrice); });
    } else {
        order([](const TGroup&) { return 0; });
    }
}

bool TListingGroups::Read(TConnection* connection, qint64 first, int limit, std::vector<TLibraryRow>* rows,
                          QString* error) const
{
    rows->clear();
    const qint64 end = std::min<qint64>(Count(), first + std::max(limit, 0));
    for (qint64 from = std::max<qint64>(first, 0); from < end; from += ChunkRows) {
        if (!ReadChunk(connection, from, std::min(end, from + ChunkRows), rows, error)) {
            return false;
        }
    }
    return true;
}

// The latest rows of the listings at positions first..end-1, with their figures; a row deleted since the view was
// made leaves its columns empty.
bool TListingGroups::ReadChunk(TConnection* connection, qint64 first, qint64 end, std::vector<TLibraryRow>* rows,
                               QString* error) const
{
    QVariantList ids;
    for (qint64 i = first; i < end; ++i) {
        ids.append(m_groups[static_cast<size_t>(i)].LastId);
    }
    TStatement statement;
    if (!statement.Prepare(connection,
                           QStringLiteral("SELECT %1, %2, id FROM goodslist WHERE id IN (%3)")
                               .arg(m_source.SelectList, m_source.ItemKey, Marks(ids.size())),
                           error)
        || !statement.Bind(ids, error)) {
        return false;
    }
    const int width = statement.ColumnCount() - 2;
    QHash<qint64, QVariantList> byId;
    QStringList keys;
    while (statement.Next()) {
        QVariantList values;
        for (int column = 0; column <= width; ++column) {
            values.append(statement.Value(column));
        }
        keys.append(values.last().toString());
        byId.insert(statement.Int(width + 1), values);
    }
    if (statement.Failed()) {
        *error = statement.Error();
        return false;
    }
    QHash<QString, std::pair<QVariant, QVariant>> prices;
    if (!m_pricesKnown && !ReadPrices(connection, keys, &prices, error)) {
        return false;
    }
    for (qint64 i = first; i < end; ++i) {
        const TGroup& group = m_groups[static_cast<size_t>(i)];
        QVariantList values = byId.value(group.LastId, QVariantList(width + 1));
        const QVariant item = values.takeLast();
        const auto price = m_pricesKnown ? std::make_pair(PriceValue(group.MinPrice), PriceValue(group.MaxPrice))
                                         : prices.value(item.toString());
        values << QVariant(group.Sightings) << price.first << price.second << item;
        rows->push_back({values, QVariant(), i + 1});
    }
    return true;
}

bool TListingGroups::ReadPrices(TConnection* connection, const QStringList& keys,
                                QHash<QString, std::pair<QVariant, QVariant>>* out, QString* error) const
{
    if (keys.isEmpty()) {
        return true;
    }
    TStatement statement;
    QVariantList values(keys.begin(), keys.end());
    if (!statement.Prepare(connection,
                           QStringLiteral("SELECT item_key, min(view_price), max(view_price) FROM goodslist "
                                          "WHERE item_key IN (%1) GROUP BY item_key")
                               .arg(Marks(keys.size())),
                           error)
        || !statement.Bind(values, error)) {
        return false;
    }
    while (statement.Next()) {
        out->insert(statement.Value(0).toString(), {statement.Value(1), statement.Value(2)});
    }
    if (statement.Failed()) {
        *error = statement.Error();
        return false;
    }
    return true;
}

bool TListingGroups::Prices(TConnection* connection, std::vector<double>* prices, QString* error) const
{
    prices->clear();
    const QString sql = m_source.FromSummary
        ? QStringLiteral("SELECT g.view_price FROM itemsummary s JOIN goodslist g ON g.id = s.last_id "
                         "WHERE g.view_price IS NOT NULL ORDER BY g.view_price")
        : QStringLiteral("SELECT view_price FROM goodslist WHERE id IN (SELECT max(id) FROM goodslist%1 GROUP BY %2) "
                         "AND view_price IS NOT NULL ORDER BY view_price")
              .arg(m_source.Where.Sql(), m_source.ItemKey);
    TStatement statement;
    if (!statement.Prepare(connection, sql, error)
        || !statement.Bind(m_source.FromSummary ? QVariantList() : m_source.Where.Values, error)) {
        return false;
    }
    while (statement.Next()) {
        prices->push_back(statement.Double(0));
    }
    if (statement.Failed()) {
        *error = statement.Error();
        return false;
    }
    return true;
}
