#pragma once

#include <QSize>

class QWidget;

// Where a window opened from another one goes: centred on the screen of the window it was opened from, at the
// size it asks for where the screen has room, else the screen's available area.
namespace TWindowPlace {
void CentreOnOwnerScreen(QWidget* window, const QWidget* owner, const QSize& wanted);
} // namespace TWindowPlace
