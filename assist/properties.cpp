// SPDX-License-Identifier: GPL-2.0-or-later
#include "assist/properties.h"

#include "assist/code_check.h"
#include "assist/nudge.h"
#include "form1.h"
#include "slots/placing.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <functional>

namespace assist {

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](char c) {
        return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    });
    return s;
}

std::optional<int> code(const Variant& v) {
    if (v.empty()) {
        return std::nullopt;
    }
    return static_cast<int>(v.number().value_or(0));
}

std::string cannot(Side side, int asked, const std::string& why) {
    return std::string(side_name(side)) + " " + std::to_string(asked) +
           " cannot be reached: " + why;
}

// The note for a number the canvas stopped short of.
std::string stopped(Side side, const Typed& t, const char* what) {
    if (t.asked < 0) {
        return cannot(side, t.asked, "LCD numbers start at 0");
    }
    return cannot(side, t.asked,
                  std::string(what) + " " + side_name(side) + " " + std::to_string(t.reached) +
                      " at most here");
}

// Each side's name, its number in a line, and the control's start and size along it,
// with the canvas's limit there.
struct SideRow {
    const char* name;
    std::int16_t LcdNumbers::*number;
    float tk::Placement::*start;
    float tk::Placement::*size;
    float limit;
};
constexpr std::array<SideRow, 4> kSideRows = {{
    {"x", &LcdNumbers::x, &tk::Placement::left, &tk::Placement::width, Form1::kCanvasRight},
    {"y", &LcdNumbers::y, &tk::Placement::top, &tk::Placement::height, Form1::kCanvasBottom},
    {"w", &LcdNumbers::w, &tk::Placement::left, &tk::Placement::width, Form1::kCanvasRight},
    {"h", &LcdNumbers::h, &tk::Placement::top, &tk::Placement::height, Form1::kCanvasBottom},
}};

const SideRow& row(Side side) { return kSideRows.at(static_cast<std::size_t>(side)); }
bool is_place(Side side) { return side == Side::X || side == Side::Y; }

// Gives control c the first twip (or size) whose line carries value on that side,
// then lets fit keep it where it may be; says why when the line stops short.
Typed reach(Form1& form, tk::Control& c, Side side, int value,
            const std::function<void(const SideRow&)>& fit, const char* stopped_by) {
    const SideRow& r = row(side);
    Typed t{value, side_of(line_numbers(c), side), {}};
    if (t.reached != value) {
        if (is_place(side)) {
            c.*r.start = static_cast<float>(first_twip(value));
        } else {
            c.*r.size = static_cast<float>(first_size_twip(value));
        }
        fit(r);
        form.forget_pointer();
        t.reached = side_of(line_numbers(c), side);
    }
    if (t.reached != value) {
        t.note = stopped(side, t, stopped_by);
    }
    return t;
}

} // namespace

PictureProperties picture_properties(const Form1& form, int n) {
    PictureProperties p;
    p.slot = n;
    p.numbers = line_numbers(form.Image(n));
    p.status = code(form.intIDS(n));
    p.mode = code(form.intMode(n));
    p.name = form.strFileName(n).text();
    p.name_problem = code_name_problem(form, n, p.name);
    return p;
}

Typed set_picture_place(Form1& form, int n, bool across, int value) {
    tk::Image& image = form.Image(n);
    return reach(
        form, image, across ? Side::X : Side::Y, value,
        [&](const SideRow&) {
            picture_slots::keep_on_canvas(image);
            if (selected_picture(form) == n) {
                picture_slots::place_markers(form, image);
            }
        },
        "the picture stays on the canvas:");
}

void set_picture_status(Form1& form, int n, int status) {
    if (!form.intIDS(n).is(status)) {
        form.set_intIDS(n, static_cast<std::int16_t>(status));
    }
}

void set_picture_mode(Form1& form, int n, int mode) {
    if (!form.intMode(n).is(mode)) {
        form.set_intMode(n, static_cast<std::int16_t>(mode));
    }
}

std::string code_name_problem(const Form1& form, int n, const std::string& name) {
    std::string problem = name_problem(name);
    if (!problem.empty()) {
        return problem;
    }
    for (int k = 1; k <= Form1::kSlots; ++k) {
        if (k != n && form.Image(k).has_picture() &&
            lower(form.strFileName(k).text()) == lower(name)) {
            return "picture " + std::to_string(k) + " has this NAME";
        }
    }
    return {};
}

std::string set_code_name(Form1& form, int n, const std::string& name) {
    std::string problem = code_name_problem(form, n, name);
    if (problem.empty() && form.strFileName(n).text() != name) {
        form.strFileName(n) = name;
    }
    return problem;
}

const char* side_name(Side side) { return row(side).name; }

int side_of(const LcdNumbers& n, Side side) { return n.*row(side).number; }

Typed set_hotspot_side(Form1& form, int k, Side side, int value) {
    tk::Label& label = form.lbl(k);
    // A place stops where the hotspot still fits, a size where the canvas ends.
    const bool place = is_place(side);
    return reach(
        form, label, side, value,
        [&](const SideRow& r) {
            if (place) {
                label.*r.start = std::min(label.*r.start, r.limit - label.*r.size);
            } else {
                label.*r.size = std::min(label.*r.size, r.limit - label.*r.start);
            }
        },
        "the hotspot ends at the canvas's edge:");
}

std::string draw_band(Form1& form, const LcdNumbers& wanted) {
    if (wanted.x < 0 || wanted.y < 0 || wanted.w < 0 || wanted.h < 0) {
        return "LCD numbers start at 0";
    }
    if (wanted.w == 0) {
        return "a band needs a width for \"C&reate Hotspot\"";
    }
    const auto x0 = static_cast<float>(first_twip(wanted.x));
    const auto y0 = static_cast<float>(first_twip(wanted.y));
    const float x1 = x0 + static_cast<float>(first_size_twip(wanted.w));
    const float y1 = y0 + static_cast<float>(first_size_twip(wanted.h));
    if (x1 > Form1::kCanvasRight || y1 > Form1::kCanvasBottom) {
        return "the canvas ends before it";
    }
    if (form.pointer_captured()) {
        return "a mouse button is held";
    }
    if (const tk::Control* c = form.input_target(x0, y0)) {
        return c->kind() == tk::Kind::Image
                   ? "a picture takes the press there (Image Hotspot Enable lets it pass)"
                   : "a hotspot takes the press there";
    }
    form.mouse_press(tk::kLeftButton, 0, x0, y0);
    form.mouse_move(tk::kLeftButton, 0, x1, y1);
    form.mouse_release(tk::kLeftButton, 0, x1, y1);
    // The real pointer never went there.
    form.forget_pointer();
    return {};
}

} // namespace assist
