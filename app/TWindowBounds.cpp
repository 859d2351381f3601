#include "app/TWindowBounds.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace {
// Larger than any screen; keeps the overlap arithmetic of hostile values far from overflowing.
const qint64 Limit = qint64(1) << 24;

qint64 Bounded(qint64 value)
{
    return std::clamp(value, -Limit, Limit);
}

// The length of the overlap of [a, a + la) and [b, b + lb).
qint64 Overlap(qint64 a, qint64 la, qint64 b, qint64 lb)
{
    return std::max<qint64>(0, std::min(a + la, b + lb) - std::max(a, b));
}

int FitLength(qint64 wanted, int minimum, int room)
{
    room = std::max(1, room);
    return static_cast<int>(std::clamp<qint64>(wanted, std::min(minimum, room), room));
}

int FitStart(qint64 wanted, int areaStart, int areaLength, int length)
{
    const qint64 last = std::max<qint64>(areaStart, qint64(areaStart) + areaLength - length);
    return static_cast<int>(std::clamp<qint64>(wanted, areaStart, last));
}
} // namespace

namespace TWindowBounds {

TPlacement FitToArea(const TBounds& wanted, const QMargins& frame, const QRect& area, const QSize& minimum)
{
    const int frameWidth = frame.left() + frame.right();
    const int frameHeight = frame.top() + frame.bottom();
    TPlacement placement;
    placement.Size.setWidth(FitLength(wanted.Width, minimum.width(), area.width() - frameWidth));
    placement.Size.setHeight(FitLength(wanted.Height, minimum.height(), area.height() - frameHeight));
    placement.Pos.setX(FitStart(wanted.Left, area.left(), area.width(), placement.Size.width() + frameWidth));
    placement.Pos.setY(FitStart(wanted.Top, area.top(), area.height(), placement.Size.height() + frameHeight));
    return placement;
}

QRect AreaFor(const TBounds& wanted, const QMargins& frame)
{
    const qint64 left = Bounded(wanted.Left);
    const qint64 top = Bounded(wanted.Top);
    // A window without a size still has a place: the screen under its corner holds it.
    const qint64 width = std::clamp<qint64>(wanted.Width, 1, Limit) + frame.left() + frame.right();
    const qint64 height = std::clamp<qint64>(wanted.Height, 1, Limit) + frame.top() + frame.bottom();
    QRect best;
    qint64 bestOverlap = 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect area = screen->availableGeometry();
        const qint64 overlap
            = Overlap(left, width, area.left(), area.width()) * Overlap(top, height, area.top(), area.height());
        if (overlap > bestOverlap) {
            bestOverlap = overlap;
            best = area;
        }
    }
    if (bestOverlap > 0) {
        return best;
    }
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary != nullptr ? primary->availableGeometry() : QRect(0, 0, 1024, 768);
}

TPlacement Fit(const TBounds& wanted, const QMargins& frame, const QSize& minimum)
{
    return FitToArea(wanted, frame, AreaFor(wanted, frame), minimum);
}

} // namespace TWindowBounds
