#include "storage/engine/TRowSetModel.h"

#include "storage/engine/TRowSet.h"

TRowSetModel::TRowSetModel(TRowSet* rowSet, QObject* parent)
    : QAbstractTableModel(parent)
    , m_rowSet(rowSet)
{
    connect(rowSet, &TRowSet::Reset, this, &TRowSetModel::ResetFromRowSet);
    connect(rowSet, &TRowSet::RowsAppended, this, &TRowSetModel::InsertRows);
    connect(rowSet, &TRowSet::RowsChanged, this, &TRowSetModel::ChangeRows);
    connect(rowSet, &TRowSet::FieldsChanged, this, &TRowSetModel::ChangeHeaders);
    TakeColumns();
    m_rows = rowSet->RowCount();
}

int TRowSetModel::FieldOfColumn(int column) const
{
    return column >= 0 && column < m_columns.size() ? m_columns.at(column) : -1;
}

int TRowSetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int TRowSetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant TRowSetModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || m_rowSet == nullptr) {
        return QVariant();
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole) {
        return QVariant();
    }
    return m_rowSet->Value(index.row(), FieldOfColumn(index.column()));
}

QVariant TRowSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical) {
        return role == Qt::DisplayRole ? QVariant(section + 1) : QVariant();
    }
    const int field = FieldOfColumn(section);
    if (field < 0 || m_rowSet == nullptr || field >= m_rowSet->FieldCount()) {
        return QVariant();
    }
    switch (role) {
    case Qt::DisplayRole:
        return m_rowSet->Field(field).DisplayName();
    case DisplayWidthRole:
        return m_rowSet->Field(field).DisplayWidth;
    case FieldNameRole:
        return m_rowSet->Field(field).Name;
    default:
        return QVariant();
    }
}

Qt::ItemFlags TRowSetModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void TRowSetModel::ResetFromRowSet()
{
    beginResetModel();
    TakeColumns();
    m_rows = m_rowSet != nullptr ? m_rowSet->RowCount() : 0;
    endResetModel();
}

void TRowSetModel::InsertRows(int first, int last)
{
    beginInsertRows(QModelIndex(), first, last);
    m_rows = last + 1;
    endInsertRows();
}

void TRowSetModel::ChangeRows(int first, int last)
{
    if (m_columns.isEmpty() || first > last || last >= m_rows) {
        return;
    }
    emit dataChanged(index(first, 0), index(last, static_cast<int>(m_columns.size()) - 1));
}

void TRowSetModel::ChangeHeaders()
{
    if (!m_columns.isEmpty()) {
        emit headerDataChanged(Qt::Horizontal, 0, static_cast<int>(m_columns.size()) - 1);
    }
}

void TRowSetModel::TakeColumns()
{
    m_columns.clear();
    if (m_rowSet == nullptr) {
        return;
    }
    for (int i = 0; i < m_rowSet->FieldCount(); ++i) {
        if (m_rowSet->Field(i).Visible) {
            m_columns.append(i);
        }
    }
}
