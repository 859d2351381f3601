#include "ui/TGridView.h"

#include "ui/TTitleHeader.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyleOptionViewItem>

TGridView::TGridView(QWidget* parent)
    : QTableView(parent)
{
    setHorizontalHeader(new TTitleHeader(this));
}

// The colour the table draws its own grid lines in, so the extended lines match them.
QColor TGridView::GridLineColor() const
{
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    return QColor::fromRgba(static_cast<QRgb>(style()->styleHint(QStyle::SH_Table_GridLineColor, &option, this)));
}

void TGridView::paintEvent(QPaintEvent* event)
{
    QTableView::paintEvent(event);
    if (showGrid()) {
        ExtendColumnLines();
    }
}

// The table draws a column's line at the right edge of each of its cells; below the last row the line
// goes on at the same place down to the bottom of the viewport.
void TGridView::ExtendColumnLines()
{
    const int rows = model() != nullptr ? model()->rowCount(rootIndex()) : 0;
    const int lastRow = rows > 0 ? verticalHeader()->logicalIndex(rows - 1) : -1;
    const int top = lastRow >= 0 ? rowViewportPosition(lastRow) + rowHeight(lastRow) : 0;
    const int bottom = viewport()->height();
    if (top >= bottom) {
        return;
    }
    QPainter painter(viewport());
    painter.setPen(QPen(GridLineColor(), 0, gridStyle()));
    const QHeaderView* header = horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        if (header->isSectionHidden(column)) {
            continue;
        }
        const int x = columnViewportPosition(column) + columnWidth(column) - 1;
        if (x >= 0 && x < viewport()->width()) {
            painter.drawLine(x, top, x, bottom - 1);
        }
    }
}
