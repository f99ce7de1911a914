// SPDX-License-Identifier: GPL-2.0-or-later
#include "assist/history.h"

#include "form1.h"

#include <utility>

namespace assist {

namespace {

enum class Part { Design, Scratch, Fixed };

Part part_of(const Form1& form, const tk::Control& c) {
    if (c.kind() == tk::Kind::Line) {
        for (int n = 1; n <= 8; ++n) {
            if (&form.lin(n) == &c) {
                return Part::Scratch;
            }
        }
        return Part::Fixed; // the grid: layout that no handler touches
    }
    if (c.kind() == tk::Kind::TextBox || &c == &form.cmdHotspot) {
        return Part::Scratch;
    }
    return Part::Design;
}

// The window-level variables, by part.
const std::array kDesignVariables = {&Form1::hs, &Form1::hsi, &Form1::intPic};
const std::array kScratchVariables = {&Form1::Lefty, &Form1::Toppy, &Form1::i,
                                      &Form1::cX,    &Form1::cY,    &Form1::ccX,
                                      &Form1::ccY,   &Form1::movX,  &Form1::movY};

ControlState capture_control(const tk::Control& c) {
    ControlState s;
    s.left = c.left;
    s.top = c.top;
    s.width = c.width;
    s.height = c.height;
    s.visible = c.visible;
    s.enabled = c.enabled;
    switch (c.kind()) {
    case tk::Kind::Image: {
        const auto& image = static_cast<const tk::Image&>(c);
        s.picture = image.picture;
        s.text = image.tag;
        s.drag_mode = image.drag_mode;
        break;
    }
    case tk::Kind::Label: {
        const auto& label = static_cast<const tk::Label&>(c);
        s.text = label.caption;
        s.color = label.back_color;
        break;
    }
    case tk::Kind::Line: {
        const auto& line = static_cast<const tk::Line&>(c);
        s.ends = {line.x1, line.y1, line.x2, line.y2};
        s.color = line.border_color;
        break;
    }
    case tk::Kind::TextBox:
        s.text = static_cast<const tk::TextBox&>(c).text;
        break;
    case tk::Kind::ComboBox:
        // Its text is kept apart: typing into it changes no design.
        s.items = static_cast<const tk::ComboBox&>(c).items;
        break;
    case tk::Kind::Button:
        s.text = static_cast<const tk::Button&>(c).caption;
        break;
    case tk::Kind::Frame:
        s.text = static_cast<const tk::Frame&>(c).caption;
        break;
    case tk::Kind::OptionButton: {
        const auto& option = static_cast<const tk::OptionButton&>(c);
        s.text = option.caption;
        s.value = option.value();
        break;
    }
    case tk::Kind::PictureBox:
        s.picture = static_cast<const tk::PictureBox&>(c).picture();
        break;
    }
    return s;
}

void restore_control(tk::Control& c, const ControlState& s) {
    switch (c.kind()) {
    case tk::Kind::Image: {
        auto& image = static_cast<tk::Image&>(c);
        image.picture = s.picture;
        image.tag = s.text;
        image.drag_mode = s.drag_mode;
        break;
    }
    case tk::Kind::Label: {
        auto& label = static_cast<tk::Label&>(c);
        label.caption = s.text;
        label.back_color = s.color;
        break;
    }
    case tk::Kind::Line: {
        auto& line = static_cast<tk::Line&>(c);
        line.x1 = s.ends[0];
        line.y1 = s.ends[1];
        line.x2 = s.ends[2];
        line.y2 = s.ends[3];
        line.border_color = s.color;
        break;
    }
    case tk::Kind::TextBox:
        static_cast<tk::TextBox&>(c).text = s.text;
        break;
    case tk::Kind::ComboBox:
        static_cast<tk::ComboBox&>(c).items = s.items;
        break;
    case tk::Kind::Button:
        static_cast<tk::Button&>(c).caption = s.text;
        break;
    case tk::Kind::Frame:
        static_cast<tk::Frame&>(c).caption = s.text;
        break;
    case tk::Kind::OptionButton: {
        auto& option = static_cast<tk::OptionButton&>(c);
        option.caption = s.text;
        option.set_value(s.value);
        break;
    }
    case tk::Kind::PictureBox: {
        auto& box = static_cast<tk::PictureBox&>(c);
        if (s.picture) {
            box.set_picture(s.picture);
        } else {
            box.clear_picture();
        }
        break;
    }
    }
    // After the picture box, which sizes itself to its picture.
    c.left = s.left;
    c.top = s.top;
    c.width = s.width;
    c.height = s.height;
    c.visible = s.visible;
    c.enabled = s.enabled;
}

// A slot variable holds nothing or a 16-bit code.
template <class Clear, class Set> void restore_code(const Variant& v, Clear clear, Set set) {
    if (v.empty()) {
        clear();
    } else {
        set(static_cast<std::int16_t>(v.number().value_or(0)));
    }
}

} // namespace

Snapshot capture(const Form1& form) {
    Snapshot s;
    for (const auto& c : form.controls()) {
        switch (part_of(form, *c)) {
        case Part::Design:
            s.design.push_back(capture_control(*c));
            break;
        case Part::Scratch:
            s.scratch.push_back(capture_control(*c));
            break;
        case Part::Fixed:
            break;
        }
    }
    for (const auto member : kDesignVariables) {
        s.design_variables.push_back(form.*member);
    }
    for (int n = 1; n <= Form1::kSlots; ++n) {
        s.design_variables.push_back(form.intIDS(n));
        s.design_variables.push_back(form.intMode(n));
        s.design_variables.push_back(form.strFileName(n));
    }
    for (const auto member : kScratchVariables) {
        s.scratch_variables.push_back(form.*member);
    }
    s.combo_text = form.cboDisable.text;
    return s;
}

void restore(Form1& form, const Snapshot& s) {
    std::size_t design = 0;
    std::size_t scratch = 0;
    for (const auto& c : form.controls()) {
        switch (part_of(form, *c)) {
        case Part::Design:
            restore_control(*c, s.design.at(design++));
            break;
        case Part::Scratch:
            restore_control(*c, s.scratch.at(scratch++));
            break;
        case Part::Fixed:
            break;
        }
    }
    std::size_t v = 0;
    for (const auto member : kDesignVariables) {
        form.*member = s.design_variables.at(v++);
    }
    for (int n = 1; n <= Form1::kSlots; ++n) {
        restore_code(
            s.design_variables.at(v++), [&form, n] { form.clear_intIDS(n); },
            [&form, n](std::int16_t code) { form.set_intIDS(n, code); });
        restore_code(
            s.design_variables.at(v++), [&form, n] { form.clear_intMode(n); },
            [&form, n](std::int16_t code) { form.set_intMode(n, code); });
        form.strFileName(n) = s.design_variables.at(v++);
    }
    v = 0;
    for (const auto member : kScratchVariables) {
        form.*member = s.scratch_variables.at(v++);
    }
    form.cboDisable.text = s.combo_text;
}

bool same_design(const Snapshot& a, const Snapshot& b) {
    return a.design == b.design && a.design_variables == b.design_variables;
}

bool History::at_rest(const Form1& form, bool dialog_open) const {
    return !dialog_open && !form.pointer_captured() && form.id() == form_id_;
}

void History::after_action(const Form1* form, bool dialog_open) {
    if (form == nullptr) {
        form_id_ = 0;
        undo_.clear();
        redo_.clear();
        return;
    }
    if (form->id() != form_id_) {
        form_id_ = form->id();
        undo_.clear();
        redo_.clear();
        current_ = capture(*form);
        return;
    }
    if (!at_rest(*form, dialog_open)) {
        return;
    }
    Snapshot now = capture(*form);
    if (!same_design(now, current_)) {
        if (undo_.size() == kSteps) {
            undo_.erase(undo_.begin());
        }
        undo_.push_back(std::move(current_));
        redo_.clear();
        ++taken_;
    }
    current_ = std::move(now);
}

bool History::back_to(Form1& form, std::vector<Snapshot>& from, std::vector<Snapshot>& to) {
    if (from.empty()) {
        return false;
    }
    to.push_back(capture(form));
    restore(form, from.back());
    current_ = std::move(from.back());
    from.pop_back();
    // What lies under the resting pointer may have changed.
    form.forget_pointer();
    return true;
}

bool History::undo(Form1& form, bool dialog_open) {
    return at_rest(form, dialog_open) && back_to(form, undo_, redo_);
}

bool History::redo(Form1& form, bool dialog_open) {
    return at_rest(form, dialog_open) && back_to(form, redo_, undo_);
}

} // namespace assist
