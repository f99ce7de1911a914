// SPDX-License-Identifier: GPL-2.0-or-later
// "&Delete Image" and "Re&set All".
#include "canvas_fixture.h"
#include "fakes.h"
#include "program.h"
#include "slots/status_dialog.h"

#include <vector>

namespace {

using Deleting = CanvasTest;
using Resetting = CanvasTest;
using Items = std::vector<std::string>;

TEST_F(Deleting, WithNothingSelectedChangesNothing) {
    put_picture(1, 1200, 600, 900, 450, "a.bmp");
    put_picture(2, 4000, 3000, 600, 300, "b.bmp");
    form.cmdDelete.click();
    EXPECT_TRUE(form.Image(1).has_picture());
    EXPECT_TRUE(form.Image(2).visible);
    EXPECT_EQ(form.Image(2).tag, "b.bmp");
    EXPECT_EQ(form.cboDisable.items, (Items{"None", "a.bmp", "b.bmp"}));
    EXPECT_TRUE(form.cmdDelete.enabled);
}

TEST_F(Deleting, TheLastPictureEmptiesItsSlotAndDisablesTheButton) {
    for (int n : {1, 10}) {
        SCOPED_TRACE(n);
        put_picture(n, 1200, 600, 900, 450, "logo.bmp");
        form.set_intIDS(n, 1);
        form.set_intMode(n, 3);
        form.strFileName(n) = "logo";
        click_at(1500, 800);
        ASSERT_TRUE(form.intPic.is(n));

        form.cmdDelete.click();
        EXPECT_FALSE(form.Image(n).has_picture());
        EXPECT_FALSE(form.Image(n).visible);
        EXPECT_EQ(form.Image(n).tag, "");
        // Slot 10's status is a plain integer: it goes to 0, the others to empty.
        EXPECT_EQ(form.intIDS(n), n == 10 ? Variant(std::int16_t{0}) : Variant());
        EXPECT_EQ(form.intMode(n), Variant(std::int16_t{3}));
        EXPECT_EQ(form.strFileName(n), Variant("logo"));
        EXPECT_EQ(form.cboDisable.items, Items{"None"});
        EXPECT_FALSE(form.cmdDelete.enabled);
        EXPECT_FALSE(form.lblPicture(1).visible || form.lblPicture(4).visible);
        EXPECT_TRUE(form.intPic.empty());
    }
}

TEST_F(Deleting, RemovesTheFirstEntryWithTheTitle) {
    put_picture(2, 1200, 600, 900, 450, "a.bmp");
    put_picture(3, 4000, 600, 900, 450, "A.bmp");
    put_picture(5, 4000, 3000, 600, 300, "a.bmp");
    click_at(4100, 3100); // slot 5: its title is listed twice
    form.cmdDelete.click();
    EXPECT_EQ(form.cboDisable.items, (Items{"None", "A.bmp", "a.bmp"}));
    EXPECT_TRUE(form.Image(2).has_picture());
    EXPECT_TRUE(form.cmdDelete.enabled);
}

TEST_F(Deleting, NeverRemovesNone) {
    // A selected picture whose title has no entry of its own.
    put_picture(1, 1200, 600, 900, 450, "a.bmp");
    form.cboDisable.items.pop_back();
    click_at(1500, 800);
    form.cmdDelete.click();
    EXPECT_FALSE(form.Image(1).has_picture());
    EXPECT_EQ(form.cboDisable.items, Items{"None"});
}

TEST_F(Deleting, DisabledPictureStaysDisabled) {
    put_picture(1, 1200, 600, 900, 450, "a.bmp");
    put_picture(2, 4000, 3000, 600, 300, "b.bmp");
    click_at(1500, 800);
    form.cboDisable.choose(1); // "a.bmp"
    form.cmdDelete.click();
    EXPECT_FALSE(form.Image(1).has_picture());
    EXPECT_FALSE(form.Image(1).enabled);
    EXPECT_TRUE(form.Image(2).enabled);
}

TEST_F(Resetting, ClearsTheCanvasAndTwiceIsLikeOnce) {
    put_picture(1, 1200, 600, 900, 450, "a.bmp");
    put_picture(2, 4000, 3000, 600, 300, "b.bmp");
    form.set_intIDS(1, 1);
    form.strFileName(1) = "a";
    make_hotspot(6000, 1200, 7200, 2400);
    make_hotspot(6000, 3600, 7200, 4800);
    click_at(6600, 1800);       // hotspot 1 blue
    drag(300, 6000, 900, 6600); // a drawn rectangle left on the canvas
    click_at(1500, 800);        // picture 1 selected
    form.cboDisable.choose(2);  // picture 2 disabled

    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        form.cmdReset.click();
        for (int n = 1; n <= Form1::kSlots; ++n) {
            EXPECT_FALSE(form.Image(n).visible || form.Image(n).has_picture()) << n;
            EXPECT_EQ(form.Image(n).tag, "") << n;
            EXPECT_FALSE(form.lbl(n).visible) << n;
            EXPECT_EQ(form.lbl(n).back_color, tk::kRed) << n;
        }
        for (int m = 1; m <= 4; ++m) {
            EXPECT_FALSE(form.lblPicture(m).visible);
        }
        for (int k = 1; k <= 8; ++k) {
            EXPECT_FALSE(form.lin(k).visible);
        }
        EXPECT_EQ(form.cboDisable.items, Items{"None"});
        EXPECT_EQ(form.cboDisable.text, "None");
        EXPECT_TRUE(form.intPic.empty());
        // Not a choice in the list: the disabled control stays so.
        EXPECT_FALSE(form.Image(2).enabled);
        // Variables and buttons are left as they were.
        EXPECT_EQ(form.intIDS(1), Variant(std::int16_t{1}));
        EXPECT_EQ(form.strFileName(1), Variant("a"));
        EXPECT_TRUE(form.hsi.is(1));
        EXPECT_TRUE(form.cmdDelete.enabled);
        EXPECT_TRUE(form.cmdDeleteHS.enabled);
    }
}

