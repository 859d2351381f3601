#include "app/TComparisonModel.h"

#include "app/TDisplayText.h"
#include "storage/engine/TRowSet.h"
#include "storage/engine/TRowSetModel.h"

#include <QBrush>
#include <QColor>

#include <cmath>
#include <limits>

namespace {
const char* const Titles[] = {"变化", "标题", "原价", "新价", "差额", "幅度", "商品编号", "详细"};
// The field name of a column where it is one of goodslist's, so that the grid's cell menu finds the detail page.
const char* const Fields[] = {"", "title", "", "", "", "", "item_key", "detail_url"};

// Prices have cents at most: what a difference holds below them is the rounding of binary fractions.
double Cents(double value)
{
    return std::round(value * 100) / 100;
}

bool IsNumberColumn(int column)
{
    return column == TComparisonModel::ColOld || column == TComparisonModel::ColNew
        || column == TComparisonModel::ColChange || column == TComparisonModel::ColPercent;
}
} // namespace

TComparisonModel::TComparisonModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void TComparisonModel::SetChanges(std::vector<TRunChange> changes)
{
    beginResetModel();
    m_changes = std::move(changes);
    endResetModel();
}

QString TComparisonModel::KindName(TRunChange::Kind kind)
{
    static const char* const names[] = {"new", "gone", "cheaper", "dearer"};
    return QLatin1String(names[kind]);
}

QString TComparisonModel::KindText(TRunChange::Kind kind)
{
    static const char* const texts[] = {"新增", "消失", "降价", "涨价"};
    return QString::fromUtf8(texts[kind]);
}

QVariant TComparisonModel::Change(const TRunChange& change)
{
    if (change.OldPrice.isNull() || change.NewPrice.isNull()) {
        return QVariant();
    }
    return Cents(change.NewPrice.toDouble() - change.OldPrice.toDouble());
}

QVariant TComparisonModel::Percent(const TRunChange& change)
{
    const QVariant difference = Change(change);
    const double old = change.OldPrice.toDouble();
    if (difference.isNull() || old == 0) {
        return QVariant();
    }
    return Cents(difference.toDouble() / old * 100);
}

int TComparisonModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_changes.size());
}

int TComparisonModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TComparisonModel::Value(const TRunChange& change, int column) const
{
    switch (column) {
    case ColKind:
        return KindText(change.Change);
    case ColTitle:
        return change.Title;
    case ColOld:
        return change.OldPrice.isNull() ? QVariant() : QVariant(change.OldPrice.toDouble());
    case ColNew:
        return change.NewPrice.isNull() ? QVariant() : QVariant(change.NewPrice.toDouble());
    case ColChange:
        return Change(change);
    case ColPercent:
        return Percent(change);
    case ColItem:
        return change.ItemKey;
    case ColLink:
        return change.DetailUrl;
    default:
        return QVariant();
    }
}

QVariant TComparisonModel::Display(const TRunChange& change, int column) const
{
    const QVariant value = Value(change, column);
    if (column == ColPercent) {
        return TDisplayText::Percent(value);
    }
    if (column == ColChange && !value.isNull() && value.toDouble() > 0) {
        return QLatin1Char('+') + TDisplayText::Price(value);
    }
    return IsNumberColumn(column) ? TDisplayText::Price(value) : value;
}

QVariant TComparisonModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount()) {
        return QVariant();
    }
    const TRunChange& change = m_changes[static_cast<size_t>(index.row())];
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return Display(change, column);
    case SortRole:
        if (IsNumberColumn(column)) {
            const QVariant value = Value(change, column);
            return value.isNull() ? std::numeric_limits<double>::lowest() : value.toDouble();
        }
        return column == ColKind ? QVariant(static_cast<int>(change.Change)) : Value(change, column);
    case KindRole:
        return KindName(change.Change);
    case ValueRole:
        return Value(change, column);
    case Qt::TextAlignmentRole:
        return IsNumberColumn(column) ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    case Qt::ForegroundRole:
        // Prices that fell in green, those that rose in red.
        if (column == ColKind || column == ColChange || column == ColPercent) {
            if (change.Change == TRunChange::Cheaper) {
                return QBrush(QColor(0, 128, 0));
            }
            if (change.Change == TRunChange::Dearer) {
                return QBrush(QColor(192, 0, 0));
            }
        }
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant TComparisonModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (role == Qt::DisplayRole) {
        return QString::fromUtf8(Titles[section]);
    }
    if (role == TRowSetModel::FieldNameRole) {
        return QLatin1String(Fields[section]);
    }
    return QVariant();
}
