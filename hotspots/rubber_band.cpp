// SPDX-License-Identifier: GPL-2.0-or-later
#include "hotspots/rubber_band.h"

#include "form1.h"
#include "variant.h"

#include <cstdint>

namespace hotspot_handlers {

namespace {

// The coordinate variables hold numbers once written; empty reads as 0.
float coord(const Variant& v) { return static_cast<float>(v.number().value_or(0)); }

// lin1 ... lin4 are the band, lin5 ... lin8 the finished rectangle.
void show_lines(Form1& form, int first, bool visible) {
    for (int k = first; k < first + 4; ++k) {
        form.lin(k).visible = visible;
    }
}

// A press or release point, kept in its variables and shown in its text boxes.
void record_point(Variant& x, Variant& y, tk::TextBox& x_text, tk::TextBox& y_text,
                  const tk::MouseArgs& args) {
    x = args.x;
    y = args.y;
    x_text.text = x.text();
    y_text.text = y.text();
}

void set_line(tk::Line& line, float x1, float x2, float y1, float y2) {
    line.x1 = x1;
    line.x2 = x2;
    line.y1 = y1;
    line.y2 = y2;
}

} // namespace

void Form_MouseDown(Form1& form, const tk::MouseArgs& args) {
    show_lines(form, 5, false);
    record_point(form.cX, form.cY, form.Text(3), form.Text(4), args);
    show_lines(form, 1, true);
    const float cx = coord(form.cX);
    const float cy = coord(form.cY);
    form.lin(1).x1 = cx;
    form.lin(1).y1 = cy;
    form.lin(1).y2 = cy;
    form.lin(2).x1 = cx;
    form.lin(2).x2 = cx;
    form.lin(2).y1 = cy;
    form.lin(3).x1 = cx;
    form.lin(4).y1 = cy;
}

void Form_MouseMove(Form1& form, const tk::MouseArgs& args) {
    form.movX = args.x;
    form.movY = args.y;
    // The band follows the pointer anywhere; only movX/movY keep to the canvas.
    const float mx = args.x;
    const float my = args.y;
    form.lin(1).x2 = mx;
    form.lin(2).y2 = my;
    form.lin(3).x2 = mx;
    form.lin(3).y1 = my;
    form.lin(3).y2 = my;
    form.lin(4).x1 = mx;
    form.lin(4).x2 = mx;
    form.lin(4).y2 = my;
    if (args.x > Form1::kCanvasRight) {
        form.movX = static_cast<std::int16_t>(Form1::kCanvasRight);
    }
    if (args.y > Form1::kCanvasBottom) {
        form.movY = static_cast<std::int16_t>(Form1::kCanvasBottom);
    }
    if (args.x < 0) {
        form.movX = std::int16_t{0};
    }
    if (args.y < 0) {
        form.movY = std::int16_t{0};
    }
}

// The finished rectangle runs from the press point to the last clamped
// pointer position, not to the release point.
void Form_MouseUp(Form1& form, const tk::MouseArgs& args) {
    record_point(form.ccX, form.ccY, form.Text(5), form.Text(6), args);
    show_lines(form, 1, false);
    const float cx = coord(form.cX);
    const float cy = coord(form.cY);
    const float mx = coord(form.movX);
    const float my = coord(form.movY);
    set_line(form.lin(5), cx, mx, my, my);
    set_line(form.lin(6), mx, mx, cy, my);
    set_line(form.lin(7), cx, mx, cy, cy);
    set_line(form.lin(8), cx, cx, cy, my);
    show_lines(form, 5, true);
    if (form.movX.number() != form.cX.number()) {
        form.cmdHotspot.enabled = true;
    }
}

} // namespace hotspot_handlers
