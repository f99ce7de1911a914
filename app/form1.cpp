// SPDX-License-Identifier: GPL-2.0-or-later
#include "form1.h"

#include <algorithm>
#include <cassert>

namespace {

tk::Button& make_button(tk::Window& w, const char* name, const char* caption, float left, float top,
                        int tab) {
    return w.add_captioned<tk::Button>(name, caption, {left, top, 1215, 375}, tab);
}

tk::Line& make_line(tk::Window& w, const std::string& name, float x1, float y1, float x2, float y2,
                    tk::Color color) {
    auto& line = w.add<tk::Line>(name);
    line.x1 = x1;
    line.y1 = y1;
    line.x2 = x2;
    line.y2 = y2;
    line.border_color = color;
    return line;
}

void check_family(int n, int size) {
    assert(n >= 1 && n <= size && "family members are numbered from 1");
    (void)n;
    (void)size;
}

} // namespace

// The drawn layer is created bottom first: the panel, its caption, the grid,
// the hotspot labels, then the pictures, markers and band lines.
Form1::Form1(float drag_distance)
    : tk::Window("Form1", "Position Window", kClientWidth, kClientHeight, drag_distance),
      cmdNewPicture(make_button(*this, "cmdNewPicture", "&Load Image", 9840, 120, 0)),
      cmdDelete(make_button(*this, "cmdDelete", "&Delete Image", 9840, 630, 1)),
      cmdCreateCode(make_button(*this, "cmdCreateCode", "&Create Code", 9840, 1155, 4)),
      cmdHotspot(make_button(*this, "cmdHotspot", "C&reate Hotspot", 11160, 120, 2)),
      cmdDeleteHS(make_button(*this, "cmdDeleteHS", "D&elete Hotspot", 11160, 630, 3)),
      cmdReset(make_button(*this, "cmdReset", "Re&set All", 11160, 1155, 5)),
      cboDisable(add<tk::ComboBox>("cboDisable", {10020, 1980, 2175, 315})),
      lblDisable(add<tk::Label>("lblDisable", {10035, 1710, 1575, 255})),
      Label1(add<tk::Label>("Label1", {9720, 0, 2760, 3975})),
      picHold(add<tk::PictureBox>("picHold", {1680, 840, 255, 135})) {
    resizable = true;
    minimize_button = true;
    maximize_button = false;
    has_icon = true;

    cboDisable.text = "None";
    cboDisable.tab_index = 6;
    lblDisable.caption = "Image Hotspot Enable";
    picHold.visible = false;

    // Label1 must lie beneath its caption label; both were created above.
    bring_to_top(Label1);
    bring_to_top(lblDisable);

    for (int k = 0; k <= 81; ++k) {
        const float x = 120.0F * static_cast<float>(k);
        grid_.push_back(
            &make_line(*this, "linGridV" + std::to_string(k), x, 0, x, 7320, tk::kBlack));
    }
    for (int j = 0; j <= 61; ++j) {
        const float y = 120.0F * static_cast<float>(j);
        grid_.push_back(
            &make_line(*this, "linGridH" + std::to_string(j), 0, y, 9720, y, tk::kBlack));
    }
    grid_.push_back(&make_line(*this, "linCentreV", 4800, 0, 4800, 7560, tk::kWhite));
    grid_.push_back(&make_line(*this, "linCentreH", 0, 3600, 9960, 3600, tk::kWhite));

    for (int n = 1; n <= kHotspots; ++n) {
        const float top = 240.0F * static_cast<float>(n);
        auto& l = add<tk::Label>("lbl" + std::to_string(n), {720, top, 255, 135});
        l.back_color = tk::kRed;
        l.visible = false;
        labels_[n - 1] = &l;
    }
    for (int n = 1; n <= kSlots; ++n) {
        const float top = 240.0F * static_cast<float>(n);
        auto& image = add<tk::Image>("Image" + std::to_string(n), {2400, top, 255, 135});
        image.visible = false;
        images_[n - 1] = &image;
    }
    for (int n = 1; n <= 4; ++n) {
        const float top = 240.0F * static_cast<float>(n);
        auto& m = add<tk::Label>("lblPicture" + std::to_string(n), {1200, top, 135, 135});
        m.back_color = tk::kYellow;
        m.visible = false;
        markers_[n - 1] = &m;
    }
    for (int n = 1; n <= 8; ++n) {
        const float y = 2520.0F + 120.0F * static_cast<float>(n);
        auto& line = make_line(*this, "lin" + std::to_string(n), 9960, y, 10800, y, tk::kRed);
        line.visible = false;
        lines_[n - 1] = &line;
    }
    for (int n = 1; n <= 6; ++n) {
        const float left = 360.0F + 360.0F * static_cast<float>(n);
        auto& t = add<tk::TextBox>("Text" + std::to_string(n), {left, 2880, 150, 285}, 6 + n);
        t.visible = false;
        texts_[n - 1] = &t;
    }
}

