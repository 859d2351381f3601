#pragma once

#include "storage/TRunChange.h"

#include <QAbstractTableModel>

#include <vector>

// The changes between two runs for a table view: the kind of change, the title, the old and the new price, the
// change and the change in percent, the item key and the detail link. Sorting and the filter by kind belong to
// a proxy: SortRole gives numbers as numbers (none below every number), KindRole the kind's name.
class TComparisonModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { ColKind, ColTitle, ColOld, ColNew, ColChange, ColPercent, ColItem, ColLink, ColumnCount };
    static constexpr int SortRole = Qt::UserRole + 10;
    static constexpr int KindRole = Qt::UserRole + 11;
    // The value as an export writes it: prices and changes as numbers (null where none), the rest as text.
    static constexpr int ValueRole = Qt::UserRole + 12;

    explicit TComparisonModel(QObject* parent = nullptr);

    void SetChanges(std::vector<TRunChange> changes);
    const std::vector<TRunChange>& Changes() const { return m_changes; }
    // The kind's name for KindRole ("new", "gone", "cheaper", "dearer") and its text (新增, 消失, 降价, 涨价).
    static QString KindName(TRunChange::Kind kind);
    static QString KindText(TRunChange::Kind kind);
    // new − old, and the same in percent of the old price, both to two decimals; null unless both prices are
    // there (and, for the percent, the old one is not 0).
    static QVariant Change(const TRunChange& change);
    static QVariant Percent(const TRunChange& change);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QVariant Value(const TRunChange& change, int column) const;
    QVariant Display(const TRunChange& change, int column) const;

    std::vector<TRunChange> m_changes;
};
