#pragma once

#include <QHeaderView>

// The grid's title row: sections drawn as raised cells.
class TTitleHeader : public QHeaderView
{
    Q_OBJECT

public:
    explicit TTitleHeader(QWidget* parent = nullptr);

    // Draws a raised edge round a fixed cell: light above and left, shadow below and right.
    static void DrawRaised(QPainter* painter, const QRect& rect, const QPalette& palette);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
};
