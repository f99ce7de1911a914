// SPDX-License-Identifier: GPL-2.0-or-later
// Drawing a rectangle on the bare canvas: the band, the finished rectangle and
// the enabling of "C&reate Hotspot".
#include "../slots/canvas_fixture.h"

namespace {

using Band = CanvasTest;
using Ends = std::array<float, 4>;

TEST_F(Band, FollowsThePointerWhileTheButtonIsHeld) {
    hover(600, 480);
    form.mouse_press(tk::kLeftButton, 0, 600, 480);
    form.mouse_move(tk::kLeftButton, 0, 1800, 1200);
    for (int k = 1; k <= 4; ++k) {
        EXPECT_TRUE(form.lin(k).visible) << k;
        EXPECT_FALSE(form.lin(k + 4).visible) << k + 4;
    }
    EXPECT_EQ(ends(form.lin(1)), (Ends{600, 480, 1800, 480}));
    EXPECT_EQ(ends(form.lin(2)), (Ends{600, 480, 600, 1200}));
    EXPECT_EQ(ends(form.lin(3)), (Ends{600, 1200, 1800, 1200}));
    EXPECT_EQ(ends(form.lin(4)), (Ends{1800, 480, 1800, 1200}));
    EXPECT_EQ(form.Text(3).text, "600");
    EXPECT_EQ(form.Text(4).text, "480");
}

TEST_F(Band, ReleaseLeavesTheRectangleInEitherDirection) {
    struct Case {
        const char* what;
        float x0, y0, x1, y1;
        Ends lin5, lin6, lin7, lin8;
    };
    const Case cases[] = {
        {"down and right",
         600,
         480,
         1800,
         1200,
         {600, 1200, 1800, 1200},
         {1800, 480, 1800, 1200},
         {600, 480, 1800, 480},
         {600, 480, 600, 1200}},
        // Mirrored: lin7 and lin8 now run along the bottom and right edges.
        {"up and left",
         1800,
         1200,
         600,
         480,
         {1800, 480, 600, 480},
         {600, 1200, 600, 480},
         {1800, 1200, 600, 1200},
         {1800, 1200, 1800, 480}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        drag(c.x0, c.y0, c.x1, c.y1);
        EXPECT_EQ(ends(form.lin(5)), c.lin5);
        EXPECT_EQ(ends(form.lin(6)), c.lin6);
        EXPECT_EQ(ends(form.lin(7)), c.lin7);
        EXPECT_EQ(ends(form.lin(8)), c.lin8);
        for (int k = 1; k <= 4; ++k) {
            EXPECT_FALSE(form.lin(k).visible) << k;
            EXPECT_TRUE(form.lin(k + 4).visible) << k + 4;
        }
        EXPECT_EQ(form.Text(5).text, form.ccX.text());
        EXPECT_EQ(form.Text(6).text, form.ccY.text());
        EXPECT_TRUE(form.cmdHotspot.enabled);
    }
}

TEST_F(Band, OnlyARectangleWithAWidthEnablesCreate) {
    struct Case {
        const char* what;
        float x1, y1;
        bool enables;
    };
    const Case cases[] = {
        {"a click without movement", 600, 480, false},
        {"a vertical drag", 600, 1500, false},
        {"a horizontal drag", 1500, 480, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        form.cmdHotspot.enabled = false;
        drag(600, 480, c.x1, c.y1);
        EXPECT_EQ(form.cmdHotspot.enabled, c.enables);
        EXPECT_TRUE(form.lin(5).visible);
    }
    // An earlier rectangle's enabling is not taken back by a click.
    click_at(3000, 3000);
    EXPECT_TRUE(form.cmdHotspot.enabled);
    EXPECT_EQ(form.cX, form.ccX);
}

TEST_F(Band, FinishedRectangleStopsAtTheCanvasLimits) {
    // Released over the control panel, then out of the window up and left.
    drag(9000, 600, 11000, 7600);
    EXPECT_EQ(form.lin(1).x2, 11000) << "the band itself reaches the pointer";
    EXPECT_EQ(form.movX, Variant(std::int16_t{9720}));
    EXPECT_EQ(form.movY, Variant(std::int16_t{7315}));
    EXPECT_EQ(ends(form.lin(5)), (Ends{9000, 7315, 9720, 7315}));
    EXPECT_EQ(ends(form.lin(6)), (Ends{9720, 600, 9720, 7315}));
    EXPECT_EQ(form.ccX, Variant(11000.0F));
    EXPECT_EQ(form.Text(5).text, "11000");
    EXPECT_EQ(form.Text(6).text, "7600");

    drag(600, 480, -300, -150.5F);
    EXPECT_EQ(ends(form.lin(7)), (Ends{600, 480, 0, 480}));
    EXPECT_EQ(ends(form.lin(8)), (Ends{600, 480, 600, 0}));
    EXPECT_EQ(form.Text(5).text, "-300");
    EXPECT_EQ(form.Text(6).text, "-150.5");
}

TEST_F(Band, EveryButtonDrawsAndANewPressHidesTheLastRectangle) {
    for (std::int16_t button : {tk::kRightButton, tk::kMiddleButton}) {
        drag(600, 480, 1800, 1200, button);
        EXPECT_EQ(ends(form.lin(5)), (Ends{600, 1200, 1800, 1200}));
        hover(3000, 3000);
        form.mouse_press(button, 0, 3000, 3000);
        for (int k = 5; k <= 8; ++k) {
            EXPECT_FALSE(form.lin(k).visible) << k;
        }
        form.mouse_release(button, 0, 3000, 3000);
    }
}

// Below the control panel, right of the grid: the press point is not clamped.
TEST_F(Band, PressOutsideTheGridStartsThere) {
    drag(10500, 5000, 9000, 4000);
    EXPECT_EQ(form.Text(3).text, "10500");
    EXPECT_EQ(ends(form.lin(7)), (Ends{10500, 5000, 9000, 5000}));
    EXPECT_TRUE(form.cmdHotspot.enabled);
}

} // namespace
