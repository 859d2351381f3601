#include "ui/TGlyphs.h"

#include "ui/TProgramIcon.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {
const QColor Teal(0, 128, 128);
const QColor Amber(255, 128, 0);

QPixmap Canvas(int width, int height)
{
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    return pixmap;
}
} // namespace

namespace TGlyphs {

QIcon CollectGlyph()
{
    QPixmap pixmap = Canvas(16, 16);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Teal, 1.6));
    p.drawPolyline(QPolygonF({{2, 10}, {2, 14}, {14, 14}, {14, 10}}));
    QPainterPath arrow;
    arrow.moveTo(6, 1);
    arrow.lineTo(10, 1);
    arrow.lineTo(10, 6);
    arrow.lineTo(13, 6);
    arrow.lineTo(8, 11);
    arrow.lineTo(3, 6);
    arrow.lineTo(6, 6);
    arrow.closeSubpath();
    p.fillPath(arrow, Amber);
    return QIcon(pixmap);
}

QIcon StopGlyph()
{
    QPixmap pixmap = Canvas(16, 16);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(200, 30, 30));
    p.setPen(QPen(QColor(120, 0, 0), 1));
    p.drawRoundedRect(QRectF(2.5, 2.5, 11, 11), 2, 2);
    return QIcon(pixmap);
}

QPixmap ProgramIcon()
{
    return QPixmap::fromImage(TProgramIcon::Render(32));
}

QPixmap LogoPicture()
{
    QPixmap pixmap = Canvas(161, 68);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, 161, 68);
    gradient.setColorAt(0, Teal);
    gradient.setColorAt(1, Teal.darker(140));
    p.setBrush(gradient);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(0.5, 0.5, 160, 67), 10, 10);
    p.drawPixmap(10, 18, ProgramIcon());
    QFont font(QStringLiteral("Sans Serif"));
    font.setPixelSize(22);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(46, 10, 112, 48), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Mercatix"));
    return pixmap;
}

QIcon WindowIcon()
{
    // Drawn at each size the desktop asks for, like the icon files installed for the desktop entry.
    QIcon icon;
    for (const int size : TProgramIcon::ThemeSizes) {
        icon.addPixmap(QPixmap::fromImage(TProgramIcon::Render(size)));
    }
    return icon;
}

} // namespace TGlyphs
