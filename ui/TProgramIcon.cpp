#include "ui/TProgramIcon.h"

#include <QColor>
#include <QPainter>
#include <QPolygonF>
#include <QStringList>

namespace {
const QColor Tile(0, 128, 128);
const QColor Letter(255, 128, 0);
const QRectF TileRect(1, 1, 30, 30);
constexpr qreal TileRadius = 6;
const QPolygonF
    LetterOutline({{6, 24}, {10, 9}, {16, 18}, {22, 9}, {26, 24}, {21, 24}, {19, 17}, {16, 22}, {13, 17}, {11, 24}});

QString SvgPoints(const QPolygonF& polygon)
{
    QStringList points;
    for (const QPointF& point : polygon) {
        points.append(QStringLiteral("%1,%2").arg(point.x()).arg(point.y()));
    }
    return points.join(QLatin1Char(' '));
}
} // namespace

namespace TProgramIcon {

void Paint(QPainter& painter, int size)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(static_cast<qreal>(size) / DesignSize, static_cast<qreal>(size) / DesignSize);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Tile);
    painter.drawRoundedRect(TileRect, TileRadius, TileRadius);
    painter.setBrush(Letter);
    painter.drawPolygon(LetterOutline);
    painter.restore();
}

QImage Render(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    Paint(painter, size);
    return image;
}

QByteArray Svg()
{
    const QString document
        = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                         "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" viewBox=\"0 0 %1 %1\">\n"
                         "  <rect x=\"%2\" y=\"%3\" width=\"%4\" height=\"%5\" rx=\"%6\" fill=\"%7\"/>\n"
                         "  <polygon points=\"%8\" fill=\"%9\"/>\n"
                         "</svg>\n");
    return document.arg(DesignSize)
        .arg(TileRect.x())
        .arg(TileRect.y())
        .arg(TileRect.width())
        .arg(TileRect.height())
        .arg(TileRadius)
        .arg(Tile.name(), SvgPoints(LetterOutline), Letter.name())
        .toUtf8();
}

} // namespace TProgramIcon
