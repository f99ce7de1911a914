// SPDX-License-Identifier: GPL-2.0-or-later
#include "codegen/lcd_numbers.h"

#include "convert.h"

#include <cassert>

namespace codegen {

namespace {

LcdNumbers convert(const tk::Rect& r) {
    return {ConvertNumbers(twips_to_int16(r.left), true),
            ConvertNumbers(twips_to_int16(r.top), false),
            ConvertNumbersSize(twips_to_int16(r.width), true),
            ConvertNumbersSize(twips_to_int16(r.height), false)};
}

} // namespace

LcdNumbers line_numbers(const tk::Control& control) {
    assert((control.kind() == tk::Kind::Image || control.kind() == tk::Kind::Label) &&
           "only pictures and hotspots have code lines");
    LcdNumbers n = convert({control.left, control.top, control.width, control.height});
    if (control.kind() == tk::Kind::Image) {
        // Small bitmaps are written 4 smaller; the limits are inclusive: a
        // width of 180 is written as 176, 181 as 181.
        if (n.w <= 180) {
            n.w = static_cast<std::int16_t>(n.w - 4);
        }
        if (n.h <= 96) {
            n.h = static_cast<std::int16_t>(n.h - 4);
        }
    }
    return n;
}

LcdNumbers hotspot_numbers(const tk::Rect& twips) { return convert(twips); }

bool has_hotspot_line(const tk::Label& label) {
    return label.visible && label.back_color == tk::kRed;
}

} // namespace codegen
