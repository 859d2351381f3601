#include "library/TLibraryQuery.h"

#include "page/TItemKey.h"
#include "storage/TLibrarySchema.h"
#include "storage/engine/TConnection.h"
#include "storage/engine/TStatement.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace {
const char* const ItemKeySql = "item_key(nid, detail_url, shopLink, id)";

QString ColumnSql(const QString& column, bool hasCollectTime)
{
    if (column == QLatin1String(TLibrarySchema::CollectTimeColumn) && !hasCollectTime) {
        return QStringLiteral("NULL AS collect_time");
    }
    return column;
}

bool Exec(TConnection* connection, const QString& sql, const QVariantList& values, QString* error)
{
    TStatement statement;
    return statement.Prepare(connection, sql, error) && statement.Bind(values, error) && statement.Run(error);
}

bool ReadInt(TConnection* connection, const QString& sql, const QVariantList& values, qint64* result, QString* error)
{
    TStatement statement;
    if (!statement.Prepare(connection, sql, error) || !statement.Bind(values, error)) {
        return false;
    }
    if (!statement.Next()) {
        *error = statement.Failed() ? statement.Error() : QStringLiteral("no result");
        return false;
    }
    *result = statement.Int(0);
    return true;
}

qint64 Changes(TConnection* connection)
{
    qint64 changes = 0;
    QString ignored;
    ReadInt(connection, QStringLiteral("SELECT changes()"), {}, &changes, &ignored);
    return changes;
}
} // namespace

const QStringList& TLibraryQuery::Columns()
{
    static const QStringList columns{"id",       "title",         "pic_url",  "detail_url",  "view_price",
                                     "view_fee", "reserve_price", "item_loc", "user_id",     "nick",
                                     "shopLink", "comment_count", "keyname",  "collect_time"};
    return columns;
}

const QStringList& TLibraryQuery::GroupColumns()
{
    static const QStringList columns = Columns() + QStringList{"sightings", "min_price", "max_price", "item"};
    return columns;
}

TLibraryQuery::TLibraryQuery() = default;

TLibraryQuery::~TLibraryQuery()
{
    Close();
}

bool TLibraryQuery::Open(const QString& connectionString, QString* error)
{
    auto connection = std::make_unique<TConnection>();
    if (!connection->Open(connectionString, error)) {
        return false;
    }
    const bool registered = connection->CreateFunction(
        QStringLiteral("item_key"), 4,
        [](const QVariantList& a) {
            return QVariant(
                TItemKey::Of(a.at(0).toString(), a.at(1).toString(), a.at(2).toString(), a.at(3).toLongLong()));
        },
        error);
    if (!registered) {
        return false;
    }
    m_schema.SearchIndex = TLibrarySchema::HasTable(connection.get(), QLatin1String(TLibrarySchema::SearchTable));
    QStringList columns;
    connection->Columns(QStringLiteral("goodslist"), &columns, error);
    m_schema.CollectTime = columns.contains(QLatin1String(TLibrarySchema::CollectTimeColumn), Qt::CaseInsensitive);
    QMutexLocker lock(&m_handleLock);
    m_connection = std::move(connection);
    return true;
}

void TLibraryQuery::Close()
{
    QMutexLocker lock(&m_handleLock);
    m_connection.reset();
}

bool TLibraryQuery::IsOpen() const
{
    QMutexLocker lock(&m_handleLock);
    return m_connection != nullptr && m_connection->IsOpen();
}

void TLibraryQuery::Interrupt()
{
    QMutexLocker lock(&m_handleLock);
    if (m_connection != nullptr) {
        m_connection->Interrupt();
    }
}

bool TLibraryQuery::SetView(const TLibraryFilter& filter, const TLibrarySort& sort, bool grouped, QString* error)
{
    if (!filter.Validate(error)) {
        return false;
    }
    const QStringList& allowed = grouped ? GroupColumns() : Columns();
    if (!sort.Column.isEmpty() && !allowed.contains(sort.Column)) {
        *error = QStringLiteral("%1: no such column").arg(sort.Column);
        return false;
    }
    m_filter = filter;
    m_sort = sort;
    m_grouped = grouped;
    m_where = TLibrarySql::Where(filter, m_schema);
    return !grouped || BuildGroups(error);
}

