// SPDX-License-Identifier: GPL-2.0-or-later
#include "fakes.h"
#include "form1.h"
#include "program.h"
#include "slots/load.h"
#include "slots/status_dialog.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

using picture_slots::ClipName;

constexpr const char* kFilter =
    "All Picture Files|*.bmp;*.dib;*.gif;*.jpg;*.jpeg;*.png;*.wmf;*.emf;*.ico;*.cur|Bitmaps "
    "(*.bmp;*.dib)|*.bmp;*.dib|GIF Images (*.gif)|*.gif|JPEG Images (*.jpg;*.jpeg)|*.jpg;*.jpeg|"
    "PNG Images (*.png)|*.png|Metafiles (*.wmf;*.emf)|*.wmf;*.emf|Icons (*.ico;*.cur)|*.ico;*.cur|"
    "All Files (*.*)|*.*";

class LoadTest : public ::testing::Test {
protected:
    LoadTest() { prog.start(); }

    Form1& form() { return *prog.form1(); }

    // Chooses the file in the open dialog and presses "&Load Image".
    void load(const std::string& path) {
        p.files.choose(path);
        form().cmdNewPicture.click();
    }
    void load_picture(const std::string& path, int w, int h) {
        p.pictures.add(path, w, h);
        load(path);
    }
    void press_ok() { prog.status_dialog()->cmdReturn.click(); }
    // The pointer presses at one point and releases at another (a click when they are equal).
    void gesture(float x0, float y0, float x1, float y1) {
        form().mouse_move(0, 0, x0, y0);
        form().mouse_press(tk::kLeftButton, 0, x0, y0);
        form().mouse_move(tk::kLeftButton, 0, x1, y1);
        form().mouse_release(tk::kLeftButton, 0, x1, y1);
    }
    // A picture already in the slot, as an earlier load would have left it.
    void occupy(int n) {
        auto picture = std::make_shared<tk::Picture>();
        picture->width = 1;
        picture->height = 1;
        form().Image(n).picture = picture;
        form().Image(n).tag = "old" + std::to_string(n) + ".bmp";
    }

    fakes::Platform p;
    Program prog{p.services};
};

TEST(ClipNameTest, CutsBeforeTheFirstDot) {
    const struct {
        const char* title;
        const char* name;
    } cases[] = {
        {"logo.bmp", "logo"},           {"my.logo.bmp", "my"}, {".bmp", ""},
        {"README", "README"},           {"trail.", "trail"},   {"", ""},
        {"two words.gif", "two words"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClipName(c.title), c.name) << c.title;
    }
}

TEST_F(LoadTest, FillsSlotOneAtTwiceThePictureSizeAndHandsOverToTheDialog) {
    form().Image(1).enabled = false; // disabled by the enable list: stays so
    load_picture("/pics/logo.bmp", 100, 50);

    ASSERT_EQ(p.files.open_requests.size(), 1U);
    EXPECT_EQ(p.files.open_requests[0].filter, kFilter);
    EXPECT_EQ(p.files.open_requests[0].filter_index, 1);
    EXPECT_EQ(p.files.open_requests[0].file_name, "");

    const tk::Image& image = form().Image(1);
    ASSERT_TRUE(image.has_picture());
    EXPECT_EQ(image.picture->width, 100);
    EXPECT_EQ(image.tag, "logo.bmp");
    EXPECT_EQ(image.left, 0);
    EXPECT_EQ(image.top, 0);
    // (100 + 2 * 2) px * 15 twips * 2 and (50 + 4) * 15 * 2.
    EXPECT_EQ(image.width, 3120);
    EXPECT_EQ(image.height, 1620);
    EXPECT_EQ(image.drag_mode, tk::Image::kAutomatic);
    EXPECT_TRUE(image.visible);
    EXPECT_FALSE(image.enabled);
    EXPECT_FALSE(form().picHold.has_picture());
    EXPECT_EQ(form().strFileName(1), Variant("logo"));
    EXPECT_TRUE(form().intIDS(1).empty()); // the dialog sets it, not the load
    EXPECT_TRUE(form().i.is(1));
    EXPECT_EQ(form().cboDisable.items, (std::vector<std::string>{"None", "logo.bmp"}));
    EXPECT_TRUE(form().cmdDelete.enabled);
    // The file is decoded once for measuring and showing.
    EXPECT_EQ(p.pictures.loads, std::vector<std::string>{"/pics/logo.bmp"});

    EXPECT_FALSE(form().visible);
    const auto* dialog = prog.status_dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->visible);
    EXPECT_EQ(dialog->lblImageDisplayStatus.caption,
              "Please choose the initial Display Status and Mode for logo.bmp");
}

