#pragma once
// The program's icon: three map layers stacked into one. Painted rather than loaded, so that it needs no
// image plugin; resources/fennick.svg is the same figure for the desktop entry.

#include <QIcon>
#include <QPixmap>

namespace fennick {

// The icon at the usual sizes (16 to 256 pixels).
QIcon FennickIcon();
// The icon painted at size x size pixels (the desktop's icon theme gets these as PNG files).
QPixmap FennickPixmap(int size);

} // namespace fennick