QString TLibraryQuery::SortColumn() const
{
    return m_sort.Column.isEmpty() ? QStringLiteral("id") : m_sort.Column;
}

QString TLibraryQuery::SelectList() const
{
    QStringList list;
    for (const QString& column : Columns()) {
        list.append(ColumnSql(column, m_schema.CollectTime));
    }
    return list.join(QLatin1String(", "));
}

// The grouped view: one row per listing with the columns of its latest sighting, in the view's order,
// numbered by position.
bool TLibraryQuery::BuildGroups(QString* error)
{
    QStringList latest;
    for (const QString& column : Columns()) {
        latest.append(column == QLatin1String(TLibrarySchema::CollectTimeColumn) && !m_schema.CollectTime
                          ? QStringLiteral("NULL")
                          : QStringLiteral("g.") + column);
    }
    const QString sort = SortColumn();
    const bool own = sort == QLatin1String("sightings") || sort == QLatin1String("min_price")
        || sort == QLatin1String("max_price") || sort == QLatin1String("item");
    const QString direction = m_sort.Descending ? QStringLiteral(" DESC") : QString();
    const QString order
        = (own ? QStringLiteral("k.") : QStringLiteral("g.")) + sort + direction + QStringLiteral(", g.id") + direction;
    const QString fill
        = QStringLiteral("INSERT INTO temp.lib_groups(%1, sightings, min_price, max_price, item) "
                         "SELECT %2, k.sightings, k.min_price, k.max_price, k.item FROM "
                         "(SELECT %3 AS item, count(*) AS sightings, min(view_price) AS min_price, "
                         "max(view_price) AS max_price, max(id) AS last_id FROM goodslist%4 GROUP BY item) k "
                         "JOIN goodslist g ON g.id = k.last_id ORDER BY %5")
              .arg(Columns().join(QLatin1String(", ")), latest.join(QLatin1String(", ")), QLatin1String(ItemKeySql),
                   m_where.Sql(), order);
    return Exec(m_connection.get(), QStringLiteral("DROP TABLE IF EXISTS temp.lib_groups"), {}, error)
        && Exec(m_connection.get(),
                QStringLiteral("CREATE TEMP TABLE lib_groups(pos INTEGER PRIMARY KEY, %1, sightings, min_price, "
                               "max_price, item)")
                    .arg(Columns().join(QLatin1String(", "))),
                {}, error)
        && Exec(m_connection.get(), fill, m_where.Values, error);
}

bool TLibraryQuery::Count(qint64* rows, QString* error)
{
    if (m_grouped) {
        return ReadInt(m_connection.get(), QStringLiteral("SELECT count(*) FROM temp.lib_groups"), {}, rows, error);
    }
    return ReadInt(m_connection.get(), QStringLiteral("SELECT count(*) FROM goodslist") + m_where.Sql(), m_where.Values,
                   rows, error);
}

bool TLibraryQuery::CountListings(qint64* listings, QString* error)
{
    if (m_grouped) {
        return Count(listings, error);
    }
    return ReadInt(m_connection.get(),
                   QStringLiteral("SELECT count(DISTINCT %1) FROM goodslist").arg(QLatin1String(ItemKeySql))
                       + m_where.Sql(),
                   m_where.Values, listings, error);
}

bool TLibraryQuery::ReadRows(const QString& sql, const QVariantList& values, std::vector<TRow>* rows, QString* error)
{
    TStatement statement;
    if (!statement.Prepare(m_connection.get(), sql, error) || !statement.Bind(values, error)) {
        return false;
    }
    const QStringList& columns = m_grouped ? GroupColumns() : Columns();
    const int sortIndex = static_cast<int>(columns.indexOf(SortColumn()));
    const int width = static_cast<int>(columns.size());
    while (statement.Next()) {
        TRow row;
        row.Values.reserve(width);
        for (int column = 0; column < width; ++column) {
            row.Values.append(statement.Value(column));
        }
        row.SortValue = sortIndex >= 0 ? row.Values.at(sortIndex) : QVariant();
        row.Key = statement.Int(width); // the id, or the position
        rows->push_back(std::move(row));
    }
    if (statement.Failed()) {
        *error = statement.Error();
        return false;
    }
    return true;
}

