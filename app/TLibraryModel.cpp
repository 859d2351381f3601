#include "app/TLibraryModel.h"

#include "library/TLibraryWorker.h"
#include "platform/TTimeText.h"
#include "storage/engine/TRowSet.h"
#include "storage/engine/TRowSetModel.h"

#include <QPointer>

#include <algorithm>
#include <limits>

TLibraryModel::TLibraryModel(TLibraryWorker* worker, std::vector<TColumn> columns, std::vector<TColumn> groupColumns,
                             std::vector<TColumn> sellerColumns, QObject* parent)
    : QAbstractTableModel(parent)
    , m_worker(worker)
    , m_columns(std::move(columns))
    , m_groupColumns(std::move(groupColumns))
    , m_sellerColumns(std::move(sellerColumns))
{
}

void TLibraryModel::SetView(const TLibraryFilter& filter, TLibraryGrouping grouping)
{
    m_filter = filter;
    m_grouping = grouping;
    if (!m_sort.Column.isEmpty() && ColumnOfField(m_sort.Column) < 0) {
        m_sort = TLibrarySort::Newest();
    }
    Start();
}

const std::vector<TLibraryModel::TColumn>& TLibraryModel::Columns() const
{
    switch (m_grouping) {
    case TLibraryGrouping::Listings:
        return m_groupColumns;
    case TLibraryGrouping::Sellers:
        return m_sellerColumns;
    case TLibraryGrouping::Rows:
        break;
    }
    return m_columns;
}

void TLibraryModel::Interrupt()
{
    m_current = 0; // a job of this view that is already past Cancel returns without reading
    m_worker->Cancel(this);
    m_pending.clear();
}

int TLibraryModel::ColumnOfField(const QString& field) const
{
    for (size_t column = 0; column < Columns().size(); ++column) {
        if (!field.isEmpty() && Columns()[column].Field == field) {
            return static_cast<int>(column);
        }
    }
    return -1;
}

bool TLibraryModel::IsInterruption(const QString& error)
{
    return error == QLatin1String("interrupted");
}

void TLibraryModel::sort(int column, Qt::SortOrder order)
{
    const QString field = FieldOfColumn(column);
    m_sort = field.isEmpty() ? TLibrarySort::Newest() : TLibrarySort{field, order == Qt::DescendingOrder};
    Start();
}

// Drops what was loaded and reads the view anew: the view first, then its first page, then its size.
void TLibraryModel::Start()
{
    beginResetModel();
    m_worker->Cancel(this);
    ++m_generation;
    m_current = m_generation;
    m_pages.clear();
    m_pending.clear();
    m_failed.clear();
    m_rows = 0;
    m_total = -1;
    m_listings = -1;
    endResetModel();
    emit CountsChanged();
    const quint64 generation = m_generation;
    const TLibraryFilter filter = m_filter;
    const TLibrarySort sort = m_sort;
    const TLibraryGrouping grouping = m_grouping;
    QPointer<TLibraryModel> self(this);
    m_worker->Post(this, [=, this](TLibraryQuery& query) {
        QString error;
        if (m_current != generation) {
            return;
        }
        if (!query.IsOpen() || !query.SetView(filter, sort, grouping, &error)) {
            quint64 expected = generation;
            m_current.compare_exchange_strong(expected, 0); // no page of this view can be read
            if (!query.IsOpen()) {
                error = m_worker->NotOpenError();
            }
            QMetaObject::invokeMethod(
                self, [=]() { self->TakeCounts(generation, 0, 0, true, error); }, Qt::QueuedConnection);
        }
    });
    RequestPage(0);
    m_worker->Post(this, [=, this](TLibraryQuery& query) {
        if (m_current != generation) {
            return; // a newer view, or this one could not be set (it said why)
        }
        QString error;
        qint64 total = 0;
        const bool counted = query.IsOpen() && query.Count(&total, &error);
        if (!counted && error.isEmpty()) {
            error = m_worker->NotOpenError();
        }
        QMetaObject::invokeMethod(
            self, [=]() { self->TakeCounts(generation, total, -1, false, counted ? QString() : error); },
            Qt::QueuedConnection);
        if (!counted || m_current != generation) {
            return;
        }
        qint64 listings = 0;
        const bool distinct = query.CountListings(&listings, &error);
        QMetaObject::invokeMethod(
            self, [=]() { self->TakeCounts(generation, total, listings, true, distinct ? QString() : error); },
            Qt::QueuedConnection);
    });
}