void Form1::start_up() {
    for (int n = 1; n <= kSlots; ++n) {
        bring_to_top(Image(n));
    }
    for (int n = 1; n <= 4; ++n) {
        bring_to_top(lblPicture(n));
    }
    cmdDelete.enabled = false;
    cmdHotspot.enabled = false;
    cmdDeleteHS.enabled = false;
    cboDisable.items.emplace_back("None");
    for (int n = 1; n <= 8; ++n) {
        bring_to_top(lin(n));
    }
}

tk::Image& Form1::Image(int n) const {
    check_family(n, kSlots);
    return *images_[n - 1];
}
tk::Label& Form1::lbl(int n) const {
    check_family(n, kHotspots);
    return *labels_[n - 1];
}
tk::Label& Form1::lblPicture(int n) const {
    check_family(n, 4);
    return *markers_[n - 1];
}
tk::Line& Form1::lin(int n) const {
    check_family(n, 8);
    return *lines_[n - 1];
}
tk::TextBox& Form1::Text(int n) const {
    check_family(n, 6);
    return *texts_[n - 1];
}

Variant Form1::intIDS(int n) const {
    check_family(n, kSlots);
    return n == kSlots ? Variant(status_10) : status_1_to_9[n - 1];
}
void Form1::set_intIDS(int n, std::int16_t code) {
    check_family(n, kSlots);
    if (n == kSlots) {
        status_10 = code;
    } else {
        status_1_to_9[n - 1] = code;
    }
}
void Form1::clear_intIDS(int n) {
    check_family(n, kSlots);
    if (n == kSlots) {
        status_10 = 0;
    } else {
        status_1_to_9[n - 1].clear();
    }
}
Variant Form1::intMode(int n) const {
    check_family(n, kSlots);
    return n == kSlots ? Variant(mode_10) : mode_1_to_9[n - 1];
}
void Form1::set_intMode(int n, std::int16_t code) {
    check_family(n, kSlots);
    if (n == kSlots) {
        mode_10 = code;
    } else {
        mode_1_to_9[n - 1] = code;
    }
}
void Form1::clear_intMode(int n) {
    check_family(n, kSlots);
    if (n == kSlots) {
        mode_10 = 0;
    } else {
        mode_1_to_9[n - 1].clear();
    }
}
Variant& Form1::strFileName(int n) {
    check_family(n, kSlots);
    return file_names[n - 1];
}
const Variant& Form1::strFileName(int n) const {
    check_family(n, kSlots);
    return file_names[n - 1];
}

StatePart Form1::part_of(const tk::Control& c) const {
    if (c.kind() == tk::Kind::Line) {
        const auto band = std::find(lines_.begin(), lines_.end(), &c);
        return band != lines_.end() ? StatePart::Gesture : StatePart::Fixed;
    }
    // The hidden text boxes carry a gesture's numbers; "C&reate Hotspot" is
    // enabled while a band is drawn.
    if (c.kind() == tk::Kind::TextBox || &c == &cmdHotspot) {
        return StatePart::Gesture;
    }
    return StatePart::Design;
}

const Form1::Parts& Form1::parts() const {
    if (parts_.counted != controls().size()) {
        parts_ = {controls().size(), {}, {}, {}};
        for (const auto& c : controls()) {
            const StatePart part = part_of(*c);
            if (part == StatePart::Design) {
                parts_.design.push_back(c.get());
            } else if (part == StatePart::Gesture) {
                parts_.gesture.push_back(c.get());
            }
            if (c->typed_text() != nullptr) {
                parts_.typed.push_back(c.get());
            }
        }
    }
    return parts_;
}

DesignState Form1::design() const {
    DesignState d;
    const Parts& p = parts();
    d.controls.reserve(p.design.size());
    for (const tk::Control* c : p.design) {
        d.controls.push_back(c->state());
    }
    d.variables = *this;
    return d;
}

void Form1::set_design(const DesignState& d) {
    std::size_t k = 0;
    for (tk::Control* c : parts().design) {
        c->set_state(d.controls.at(k++));
    }
    static_cast<DesignVariables&>(*this) = d.variables;
}

FormState Form1::state() const {
    FormState s{design(), {}};
    const Parts& p = parts();
    s.gesture.controls.reserve(p.gesture.size());
    for (const tk::Control* c : p.gesture) {
        s.gesture.controls.push_back(c->state());
    }
    s.gesture.typed.reserve(p.typed.size());
    for (const tk::Control* c : p.typed) {
        s.gesture.typed.push_back(*c->typed_text());
    }
    s.gesture.variables = *this;
    return s;
}

void Form1::set_state(const FormState& s) {
    set_design(s.design);
    const Parts& p = parts();
    std::size_t k = 0;
    for (tk::Control* c : p.gesture) {
        c->set_state(s.gesture.controls.at(k++));
    }
    std::size_t t = 0;
    for (tk::Control* c : p.typed) {
        *c->typed_text() = s.gesture.typed.at(t++);
    }
    static_cast<GestureVariables&>(*this) = s.gesture.variables;
}