bool TLibraryQuery::ReadSegment(const QString& segment, const QVariantList& values, const QString& order, int limit,
                                std::vector<TRow>* rows, QString* error)
{
    TLibrarySql::TCondition where = m_where;
    if (!segment.isEmpty()) {
        where.Parts.append(segment);
        where.Values.append(values);
    }
    where.Values.append(limit);
    const QString sql = QStringLiteral("SELECT %1, id FROM goodslist").arg(SelectList()) + where.Sql()
        + QStringLiteral(" ORDER BY ") + order + QStringLiteral(" LIMIT ?");
    return ReadRows(sql, where.Values, rows, error);
}

bool TLibraryQuery::Page(const TPageKey* after, bool backward, int limit, std::vector<TRow>* rows, QString* error)
{
    rows->clear();
    // A grouped view is stored in its order, by position.
    const bool ascending = m_grouped ? !backward : m_sort.Descending == backward;
    const QString less = ascending ? QStringLiteral(">") : QStringLiteral("<");
    const QString direction = ascending ? QString() : QStringLiteral(" DESC");
    bool ok = true;
    if (m_grouped) {
        ok = after == nullptr ? ReadRows(QStringLiteral("SELECT %1, pos FROM temp.lib_groups ORDER BY pos%2 LIMIT ?")
                                             .arg(GroupColumns().join(QLatin1String(", ")), direction),
                                         {limit}, rows, error)
                              : ReadRows(QStringLiteral("SELECT %1, pos FROM temp.lib_groups WHERE pos %2 ? "
                                                        "ORDER BY pos%3 LIMIT ?")
                                             .arg(GroupColumns().join(QLatin1String(", ")), less, direction),
                                         {after->Key, limit}, rows, error);
    } else if (SortColumn() == QLatin1String("id")) {
        ok = after == nullptr ? ReadSegment(QString(), {}, QStringLiteral("id") + direction, limit, rows, error)
                              : ReadSegment(QStringLiteral("id ") + less + QStringLiteral(" ?"), {after->Key},
                                            QStringLiteral("id") + direction, limit, rows, error);
    } else {
        // NULL sorts before every value: ascending the rows without a value come first (by id), descending
        // last. Each part is read on its own, so that the sort column's index serves both.
        const QString column = SortColumn();
        const QString valueOrder = column + direction + QStringLiteral(", id") + direction;
        const QString nullOrder = QStringLiteral("id") + direction;
        const bool fromNulls = after != nullptr && after->SortValue.isNull();
        auto readNulls = [&](bool bounded) {
            return ReadSegment(column + QStringLiteral(" IS NULL")
                                   + (bounded ? QStringLiteral(" AND id ") + less + QStringLiteral(" ?") : QString()),
                               bounded ? QVariantList{after->Key} : QVariantList{}, nullOrder,
                               limit - static_cast<int>(rows->size()), rows, error);
        };
        auto readValues = [&](bool bounded) {
            return ReadSegment(bounded ? QStringLiteral("(%1, id) %2 (?, ?)").arg(column, less)
                                       : column + QStringLiteral(" IS NOT NULL"),
                               bounded ? QVariantList{after->SortValue, after->Key} : QVariantList{}, valueOrder,
                               limit - static_cast<int>(rows->size()), rows, error);
        };
        auto full = [&]() { return static_cast<int>(rows->size()) >= limit; };
        if (ascending) {
            if (after == nullptr || fromNulls) {
                ok = readNulls(after != nullptr) && (full() || readValues(false));
            } else {
                ok = readValues(true);
            }
        } else if (fromNulls) {
            ok = readNulls(true);
        } else {
            ok = readValues(after != nullptr) && (full() || readNulls(false));
        }
    }
    if (ok && backward) {
        std::reverse(rows->begin(), rows->end());
    }
    return ok;
}

