// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Input as the window system delivers it to a view, and where controls lie.
#include "toolkit/controls.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

namespace view_input {

inline int px(float twips) { return static_cast<int>(twips / tk::kTwipsPerPixel); }

inline QPoint centre_of(const tk::Control& c) {
    const tk::Rect r = c.window_rect();
    return {px(r.left + r.width / 2), px(r.top + r.height / 2)};
}

// A click at a pixel of the window, to whatever widget lies there.
inline void click_at(QWidget& view, QPoint p) {
    QTest::mouseClick(view.windowHandle(), Qt::LeftButton, {}, p);
}

inline void send_move(QWidget& view, QPoint p, Qt::MouseButtons held) {
    QMouseEvent move(QEvent::MouseMove, QPointF(p), view.mapToGlobal(QPointF(p)), Qt::NoButton,
                     held, Qt::NoModifier);
    QApplication::sendEvent(&view, &move);
}

} // namespace view_input
