#pragma once

#include <QHeaderView>

// The grid's indicator column: the record number of each row and a marker at the current row.
class TIndicatorHeader : public QHeaderView
{
    Q_OBJECT

public:
    explicit TIndicatorHeader(QWidget* parent = nullptr);

    void SetCurrentRow(int row);
    int CurrentRow() const { return m_currentRow; }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    QSize sectionSizeFromContents(int logicalIndex) const override;

private:
    int m_currentRow = -1;
};
