// SPDX-License-Identifier: GPL-2.0-or-later
#include "assist/read_out.h"

#include "assist/lcd.h"
#include "assist/nudge.h"
#include "convert.h"
#include "form1.h"
#include "hotspots/create_delete.h"

namespace assist {

namespace {

float coord(const Variant& v) { return static_cast<float>(v.number().value_or(0)); }

std::string numbers_text(const LcdNumbers& n) {
    return "x " + std::to_string(n.x) + "  y " + std::to_string(n.y) + "  w " +
           std::to_string(n.w) + "  h " + std::to_string(n.h);
}

void add_rectangle(std::vector<std::string>& lines, const std::string& title, const LcdNumbers& n) {
    lines.push_back(title);
    lines.push_back(numbers_text(n));
    const Overhang o = overhang(n);
    if (!o.any()) {
        return;
    }
    std::string off = "Past LCD:";
    if (o.right > 0) {
        off += " " + std::to_string(o.right) + " right";
    }
    if (o.bottom > 0) {
        off += std::string(o.right > 0 ? "," : "") + " " + std::to_string(o.bottom) + " down";
    }
    lines.push_back(off);
}

} // namespace

std::vector<std::string> read_out(const Form1& form,
                                  std::optional<std::pair<float, float>> pointer) {
    std::vector<std::string> lines;
    if (form.lin(1).visible) {
        // A band is being drawn: its free corner follows the pointer,
        // unclamped, as the release point will be.
        const tk::Rect r = hotspot_handlers::hotspot_rect(coord(form.cX), coord(form.cY),
                                                          form.lin(1).x2, form.lin(2).y2);
        add_rectangle(lines, "New hotspot", hotspot_numbers(r));
    } else if (pointer && pointer->first >= 0 && pointer->second >= 0 &&
               pointer->first < Form1::kCanvasRight && pointer->second < Form1::kCanvasBottom) {
        lines.push_back(
            "Pointer  x " + std::to_string(ConvertNumbers(twips_to_int16(pointer->first), true)) +
            "  y " + std::to_string(ConvertNumbers(twips_to_int16(pointer->second), false)));
    }
    if (const auto n = selected_picture(form)) {
        const tk::Image& image = form.Image(*n);
        add_rectangle(lines, "Picture " + std::to_string(*n) + ": " + image.tag,
                      line_numbers(image));
    }
    for (int j = 1; j <= Form1::kHotspots; ++j) {
        const tk::Label& label = form.lbl(j);
        if (label.visible && label.back_color == tk::kBlue) {
            add_rectangle(lines, "Hotspot " + std::to_string(j), line_numbers(label));
            break;
        }
    }
    return lines;
}

} // namespace assist
