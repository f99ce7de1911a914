// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QFont>

namespace padscreen_qt {

// The font of the program's own windows and message boxes. The layout was
// made for a small dialog font; a narrow face at 13 pixels is as tall and,
// letter for letter, as wide as the 11-pixel face it replaces, and leaves
// every button caption clear of its button's edges.
QFont ui_font();

} // namespace padscreen_qt