TLibraryModel::TPlan TLibraryModel::PlanOf(int page) const
{
    TPlan plan;
    if (page == 0) {
        return plan;
    }
    if (const auto before = m_pages.constFind(page - 1); before != m_pages.constEnd() && !before->empty()) {
        plan.Kind = TPlan::After;
        plan.Key = {before->back().SortValue, before->back().Key};
        return plan;
    }
    if (const auto after = m_pages.constFind(page + 1); after != m_pages.constEnd() && !after->empty()) {
        plan.Kind = TPlan::Before;
        plan.Key = {after->front().SortValue, after->front().Key};
        return plan;
    }
    const qint64 first = static_cast<qint64>(page) * PageRows;
    if (m_total >= 0 && first + PageRows >= m_total) {
        plan.Kind = TPlan::End;
        plan.Limit = static_cast<int>(m_total - first);
        return plan;
    }
    plan.Kind = TPlan::At;
    plan.Offset = first;
    return plan;
}

void TLibraryModel::RequestPage(int page) const
{
    if (page < 0 || m_pages.contains(page) || m_pending.contains(page) || m_failed.contains(page)
        || m_current != m_generation) {
        return; // loaded, on its way, failed, or no view is set to read it from
    }
    m_pending.insert(page);
    const TPlan plan = PlanOf(page);
    const quint64 generation = m_generation;
    QPointer<TLibraryModel> self(const_cast<TLibraryModel*>(this));
    m_worker->Post(this, [=, this](TLibraryQuery& query) {
        if (m_current != generation) {
            return; // a newer view, or this one could not be set (it said why)
        }
        std::vector<TLibraryQuery::TRow> rows;
        QString error = query.IsOpen() ? QString() : m_worker->NotOpenError();
        bool ok = false;
        switch (error.isEmpty() ? plan.Kind : TPlan::None) {
        case TPlan::None:
            break;
        case TPlan::Start:
            ok = query.Page(nullptr, false, plan.Limit, &rows, &error);
            break;
        case TPlan::After:
            ok = query.Page(&plan.Key, false, plan.Limit, &rows, &error);
            break;
        case TPlan::Before:
            ok = query.Page(&plan.Key, true, plan.Limit, &rows, &error);
            break;
        case TPlan::End:
            ok = query.Page(nullptr, true, plan.Limit, &rows, &error);
            break;
        case TPlan::At:
            ok = query.PageAt(plan.Offset, plan.Limit, &rows, &error);
            break;
        }
        QMetaObject::invokeMethod(
            self,
            [self, generation, page, rows = std::move(rows), ok, error]() mutable {
                self->TakePage(generation, page, std::move(rows), ok ? QString() : error);
            },
            Qt::QueuedConnection);
    });
}

void TLibraryModel::TakePage(quint64 generation, int page, std::vector<TLibraryQuery::TRow> rows, const QString& error)
{
    if (generation != m_generation) {
        return;
    }
    m_pending.remove(page);
    if (!error.isEmpty()) {
        // The page's rows stay empty and the view says why; an interrupted read is asked for again.
        if (!IsInterruption(error)) {
            m_failed.insert(page);
        }
        emit QueryFailed(error);
        return;
    }
    const int first = page * PageRows;
    const int count = static_cast<int>(rows.size());
    m_pages.insert(page, std::move(rows));
    KeepPagesNear(page);
    if (m_total < 0 && first + count > m_rows) {
        SetRowCount(first + count); // the size follows once it is counted
    }
    const int last = std::min(first + count, m_rows) - 1;
    if (last >= first && !Columns().empty()) {
        emit dataChanged(index(first, 0), index(last, static_cast<int>(Columns().size()) - 1));
    }
    emit PageLoaded();
}

