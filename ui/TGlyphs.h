#pragma once

#include <QIcon>
#include <QPixmap>

// The program's own pictures, drawn at run time.
namespace TGlyphs {
QIcon CollectGlyph(); // 16 x 16: a downward arrow into a tray
QIcon StopGlyph(); // 16 x 16: a red square
QPixmap ProgramIcon(); // 32 x 32
QPixmap LogoPicture(); // 161 x 68
QIcon WindowIcon(); // the program icon at the sizes of the desktop's icon theme
} // namespace TGlyphs
