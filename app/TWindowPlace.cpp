#include "app/TWindowPlace.h"

#include "app/TWindowBounds.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void TWindowPlace::CentreOnOwnerScreen(QWidget* window, const QWidget* owner, const QSize& wanted)
{
    const QWidget* anchor = owner != nullptr ? owner->window() : nullptr;
    const QScreen* screen = anchor != nullptr ? anchor->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen != nullptr ? screen->availableGeometry() : QRect(QPoint(0, 0), wanted);
    TWindowBounds::TBounds bounds;
    bounds.Width = wanted.width();
    bounds.Height = wanted.height();
    bounds.Left = area.center().x() - wanted.width() / 2;
    bounds.Top = area.center().y() - wanted.height() / 2;
    const TWindowBounds::TPlacement placement
        = TWindowBounds::FitToArea(bounds, QMargins(), area, window->minimumSizeHint());
    window->move(placement.Pos);
    window->resize(placement.Size);
}
