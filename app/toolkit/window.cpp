// SPDX-License-Identifier: GPL-2.0-or-later
#include "window.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cmath>

namespace tk {

namespace {
std::atomic<std::uint64_t> next_window_id{1};

bool takes_pointer(const Control& c) {
    if (!c.shown()) {
        return false;
    }
    if (c.windowed()) {
        return true;
    }
    return c.kind() != Kind::Line && c.enabled;
}
} // namespace

Window::Window(std::string name, std::string caption_text, float width, float height, float drag)
    : caption(std::move(caption_text)), client_width(width), client_height(height),
      drag_distance(drag), name_(std::move(name)), id_(next_window_id++) {}

void Window::adopt(std::unique_ptr<Control> control) {
    control->window = this;
    if (!control->windowed()) {
        drawn_.push_back(control.get());
    }
    controls_.push_back(std::move(control));
}

void Window::clicked(Control& control) {
    // By index: an observer may add another.
    for (std::size_t k = 0; k < click_observers_.size(); ++k) {
        click_observers_[k](control);
    }
}

void Window::drag_ignored(const IgnoredDrag& drag) {
    for (std::size_t k = 0; k < ignored_drag_observers_.size(); ++k) {
        ignored_drag_observers_[k](drag);
    }
}

Control* Window::find(const std::string& name) const {
    for (const auto& c : controls_) {
        if (c->name() == name) {
            return c.get();
        }
    }
    return nullptr;
}

std::vector<Control*> Window::windowed_controls() const {
    std::vector<Control*> out;
    for (const auto& c : controls_) {
        if (c->windowed()) {
            out.push_back(c.get());
        }
    }
    return out;
}

void Window::bring_to_top(Control& control) {
    auto it = std::find(drawn_.begin(), drawn_.end(), &control);
    assert(it != drawn_.end() && "only drawn controls stack");
    if (it == drawn_.end()) {
        return;
    }
    drawn_.erase(it);
    drawn_.push_back(&control);
}

Control* Window::hit_test(float x, float y) const {
    // Windowed controls lie above the drawn layer; within a layer later is higher.
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        Control& c = **it;
        if (c.windowed() && c.shown() && c.window_rect().contains(x, y)) {
            return &c;
        }
    }
    for (auto it = drawn_.rbegin(); it != drawn_.rend(); ++it) {
        Control& c = **it;
        if (c.kind() != Kind::Line && c.shown() && c.window_rect().contains(x, y)) {
            return &c;
        }
    }
    return nullptr;
}

Control* Window::input_target(float x, float y) const {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        Control& c = **it;
        if (c.windowed() && takes_pointer(c) && c.window_rect().contains(x, y)) {
            return &c;
        }
    }
    for (auto it = drawn_.rbegin(); it != drawn_.rend(); ++it) {
        Control& c = **it;
        if (takes_pointer(c) && c.window_rect().contains(x, y)) {
            return &c;
        }
    }
    return nullptr;
}

void Window::show() {
    ++show_count_;
    visible = true;
    if (focus_ == nullptr) {
        focus_first();
    }
}

void Window::hide() {
    // A hidden window hears no release: the press ends here.
    end_lost_press(0);
    visible = false;
}

void Window::request_close() {
    bool cancel = false;
    if (on_query_unload) {
        on_query_unload(cancel);
    }
    if (!cancel) {
        unload();
    }
}

void Window::unload() {
    cancel_pointer();
    visible = false;
    if (unloader) {
        // The owner may destroy this window later; nothing here runs after it.
        auto take_out = unloader;
        take_out(*this);
    }
}

MouseArgs Window::relative(const Control& control, std::int16_t button, std::int16_t shift, float x,
                           float y) {
    const Rect r = control.window_rect();
    return MouseArgs{button, shift, x - r.left, y - r.top};
}