// Which slot a load takes, given the slots already holding a picture, and the
// prompt wording that slot gets.
TEST_F(LoadTest, TakesTheLowestFreeSlot) {
    const std::string mode = "Please choose the initial Display Status and Mode for p.gif";
    const std::string display_mode =
        "Please choose the initial Display Status and Display Mode for p.gif";
    const struct {
        std::set<int> occupied;
        int slot;
        std::string prompt;
    } cases[] = {
        {{}, 1, mode},
        {{1}, 2, display_mode},
        {{1, 2, 4}, 3, mode},
        {{2, 3, 4, 5, 6, 7, 8, 9, 10}, 1, mode},
        {{1, 2, 3, 4, 5, 6, 7, 8, 9}, 10, mode},
    };
    for (const auto& c : cases) {
        fakes::Platform fresh;
        Program program{fresh.services};
        program.start();
        Form1& f = *program.form1();
        for (int n : c.occupied) {
            auto picture = std::make_shared<tk::Picture>();
            f.Image(n).picture = picture;
        }
        fresh.pictures.add("/p.gif", 4, 4);
        fresh.files.choose("/p.gif");
        f.cmdNewPicture.click();

        EXPECT_TRUE(f.i.is(c.slot)) << c.slot;
        EXPECT_EQ(f.Image(c.slot).tag, "p.gif");
        EXPECT_EQ(f.Image(c.slot).width, 240);
        ASSERT_NE(program.status_dialog(), nullptr);
        EXPECT_EQ(program.status_dialog()->lblImageDisplayStatus.caption, c.prompt);
        // The dialog's OK stores into the same slot.
        program.status_dialog()->cmdReturn.click();
        for (int n = 1; n <= Form1::kSlots; ++n) {
            EXPECT_EQ(f.intMode(n).is(2), n == c.slot) << "slot " << n;
        }
    }
}

TEST_F(LoadTest, WithAllTenSlotsFullChangesNothingAndLeavesIAtEleven) {
    for (int n = 1; n <= Form1::kSlots; ++n) {
        occupy(n);
    }
    load_picture("/pics/eleven.bmp", 10, 10);

    EXPECT_EQ(p.files.open_requests.size(), 1U); // the dialog still opened
    EXPECT_TRUE(form().i.is(11));
    EXPECT_TRUE(p.pictures.loads.empty());
    for (int n = 1; n <= Form1::kSlots; ++n) {
        EXPECT_EQ(form().Image(n).tag, "old" + std::to_string(n) + ".bmp");
        EXPECT_EQ(form().Image(n).picture->width, 1);
        EXPECT_FALSE(form().Image(n).visible);
    }
    EXPECT_EQ(form().cboDisable.items, std::vector<std::string>{"None"});
    EXPECT_TRUE(form().visible);
    EXPECT_EQ(prog.status_dialog(), nullptr);
    EXPECT_TRUE(p.messages.shown.empty());
}

TEST_F(LoadTest, CancelChangesNothing) {
    p.files.cancel();
    form().cmdNewPicture.click();

    EXPECT_EQ(p.files.open_requests.size(), 1U);
    EXPECT_TRUE(form().i.empty());
    EXPECT_FALSE(form().Image(1).has_picture());
    EXPECT_EQ(form().Image(1).tag, "");
    EXPECT_EQ(form().cboDisable.items, std::vector<std::string>{"None"});
    EXPECT_FALSE(form().cmdDelete.enabled);
    EXPECT_TRUE(form().visible);
    EXPECT_EQ(prog.status_dialog(), nullptr);
}