void TLibraryModel::TakeCounts(quint64 generation, qint64 total, qint64 listings, bool listingsKnown,
                               const QString& error)
{
    if (generation != m_generation) {
        return;
    }
    if (!error.isEmpty()) {
        emit QueryFailed(error);
        return;
    }
    m_total = total;
    if (listingsKnown) {
        m_listings = listings;
    }
    SetRowCount(total);
    emit CountsChanged();
}

void TLibraryModel::SetRowCount(qint64 rows)
{
    const int wanted = static_cast<int>(std::min<qint64>(rows, std::numeric_limits<int>::max()));
    if (wanted > m_rows) {
        beginInsertRows(QModelIndex(), m_rows, wanted - 1);
        m_rows = wanted;
        endInsertRows();
    } else if (wanted < m_rows) {
        beginRemoveRows(QModelIndex(), wanted, m_rows - 1);
        m_rows = wanted;
        endRemoveRows();
    }
}

void TLibraryModel::KeepPagesNear(int page)
{
    while (m_pages.size() > KeptPages) {
        int farthest = page;
        for (auto it = m_pages.constBegin(); it != m_pages.constEnd(); ++it) {
            if (std::abs(it.key() - page) > std::abs(farthest - page)) {
                farthest = it.key();
            }
        }
        m_pages.remove(farthest);
    }
}

const TLibraryQuery::TRow* TLibraryModel::Row(int row) const
{
    const auto page = m_pages.constFind(row / PageRows);
    if (page == m_pages.constEnd()) {
        RequestPage(row / PageRows);
        return nullptr;
    }
    const size_t offset = static_cast<size_t>(row % PageRows);
    return offset < page->size() ? &(*page)[offset] : nullptr;
}

QString TLibraryModel::FieldOfColumn(int column) const
{
    return column >= 0 && column < static_cast<int>(Columns().size()) ? Columns()[static_cast<size_t>(column)].Field
                                                                      : QString();
}

QVariant TLibraryModel::RowValue(int row, const QString& field) const
{
    const TLibraryQuery::TRow* values = Row(row);
    const QStringList& names = TLibraryQuery::ColumnsOf(m_grouping);
    const qsizetype at = names.indexOf(field);
    return values != nullptr && at >= 0 ? values->Values.value(at) : QVariant();
}

bool TLibraryModel::IsLoaded(int row) const
{
    const auto page = m_pages.constFind(row / PageRows);
    return page != m_pages.constEnd() && static_cast<size_t>(row % PageRows) < page->size();
}

int TLibraryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int TLibraryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(Columns().size());
}

QVariant TLibraryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return QVariant();
    }
    const QString field = FieldOfColumn(index.column());
    const QVariant value = RowValue(index.row(), field);
    if (field == QLatin1String("collect_time") && role == Qt::DisplayRole) {
        return value.isNull() ? value : QVariant(TTimeText::Display(value));
    }
    return value;
}

QVariant TLibraryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical) {
        return role == Qt::DisplayRole ? QVariant(section + 1) : QVariant();
    }
    if (section < 0 || section >= static_cast<int>(Columns().size())) {
        return QVariant();
    }
    const TColumn& column = Columns()[static_cast<size_t>(section)];
    switch (role) {
    case Qt::DisplayRole:
        return column.Title;
    case TRowSetModel::DisplayWidthRole:
        return column.Width;
    case TRowSetModel::FieldNameRole:
        return column.Field;
    default:
        return QVariant();
    }
}

Qt::ItemFlags TLibraryModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
}
