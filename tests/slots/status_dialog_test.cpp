// SPDX-License-Identifier: GPL-2.0-or-later
#include "fakes.h"
#include "form1.h"
#include "program.h"
#include "slots/status_dialog.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using picture_slots::FrmImageDisplayStatus;

class StatusDialogTest : public ::testing::Test {
protected:
    StatusDialogTest() {
        prog.start();
        p.pictures.add("/pics/a.bmp", 10, 10);
    }

    Form1& form() { return *prog.form1(); }
    FrmImageDisplayStatus& load() {
        p.files.choose("/pics/a.bmp");
        form().cmdNewPicture.click();
        FrmImageDisplayStatus* dialog = prog.status_dialog();
        EXPECT_NE(dialog, nullptr);
        return *dialog;
    }

    fakes::Platform p;
    Program prog{p.services};
};

std::vector<std::string> selected(const FrmImageDisplayStatus& d) {
    std::vector<std::string> out;
    for (const auto* o :
         {&d.optDisplay, &d.optHiddenBackground, &d.optModeClear, &d.optModeComplement,
          &d.optModeWriteOpaque, &d.optModeWriteTransparent}) {
        if (o->value()) {
            out.push_back(o->name());
        }
    }
    return out;
}

TEST_F(StatusDialogTest, OpensWithForegroundByFocusAndWriteOpaque) {
    FrmImageDisplayStatus& d = load();
    EXPECT_EQ(d.caption, "Image Display and Mode Status");
    EXPECT_EQ(d.focus(), &d.optDisplay);
    EXPECT_EQ(selected(d), (std::vector<std::string>{"optDisplay", "optModeWriteOpaque"}));
    // Options sit inside their frames.
    const tk::Rect r = d.optModeWriteTransparent.window_rect();
    EXPECT_EQ(r.left, 720 + 240);
    EXPECT_EQ(r.top, 2640 + 1440);
    EXPECT_EQ(d.hit_test(r.left + 10, r.top + 10), &d.optModeWriteTransparent);
}

TEST_F(StatusDialogTest, OkAtOnceStoresForegroundAndWriteOpaque) {
    load().cmdReturn.click();

    EXPECT_TRUE(form().intIDS(1).is(0));
    EXPECT_TRUE(form().intIDS(1).is_integer());
    EXPECT_TRUE(form().intMode(1).is(2));
    EXPECT_TRUE(form().visible);
    EXPECT_EQ(prog.status_dialog(), nullptr);
    EXPECT_EQ(p.app.quits, 0);
}

TEST_F(StatusDialogTest, StoresTheChosenCodes) {
    const struct {
        bool hidden;
        int mode_option; // 0 Clear ... 3 Write Transparent
        int ids;
        int mode;
    } cases[] = {{true, 3, 1, 3}, {false, 0, 0, 0}, {true, 1, 1, 1}, {false, 2, 0, 2}};
    int slot = 0;
    for (const auto& c : cases) {
        ++slot;
        FrmImageDisplayStatus& d = load();
        // Each showing starts from the opening state, whatever came before.
        EXPECT_EQ(selected(d), (std::vector<std::string>{"optDisplay", "optModeWriteOpaque"}));
        if (c.hidden) {
            d.optHiddenBackground.set_value(true);
        }
        tk::OptionButton* modes[] = {&d.optModeClear, &d.optModeComplement, &d.optModeWriteOpaque,
                                     &d.optModeWriteTransparent};
        modes[c.mode_option]->set_value(true);
        d.cmdReturn.click();
        EXPECT_TRUE(form().intIDS(slot).is(c.ids)) << slot;
        EXPECT_TRUE(form().intMode(slot).is(c.mode)) << slot;
    }
}

