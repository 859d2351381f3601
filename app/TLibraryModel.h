#pragma once

#include "library/TLibraryFilter.h"
#include "library/TLibraryQuery.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QSet>
#include <QString>

#include <atomic>
#include <vector>

class TLibraryWorker;

// The library's rows for a table view, fetched in pages on the worker's thread as the view asks for them.
// Only the pages near what the view shows are kept, so memory stays flat however many rows there are. A
// page is found by the key of a loaded neighbour, or from the end; a jump far into the table reads from
// its position. Rows that have not arrived yet show empty until their page is there.
class TLibraryModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int PageRows = 200;
    static constexpr int KeptPages = 24;

    struct TColumn
    {
        QString Field; // a column of TLibraryQuery's rows
        QString Title;
        int Width = 20; // in characters
    };

    // The columns of each view: stored rows, listings, sellers.
    TLibraryModel(TLibraryWorker* worker, std::vector<TColumn> columns, std::vector<TColumn> groupColumns,
                  std::vector<TColumn> sellerColumns, QObject* parent = nullptr);

    // Shows a new view from its first row. The sort stays on its column; a column the other view lacks
    // (the grouped view's own) leaves the rows in the order of collection, the newest first.
    void SetView(const TLibraryFilter& filter, TLibraryGrouping grouping);
    void SetView(const TLibraryFilter& filter, bool grouped)
    {
        SetView(filter, grouped ? TLibraryGrouping::Listings : TLibraryGrouping::Rows);
    }
    // The order the next view is read in (a kept one, before the first view); sort() reads the view anew.
    void SetSort(const TLibrarySort& sort) { m_sort = sort; }
    // Drops the jobs of this model that wait and interrupts the one that runs; no rows are read until the
    // view is read anew (SetView or a sort), which the caller is about to do.
    void Interrupt();
    // The column of a field in the view shown; -1 when it has none.
    int ColumnOfField(const QString& field) const;
    // The text of a failure a newer request caused, which is no failure of the view.
    static bool IsInterruption(const QString& error);
    const TLibraryFilter& Filter() const { return m_filter; }
    bool Grouped() const { return m_grouping == TLibraryGrouping::Listings; }
    TLibraryGrouping Grouping() const { return m_grouping; }
    const TLibrarySort& Sort() const { return m_sort; }

    // Rows (grouped: listings) of the view, and the distinct listings among them; -1 until known.
    qint64 TotalRows() const { return m_total; }
    qint64 Listings() const { return m_listings; }
    // The field shown in a column; and a loaded row's value of a field (null when not loaded). Times of collection
    // are shown in local time (TTimeText); RowValue gives them as stored.
    QString FieldOfColumn(int column) const;
    QVariant RowValue(int row, const QString& field) const;
    bool IsLoaded(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

signals:
    void CountsChanged();
    void PageLoaded();
    void QueryFailed(const QString& error);

private:
    struct TPlan
    {
        enum Kind { None, Start, After, Before, End, At } Kind = Start; // None: the page cannot be read
        TLibraryQuery::TPageKey Key;
        int Limit = PageRows;
        qint64 Offset = 0;
    };

    void Start();
    void RequestPage(int page) const;
    TPlan PlanOf(int page) const;
    void TakePage(quint64 generation, int page, std::vector<TLibraryQuery::TRow> rows, const QString& error);
    void TakeCounts(quint64 generation, qint64 total, qint64 listings, bool listingsKnown, const QString& error);
    void SetRowCount(qint64 rows);
    void KeepPagesNear(int page);
    const std::vector<TColumn>& Columns() const;
    const TLibraryQuery::TRow* Row(int row) const;

    TLibraryWorker* m_worker;
    std::vector<TColumn> m_columns;
    std::vector<TColumn> m_groupColumns;
    std::vector<TColumn> m_sellerColumns;
    TLibraryFilter m_filter;
    TLibrarySort m_sort = TLibrarySort::Newest();
    TLibraryGrouping m_grouping = TLibraryGrouping::Rows;
    quint64 m_generation = 0;
    std::atomic<quint64> m_current{0}; // the generation the worker should still work for
    int m_rows = 0;
    qint64 m_total = -1;
    qint64 m_listings = -1;
    mutable QHash<int, std::vector<TLibraryQuery::TRow>> m_pages;
    mutable QSet<int> m_pending;
    QSet<int> m_failed; // pages whose read failed: not asked for again until the view is read anew
};
