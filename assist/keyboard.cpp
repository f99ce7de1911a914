// SPDX-License-Identifier: GPL-2.0-or-later
#include "assist/keyboard.h"

#include "assist/code_check.h"
#include "assist/nudge.h"
#include "form1.h"

#include <algorithm>

namespace assist {

std::optional<int> selected_hotspot(const Form1& form) {
    for (int k = 1; k <= Form1::kHotspots; ++k) {
        if (form.lbl(k).visible && form.lbl(k).back_color == tk::kBlue) {
            return k;
        }
    }
    return std::nullopt;
}

void LastSelected::follow(const Form1& form) {
    const auto picture = selected_picture(form);
    const auto hotspot = selected_hotspot(form);
    if (hotspot && hotspot != hotspot_) {
        last_ = Selected::Hotspot;
    } else if (picture && picture != picture_) {
        last_ = Selected::Picture;
    }
    picture_ = picture;
    hotspot_ = hotspot;
}

Selected LastSelected::target(const Form1& form) const {
    const auto picture = selected_picture(form);
    const auto hotspot = selected_hotspot(form);
    if (hotspot && (last_ == Selected::Hotspot || !picture)) {
        return {Selected::Hotspot, *hotspot};
    }
    if (picture) {
        return {Selected::Picture, *picture};
    }
    return {};
}

std::vector<Selected> walk_order(const Form1& form) {
    std::vector<Selected> order;
    for (int n = 1; n <= Form1::kSlots; ++n) {
        const tk::Image& image = form.Image(n);
        if (image.has_picture() && image.visible && image.enabled) {
            order.push_back({Selected::Picture, n});
        }
    }
    for (int k = 1; k <= Form1::kHotspots; ++k) {
        if (form.lbl(k).visible) {
            order.push_back({Selected::Hotspot, k});
        }
    }
    return order;
}

void walk(Form1& form, const Selected& from, int step) {
    if (form.pointer_captured()) {
        return; // a click now would land in the middle of a press
    }
    const std::vector<Selected> order = walk_order(form);
    const auto at = std::find(order.begin(), order.end(), from);
    std::ptrdiff_t next = 0;
    if (at != order.end()) {
        next = (at - order.begin()) + step;
    } else if (step < 0) {
        next = static_cast<std::ptrdiff_t>(order.size()) - 1;
    }
    if (const auto n = selected_picture(form)) {
        form.Image(*n).run_click();
    }
    if (const auto k = selected_hotspot(form)) {
        form.lbl(*k).run_click();
    }
    if (next < 0 || next >= static_cast<std::ptrdiff_t>(order.size())) {
        return;
    }
    const Selected& to = order[static_cast<std::size_t>(next)];
    if (to.kind == Selected::Picture) {
        form.Image(to.number).run_click();
    } else {
        form.lbl(to.number).run_click();
    }
}

void delete_selected(Form1& form, const Selected& target) {
    if (form.pointer_captured()) {
        return;
    }
    if (target.kind == Selected::Picture) {
        form.cmdDelete.click();
    } else if (target.kind == Selected::Hotspot) {
        form.cmdDeleteHS.click();
    }
}

bool nudge_selected(Form1& form, const Selected& target, int dx, int dy) {
    if (target.kind == Selected::Picture) {
        return nudge(form, dx, dy);
    }
    if (target.kind != Selected::Hotspot || form.pointer_captured()) {
        return false;
    }
    tk::Label& label = form.lbl(target.number);
    label.left =
        std::max(0.0F, std::min(nudged(label.left, dx), Form1::kCanvasRight - label.width));
    label.top =
        std::max(0.0F, std::min(nudged(label.top, dy), Form1::kCanvasBottom - label.height));
    form.forget_pointer();
    return true;
}

bool cancel_press(Form1& form, const FormState& before) {
    if (!form.pointer_captured()) {
        return false;
    }
    form.cancel_pointer();
    form.set_state(before);
    form.forget_pointer();
    return true;
}

std::string arrows_line(const Form1& form, const Selected& target, bool list_has_focus) {
    if (list_has_focus) {
        return "Arrows: the enable list has focus";
    }
    switch (target.kind) {
    case Selected::Picture: {
        const std::string name = form.strFileName(target.number).text();
        return "Arrows move picture " + std::to_string(target.number) +
               (name.empty() ? "" : " (" + name + ")");
    }
    case Selected::Hotspot:
        return "Arrows move hotspot " + std::to_string(hotspot_code_number(form, target.number));
    case Selected::None:
        break;
    }
    return "Arrows: F6 selects first";
}

} // namespace assist
