#pragma once

#include "form1.h"
#include "hotspots/handlers.h"
#include "slots/handlers.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

// Form1 with its placing and hotspot handlers, started as the program starts
// it, and mouse gestures fed through the window's router in window twips.
class CanvasTest : public ::testing::Test {
protected:
    CanvasTest() {
        picture_slots::attach_placing(form);
        hotspot_handlers::attach(form);
        form.start_up();
        form.show();
    }

    // Slot n as a finished load leaves it: shown, draggable, titled and listed.
    tk::Image& put_picture(int n, float left, float top, float width, float height,
                           const std::string& title = "pic.bmp") {
        tk::Image& image = form.Image(n);
        image.picture = std::make_shared<tk::Picture>();
        image.left = left;
        image.top = top;
        image.width = width;
        image.height = height;
        image.tag = title;
        image.drag_mode = tk::Image::kAutomatic;
        image.visible = true;
        form.cboDisable.items.push_back(title);
        form.cmdDelete.enabled = true;
        return image;
    }

    void hover(float x, float y) { form.mouse_move(0, 0, x, y); }

    // The pointer comes to (x, y), presses and releases there.
    void click_at(float x, float y, std::int16_t button = tk::kLeftButton) {
        hover(x, y);
        form.mouse_press(button, 0, x, y);
        form.mouse_release(button, 0, x, y);
    }

    // The pointer comes to the first point, presses, moves to the second and
    // releases there.
    void drag(float x0, float y0, float x1, float y1, std::int16_t button = tk::kLeftButton) {
        hover(x0, y0);
        form.mouse_press(button, 0, x0, y0);
        form.mouse_move(button, 0, (x0 + x1) / 2, (y0 + y1) / 2);
        form.mouse_move(button, 0, x1, y1);
        form.mouse_release(button, 0, x1, y1);
    }

    // Draws a rectangle on the bare canvas and makes it a hotspot.
    void make_hotspot(float x0, float y0, float x1, float y1) {
        drag(x0, y0, x1, y1);
        form.cmdHotspot.click();
    }

    static std::array<float, 4> ends(const tk::Line& line) {
        return {line.x1, line.y1, line.x2, line.y2};
    }
    static std::array<float, 4> rect(const tk::Control& c) {
        return {c.left, c.top, c.width, c.height};
    }

    Form1 form;
};
