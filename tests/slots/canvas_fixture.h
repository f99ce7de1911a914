// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "form1.h"
#include "gestures.h"
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

    void hover(float x, float y) { gestures::hover(form, x, y); }
    void click_at(float x, float y, std::int16_t button = tk::kLeftButton) {
        gestures::click_at(form, x, y, button);
    }
    void drag(float x0, float y0, float x1, float y1, std::int16_t button = tk::kLeftButton) {
        gestures::drag(form, x0, y0, x1, y1, button);
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