bool TLibraryQuery::PageAt(qint64 offset, int limit, std::vector<TRow>* rows, QString* error)
{
    rows->clear();
    if (m_grouped) {
        return ReadRows(QStringLiteral("SELECT %1, pos FROM temp.lib_groups WHERE pos > ? ORDER BY pos LIMIT ?")
                            .arg(GroupColumns().join(QLatin1String(", "))),
                        {offset, limit}, rows, error);
    }
    const QString direction = m_sort.Descending ? QStringLiteral(" DESC") : QString();
    QString order = SortColumn() + direction;
    if (SortColumn() != QLatin1String("id")) {
        order += QStringLiteral(", id") + direction;
    }
    TLibrarySql::TCondition where = m_where;
    where.Values.append(limit);
    where.Values.append(offset);
    return ReadRows(QStringLiteral("SELECT %1, id FROM goodslist").arg(SelectList()) + where.Sql()
                        + QStringLiteral(" ORDER BY ") + order + QStringLiteral(" LIMIT ? OFFSET ?"),
                    where.Values, rows, error);
}

bool TLibraryQuery::Keywords(std::vector<std::pair<QString, qint64>>* keywords, QString* error)
{
    keywords->clear();
    TStatement statement;
    if (!statement.Prepare(m_connection.get(),
                           QStringLiteral("SELECT keyname, count(*) FROM goodslist GROUP BY keyname ORDER BY keyname"),
                           error)) {
        return false;
    }
    qint64 unnamed = 0; // NULL and '' sort first
    while (statement.Next()) {
        const QString keyword = statement.Value(0).toString();
        if (keyword.isEmpty()) {
            unnamed += statement.Int(1);
        } else {
            keywords->emplace_back(keyword, statement.Int(1));
        }
    }
    if (statement.Failed()) {
        *error = statement.Error();
        return false;
    }
    if (unnamed > 0) {
        keywords->emplace(keywords->begin(), QString(), unnamed);
    }
    return true;
}

