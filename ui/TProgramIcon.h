#pragma once

#include <QByteArray>
#include <QImage>

#include <array>

class QPainter;

// The program's icon: a teal tile with an amber "M". One drawing serves the window, the logo and the icon
// files of the desktop's icon theme, so that all of them show the same picture at every size.
namespace TProgramIcon {
// The drawing is laid out on a square of this many units.
constexpr int DesignSize = 32;
// The pixel sizes drawn for the window and installed in the icon theme.
constexpr std::array<int, 8> ThemeSizes{16, 22, 24, 32, 48, 64, 128, 256};

// Paints the icon into the square (0, 0, size, size) of the painter.
void Paint(QPainter& painter, int size);
// The icon as a size x size image with a transparent background.
QImage Render(int size);
// The icon as an SVG document of the same shapes, for the theme's scalable size.
QByteArray Svg();
} // namespace TProgramIcon
