// SPDX-License-Identifier: GPL-2.0-or-later
// The "Image Hotspot Enable" list: the chosen picture lets the mouse through.
#include "../slots/canvas_fixture.h"

#include <vector>

namespace {

using EnableList = CanvasTest;

std::vector<int> disabled_slots(const Form1& form) {
    std::vector<int> out;
    for (int n = 1; n <= Form1::kSlots; ++n) {
        if (!form.Image(n).enabled) {
            out.push_back(n);
        }
    }
    return out;
}

TEST_F(EnableList, ChoiceDisablesTheFirstPictureWithThatExactTitle) {
    put_picture(2, 1200, 600, 900, 450, "Logo.bmp");
    put_picture(3, 1200, 3000, 900, 450, "logo.bmp");
    put_picture(5, 4000, 3000, 900, 450, "Logo.bmp");
    struct Case {
        int index;
        std::vector<int> disabled;
    };
    // List: None, Logo.bmp, logo.bmp, Logo.bmp.
    const Case cases[] = {{1, {2}}, {2, {3}}, {3, {2}}, {0, {}}, {2, {3}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(form.cboDisable.items[static_cast<std::size_t>(c.index)]);
        form.cboDisable.choose(c.index);
        EXPECT_EQ(disabled_slots(form), c.disabled);
    }
}

TEST_F(EnableList, NoneEnablesEveryControlAndTypingIsNoChoice) {
    put_picture(1, 1200, 600, 900, 450, "a.bmp");
    put_picture(7, 4000, 3000, 900, 450, "c.bmp");
    // Slot 7 ends empty and disabled: selected, chosen, then deleted.
    click_at(4100, 3100);
    form.cboDisable.choose(2);
    form.cmdDelete.click();
    form.cboDisable.text = "None"; // typed, not chosen
    EXPECT_EQ(disabled_slots(form), std::vector<int>{7});
    form.cboDisable.choose(0);
    EXPECT_EQ(disabled_slots(form), std::vector<int>{});
}

TEST_F(EnableList, ADisabledPictureLetsAHotspotBeDrawnOverIt) {
    put_picture(1, 1200, 600, 900, 450, "a.bmp");
    put_picture(2, 4000, 3000, 900, 450, "b.bmp");
    form.cboDisable.choose(1);

    click_at(1500, 800);
    EXPECT_TRUE(form.intPic.empty()) << "a disabled picture cannot be selected";
    drag(1300, 700, 1900, 1000);
    EXPECT_EQ(form.Image(1).left, 1200) << "nor dragged";
    EXPECT_TRUE(form.cmdHotspot.enabled);
    form.cmdHotspot.click();
    EXPECT_TRUE(form.lbl(1).visible);
    EXPECT_EQ(rect(form.lbl(1)), (std::array<float, 4>{1300, 700, 600, 300}));

    // The enabled one still takes the mouse itself.
    drag(4100, 3100, 4500, 3500);
    EXPECT_EQ(form.cX, Variant(1300.0F)) << "no band started";
    EXPECT_EQ(form.Image(2).left, 4400);
}

} // namespace
