// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "toolkit/controls.h"

#include <cstdint>
#include <utility>
#include <vector>

class Form1;

namespace assist {

inline constexpr int kLcdWidth = 240;
inline constexpr int kLcdHeight = 128;

// The x, y, w, h a code line carries, in LCD pixels.
struct LcdNumbers {
    std::int16_t x = 0;
    std::int16_t y = 0;
    std::int16_t w = 0;
    std::int16_t h = 0;
    friend bool operator==(const LcdNumbers&, const LcdNumbers&) = default;
};

// The numbers of a picture's bitmap line (an Image) or of a hotspot's line (a
// Label). The generator and the read-outs both take them from here.
LcdNumbers line_numbers(const tk::Control& control);
// The numbers a hotspot line would carry for a rectangle in twips.
LcdNumbers hotspot_numbers(const tk::Rect& twips);

// The first twip, from 0, whose converted position is at least `position`
// (an LCD column or row, also beyond the LCD's edge).
int first_twip(int position);
// The LCD's area on the canvas: the twips whose positions convert to
// 0 ... 239 across and 0 ... 127 down.
tk::Rect lcd_area();
// The middle of LCD pixel (120, 64), in canvas twips.
std::pair<float, float> lcd_centre();

// How many LCD pixels a line's rectangle reaches past the LCD's right and
// bottom edges (positions are never negative, so nothing lies left or above).
struct Overhang {
    int right = 0;
    int bottom = 0;
    bool any() const { return right > 0 || bottom > 0; }
};
Overhang overhang(const LcdNumbers& numbers);

// Where the lines of the pictures and of the shown hotspots reach outside the
// LCD, as canvas twips: one band past the right edge, one past the bottom.
std::vector<tk::Rect> overhang_bands(const Form1& form);

} // namespace assist