bool TLibraryQuery::Prices(std::vector<double>* prices, QString* error)
{
    prices->clear();
    TStatement statement;
    TLibrarySql::TCondition where = m_grouped ? TLibrarySql::TCondition() : m_where;
    where.Parts.append(QStringLiteral("view_price IS NOT NULL"));
    const QString table = m_grouped ? QStringLiteral("temp.lib_groups") : QStringLiteral("goodslist");
    if (!statement.Prepare(m_connection.get(),
                           QStringLiteral("SELECT view_price FROM ") + table + where.Sql()
                               + QStringLiteral(" ORDER BY view_price"),
                           error)
        || !statement.Bind(where.Values, error)) {
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

bool TLibraryQuery::InTransaction(const std::function<bool(QString*)>& work, QString* error)
{
    // A file that another program holds past the busy timeout is waited for again.
    TConnection* connection = m_connection.get();
    return connection->RetryWhileBusy([&](bool* busy) {
        QString failure;
        if (Exec(connection, QStringLiteral("BEGIN IMMEDIATE"), {}, &failure) && work(&failure)
            && Exec(connection, QStringLiteral("COMMIT"), {}, &failure)) {
            return true;
        }
        *busy = connection->LastFailedBusy();
        *error = failure;
        QString ignored;
        Exec(connection, QStringLiteral("ROLLBACK"), {}, &ignored);
        return false;
    });
}

// Starts a deletion: the rows to delete are gathered by id in a temporary table, which no other program waits for.
bool TLibraryQuery::BeginMarking(QString* error)
{
    return Exec(m_connection.get(),
                QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS lib_marked(id INTEGER PRIMARY KEY)"), {}, error)
        && Exec(m_connection.get(), QStringLiteral("DELETE FROM temp.lib_marked"), {}, error);
}

// Deletes the marked rows a batch at a time, each batch its own short transaction, so that a program that writes
// to the file meanwhile waits for one batch at most; the pause after each lets it in. The rows of the batches
// done stay deleted when a later one fails; *deleted counts them.
bool TLibraryQuery::DeleteMarked(qint64* deleted, QString* error)
{
    *deleted = 0;
    for (;;) {
        qint64 last = 0;
        if (!ReadInt(m_connection.get(),
                     QStringLiteral("SELECT max(id) FROM (SELECT id FROM temp.lib_marked ORDER BY id LIMIT ?)"),
                     {DeleteBatchRows}, &last, error)) {
            return false;
        }
        if (last == 0) {
            return true; // none left
        }
        qint64 batch = 0;
        const bool ok = InTransaction(
            [&](QString* failure) {
                if (!Exec(m_connection.get(),
                          QStringLiteral(
                              "DELETE FROM goodslist WHERE id IN (SELECT id FROM temp.lib_marked WHERE id <= ?)"),
                          {last}, failure)) {
                    return false;
                }
                batch = Changes(m_connection.get());
                return Exec(m_connection.get(), QStringLiteral("DELETE FROM temp.lib_marked WHERE id <= ?"), {last},
                            failure);
            },
            error);
        if (!ok) {
            return false;
        }
        *deleted += batch;
        std::this_thread::sleep_for(std::chrono::milliseconds(DeletePauseMs));
    }
}

bool TLibraryQuery::DeleteIds(const std::vector<qint64>& ids, qint64* deleted, QString* error)
{
    *deleted = 0;
    if (!BeginMarking(error) || !Exec(m_connection.get(), QStringLiteral("BEGIN"), {}, error)) {
        return false;
    }
    // One transaction of the temporary table alone: the file itself is not locked by it.
    TStatement statement;
    bool marked = statement.Prepare(m_connection.get(),
                                    QStringLiteral("INSERT OR IGNORE INTO temp.lib_marked VALUES (?)"), error);
    for (auto id = ids.begin(); marked && id != ids.end(); ++id) {
        statement.Reset();
        marked = statement.Bind({*id}, error) && statement.Run(error);
    }
    if (!marked || !Exec(m_connection.get(), QStringLiteral("COMMIT"), {}, error)) {
        QString ignored;
        Exec(m_connection.get(), QStringLiteral("ROLLBACK"), {}, &ignored);
        return false;
    }
    return DeleteMarked(deleted, error);
}

bool TLibraryQuery::DeleteKeyword(const QString& keyword, qint64* deleted, QString* error)
{
    *deleted = 0;
    const TLibrarySql::TCondition where = TLibrarySql::OfKeyword(keyword);
    return BeginMarking(error)
        && Exec(m_connection.get(), QStringLiteral("INSERT INTO temp.lib_marked SELECT id FROM goodslist") + where.Sql(),
                where.Values, error)
        && DeleteMarked(deleted, error);
}

bool TLibraryQuery::DeleteListings(const QStringList& itemKeys, qint64* deleted, QString* error)
{
    *deleted = 0;
    TStatement statement;
    if (!BeginMarking(error)
        || !Exec(m_connection.get(), QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS lib_delete(item TEXT)"), {}, error)
        || !Exec(m_connection.get(), QStringLiteral("DELETE FROM temp.lib_delete"), {}, error)
        || !statement.Prepare(m_connection.get(), QStringLiteral("INSERT INTO temp.lib_delete VALUES (?)"), error)) {
        return false;
    }
    for (const QString& key : itemKeys) {
        statement.Reset();
        if (!statement.Bind({key}, error) || !statement.Run(error)) {
            return false;
        }
    }
    return Exec(m_connection.get(),
                QStringLiteral("INSERT INTO temp.lib_marked SELECT id FROM goodslist WHERE %1 IN "
                               "(SELECT item FROM temp.lib_delete)")
                    .arg(QLatin1String(ItemKeySql)),
                {}, error)
        && DeleteMarked(deleted, error);
}
