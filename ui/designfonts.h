// The faces the windows are designed in, with free stand-ins where a face is
// not installed: Liberation Sans has Arial's metrics, so texts keep their
// designed widths; the title's brush face is replaced by a bold italic one.
#pragma once

#include <QFont>

namespace talveno::ui {

// Arial at pixelSize pixels, else Liberation Sans, else DejaVu Sans.
QFont arialFont(int pixelSize);
// MS Sans Serif at pixelSize pixels, else Liberation Sans, else DejaVu Sans.
QFont msSansSerifFont(int pixelSize);
// Staccato222 BT at pixelSize pixels; where it is missing, a bold italic
// serif face (Liberation Serif, else DejaVu Serif) in its place.
QFont staccatoFont(int pixelSize);

}  // namespace talveno::ui