// Keys by letter: T Tab, S Shift+Tab, D/U arrow down/up, E Enter on the
// focused button. An option group is one Tab stop entered at its chosen
// option, so Tab alone never changes a choice; the arrows choose.
TEST_F(StatusDialogTest, KeyboardWalksTheGroupsAndStoresTheCodes) {
    const struct {
        const char* keys;
        int ids;
        int mode;
    } cases[] = {
        {"TTSE", 0, 2},  // into the modes and back: nothing chosen
        {"TE", 0, 2},
        {"STTE", 0, 2}, // round the window backwards and on
        {"DTE", 1, 2},   // Hidden Background by arrow
        {"DDTE", 0, 2},  // the arrows wrap inside the group
        {"TTUUSE", 0, 0}, // Write Opaque, Complement, Clear
        {"TTDSE", 0, 3},
        {"TTDTTTSE", 0, 3}, // round once more: still Write Transparent
        {"UTTDSSTE", 1, 3},
    };
    int slot = 0;
    for (const auto& c : cases) {
        ++slot;
        FrmImageDisplayStatus& d = load();
        for (const char* k = c.keys; *k != '\0'; ++k) {
            switch (*k) {
            case 'T':
                d.tab(false);
                break;
            case 'S':
                d.tab(true);
                break;
            case 'D':
                d.arrow(1);
                break;
            case 'U':
                d.arrow(-1);
                break;
            default:
                ASSERT_EQ(d.focus(), &d.cmdReturn) << c.keys;
                static_cast<tk::Button*>(d.focus())->click();
            }
        }
        ASSERT_EQ(prog.status_dialog(), nullptr) << c.keys;
        EXPECT_TRUE(form().intIDS(slot).is(c.ids)) << c.keys;
        EXPECT_TRUE(form().intMode(slot).is(c.mode)) << c.keys;
    }
}

TEST_F(StatusDialogTest, SlotTenStoresTheSameCodes) {
    for (int n = 1; n <= 9; ++n) {
        form().Image(n).picture = std::make_shared<tk::Picture>();
    }
    FrmImageDisplayStatus& d = load();
    EXPECT_TRUE(form().intIDS(10).is(0)); // a plain integer: 0 before any OK
    d.optHiddenBackground.set_value(true);
    d.optModeComplement.set_value(true);
    d.cmdReturn.click();
    EXPECT_TRUE(form().intIDS(10).is(1));
    EXPECT_TRUE(form().intMode(10).is(1));
}

TEST_F(StatusDialogTest, OkWithoutADisplayStatusDoesNothing) {
    FrmImageDisplayStatus& d = load();
    d.optDisplay.set_value(false);
    d.cmdReturn.click();

    EXPECT_EQ(prog.status_dialog(), &d);
    EXPECT_TRUE(d.visible);
    EXPECT_FALSE(form().visible);
    EXPECT_TRUE(form().intIDS(1).empty());
    EXPECT_TRUE(form().intMode(1).empty());

    d.optHiddenBackground.set_value(true);
    d.cmdReturn.click();
    EXPECT_TRUE(form().intIDS(1).is(1));
}

TEST_F(StatusDialogTest, WithNoModeSelectedTheModeKeepsItsValue) {
    FrmImageDisplayStatus& first = load();
    first.optModeWriteTransparent.set_value(true);
    first.cmdReturn.click();
    form().Image(1).picture.reset(); // the slot emptied again

    FrmImageDisplayStatus& d = load();
    d.optModeWriteOpaque.set_value(false);
    d.optHiddenBackground.set_value(true);
    d.cmdReturn.click();
    EXPECT_TRUE(form().intIDS(1).is(1));
    EXPECT_TRUE(form().intMode(1).is(3));
}

TEST_F(StatusDialogTest, AnIOutsideTheSlotsStoresNothingButClosesTheDialog) {
    FrmImageDisplayStatus& d = load();
    form().i = std::int16_t{11};
    d.cmdReturn.click();

    for (int n = 1; n <= 9; ++n) {
        EXPECT_TRUE(form().intIDS(n).empty()) << n;
        EXPECT_TRUE(form().intMode(n).empty()) << n;
    }
    EXPECT_TRUE(form().intMode(10).is(0));
    EXPECT_EQ(prog.status_dialog(), nullptr);
    EXPECT_TRUE(form().visible);
}

TEST_F(StatusDialogTest, TheCloseBoxEndsTheProgram) {
    load().request_close();

    EXPECT_EQ(p.app.quits, 1);
    EXPECT_TRUE(prog.ended());
    EXPECT_TRUE(prog.loaded_windows().empty());
}

} // namespace
