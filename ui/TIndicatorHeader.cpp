#include "ui/TIndicatorHeader.h"

#include "ui/TTitleHeader.h"

#include <QPainter>
#include <QPolygon>

namespace {
const int MarkerWidth = 12;
}

TIndicatorHeader::TIndicatorHeader(QWidget* parent)
    : QHeaderView(Qt::Vertical, parent)
{
    setSectionsClickable(false);
    setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void TIndicatorHeader::SetCurrentRow(int row)
{
    if (row == m_currentRow) {
        return;
    }
    const int previous = m_currentRow;
    m_currentRow = row;
    if (previous >= 0) {
        updateSection(previous);
    }
    if (row >= 0) {
        updateSection(row);
    }
}

void TIndicatorHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    painter->save();
    QHeaderView::paintSection(painter, rect.adjusted(MarkerWidth, 0, 0, 0), logicalIndex);
    painter->restore();
    TTitleHeader::DrawRaised(painter, rect, palette());
    if (logicalIndex != m_currentRow) {
        return;
    }
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setBrush(palette().color(QPalette::WindowText));
    painter->setPen(Qt::NoPen);
    const int cy = rect.center().y();
    const int x = rect.left() + 3;
    painter->drawPolygon(QPolygon({QPoint(x, cy - 4), QPoint(x + 5, cy), QPoint(x, cy + 4)}));
    painter->restore();
}

QSize TIndicatorHeader::sectionSizeFromContents(int logicalIndex) const
{
    QSize size = QHeaderView::sectionSizeFromContents(logicalIndex);
    size.rwidth() += MarkerWidth;
    return size;
}
