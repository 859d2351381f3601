#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

// Fits window bounds, as the settings file keeps them, to a screen: the window's outer frame lies inside the
// available area of the screen that holds most of it (the primary screen when none does), and the client area
// is at least the minimum size where the screen has room for it. Any stored values are accepted.
namespace TWindowBounds {
// Left and top of the outer frame, width and height of the client area; wide enough for any stored integer.
struct TBounds
{
    qint64 Left = 0;
    qint64 Top = 0;
    qint64 Width = 0;
    qint64 Height = 0;
};

struct TPlacement
{
    QPoint Pos; // the outer frame's top left corner
    QSize Size; // the client area
};

// The placement inside one area; frame is the width of the window's frame on each side.
TPlacement FitToArea(const TBounds& wanted, const QMargins& frame, const QRect& area, const QSize& minimum);
// The available area of the screen that holds most of the outer frame, or of the primary screen.
QRect AreaFor(const TBounds& wanted, const QMargins& frame);
TPlacement Fit(const TBounds& wanted, const QMargins& frame, const QSize& minimum);
} // namespace TWindowBounds