// After a reset the old selection is gone: Delete neither removes "None" nor
// takes away a picture placed since in the slot that was selected.
TEST_F(Resetting, LeavesNothingForALaterDelete) {
    put_picture(1, 1200, 600, 900, 450, "a.bmp");
    click_at(1500, 800);
    form.cmdReset.click();
    form.cmdDelete.click();
    EXPECT_EQ(form.cboDisable.items, Items{"None"});

    put_picture(1, 0, 0, 900, 450, "b.bmp");
    form.cmdDelete.click();
    EXPECT_TRUE(form.Image(1).has_picture());
    EXPECT_EQ(form.cboDisable.items, (Items{"None", "b.bmp"}));
}

// The same buttons with pictures brought in by "&Load Image".
class WithLoads : public ::testing::Test {
protected:
    WithLoads() { prog.start(); }
    Form1& form() { return *prog.form1(); }

    // Loads a 10 x 10 pixel picture (420 twips square at the top-left corner)
    // and drags it so that its top-left corner comes to (left, top).
    void load_and_place(const std::string& title, float left, float top) {
        p.pictures.add("/pics/" + title, 10, 10);
        p.files.choose("/pics/" + title);
        form().cmdNewPicture.click();
        prog.status_dialog()->cmdReturn.click();
        form().mouse_move(0, 0, 100, 100);
        form().mouse_press(tk::kLeftButton, 0, 100, 100);
        form().mouse_move(tk::kLeftButton, 0, left + 100, top + 100);
        form().mouse_release(tk::kLeftButton, 0, left + 100, top + 100);
    }
    void click_at(float x, float y) {
        form().mouse_move(0, 0, x, y);
        form().mouse_press(tk::kLeftButton, 0, x, y);
        form().mouse_release(tk::kLeftButton, 0, x, y);
    }

    fakes::Platform p;
    Program prog{p.services};
};

TEST_F(WithLoads, ADeletedSlotIsTheNextOneFilled) {
    for (int n = 1; n <= 5; ++n) {
        load_and_place("p" + std::to_string(n) + ".bmp", 1000.0F * static_cast<float>(n), 3000);
    }
    ASSERT_EQ(form().Image(3).left, 3000);
    click_at(3200, 3200);
    form().cmdDelete.click();
    EXPECT_FALSE(form().Image(3).has_picture());
    EXPECT_EQ(form().cboDisable.items, (Items{"None", "p1.bmp", "p2.bmp", "p4.bmp", "p5.bmp"}));

    load_and_place("new.bmp", 6000, 6000);
    EXPECT_EQ(form().Image(3).tag, "new.bmp");
    EXPECT_EQ(form().Image(3).left, 6000);
    EXPECT_FALSE(form().Image(6).has_picture());
}

TEST_F(WithLoads, AfterResetTheNextLoadGoesToSlotOne) {
    load_and_place("a.bmp", 1000, 3000);
    load_and_place("b.bmp", 2000, 3000);
    click_at(1200, 3200);
    form().cmdReset.click();
    load_and_place("c.bmp", 4000, 3000);
    EXPECT_EQ(form().Image(1).tag, "c.bmp");
    EXPECT_EQ(form().cboDisable.items, (Items{"None", "c.bmp"}));
    EXPECT_FALSE(form().lblPicture(1).visible);
}

} // namespace
