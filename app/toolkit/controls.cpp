// SPDX-License-Identifier: GPL-2.0-or-later
#include "controls.h"

#include "window.h"

namespace tk {

Rect Control::window_rect() const {
    Rect r{left, top, width, height};
    for (const Control* c = container; c != nullptr; c = c->container) {
        r.left += c->left;
        r.top += c->top;
    }
    return r;
}

bool Control::shown() const {
    for (const Control* c = this; c != nullptr; c = c->container) {
        if (!c->visible) {
            return false;
        }
    }
    return true;
}

void Control::run_click() {
    if (!on_click) {
        return;
    }
    on_click();
    if (window != nullptr) {
        window->clicked(*this);
    }
}

void ComboBox::choose(int index) {
    if (index < 0 || index >= static_cast<int>(items.size())) {
        return;
    }
    text = items[static_cast<std::size_t>(index)];
    run_click();
}

void Button::click() {
    if (shown() && enabled) {
        run_click();
    }
}

void OptionButton::set_value(bool selected) {
    if (selected && window != nullptr) {
        for (const auto& other : window->controls()) {
            if (other.get() != this && other->kind() == Kind::OptionButton &&
                other->container == container) {
                static_cast<OptionButton&>(*other).chosen = false;
            }
        }
    }
    chosen = selected;
}

void PictureBox::set_picture(PicturePtr held) {
    picture = std::move(held);
    if (picture) {
        width = (static_cast<float>(picture->width) + 2 * kFramePixels) * kTwipsPerPixel;
        height = (static_cast<float>(picture->height) + 2 * kFramePixels) * kTwipsPerPixel;
    }
}

} // namespace tk
