// SPDX-License-Identifier: GPL-2.0-or-later
// Selecting pictures with a click and moving them by drag and drop.
#include "canvas_fixture.h"

namespace {

using Selecting = CanvasTest;
using Moving = CanvasTest;

std::array<std::array<float, 2>, 4> marker_corners(const Form1& form) {
    std::array<std::array<float, 2>, 4> out{};
    for (int m = 1; m <= 4; ++m) {
        out[m - 1] = {form.lblPicture(m).left, form.lblPicture(m).top};
    }
    return out;
}

bool markers_shown(const Form1& form) {
    bool all = true;
    bool any = false;
    for (int m = 1; m <= 4; ++m) {
        all = all && form.lblPicture(m).visible;
        any = any || form.lblPicture(m).visible;
    }
    EXPECT_EQ(all, any) << "the four markers show and hide together";
    return all;
}

TEST_F(Selecting, ClickFramesThePictureAndSecondClickReleasesIt) {
    put_picture(1, 1200, 600, 900, 450);
    put_picture(2, 4000, 3000, 600, 300);

    // A small wobble under the drag distance is still a click.
    hover(1500, 800);
    form.mouse_press(tk::kLeftButton, 0, 1500, 800);
    form.mouse_move(tk::kLeftButton, 0, 1505, 803);
    form.mouse_release(tk::kLeftButton, 0, 1505, 803);

    EXPECT_TRUE(markers_shown(form));
    const std::array<std::array<float, 2>, 4> corners{
        {{1125, 525}, {2025, 525}, {1125, 975}, {2025, 975}}};
    EXPECT_EQ(marker_corners(form), corners);
    EXPECT_TRUE(form.intPic.is(1));
    EXPECT_EQ(form.Image(1).drag_mode, tk::Image::kManual);
    for (int n = 2; n <= Form1::kSlots; ++n) {
        EXPECT_EQ(form.Image(n).drag_mode, tk::Image::kAutomatic) << "slot " << n;
    }

    click_at(1500, 800);
    EXPECT_FALSE(markers_shown(form));
    EXPECT_TRUE(form.intPic.empty());
    EXPECT_EQ(form.Image(1).drag_mode, tk::Image::kAutomatic);
    EXPECT_EQ(rect(form.Image(1)), (std::array<float, 4>{1200, 600, 900, 450}));
}

TEST_F(Selecting, ClickOnAnotherPictureMovesTheSelection) {
    put_picture(1, 1200, 600, 900, 450);
    put_picture(2, 4000, 3000, 600, 300);
    click_at(1500, 800);
    click_at(4100, 3100);

    EXPECT_TRUE(markers_shown(form));
    EXPECT_EQ(marker_corners(form)[3], (std::array<float, 2>{4525, 3225}));
    EXPECT_TRUE(form.intPic.is(2));
    EXPECT_EQ(form.Image(1).drag_mode, tk::Image::kAutomatic);
    EXPECT_EQ(form.Image(2).drag_mode, tk::Image::kManual);
}

// Two pictures in one column: the second is selected, not taken for the first.
TEST_F(Selecting, PictureWithTheSameLeftIsSelectedInItsTurn) {
    put_picture(1, 1200, 600, 900, 450);
    put_picture(2, 1200, 3000, 900, 450);
    click_at(1500, 800);
    click_at(1500, 3200);

    EXPECT_TRUE(markers_shown(form));
    EXPECT_TRUE(form.intPic.is(2));
    EXPECT_EQ(marker_corners(form)[0], (std::array<float, 2>{1125, 2925}));
    EXPECT_EQ(form.Image(1).drag_mode, tk::Image::kAutomatic);
    EXPECT_EQ(form.Image(2).drag_mode, tk::Image::kManual);
}

TEST_F(Selecting, HeldSelectedPictureSinksAndComesBack) {
    put_picture(1, 1200, 600, 900, 450);
    click_at(1500, 800);
    const auto corners = marker_corners(form);

    hover(1500, 800);
    form.mouse_press(tk::kLeftButton, 0, 1500, 800);
    EXPECT_EQ(form.Image(1).left, 1240);
    EXPECT_EQ(form.Image(1).top, 640);
    EXPECT_EQ(marker_corners(form), corners);

    // A selected picture is not dragged: moving far and releasing puts it back.
    form.mouse_move(tk::kLeftButton, 0, 5000, 5000);
    form.mouse_release(tk::kLeftButton, 0, 5000, 5000);
    EXPECT_EQ(rect(form.Image(1)), (std::array<float, 4>{1200, 600, 900, 450}));
    EXPECT_TRUE(form.intPic.is(1)) << "released away from it: no click";
    EXPECT_EQ(marker_corners(form), corners);
}

TEST_F(Moving, GrabbedPointComesToRestUnderThePointer) {
    put_picture(1, 1200, 600, 900, 450);
    put_picture(2, 6000, 5000, 300, 300);
    click_at(6100, 5100); // picture 2 selected; its markers must stay put
    const auto corners = marker_corners(form);

    drag(1230, 645, 1000, 500);
    EXPECT_EQ(form.Image(1).left, 970);
    EXPECT_EQ(form.Image(1).top, 455);
    EXPECT_EQ(form.Lefty, Variant(std::int16_t{0}));
    EXPECT_EQ(form.Toppy, Variant(std::int16_t{0}));
    EXPECT_EQ(marker_corners(form), corners);
    EXPECT_TRUE(form.intPic.is(2));

    // Grab points between whole twips are kept as they are.
    drag(1007.5F, 480.25F, 3000, 2000);
    EXPECT_EQ(form.Image(1).left, 2962.5F);
    EXPECT_EQ(form.Image(1).top, 1974.75F);
}

TEST_F(Moving, DropIsHeldInsideTheCanvas) {
    struct Case {
        const char* what;
        float width, height; // the picture, placed at (3000, 3000)
        float press_x, press_y, drop_x, drop_y;
        float left, top;
    };
    const Case cases[] = {
        {"left of and above the canvas", 900, 450, 3030, 3045, 10, 20, 0, 0},
        {"past the right and bottom limits", 900, 450, 3030, 3045, 9500, 7200, 8820, 6865},
        {"right edge exactly on the limit", 900, 450, 3030, 3045, 8850, 1000, 8820, 955},
        {"wider than the canvas", 10000, 450, 9000, 3045, 200, 2000, -280, 1955},
        {"taller than the canvas", 450, 8000, 3030, 7000, 1000, 100, 970, -685},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        put_picture(1, 3000, 3000, c.width, c.height);
        drag(c.press_x, c.press_y, c.drop_x, c.drop_y);
        EXPECT_EQ(form.Image(1).left, c.left);
        EXPECT_EQ(form.Image(1).top, c.top);
    }
}

TEST_F(Moving, DropOnAControlMovesNothing) {
    put_picture(1, 1200, 600, 900, 450);
    put_picture(2, 4000, 3000, 600, 300);
    make_hotspot(6000, 1200, 7200, 2400);
    struct Case {
        const char* what;
        float x, y;
    };
    const Case cases[] = {
        {"on another picture", 4300, 3100},
        {"on itself, a drag too short to leave it", 1230 + 200, 645 + 100},
        {"on a hotspot label", 6600, 1800},
        {"on a button", 10400, 300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        drag(1230, 645, c.x, c.y);
        EXPECT_EQ(rect(form.Image(1)), (std::array<float, 4>{1200, 600, 900, 450}));
        EXPECT_TRUE(form.Lefty.empty());
        EXPECT_EQ(form.Text(1).text, "30");
        EXPECT_EQ(form.Text(2).text, "45");
        EXPECT_FALSE(markers_shown(form)) << "a drag is not a click";
    }
}

TEST_F(Moving, TheLastPictureHoveredIsTheOneMoved) {
    put_picture(1, 1200, 600, 900, 450);
    put_picture(2, 4000, 3000, 600, 300);
    hover(4100, 3100);
    EXPECT_TRUE(form.i.is(2));
    drag(1230, 645, 1000, 500);
    EXPECT_TRUE(form.i.is(1));
    EXPECT_EQ(form.Image(1).left, 970);
    EXPECT_EQ(form.Image(2).left, 4000);
}

} // namespace
