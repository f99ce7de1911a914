// SPDX-License-Identifier: GPL-2.0-or-later
#include "../slots/canvas_fixture.h"
#include "assist/nudge.h"
#include "convert.h"

#include <gtest/gtest.h>

namespace {

int lcd(float twips) { return ConvertNumbers(twips_to_int16(twips), true); }

class NudgeTest : public CanvasTest {};

// For every whole-twip Left (and Top) the canvas limits allow and every
// step: the converted position moves by exactly the step, to the twip
// nearest to where it was, unless the limits stop it first; only Left (Top)
// changes and the markers follow.
TEST_F(NudgeTest, EveryWholeTwipMovesByExactlyTheStep) {
    constexpr float kWidth = 1320;
    constexpr float kHeight = 720;
    tk::Image& image = put_picture(1, 600, 600, kWidth, kHeight);
    click_at(900, 900);
    ASSERT_EQ(assist::selected_picture(form), 1);

    for (const bool across : {true, false}) {
        float& moved = across ? image.left : image.top;
        const float kept_before = across ? image.top : image.left;
        const int limit = static_cast<int>(across ? Form1::kCanvasRight - kWidth
                                                  : Form1::kCanvasBottom - kHeight);
        for (int t = 0; t <= limit; ++t) {
            for (const int steps : {1, -1, 8, -8}) {
                moved = static_cast<float>(t);
                const int from = lcd(moved);
                ASSERT_TRUE(assist::nudge(form, across ? steps : 0, across ? 0 : steps));
                const int target = from + steps;
                // The nearest twip at the target, walking from t.
                int expected = t;
                const int dir = steps > 0 ? 1 : -1;
                while (expected >= 0 && expected <= limit &&
                       lcd(static_cast<float>(expected)) != target) {
                    expected += dir;
                }
                if (expected < 0) {
                    expected = 0;
                } else if (expected > limit) {
                    expected = limit;
                }
                ASSERT_EQ(moved, static_cast<float>(expected)) << t << " by " << steps;
                ASSERT_EQ(across ? image.top : image.left, kept_before);
                ASSERT_EQ(image.width, kWidth);
                ASSERT_EQ(image.height, kHeight);
                ASSERT_EQ(form.lblPicture(1).left, image.left - 75);
                ASSERT_EQ(form.lblPicture(4).top, kHeight + image.top - 75);
            }
        }
        moved = 600;
    }
}

TEST_F(NudgeTest, NothingMovesWithoutASelectedPicture) {
    tk::Image& image = put_picture(1, 600, 600, 1320, 720);
    EXPECT_FALSE(assist::nudge(form, 1, 0));
    click_at(900, 900); // selected
    click_at(900, 900); // and deselected: the markers are gone
    EXPECT_FALSE(assist::nudge(form, 1, 0));
    EXPECT_EQ(image.left, 600);
    click_at(900, 900);
    form.mouse_press(tk::kLeftButton, 0, 900, 900); // held: it sinks
    EXPECT_FALSE(assist::nudge(form, 1, 0));
    form.mouse_release(tk::kLeftButton, 0, 900, 900);
    EXPECT_EQ(image.left, 600);
}

} // namespace
