#pragma once

#include "library/TLibraryFilter.h"
#include "library/TLibraryRow.h"
#include "library/TLibrarySql.h"
#include "library/TListingGroups.h"
#include "library/TSellerGroups.h"

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class TConnection;

// The rows of goodslist as the library shows them, read through a connection of its own: a view (filter,
// sort, and what a row stands for: a stored row, a listing or a seller) is set, then its size, pages of its rows,
// its keywords and prices are read. Pages of stored rows are found by the key of a neighbouring row (the sort value
// and the id), so reading a page costs the same at any depth. Grouped views are made once when the view is set
// (TListingGroups, TSellerGroups) and read by position.
// One thread uses a query at a time; Interrupt() may come from any thread.
class TLibraryQuery
{
public:
    // Columns of a row of the view, in this order. Grouped rows add the sightings, the lowest and the
    // highest price and the item key; their other columns are those of the latest sighting. A seller's row has
    // columns of its own (TSellerGroups::Columns).
    static const QStringList& Columns();
    static const QStringList& GroupColumns();
    static const QStringList& SellerColumns();
    static const QStringList& ColumnsOf(TLibraryGrouping grouping);

    using TRow = TLibraryRow; // Key: the id, or the position of a grouped row
    struct TPageKey
    {
        QVariant SortValue;
        qint64 Key = 0;
    };

    TLibraryQuery();
    ~TLibraryQuery();

    bool Open(const QString& connectionString, QString* error);
    void Close();
    bool IsOpen() const;
    // Ends the statement running now, from any thread; it then fails with "interrupted".
    void Interrupt();
    TLibrarySql::TSchema Schema() const { return m_schema; }
    // The query's connection, for the other reads of the library (history, comparisons) on the same thread.
    TConnection* Connection() const { return m_connection.get(); }

    // Sets the view the other calls read. Fails on a filter that cannot be applied (Validate).
    bool SetView(const TLibraryFilter& filter, const TLibrarySort& sort, TLibraryGrouping grouping, QString* error);
    bool SetView(const TLibraryFilter& filter, const TLibrarySort& sort, bool grouped, QString* error)
    {
        return SetView(filter, sort, grouped ? TLibraryGrouping::Listings : TLibraryGrouping::Rows, error);
    }
    TLibraryGrouping Grouping() const { return m_grouping; }
    bool Grouped() const { return m_grouping == TLibraryGrouping::Listings; }

    // Rows of the view (grouped: listings, or sellers).
    bool Count(qint64* rows, QString* error);
    // Distinct listings among the rows of the view.
    bool CountListings(qint64* listings, QString* error);
    // Up to limit rows after a key (or from the start without one), in the view's order; backward reads
    // the rows before the key (or from the end) and returns them in the view's order too.
    bool Page(const TPageKey* after, bool backward, int limit, std::vector<TRow>* rows, QString* error);
    // Up to limit rows from a position. Grouped views reach it directly; others step over the rows before it.
    bool PageAt(qint64 offset, int limit, std::vector<TRow>* rows, QString* error);

    // Every stored keyword with its number of rows, by keyword; the rows stored without a keyword (empty or
    // NULL) come first, as the empty keyword.
    bool Keywords(std::vector<std::pair<QString, qint64>>* keywords, QString* error);
    // The prices of the view's rows (grouped: the latest price of each listing; by seller: of the rows), ascending.
    bool Prices(std::vector<double>* prices, QString* error);
    // Deletes rows by id, every row of a keyword (the empty one: the rows stored without one), every row of some
    // listings: the rows there are when the call starts, in batches of DeleteBatchRows, each its own transaction (see
    // DeleteMarked). *deleted is the number of rows deleted, also when a batch failed.
    static constexpr int DeleteBatchRows = 5000;
    static constexpr int DeletePauseMs = 20;
    bool DeleteIds(const std::vector<qint64>& ids, qint64* deleted, QString* error);
    bool DeleteKeyword(const QString& keyword, qint64* deleted, QString* error);
    bool DeleteListings(const QStringList& itemKeys, qint64* deleted, QString* error);

private:
    QString SelectList() const;
    QString SortColumn() const;
    bool ReadRows(const QString& sql, const QVariantList& values, std::vector<TRow>* rows, QString* error);
    bool ReadSegment(const QString& segment, const QVariantList& values, const QString& order, int limit,
                     std::vector<TRow>* rows, QString* error);
    bool CheckKeys(QString* error);
    const TGroupedView* Positional() const;
    bool PagePositional(const TPageKey* after, bool backward, int limit, std::vector<TRow>* rows, QString* error);
    bool InTransaction(const std::function<bool(QString*)>& work, QString* error);
    bool BeginMarking(QString* error);
    bool DeleteMarked(qint64* deleted, QString* error);

    std::unique_ptr<TConnection> m_connection;
    mutable QMutex m_handleLock; // Interrupt() against Close()
    TLibrarySql::TSchema m_schema;
    TLibraryFilter m_filter;
    TLibrarySort m_sort;
    TLibraryGrouping m_grouping = TLibraryGrouping::Rows;
    TLibrarySql::TCondition m_where;
    bool m_keysMissing = false; // rows without an item key are stored (TLibrarySql::ItemKey)
    QString m_itemKey;
    TListingGroups m_groups;
    TSellerGroups m_sellers;
};
