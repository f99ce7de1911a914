#pragma once

#include <QIcon>

namespace padscreen_qt {

// The program's icon, drawn from its SVG at 16, 24, 32, 48, 64 and 128 pixels.
QIcon application_icon();

} // namespace padscreen_qt
