// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The drag outline: one logical pixel wide, dashes of black and white in
// turn, so that it shows on the black grid, on white and on grey alike. It
// lies above the drawn layer.

#include "toolkit/controls.h"

#include <QRect>
#include <QRegion>

#include <optional>

class QPainter;

namespace padscreen_qt {

// Only the dashes that fall inside visible are drawn: the outline of a large
// picture runs far past the window, and it moves at every pointer step.
void paint_outline(QPainter& painter, const QRect& r, const QRect& visible);
// The pixels the outline of a rectangle in twips may touch; empty for none.
QRect outline_bounds(const std::optional<tk::Rect>& outline);
// The four edges of a rectangle, two pixels thick: all a drawn frame touches.
QRegion frame_of(const QRect& r);

} // namespace padscreen_qt
