// SPDX-License-Identifier: GPL-2.0-or-later
#include "codegen/generate.h"

#include "codegen/lcd_numbers.h"
#include "form1.h"

#include <string>

namespace codegen {

namespace {

constexpr const char* kCrLf = "\r\n";

std::string num(int value) { return std::to_string(value); }

} // namespace

std::string generate_code(const Form1& form) {
    std::string text;
    for (int k = 1; k <= Form1::kSlots; ++k) {
        const tk::Image& image = form.Image(k);
        if (!image.has_picture()) {
            continue;
        }
        const LcdNumbers r = line_numbers(image);
        text += "Penvane1.LCDWriteBitmap " + form.intIDS(k).text() + ", " + form.intMode(k).text() +
                ", " + num(r.x) + ", " + num(r.y) + ", " + num(r.w) + ", " + num(r.h) + ", " +
                form.strFileName(k).text() + ".Picture.Handle" + kCrLf;
    }
    if (!text.empty()) {
        text += kCrLf;
    }
    int n = -1;
    for (int j = 1; j <= Form1::kHotspots; ++j) {
        const tk::Label& label = form.lbl(j);
        if (!has_hotspot_line(label)) {
            continue;
        }
        ++n;
        const LcdNumbers r = line_numbers(label);
        text += "Penvane1.KeyPadAddHotSpot " + num(n) + ", 1, " + num(r.x) + ", " + num(r.y) +
                ", " + num(r.w) + ", " + num(r.h) + kCrLf;
    }
    return text;
}

} // namespace codegen