TEST_F(LoadTest, AFileThatIsNoPictureLeavesTheSlotAsItWas) {
    occupy(1);
    load("/pics/notes.bmp"); // unknown to the fake loader: the load fails

    const tk::Image& image = form().Image(2);
    EXPECT_EQ(image.tag, "");
    EXPECT_FALSE(image.has_picture());
    EXPECT_FALSE(image.visible);
    EXPECT_EQ(image.drag_mode, tk::Image::kManual);
    EXPECT_TRUE(form().strFileName(2).empty());
    EXPECT_TRUE(form().i.is(2));
    EXPECT_EQ(form().cboDisable.items, std::vector<std::string>{"None"});
    EXPECT_FALSE(form().cmdDelete.enabled);
    EXPECT_TRUE(form().visible);
    EXPECT_EQ(prog.status_dialog(), nullptr);
    EXPECT_TRUE(p.messages.shown.empty());

    // The slot is still free: the next good load takes it.
    load_picture("/pics/good.bmp", 2, 2);
    EXPECT_EQ(form().Image(2).tag, "good.bmp");
    EXPECT_TRUE(form().Image(2).has_picture());
}

// A failed load leaves no title behind that the enable list could find first.
TEST_F(LoadTest, AFailedLoadDoesNotMisleadTheEnableList) {
    load_picture("/pics/a.bmp", 4, 4);
    press_ok();
    gesture(100, 100, 3000, 3000); // slot 1 out of the corner
    load_picture("/good/logo.bmp", 4, 4);
    press_ok();
    // Slot 1 emptied, then a broken file of the same title fails to load there.
    gesture(3000, 3000, 3000, 3000);
    form().cmdDelete.click();
    load("/broken/logo.bmp");
    ASSERT_FALSE(form().Image(1).has_picture());
    ASSERT_EQ(form().cboDisable.items, (std::vector<std::string>{"None", "logo.bmp"}));

    form().cboDisable.choose(1);
    EXPECT_FALSE(form().Image(2).enabled) << "the picture titled logo.bmp lets the mouse through";
    EXPECT_TRUE(form().Image(1).enabled);
}

TEST_F(LoadTest, AnAllocationThatFailsIsAFailedLoad) {
    load_picture("/pics/logo.bmp", 4, 4);
    press_ok();
    p.pictures.too_large.insert("/pics/huge.jpg");
    load("/pics/huge.jpg");

    EXPECT_FALSE(form().Image(2).has_picture());
    EXPECT_FALSE(form().Image(2).visible);
    EXPECT_EQ(form().cboDisable.items, (std::vector<std::string>{"None", "logo.bmp"}));
    EXPECT_TRUE(form().visible);
    EXPECT_TRUE(form().Image(1).has_picture()) << "the design is kept";
    load_picture("/pics/small.bmp", 2, 2);
    EXPECT_TRUE(form().Image(2).has_picture());
}

TEST_F(LoadTest, ATitleWithoutADotCompletesWithTheWholeTitleAsName) {
    load_picture("/pics/README", 8, 8);

    EXPECT_EQ(form().strFileName(1), Variant("README"));
    EXPECT_EQ(form().cboDisable.items, (std::vector<std::string>{"None", "README"}));
    ASSERT_NE(prog.status_dialog(), nullptr);
    EXPECT_EQ(prog.status_dialog()->lblImageDisplayStatus.caption,
              "Please choose the initial Display Status and Mode for README");
    press_ok();
    EXPECT_TRUE(form().intIDS(1).is(0));
}

TEST_F(LoadTest, TheSameFileTwiceFillsTwoSlotsAlike) {
    load_picture("/pics/my.logo.bmp", 3, 3);
    press_ok();
    load("/pics/my.logo.bmp");
    press_ok();

    for (int n : {1, 2}) {
        EXPECT_EQ(form().Image(n).tag, "my.logo.bmp");
        EXPECT_EQ(form().strFileName(n), Variant("my"));
    }
    EXPECT_EQ(form().cboDisable.items,
              (std::vector<std::string>{"None", "my.logo.bmp", "my.logo.bmp"}));
}

} // namespace
