// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "toolkit/controls.h"

#include <cstdint>

namespace codegen {

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
// Label). The generator takes them from here, and so does whatever shows them.
LcdNumbers line_numbers(const tk::Control& control);
// The numbers a hotspot line would carry for a rectangle in twips.
LcdNumbers hotspot_numbers(const tk::Rect& twips);

// Whether a hotspot label gets a line: shown and red (the selected one is blue).
bool has_hotspot_line(const tk::Label& label);

} // namespace codegen
