// SPDX-License-Identifier: GPL-2.0-or-later
#include "../slots/canvas_fixture.h"
#include "assist/keyboard.h"
#include "assist/nudge.h"
#include "assist/properties.h"

#include <gtest/gtest.h>

namespace {

class KeyboardTest : public CanvasTest {
protected:
    assist::Selected walked(int step) {
        last.follow(form);
        assist::walk(form, last.target(form), step);
        last.follow(form);
        return last.target(form);
    }
    assist::LastSelected last;
};

using S = assist::Selected;

// F6 goes through the pictures a click can select and then every hotspot,
// one selected at a time, and past the end to nothing; Shift+F6 goes back.
TEST_F(KeyboardTest, WalkGoesInSlotThenLabelOrderAsClicksDo) {
    put_picture(1, 0, 0, 600, 300, "a.bmp");
    put_picture(2, 600, 0, 600, 300, "b.bmp");
    put_picture(3, 1200, 0, 600, 300, "c.bmp");
    make_hotspot(600, 3000, 1200, 3600);
    make_hotspot(2400, 3000, 3000, 3600);
    form.cboDisable.choose(2); // b.bmp lets the mouse through: no click selects it
    const std::vector<S> forward = {
        {S::Picture, 1}, {S::Picture, 3}, {S::Hotspot, 1}, {S::Hotspot, 2}, {}, {S::Picture, 1}};
    for (const S& expected : forward) {
        ASSERT_EQ(walked(1), expected);
        // Never two at once: the walk clicks the one before off.
        EXPECT_FALSE(assist::selected_picture(form) && assist::selected_hotspot(form));
    }
    EXPECT_EQ(walked(-1), S{});
    EXPECT_EQ(walked(-1), (S{S::Hotspot, 2}));
    EXPECT_TRUE(form.hsi.is(2)); // as the label's click leaves it
}

// The arrows and Delete follow the selection made last, whichever it is.
TEST_F(KeyboardTest, TheLastSelectionIsTheTarget) {
    put_picture(1, 0, 0, 600, 300);
    make_hotspot(600, 3000, 1200, 3600);
    click_at(300, 150);
    last.follow(form);
    click_at(900, 3300); // the hotspot; the picture stays selected
    last.follow(form);
    ASSERT_EQ(last.target(form), (S{S::Hotspot, 1}));
    const float left = form.lbl(1).left;
    ASSERT_TRUE(assist::nudge_selected(form, last.target(form), 3, 0));
    EXPECT_EQ(assist::hotspot_numbers({left, 0, 0, 0}).x + 3, assist::line_numbers(form.lbl(1)).x);
    EXPECT_EQ(form.Image(1).left, 0);
    assist::delete_selected(form, last.target(form));
    EXPECT_FALSE(form.lbl(1).visible);
    last.follow(form);
    EXPECT_EQ(last.target(form), (S{S::Picture, 1}));
}

// Every number a hotspot side can be typed as: exactly that number in its
// line, or the canvas's last one and a note that says so.
TEST_F(KeyboardTest, EveryTypedHotspotNumberIsReachedOrExplained) {
    make_hotspot(600, 600, 1800, 1200);
    for (const assist::Side side :
         {assist::Side::X, assist::Side::Y, assist::Side::W, assist::Side::H}) {
        for (int value = -2; value <= 330; ++value) {
            const assist::Typed t = assist::set_hotspot_side(form, 1, side, value);
            const tk::Label& label = form.lbl(1);
            ASSERT_EQ(t.reached, assist::side_of(assist::line_numbers(label), side));
            ASSERT_EQ(t.note.empty(), t.reached == value) << value;
            ASSERT_LE(label.left + label.width, Form1::kCanvasRight);
            ASSERT_LE(label.top + label.height, Form1::kCanvasBottom);
            if (t.reached != value && value >= 0) {
                // Short of the canvas only: one more would not fit.
                ASSERT_EQ(t.reached, assist::set_hotspot_side(form, 1, side, 999).reached);
            }
        }
        assist::set_hotspot_side(form, 1, side, side == assist::Side::W ? 40 : 20);
    }
}

} // namespace
