#pragma once

#include <QSet>
#include <QStyledItemDelegate>

// Draws the cells of link columns blue and underlined.
class TLinkDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit TLinkDelegate(QObject* parent = nullptr);

    void SetLinkColumns(const QSet<int>& columns) { m_linkColumns = columns; }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    QSet<int> m_linkColumns;
};
