#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <QVector>

class TRowSet;

// A read-only table model over a row set: one column per visible field, titled with the field's display
// label, one row per posted row. Rows the row set announces as appended arrive as inserted rows.
// The model carries no styling; the view decides how values look.
class TRowSetModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // Header data role: the field's display width in characters (an int).
    static constexpr int DisplayWidthRole = Qt::UserRole + 1;
    // Header data role: the field's column name.
    static constexpr int FieldNameRole = Qt::UserRole + 2;

    explicit TRowSetModel(TRowSet* rowSet, QObject* parent = nullptr);

    // The row set's field index shown in a column, or -1.
    int FieldOfColumn(int column) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void ResetFromRowSet();
    void InsertRows(int first, int last);
    void ChangeRows(int first, int last);
    void ChangeHeaders();
    void TakeColumns();

    QPointer<TRowSet> m_rowSet;
    QVector<int> m_columns; // field index of each column
    int m_rows = 0;
};
