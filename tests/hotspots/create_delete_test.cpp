// SPDX-License-Identifier: GPL-2.0-or-later
// Turning the drawn rectangle into a hotspot; selecting and deleting hotspots.
#include "../slots/canvas_fixture.h"
#include "codegen/generate.h"

namespace {

using Hotspots = CanvasTest;
using Box = std::array<float, 4>;

int shown_count(const Form1& form) {
    int count = 0;
    for (int k = 1; k <= Form1::kHotspots; ++k) {
        count += form.lbl(k).visible ? 1 : 0;
    }
    return count;
}

TEST_F(Hotspots, SameLabelFromAllFourDragDirections) {
    const std::array<float, 4> drags[] = {{600, 480, 1800, 1200},
                                          {1800, 1200, 600, 480},
                                          {600, 1200, 1800, 480},
                                          {1800, 480, 600, 1200}};
    for (const auto& d : drags) {
        SCOPED_TRACE(::testing::Message() << d[0] << "," << d[1] << " to " << d[2] << "," << d[3]);
        form.cmdReset.click();
        make_hotspot(d[0], d[1], d[2], d[3]);
        EXPECT_TRUE(form.lbl(1).visible);
        EXPECT_EQ(form.lbl(1).back_color, tk::kRed);
        EXPECT_EQ(rect(form.lbl(1)), (Box{600, 480, 1200, 720}));
        for (int k = 5; k <= 8; ++k) {
            EXPECT_FALSE(form.lin(k).visible) << k;
        }
        EXPECT_FALSE(form.cmdHotspot.enabled);
        EXPECT_TRUE(form.cmdDeleteHS.enabled);
        EXPECT_TRUE(form.hs.is(1));
    }
}

TEST_F(Hotspots, SizesAndLimits) {
    struct Case {
        const char* what;
        float x0, y0, x1, y1;
        Box label;
    };
    const Case cases[] = {
        // dy is 0, so the corner stays at the press point.
        {"horizontal drag to the left", 1800, 480, 600, 480, {1800, 480, 1200, 0}},
        {"released over the panel", 9000, 600, 11000, 900, {9000, 600, 720, 300}},
        {"released out of the window", 600, 480, -300, -200, {-300, -200, 900, 680}},
        {"released below the grid", 600, 7000, 900, 7600, {600, 7000, 300, 315}},
        // Started right of or below the canvas: no room left, so no size.
        {"started right of the canvas", 10000, 5000, 10500, 5500, {10000, 5000, 0, 500}},
        {"started below the canvas", 3000, 7500, 3600, 7600, {3000, 7500, 600, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        form.cmdReset.click();
        make_hotspot(c.x0, c.y0, c.x1, c.y1);
        EXPECT_TRUE(form.lbl(1).visible);
        EXPECT_EQ(rect(form.lbl(1)), c.label);
    }
}

// A vertical drag does not enable the button, but one enabled before still
// makes a hotspot of it: dx is 0, so the corner stays at the press point.
TEST_F(Hotspots, VerticalDragUpKeepsThePressPointAsCorner) {
    drag(3000, 3000, 3600, 3600);
    drag(600, 1200, 600, 480);
    ASSERT_TRUE(form.cmdHotspot.enabled);
    form.cmdHotspot.click();
    EXPECT_EQ(rect(form.lbl(1)), (Box{600, 1200, 0, 720}));
}

TEST_F(Hotspots, LowestFreeLabelAndNoEleventh) {
    for (int k = 1; k <= 5; ++k) {
        make_hotspot(600.0F * static_cast<float>(k), 480, 600.0F * static_cast<float>(k) + 300,
                     900);
    }
    click_at(1900, 600); // hotspot 3
    form.cmdDeleteHS.click();
    EXPECT_FALSE(form.lbl(3).visible);
    make_hotspot(300, 3000, 900, 3600);
    EXPECT_TRUE(form.lbl(3).visible);
    EXPECT_EQ(rect(form.lbl(3)), (Box{300, 3000, 600, 600}));

    for (int k = 6; k <= 10; ++k) {
        make_hotspot(600.0F * static_cast<float>(k), 480, 600.0F * static_cast<float>(k) + 300,
                     900);
    }
    ASSERT_EQ(shown_count(form), 10);
    drag(300, 5000, 900, 5600);
    form.cmdHotspot.click();
    EXPECT_EQ(shown_count(form), 10);
    EXPECT_EQ(rect(form.lbl(1)), (Box{600, 480, 300, 420}));
    EXPECT_TRUE(form.hs.is(11));
    EXPECT_FALSE(form.lin(5).visible);
    EXPECT_TRUE(form.cmdHotspot.enabled);
    EXPECT_TRUE(form.cmdDeleteHS.enabled);
}

TEST_F(Hotspots, ClickSelectsOneAtATimeAndDeleteTakesTheSelected) {
    for (int k = 1; k <= 4; ++k) {
        make_hotspot(1200.0F * static_cast<float>(k), 480, 1200.0F * static_cast<float>(k) + 600,
                     900);
    }
    const auto centre = [](int k) { return 1200.0F * static_cast<float>(k) + 300; };

    click_at(centre(2), 700);
    EXPECT_EQ(form.lbl(2).back_color, tk::kBlue);
    EXPECT_TRUE(form.hsi.is(2));
    click_at(centre(4), 700);
    EXPECT_EQ(form.lbl(4).back_color, tk::kBlue);
    EXPECT_EQ(form.lbl(2).back_color, tk::kRed);
    EXPECT_TRUE(form.hsi.is(4));
    form.cmdDeleteHS.click();
    EXPECT_FALSE(form.lbl(4).visible);
    EXPECT_EQ(form.lbl(4).back_color, tk::kRed);

    // Clicked twice: red again, and Delete removes nothing.
    click_at(centre(2), 700);
    click_at(centre(2), 700);
    EXPECT_EQ(form.lbl(2).back_color, tk::kRed);
    EXPECT_TRUE(form.hsi.is(2));
    form.cmdDeleteHS.click();
    EXPECT_EQ(shown_count(form), 3);
    EXPECT_TRUE(form.cmdDeleteHS.enabled);
}

TEST_F(Hotspots, DeleteButtonFollowsTheShownHotspots) {
    make_hotspot(600, 480, 1800, 1200);
    form.cmdDeleteHS.click(); // nothing was ever clicked
    EXPECT_TRUE(form.lbl(1).visible);
    EXPECT_TRUE(form.cmdDeleteHS.enabled);

    click_at(1000, 800);
    form.cmdDeleteHS.click();
    EXPECT_EQ(shown_count(form), 0);
    EXPECT_FALSE(form.cmdDeleteHS.enabled);
    EXPECT_TRUE(form.hsi.is(1));
}

TEST_F(Hotspots, SelectedHotspotIsLeftOutOfTheCode) {
    make_hotspot(600, 480, 1800, 1200);
    make_hotspot(3000, 480, 4200, 1200);
    const std::string first = "Penvane1.KeyPadAddHotSpot 0, 1, 20, 16, 39, 23\r\n";
    const std::string second_alone = "Penvane1.KeyPadAddHotSpot 0, 1, 99, 16, 39, 23\r\n";
    const std::string second = "Penvane1.KeyPadAddHotSpot 1, 1, 99, 16, 39, 23\r\n";
    EXPECT_EQ(codegen::generate_code(form), first + second);
    click_at(1000, 800);
    EXPECT_EQ(codegen::generate_code(form), second_alone);
    click_at(1000, 800);
    EXPECT_EQ(codegen::generate_code(form), first + second);
}

} // namespace
