#include "ui/TTitleHeader.h"

#include <QPainter>
#include <qdrawutil.h>

TTitleHeader::TTitleHeader(QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent)
{
    // As a table view's own title row: a click on a title sorts.
    setSectionsClickable(true);
}

void TTitleHeader::DrawRaised(QPainter* painter, const QRect& rect, const QPalette& palette)
{
    painter->save();
    qDrawShadePanel(painter, rect, palette, false, 1);
    painter->restore();
}

void TTitleHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    painter->save();
    QHeaderView::paintSection(painter, rect, logicalIndex);
    painter->restore();
    DrawRaised(painter, rect, palette());
}
