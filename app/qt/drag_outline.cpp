// SPDX-License-Identifier: GPL-2.0-or-later
#include "drag_outline.h"

#include "units.h"

#include <QPainter>

#include <algorithm>

namespace padscreen_qt {

namespace {

constexpr int kDash = 4; // pixels

} // namespace

void paint_outline(QPainter& painter, const QRect& r, const QRect& visible) {
    const auto dashes = [&painter, &visible](QPoint from, QPoint step, int length) {
        // The stretch of this edge inside visible, in whole dashes so their phase stays.
        const int along = step.x() != 0 ? from.x() : from.y();
        const int lo = step.x() != 0 ? visible.left() : visible.top();
        const int hi = step.x() != 0 ? visible.right() : visible.bottom();
        const int across = step.x() != 0 ? from.y() : from.x();
        const int side_lo = step.x() != 0 ? visible.top() : visible.left();
        const int side_hi = step.x() != 0 ? visible.bottom() : visible.right();
        if (across < side_lo || across > side_hi) {
            return;
        }
        const int first = std::max(0, (lo - along) / kDash * kDash);
        const int last = std::min(length, hi - along + 1);
        for (int k = first; k < last; k += kDash) {
            const int n = std::min(kDash, length - k);
            const QRect piece(from + step * k, step.x() != 0 ? QSize(n, 1) : QSize(1, n));
            painter.fillRect(piece, (k / kDash) % 2 == 0 ? Qt::black : Qt::white);
        }
    };
    if (r.width() <= 0 || r.height() <= 0) {
        return;
    }
    dashes(r.topLeft(), {1, 0}, r.width());
    dashes(QPoint(r.left(), r.top() + r.height() - 1), {1, 0}, r.width());
    dashes(r.topLeft(), {0, 1}, r.height());
    dashes(QPoint(r.left() + r.width() - 1, r.top()), {0, 1}, r.height());
}

QRect outline_bounds(const std::optional<tk::Rect>& outline) {
    return outline ? px_rect(*outline).adjusted(-1, -1, 1, 1) : QRect();
}

QRegion frame_of(const QRect& r) {
    if (r.isEmpty()) {
        return {};
    }
    QRegion edges(r.left(), r.top(), r.width(), 2);
    edges += QRect(r.left(), r.bottom() - 1, r.width(), 2);
    edges += QRect(r.left(), r.top(), 2, r.height());
    edges += QRect(r.right() - 1, r.top(), 2, r.height());
    return edges;
}

} // namespace padscreen_qt