void Window::mouse_press(std::int16_t button, std::int16_t shift, float x, float y) {
    if (capture_ != Capture::None && button == capture_button_) {
        // The same button cannot go down twice: its release was lost (the
        // pointer was grabbed away), so the old press is over.
        end_lost_press(shift);
    }
    if (capture_ != Capture::None) {
        pointer_x_ = x;
        pointer_y_ = y;
        return; // a second button while one is held changes nothing
    }
    // A press where no move was seen (a picture that appeared under a resting
    // pointer) first counts as the pointer arriving there, so what is under
    // it learns of the pointer before the press.
    if (!pointer_known_ || pointer_stale_ || x != pointer_x_ || y != pointer_y_) {
        mouse_move(0, shift, x, y);
    }
    Control* target = input_target(x, y);
    press_x_ = x;
    press_y_ = y;
    capture_button_ = button;
    if (target == nullptr) {
        capture_ = Capture::Window;
        if (on_mouse_down) {
            on_mouse_down(MouseArgs{button, shift, x, y});
        }
        return;
    }
    if (target->windowed()) {
        return; // real widgets take their own input
    }
    captured_ = target;
    const MouseArgs rel = relative(*target, button, shift, x, y);
    if (target->kind() == Kind::Image &&
        static_cast<Image*>(target)->drag_mode == Image::kAutomatic) {
        capture_ = Capture::DragPending;
        grab_x_ = rel.x;
        grab_y_ = rel.y;
        return;
    }
    capture_ = Capture::Control;
    if (target->on_mouse_down) {
        target->on_mouse_down(rel);
    }
}

void Window::end_lost_press(std::int16_t shift) {
    // A control that took the press still hears it end, or what its press did
    // (a held picture sinks) would stay done; there is no click and no drop.
    Control* held = capture_ == Capture::Control ? captured_ : nullptr;
    const std::int16_t button = capture_button_;
    cancel_pointer();
    if (held != nullptr && held->on_mouse_up) {
        held->on_mouse_up(relative(*held, button, shift, pointer_x_, pointer_y_));
    }
}

void Window::mouse_move(std::int16_t buttons, std::int16_t shift, float x, float y) {
    if (capture_ != Capture::None && (buttons & capture_button_) == 0) {
        // The pointer moves with the held button up: its release was lost.
        end_lost_press(shift);
    }
    pointer_known_ = true;
    pointer_stale_ = false;
    pointer_x_ = x;
    pointer_y_ = y;
    switch (capture_) {
    case Capture::Window:
        if (on_mouse_move) {
            on_mouse_move(MouseArgs{buttons, shift, x, y});
        }
        return;
    case Capture::Control:
        if (captured_->on_mouse_move) {
            captured_->on_mouse_move(relative(*captured_, buttons, shift, x, y));
        }
        return;
    case Capture::DragPending:
        if (std::hypot(x - press_x_, y - press_y_) >= drag_distance) {
            capture_ = Capture::Dragging;
        }
        return;
    case Capture::Dragging:
        return; // only the outline follows the pointer
    case Capture::None:
        break;
    }
    Control* target = input_target(x, y);
    if (target == nullptr) {
        if (on_mouse_move) {
            on_mouse_move(MouseArgs{buttons, shift, x, y});
        }
    } else if (!target->windowed() && target->on_mouse_move) {
        target->on_mouse_move(relative(*target, buttons, shift, x, y));
    }
}

void Window::mouse_release(std::int16_t button, std::int16_t shift, float x, float y) {
    pointer_x_ = x;
    pointer_y_ = y;
    if (capture_ == Capture::None || button != capture_button_) {
        return;
    }
    const Capture was = capture_;
    Control* control = captured_;
    capture_ = Capture::None;
    captured_ = nullptr;
    switch (was) {
    case Capture::Window:
        if (on_mouse_up) {
            on_mouse_up(MouseArgs{button, shift, x, y});
        }
        break;
    case Capture::Control:
        if (control->on_mouse_up) {
            control->on_mouse_up(relative(*control, button, shift, x, y));
        }
        // The click follows the release, and only over the control itself.
        if (takes_pointer(*control) && control->window_rect().contains(x, y)) {
            control->run_click();
        } else if (std::hypot(x - press_x_, y - press_y_) >= drag_distance) {
            drag_ignored({*control, nullptr, false});
        }
        break;
    case Capture::DragPending:
        if (takes_pointer(*control)) {
            control->run_click();
        }
        break;
    case Capture::Dragging:
        // Only the window's own bare surface takes a drop: not a control, not
        // a point beyond the client area, not another window lying over it.
        if (!release_elsewhere_ && x >= 0 && y >= 0 && x < client_width && y < client_height) {
            if (Control* target = input_target(x, y)) {
                drag_ignored({*control, target, true});
            } else if (on_drag_drop) {
                on_drag_drop(*control, x, y);
            }
        } else {
            drag_ignored({*control, nullptr, true});
        }
        break;
    case Capture::None:
        break;
    }
}

