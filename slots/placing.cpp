// SPDX-License-Identifier: GPL-2.0-or-later
#include "slots/placing.h"

#include "form1.h"
#include "slots/delete_reset.h"
#include "slots/handlers.h"
#include "variant.h"

namespace picture_slots {

namespace {
constexpr float kMarkerOffset = 75;
constexpr float kPressOffset = 40;
} // namespace

void hide_markers(Form1& form) {
    for (int m = 1; m <= 4; ++m) {
        form.lblPicture(m).visible = false;
    }
}

std::optional<int> named_slot(const Variant& value) {
    for (int n = 1; n <= Form1::kSlots; ++n) {
        if (value.is(n)) {
            return n;
        }
    }
    return std::nullopt;
}

void place_markers(Form1& form, const tk::Image& image) {
    const float l = image.left;
    const float t = image.top;
    const float w = image.width;
    const float h = image.height;
    tk::Label& m1 = form.lblPicture(1);
    tk::Label& m2 = form.lblPicture(2);
    tk::Label& m3 = form.lblPicture(3);
    tk::Label& m4 = form.lblPicture(4);
    m1.left = l - kMarkerOffset;
    m1.top = t - kMarkerOffset;
    m2.top = t - kMarkerOffset;
    m2.left = w + l - kMarkerOffset;
    m3.left = l - kMarkerOffset;
    m3.top = h + t - kMarkerOffset;
    m4.left = w + l - kMarkerOffset;
    m4.top = h + t - kMarkerOffset;
}

void Image_Click(Form1& form, int n) {
    tk::Image& image = form.Image(n);
    // Selected means the markers are up and intPic names this slot: comparing
    // Left alone would mistake another picture in the same column for it.
    if (form.lblPicture(1).visible && form.intPic.is(n)) {
        hide_markers(form);
        form.intPic.clear();
        image.drag_mode = tk::Image::kAutomatic;
        return;
    }
    image.drag_mode = tk::Image::kManual;
    place_markers(form, image);
    for (int m = 1; m <= 4; ++m) {
        form.lblPicture(m).visible = true;
    }
    auto slot = static_cast<std::int16_t>(n);
    form.intPic = slot;
    DragModeCheck(form, slot);
}

void DragModeCheck(Form1& form, std::int16_t& intDMC) {
    for (int k = 1; k <= Form1::kSlots; ++k) {
        if (k != intDMC) {
            form.Image(k).drag_mode = tk::Image::kAutomatic;
        }
    }
}

// A held picture sinks a little, and comes back on release.
void Image_MouseDown(Form1& form, int n, const tk::MouseArgs& /*args*/) {
    tk::Image& image = form.Image(n);
    image.left = image.left + kPressOffset;
    image.top = image.top + kPressOffset;
}

void Image_MouseUp(Form1& form, int n, const tk::MouseArgs& /*args*/) {
    tk::Image& image = form.Image(n);
    image.left = image.left - kPressOffset;
    image.top = image.top - kPressOffset;
}

// Keeps the grab point for a drop: the pointer inside the picture, and which picture.
void Image_MouseMove(Form1& form, int n, const tk::MouseArgs& args) {
    form.Text(1).text = float_text(args.x);
    form.Text(2).text = float_text(args.y);
    form.i = static_cast<std::int16_t>(n);
}

void keep_on_canvas(tk::Image& image) {
    // Left before right and top before bottom: a picture larger than the
    // canvas ends with its far edge on the limit.
    if (image.left < 0) {
        image.left = 0;
    }
    if (image.top < 0) {
        image.top = 0;
    }
    const float max_left = Form1::kCanvasRight - image.width;
    if (max_left < image.left) {
        image.left = max_left;
    }
    const float max_top = Form1::kCanvasBottom - image.height;
    if (max_top < image.top) {
        image.top = max_top;
    }
}

void Form_DragDrop(Form1& form, tk::Control& /*source*/, float x, float y) {
    form.Lefty = form.Text(1).text;
    form.Toppy = form.Text(2).text;
    // The picture last hovered over is the one moved; a grab point that is not
    // a number (no hover ever reached it) moves nothing.
    const auto n = named_slot(form.i);
    const auto grab_x = form.Lefty.number();
    const auto grab_y = form.Toppy.number();
    if (n && grab_x && grab_y) {
        tk::Image& image = form.Image(*n);
        image.left = static_cast<float>(static_cast<double>(x) - *grab_x);
        image.top = static_cast<float>(static_cast<double>(y) - *grab_y);
        keep_on_canvas(image);
    }
    form.Lefty = std::int16_t{0};
    form.Toppy = std::int16_t{0};
}

void attach_placing(Form1& form) {
    for (int n = 1; n <= Form1::kSlots; ++n) {
        tk::Image& image = form.Image(n);
        image.on_click = [&form, n] { Image_Click(form, n); };
        image.on_mouse_down = [&form, n](const tk::MouseArgs& a) { Image_MouseDown(form, n, a); };
        image.on_mouse_up = [&form, n](const tk::MouseArgs& a) { Image_MouseUp(form, n, a); };
        image.on_mouse_move = [&form, n](const tk::MouseArgs& a) { Image_MouseMove(form, n, a); };
    }
    form.on_drag_drop = [&form](tk::Control& source, float x, float y) {
        Form_DragDrop(form, source, x, y);
    };
    form.cmdDelete.on_click = [&form] { cmdDelete_Click(form); };
    form.cmdReset.on_click = [&form] { cmdReset_Click(form); };
}

} // namespace picture_slots
