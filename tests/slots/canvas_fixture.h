// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "fakes.h"
#include "form1.h"
#include "gestures.h"
#include "program.h"
#include "slots/status_dialog.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The program's main window with every handler wired, started as the program
// starts it, and mouse gestures fed through the window's router in window twips.
class CanvasTest : public ::testing::Test {
protected:
    CanvasTest() : form(started(program)) {}

    // A picture loaded into slot n through "&Load Image" and the status dialog's
    // OK, then given its place and size (what a drop or a test's layout decides).
    tk::Image& put_picture(int n, float left, float top, float width, float height,
                           const std::string& title = "pic.bmp") {
        // The free slots below n stand taken meanwhile: a load takes the lowest free one.
        const auto taken = std::make_shared<tk::Picture>();
        std::vector<int> held;
        for (int k = 1; k < n; ++k) {
            if (!form.Image(k).has_picture()) {
                form.Image(k).picture = taken;
                held.push_back(k);
            }
        }
        const std::string path = "/pics/" + std::to_string(n) + "/" + title;
        platform.pictures.add(path, 20, 10);
        platform.files.choose(path);
        form.cmdNewPicture.click();
        for (const int k : held) {
            form.Image(k).picture.reset();
        }
        if (auto* dialog = program.status_dialog()) {
            dialog->cmdReturn.click();
        }
        tk::Image& image = form.Image(n);
        EXPECT_EQ(image.tag, title) << "the load went to slot " << n;
        image.left = left;
        image.top = top;
        image.width = width;
        image.height = height;
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

    static Form1& started(Program& p) {
        p.start();
        return *p.form1();
    }

    fakes::Platform platform;
    Program program{platform.services};
    Form1& form;
};
