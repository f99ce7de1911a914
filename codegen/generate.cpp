#include "codegen/generate.h"

#include "convert.h"
#include "form1.h"

#include <cstdint>
#include <string>

namespace codegen {

namespace {

constexpr const char* kCrLf = "\r\n";

struct LcdRect {
    std::int16_t x, y, w, h;
};

LcdRect to_lcd(const tk::Control& c) {
    return {ConvertNumbers(twips_to_int16(c.left), true),
            ConvertNumbers(twips_to_int16(c.top), false),
            ConvertNumbersSize(twips_to_int16(c.width), true),
            ConvertNumbersSize(twips_to_int16(c.height), false)};
}

std::string num(int value) { return std::to_string(value); }

} // namespace

std::string generate_code(const Form1& form) {
    std::string text;
    for (int k = 1; k <= Form1::kSlots; ++k) {
        const tk::Image& image = form.Image(k);
        if (!image.has_picture()) {
            continue;
        }
        LcdRect r = to_lcd(image);
        // Inclusive limits: a width of 180 is written as 176, 181 as 181.
        if (r.w <= 180) {
            r.w = static_cast<std::int16_t>(r.w - 4);
        }
        if (r.h <= 96) {
            r.h = static_cast<std::int16_t>(r.h - 4);
        }
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
        if (!label.visible || label.back_color != tk::kRed) {
            continue;
        }
        ++n;
        const LcdRect r = to_lcd(label);
        text += "Penvane1.KeyPadAddHotSpot " + num(n) + ", 1, " + num(r.x) + ", " + num(r.y) +
                ", " + num(r.w) + ", " + num(r.h) + kCrLf;
    }
    return text;
}

} // namespace codegen