void Window::mouse_release_elsewhere(std::int16_t button, std::int16_t shift, float x, float y) {
    release_elsewhere_ = true;
    mouse_release(button, shift, x, y);
    release_elsewhere_ = false;
}

void Window::cancel_pointer() {
    capture_ = Capture::None;
    captured_ = nullptr;
}

std::optional<std::pair<float, float>> Window::pointer() const {
    if (!pointer_known_) {
        return std::nullopt;
    }
    return std::make_pair(pointer_x_, pointer_y_);
}

std::optional<Rect> Window::drag_outline() const {
    if (capture_ != Capture::Dragging) {
        return std::nullopt;
    }
    const Rect r = captured_->window_rect();
    return Rect{pointer_x_ - grab_x_, pointer_y_ - grab_y_, r.width, r.height};
}

Control* Window::drag_source() const { return capture_ == Capture::Dragging ? captured_ : nullptr; }

std::vector<Control*> Window::tab_order() const {
    std::vector<Control*> order;
    for (const auto& c : controls_) {
        if (c->tab_index >= 0) {
            order.push_back(c.get());
        }
    }
    std::stable_sort(order.begin(), order.end(), [](const Control* a, const Control* b) {
        return a->tab_index < b->tab_index;
    });
    return order;
}

void Window::set_focus(Control* control) {
    focus_ = control;
    // An option button that takes the focus becomes the selected one of its group.
    if (control != nullptr && control->kind() == Kind::OptionButton) {
        static_cast<OptionButton*>(control)->set_value(true);
    }
}

namespace {
bool focusable(const Control& c) {
    return c.windowed() && c.kind() != Kind::Frame && c.kind() != Kind::PictureBox && c.shown() &&
           c.enabled;
}

bool is_option(const Control* c) { return c != nullptr && c->kind() == Kind::OptionButton; }

// Options of one container form one group.
bool same_group(const Control* a, const Control* b) {
    return is_option(a) && is_option(b) && a->container == b->container;
}
} // namespace

void Window::focus_first() {
    for (Control* c : tab_order()) {
        if (focusable(*c)) {
            set_focus(c);
            return;
        }
    }
}

void Window::tab(bool backward) {
    std::vector<Control*> order = tab_order();
    std::erase_if(order, [](const Control* c) { return !focusable(*c); });
    // One stop per group: the group's first option stands for all of it.
    std::vector<Control*> stops;
    for (Control* c : order) {
        if (std::none_of(stops.begin(), stops.end(),
                         [c](const Control* s) { return same_group(s, c); })) {
            stops.push_back(c);
        }
    }
    if (stops.empty()) {
        return;
    }
    const auto here = std::find_if(stops.begin(), stops.end(), [this](const Control* s) {
        return s == focus_ || same_group(s, focus_);
    });
    const auto count = static_cast<std::ptrdiff_t>(stops.size());
    std::ptrdiff_t next = 0;
    if (here != stops.end()) {
        next = ((here - stops.begin()) + (backward ? count - 1 : 1)) % count;
    } else if (backward) {
        next = count - 1;
    }
    Control* target = stops[static_cast<std::size_t>(next)];
    for (Control* c : order) {
        if (same_group(c, target) && static_cast<OptionButton*>(c)->value()) {
            target = c;
            break;
        }
    }
    set_focus(target);
}

void Window::arrow(int step) {
    if (!is_option(focus_)) {
        return;
    }
    std::vector<Control*> group = tab_order();
    std::erase_if(group, [this](const Control* c) {
        return !focusable(*c) || (c != focus_ && !same_group(c, focus_));
    });
    const auto here = std::find(group.begin(), group.end(), focus_);
    if (here == group.end()) {
        return;
    }
    const auto count = static_cast<std::ptrdiff_t>(group.size());
    const std::ptrdiff_t next = ((here - group.begin()) + (step < 0 ? count - 1 : 1)) % count;
    set_focus(group[static_cast<std::size_t>(next)]);
}

} // namespace tk
