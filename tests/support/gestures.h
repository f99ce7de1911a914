// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "toolkit/window.h"

#include <cstdint>

// Pointer gestures fed through a window's router, in window twips.
namespace gestures {

inline void hover(tk::Window& w, float x, float y) { w.mouse_move(0, 0, x, y); }

// The pointer comes to (x, y), presses and releases there.
inline void click_at(tk::Window& w, float x, float y, std::int16_t button = tk::kLeftButton) {
    hover(w, x, y);
    w.mouse_press(button, 0, x, y);
    w.mouse_release(button, 0, x, y);
}

// The pointer comes to the first point, presses, moves to the second and
// releases there.
inline void drag(tk::Window& w, float x0, float y0, float x1, float y1,
                 std::int16_t button = tk::kLeftButton) {
    hover(w, x0, y0);
    w.mouse_press(button, 0, x0, y0);
    w.mouse_move(button, 0, (x0 + x1) / 2, (y0 + y1) / 2);
    w.mouse_move(button, 0, x1, y1);
    w.mouse_release(button, 0, x1, y1);
}

// The middle of a control, in window twips.
inline void click(tk::Window& w, const tk::Control& c) {
    const tk::Rect r = c.window_rect();
    click_at(w, r.left + r.width / 2, r.top + r.height / 2);
}

} // namespace gestures
