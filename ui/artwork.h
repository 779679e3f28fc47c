// The program's pictures, drawn here rather than loaded: the program icon
// (a measuring bar under a canopy, lit by the sun), the connect button's
// check mark and the maker's banner.
#pragma once

#include <QIcon>
#include <QImage>
#include <QSize>

namespace talveno::ui {

// The program icon as a square image of size × size pixels.
QImage programIconImage(int size);

// The program icon at the sizes a window system asks for.
QIcon programIcon();

// The OK glyph of the connect button: a green check mark, as the platform's
// standard OK glyph shows it, at its sizes.
QIcon checkMarkIcon();

// The maker's banner at the given size (the main window shows it at 280 × 42).
QImage bannerImage(QSize size);

}  // namespace talveno::ui
