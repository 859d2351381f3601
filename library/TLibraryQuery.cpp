#include "library/TLibraryQuery.h"

#include "page/TItemKey.h"
#include "storage/TItemSummary.h"
#include "storage/TLibrarySchema.h"
#include "storage/TRunSchema.h"
#include "storage/engine/TConnection.h"
#include "storage/engine/TStatement.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace {
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
    static const QStringList columns = Columns() + TListingGroups::OwnColumns();
    return columns;
}

const QStringList& TLibraryQuery::SellerColumns()
{
    return TSellerGroups::Columns();
}

const QStringList& TLibraryQuery::ColumnsOf(TLibraryGrouping grouping)
{
    switch (grouping) {
    case TLibraryGrouping::Listings:
        return GroupColumns();
    case TLibraryGrouping::Sellers:
        return SellerColumns();
    case TLibraryGrouping::Rows:
        break;
    }
    return Columns();
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
    m_schema.ItemKey = columns.contains(QLatin1String(TRunSchema::ItemKeyColumn), Qt::CaseInsensitive);
    m_schema.ItemSummary = m_schema.ItemKey && TItemSummary::IsInPlace(connection.get());
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

bool TLibraryQuery::SetView(const TLibraryFilter& filter, const TLibrarySort& sort, TLibraryGrouping grouping,
                            QString* error)
{
    if (!filter.Validate(error)) {
        return false;
    }
    if (!sort.Column.isEmpty() && !ColumnsOf(grouping).contains(sort.Column)) {
        *error = QStringLiteral("%1: no such column").arg(sort.Column);
        return false;
    }
    m_filter = filter;
    m_sort = sort;
    m_grouping = grouping;
    m_where = TLibrarySql::Where(filter, m_schema);
    if (!CheckKeys(error)) {
        return false;
    }
    switch (grouping) {
    case TLibraryGrouping::Listings:
        return m_groups.Build(
            m_connection.get(),
            {m_schema, m_where, m_itemKey, m_schema.ItemSummary && !m_keysMissing && m_where.IsEmpty(), SelectList()},
            sort, error);
    case TLibraryGrouping::Sellers:
        return m_sellers.Build(m_connection.get(), {m_schema, m_where, m_itemKey}, sort, error);
    case TLibraryGrouping::Rows:
        break;
    }
    return true;
}

// Rows a program of an earlier version stored since the last start have no item key yet: while there are any, the
// key is computed for them, and neither the summary of the listings nor the key's index can serve.
bool TLibraryQuery::CheckKeys(QString* error)
{
    m_keysMissing = false;
    if (m_schema.ItemKey) {
        qint64 missing = 0;
        if (!ReadInt(m_connection.get(),
                     QStringLiteral("SELECT EXISTS (SELECT 1 FROM goodslist WHERE item_key IS NULL)"), {}, &missing,
                     error)) {
            return false;
        }
        m_keysMissing = missing != 0;
    }
    m_itemKey = TLibrarySql::ItemKey(m_schema, m_keysMissing);
    return true;
}

const TGroupedView* TLibraryQuery::Positional() const
{
    switch (m_grouping) {
    case TLibraryGrouping::Listings:
        return &m_groups;
    case TLibraryGrouping::Sellers:
        return &m_sellers;
    case TLibraryGrouping::Rows:
        break;
    }
    return nullptr;
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

bool TLibraryQuery::Count(qint64* rows, QString* error)
{
    if (const TGroupedView* view = Positional()) {
        *rows = view->Count();
        return true;
    }
    return ReadInt(m_connection.get(), QStringLiteral("SELECT count(*) FROM goodslist") + m_where.Sql(), m_where.Values,
                   rows, error);
}

bool TLibraryQuery::CountListings(qint64* listings, QString* error)
{
    if (m_grouping == TLibraryGrouping::Listings) {
        return Count(listings, error);
    }
    if (m_where.IsEmpty() && m_schema.ItemSummary && !m_keysMissing) {
        return ReadInt(m_connection.get(), QStringLiteral("SELECT listings FROM itemcount"), {}, listings, error);
    }
    return ReadInt(m_connection.get(),
                   QStringLiteral("SELECT count(DISTINCT %1) FROM goodslist").arg(m_itemKey) + m_where.Sql(),
                   m_where.Values, listings, error);
}

bool TLibraryQuery::ReadRows(const QString& sql, const QVariantList& values, std::vector<TRow>* rows, QString* error)
{
    TStatement statement;
    if (!statement.Prepare(m_connection.get(), sql, error) || !statement.Bind(values, error)) {
        return false;
    }
    const QStringList& columns = Columns();
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
    if (Positional() != nullptr) {
        return PagePositional(after, backward, limit, rows, error);
    }
    const bool ascending = m_sort.Descending == backward;
    const QString less = ascending ? QStringLiteral(">") : QStringLiteral("<");
    const QString direction = ascending ? QString() : QStringLiteral(" DESC");
    bool ok = true;
    if (SortColumn() == QLatin1String("id")) {
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

// A grouped row's key is its position from 1: the rows after a key start at that position (from 0).
bool TLibraryQuery::PagePositional(const TPageKey* after, bool backward, int limit, std::vector<TRow>* rows,
                                   QString* error)
{
    const TGroupedView* view = Positional();
    if (!backward) {
        return view->Read(m_connection.get(), after != nullptr ? after->Key : 0, limit, rows, error);
    }
    const qint64 end = after != nullptr ? after->Key - 1 : view->Count();
    const qint64 first = std::max<qint64>(end - limit, 0);
    return view->Read(m_connection.get(), first, static_cast<int>(end - first), rows, error);
}

bool TLibraryQuery::PageAt(qint64 offset, int limit, std::vector<TRow>* rows, QString* error)
{
    rows->clear();
    if (const TGroupedView* view = Positional()) {
        return view->Read(m_connection.get(), offset, limit, rows, error);
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
    if (m_grouping == TLibraryGrouping::Listings) {
        return m_groups.Prices(m_connection.get(), prices, error);
    }
    TStatement statement;
    TLibrarySql::TCondition where = m_where;
    where.Parts.append(QStringLiteral("view_price IS NOT NULL"));
    if (!statement.Prepare(m_connection.get(),
                           QStringLiteral("SELECT view_price FROM goodslist") + where.Sql()
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
        && Exec(m_connection.get(),
                QStringLiteral("INSERT INTO temp.lib_marked SELECT id FROM goodslist") + where.Sql(), where.Values,
                error)
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
    // The rows with a stored key are found by its index; those without one yet by the key computed for them.
    const QString computed = TLibrarySql::ItemKey(TLibrarySql::TSchema(), false);
    const QString sql = m_schema.ItemKey
        ? QStringLiteral("INSERT INTO temp.lib_marked SELECT id FROM goodslist WHERE item_key IN "
                         "(SELECT item FROM temp.lib_delete) UNION SELECT id FROM goodslist WHERE item_key IS NULL "
                         "AND %1 IN (SELECT item FROM temp.lib_delete)")
              .arg(computed)
        : QStringLiteral("INSERT INTO temp.lib_marked SELECT id FROM goodslist WHERE %1 IN "
                         "(SELECT item FROM temp.lib_delete)")
              .arg(computed);
    return Exec(m_connection.get(), sql, {}, error) && DeleteMarked(deleted, error);
}
