// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QRegion>

class QPainter;
namespace tk {
class Control;
}

namespace padscreen_qt {

// Drawing of our own laid into a view's painting: after each control of the
// drawn layer, and once more above all of them. It asks the view to repaint
// what it changed through WindowView::invalidate.
class ViewOverlay {
public:
    virtual ~ViewOverlay() = default;
    virtual bool paints_after(const tk::Control& control) const = 0;
    virtual void paint_after(QPainter& painter, const tk::Control& control) = 0;
    // Above every control, within area only.
    virtual void paint_above(QPainter& painter, const QRegion& area) = 0;
};

} // namespace padscreen_qt
