#pragma once

#include <QSet>
#include <QStyledItemDelegate>

// Draws the cells of link columns blue and underlined, and shows the whole text of a cell that is cut short as
// its tooltip.
class TLinkDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit TLinkDelegate(QObject* parent = nullptr);

    void SetLinkColumns(const QSet<int>& columns) { m_linkColumns = columns; }

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
    // Whether the cell's text is wider than the room the cell gives it.
    bool IsTruncated(const QStyleOptionViewItem& option, const QModelIndex& index) const;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    QSet<int> m_linkColumns;
};
