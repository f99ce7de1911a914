// SPDX-License-Identifier: GPL-2.0-or-later
#include "assist/nudge.h"

#include "assist/lcd.h"
#include "convert.h"
#include "form1.h"
#include "slots/placing.h"

namespace assist {

// Positions change by at most one per twip, so the first twip that reaches
// the next position holds exactly it.
float nudged(float twips, int steps) {
    if (steps == 0) {
        return twips;
    }
    const int at = ConvertNumbers(twips_to_int16(twips), true);
    if (steps > 0) {
        return static_cast<float>(first_twip(at + steps));
    }
    // The last twip before the position after the target; below position 0
    // it falls off the canvas, where the limits catch it.
    return static_cast<float>(first_twip(at + steps + 1) - 1);
}

std::optional<int> selected_picture(const Form1& form) {
    if (!form.lblPicture(1).visible) {
        return std::nullopt;
    }
    const auto n = picture_slots::named_slot(form.intPic);
    if (!n || !form.Image(*n).has_picture()) {
        return std::nullopt;
    }
    return n;
}

bool nudge(Form1& form, int dx, int dy) {
    const auto n = selected_picture(form);
    if (!n || form.pointer_captured() || (dx == 0 && dy == 0)) {
        return false;
    }
    tk::Image& image = form.Image(*n);
    if (dx != 0) {
        image.left = nudged(image.left, dx);
    }
    if (dy != 0) {
        image.top = nudged(image.top, dy);
    }
    picture_slots::keep_on_canvas(image);
    picture_slots::place_markers(form, image);
    // The picture moved under a resting pointer.
    form.forget_pointer();
    return true;
}

} // namespace assist
