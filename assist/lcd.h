// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "codegen/lcd_numbers.h"
#include "toolkit/controls.h"

#include <cstdint>
#include <utility>
#include <vector>

class Form1;

namespace assist {

// The generator's numbers, which every read-out shows.
using codegen::hotspot_numbers;
using codegen::kLcdHeight;
using codegen::kLcdWidth;
using codegen::LcdNumbers;
using codegen::line_numbers;

// The first twip, from 0, whose converted position is at least `position`
// (an LCD column or row, also beyond the LCD's edge).
int first_twip(int position);
// The same for a size: the first twip, from 0, whose converted size is at least `size`.
int first_size_twip(int size);
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
