// SPDX-License-Identifier: GPL-2.0-or-later
#include "../slots/canvas_fixture.h"
#include "assist/lcd.h"
#include "assist/read_out.h"
#include "codegen/generate.h"
#include "convert.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace {

using assist::first_twip;
using assist::LcdNumbers;

// The first position each twip limit reaches is found by the conversion, for
// every position the 16-bit twips reach.
TEST(LcdFrameTest, EdgesAreTheFirstTwipsOutside) {
    EXPECT_EQ(ConvertNumbers(7232, true), 239);
    EXPECT_EQ(ConvertNumbers(7233, true), 240);
    EXPECT_EQ(ConvertNumbers(3850, false), 127);
    EXPECT_EQ(ConvertNumbers(3851, false), 128);
    const tk::Rect area = assist::lcd_area();
    EXPECT_EQ(area.left, 0);
    EXPECT_EQ(area.top, 0);
    EXPECT_EQ(area.width, 7233);
    EXPECT_EQ(area.height, 3851);
    for (int p = 1; p <= ConvertNumbers(32767, true); ++p) {
        const int t = first_twip(p);
        ASSERT_EQ(ConvertNumbers(static_cast<std::int16_t>(t), true), p) << p;
        ASSERT_EQ(ConvertNumbers(static_cast<std::int16_t>(t - 1), true), p - 1) << p;
    }
    const auto [cx, cy] = assist::lcd_centre();
    EXPECT_EQ(ConvertNumbers(twips_to_int16(cx), true), 120);
    EXPECT_EQ(ConvertNumbers(twips_to_int16(cy), false), 64);
}

// The last four numbers of a generated line.
LcdNumbers numbers_of(const std::string& line) {
    std::vector<int> fields;
    std::stringstream in(line.substr(line.find(' ') + 1));
    std::string field;
    while (std::getline(in, field, ',')) {
        std::stringstream(field) >> fields.emplace_back();
    }
    const auto n = fields.size();
    auto at = [&](std::size_t k) { return static_cast<std::int16_t>(fields.at(n - k)); };
    const bool bitmap = line.find("LCDWriteBitmap") != std::string::npos;
    const std::size_t last = bitmap ? 2 : 1; // the picture's name comes last
    return {at(last + 3), at(last + 2), at(last + 1), at(last)};
}

std::string numbers_text(const LcdNumbers& n) {
    return "x " + std::to_string(n.x) + "  y " + std::to_string(n.y) + "  w " +
           std::to_string(n.w) + "  h " + std::to_string(n.h);
}

// The read-out's texts; with `first`, only its first lines.
std::vector<std::string> texts(const std::vector<assist::ReadOutLine>& lines,
                               std::size_t first = SIZE_MAX) {
    std::vector<std::string> out;
    for (std::size_t k = 0; k < lines.size() && k < first; ++k) {
        out.push_back(lines[k].text);
    }
    return out;
}

class LcdNumbersTest : public CanvasTest {};

// Each placement: its line in the generated code, the numbers of the shared
// computation and the read-out of the selected control all agree with the
// numbers worked out by hand, overhang included.
TEST_F(LcdNumbersTest, ReadOutAndGeneratedLineCarryTheSameNumbers) {
    const struct {
        bool picture;
        float left, top, width, height;
        LcdNumbers expected;
        const char* past; // the read-out's overhang line, or ""
        std::size_t bands;
    } cases[] = {
        {true, 0, 0, 7200, 3840, {0, 0, 233, 124}, "", 0},
        {true, 1815, 960, 1440, 720, {60, 32, 43, 19}, "", 0},
        {true, 0, 0, 5562, 2966, {0, 0, 176, 92}, "", 0}, // 180 and 96, reduced
        {true, 0, 0, 92, 123, {0, 0, -1, 0}, "", 0},      // 3 and 4, reduced below 1
        {true, 6000, 0, 1440, 720, {199, 0, 43, 19}, "Past LCD: 2 right", 1},
        {true, 7000, 3000, 5593, 2997, {232, 99, 181, 97}, "Past LCD: 173 right, 68 down", 2},
        {true, 8400, 6595, 1320, 720, {278, 218, 39, 19}, "Past LCD: 77 right, 109 down", 2},
        {false, 1815, 960, 1440, 720, {60, 32, 47, 23}, "", 0},
        {false, 4320, 960, 1440, 720, {143, 32, 47, 23}, "", 0},
        {false, -40, 0, 600, 300, {0, 0, 19, 10}, "", 0},
        {false, 7000, 3500, 1000, 1000, {232, 116, 32, 32}, "Past LCD: 24 right, 20 down", 2},
        {false, 2000, 3600, 600, 600, {66, 119, 19, 19}, "Past LCD: 10 down", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.picture ? "picture " : "hotspot ") << c.left << ", "
                                        << c.top << ", " << c.width << " x " << c.height);
        form.cmdReset.click();
        tk::Control* control = nullptr;
        std::string title;
        if (c.picture) {
            control = &put_picture(3, c.left, c.top, c.width, c.height, "logo.bmp");
            title = "Picture 3: logo.bmp";
        } else {
            control = &form.lbl(2);
            control->visible = true;
            control->left = c.left;
            control->top = c.top;
            control->width = c.width;
            control->height = c.height;
            title = "Hotspot 0 in the code"; // label 1 is free
        }
        EXPECT_EQ(assist::line_numbers(*control), c.expected);
        EXPECT_EQ(assist::overhang_bands(form).size(), c.bands);
        for (const tk::Rect& band : assist::overhang_bands(form)) {
            // A band starts at the LCD's edge or inside the generated rectangle past it.
            EXPECT_TRUE(band.left >= 7233 || band.top >= 3851);
        }

        gestures::click(form, *control); // selects it: markers, or blue
        std::vector<std::string> expected = {title, numbers_text(c.expected)};
        if (*c.past != '\0') {
            expected.emplace_back(c.past);
        }
        EXPECT_EQ(texts(assist::read_out(form, std::nullopt), expected.size()), expected);

        if (!c.picture) {
            gestures::click(form, *control); // red again, so that it is written
        }
        const std::string code = codegen::generate_code(form);
        EXPECT_EQ(numbers_of(code.substr(0, code.find('\r'))), c.expected) << code;
    }
}

// While a band is drawn the read-out shows the numbers that the hotspot made
// from it will be written with, also for a band pulled past the canvas.
TEST_F(LcdNumbersTest, BandReadOutIsTheHotspotLineToCome) {
    const struct {
        float x0, y0, x1, y1;
    } bands[] = {{600, 480, 1800, 1200},
                 {1800, 1200, 600, 480},
                 {9000, 600, 11000, 900},
                 {7000, 3000, 9300, 7000}};
    for (const auto& b : bands) {
        form.cmdReset.click();
        hover(b.x0, b.y0);
        form.mouse_press(tk::kLeftButton, 0, b.x0, b.y0);
        form.mouse_move(tk::kLeftButton, 0, b.x1, b.y1);
        const auto drawn = texts(assist::read_out(form, std::make_pair(b.x1, b.y1)), 2);
        form.mouse_release(tk::kLeftButton, 0, b.x1, b.y1);
        // Released, the numbers stay until the hotspot is made.
        const auto released = texts(assist::read_out(form, std::nullopt), 2);
        form.cmdHotspot.click();
        const std::string code = codegen::generate_code(form);
        const std::vector<std::string> expected = {"New hotspot 0 in the code",
                                                   numbers_text(numbers_of(code))};
        EXPECT_EQ(drawn, expected) << code;
        EXPECT_EQ(released, expected) << code;
        EXPECT_TRUE(texts(assist::read_out(form, std::nullopt)).empty() ||
                    texts(assist::read_out(form, std::nullopt))[0] != expected[0]);
    }
}

TEST_F(LcdNumbersTest, PointerReadOutOnlyOverTheCanvas) {
    EXPECT_EQ(texts(assist::read_out(form, std::make_pair(3624.0F, 1933.0F))),
              std::vector<std::string>{"Pointer  x 120  y 64"});
    EXPECT_EQ(texts(assist::read_out(form, std::make_pair(9719.0F, 0.0F))),
              std::vector<std::string>{"Pointer  x 322  y 0"});
    EXPECT_TRUE(assist::read_out(form, std::make_pair(9720.0F, 100.0F)).empty()); // the panel
    EXPECT_TRUE(assist::read_out(form, std::nullopt).empty());
}

} // namespace
