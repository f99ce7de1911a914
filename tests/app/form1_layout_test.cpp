// SPDX-License-Identifier: GPL-2.0-or-later
#include "form1.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

using tk::Kind;

struct Expected {
    std::string name;
    Kind kind;
    std::string caption; // button/label caption or box text
    float left, top, width, height;
    bool visible;
    bool enabled;
    std::optional<tk::Color> color; // label fill or line colour
};

std::string caption_of(const tk::Control& c) {
    switch (c.kind()) {
    case Kind::Button:
        return static_cast<const tk::Button&>(c).caption;
    case Kind::Label:
        return static_cast<const tk::Label&>(c).caption;
    case Kind::ComboBox:
        return static_cast<const tk::ComboBox&>(c).text;
    case Kind::TextBox:
        return static_cast<const tk::TextBox&>(c).text;
    default:
        return {};
    }
}

std::vector<Expected> expected_after_start_up() {
    std::vector<Expected> rows = {
        {"cmdNewPicture", Kind::Button, "&Load Image", 9840, 120, 1215, 375, true, true, {}},
        {"cmdDelete", Kind::Button, "&Delete Image", 9840, 630, 1215, 375, true, false, {}},
        {"cmdCreateCode", Kind::Button, "&Create Code", 9840, 1155, 1215, 375, true, true, {}},
        {"cmdHotspot", Kind::Button, "C&reate Hotspot", 11160, 120, 1215, 375, true, false, {}},
        {"cmdDeleteHS", Kind::Button, "D&elete Hotspot", 11160, 630, 1215, 375, true, false, {}},
        {"cmdReset", Kind::Button, "Re&set All", 11160, 1155, 1215, 375, true, true, {}},
        {"lblDisable", Kind::Label, "Image Hotspot Enable", 10035, 1710, 1575, 255, true, true, {}},
        {"cboDisable", Kind::ComboBox, "None", 10020, 1980, 2175, 315, true, true, {}},
        {"Label1", Kind::Label, "", 9720, 0, 2760, 3975, true, true, tk::kButtonFace},
        {"picHold", Kind::PictureBox, "", 1680, 840, 255, 135, false, true, {}},
    };
    for (int n = 1; n <= 10; ++n) {
        const float top = 240.0F * static_cast<float>(n);
        rows.push_back(
            {"Image" + std::to_string(n), Kind::Image, "", 2400, top, 255, 135, false, true, {}});
        rows.push_back({"lbl" + std::to_string(n), Kind::Label, "", 720, top, 255, 135, false, true,
                        tk::kRed});
    }
    for (int n = 1; n <= 4; ++n) {
        rows.push_back({"lblPicture" + std::to_string(n), Kind::Label, "", 1200,
                        240.0F * static_cast<float>(n), 135, 135, false, true, tk::kYellow});
    }
    for (int n = 1; n <= 6; ++n) {
        rows.push_back({"Text" + std::to_string(n),
                        Kind::TextBox,
                        "",
                        360.0F + 360.0F * static_cast<float>(n),
                        2880,
                        150,
                        285,
                        false,
                        true,
                        {}});
    }
    return rows;
}

class Form1Layout : public ::testing::Test {
protected:
    Form1Layout() { form.start_up(); }
    Form1 form;
};

TEST_F(Form1Layout, WindowAttributes) {
    EXPECT_EQ(form.caption, "Position Window");
    EXPECT_EQ(form.client_width, 12465);
    EXPECT_EQ(form.client_height, 7665);
    EXPECT_TRUE(form.resizable);
    EXPECT_TRUE(form.minimize_button);
    EXPECT_FALSE(form.maximize_button);
    EXPECT_TRUE(form.has_icon);
    EXPECT_EQ(form.back_color, tk::kButtonFace);
}

TEST_F(Form1Layout, EveryControlAsDesigned) {
    for (const auto& row : expected_after_start_up()) {
        SCOPED_TRACE(row.name);
        const tk::Control* c = form.find(row.name);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->kind(), row.kind);
        EXPECT_EQ(caption_of(*c), row.caption);
        EXPECT_EQ(c->left, row.left);
        EXPECT_EQ(c->top, row.top);
        EXPECT_EQ(c->width, row.width);
        EXPECT_EQ(c->height, row.height);
        EXPECT_EQ(c->visible, row.visible);
        EXPECT_EQ(c->enabled, row.enabled);
        if (row.color && c->kind() == Kind::Label) {
            EXPECT_EQ(static_cast<const tk::Label*>(c)->back_color, *row.color);
        }
    }
}

TEST_F(Form1Layout, BandLinesAreParkedRedAndHidden) {
    for (int n = 1; n <= 8; ++n) {
        SCOPED_TRACE(n);
        const tk::Line& line = form.lin(n);
        EXPECT_EQ(line.name(), "lin" + std::to_string(n));
        EXPECT_EQ(line.x1, 9960);
        EXPECT_EQ(line.x2, 10800);
        EXPECT_EQ(line.y1, 2520.0F + 120.0F * static_cast<float>(n));
        EXPECT_EQ(line.y2, line.y1);
        EXPECT_EQ(line.border_color, tk::kRed);
        EXPECT_FALSE(line.visible);
    }
}

TEST_F(Form1Layout, ComboHoldsNoneAsTextAndOnlyItem) {
    EXPECT_EQ(form.cboDisable.text, "None");
    EXPECT_EQ(form.cboDisable.items, std::vector<std::string>{"None"});
}

TEST_F(Form1Layout, GridLines) {
    int vertical = 0;
    int horizontal = 0;
    for (const tk::Line* line : form.grid()) {
        EXPECT_TRUE(line->visible);
        if (line->border_color == tk::kWhite) {
            continue;
        }
        EXPECT_EQ(line->border_color, tk::kBlack);
        if (line->x1 == line->x2) {
            EXPECT_EQ(line->x1, 120.0F * static_cast<float>(vertical));
            EXPECT_EQ(line->y1, 0);
            EXPECT_EQ(line->y2, 7320);
            ++vertical;
        } else {
            EXPECT_EQ(line->y1, line->y2);
            EXPECT_EQ(line->y1, 120.0F * static_cast<float>(horizontal));
            EXPECT_EQ(line->x1, 0);
            EXPECT_EQ(line->x2, 9720);
            ++horizontal;
        }
    }
    EXPECT_EQ(vertical, 82);
    EXPECT_EQ(horizontal, 62);

    std::vector<const tk::Line*> white;
    std::copy_if(form.grid().begin(), form.grid().end(), std::back_inserter(white),
                 [](const tk::Line* l) { return l->border_color == tk::kWhite; });
    ASSERT_EQ(white.size(), 2U);
    EXPECT_EQ(std::tie(white[0]->x1, white[0]->y1, white[0]->x2, white[0]->y2),
              std::make_tuple(4800.0F, 0.0F, 4800.0F, 7560.0F));
    EXPECT_EQ(std::tie(white[1]->x1, white[1]->y1, white[1]->x2, white[1]->y2),
              std::make_tuple(0.0F, 3600.0F, 9960.0F, 3600.0F));
}

int stack_position(const tk::Window& w, const std::string& name) {
    const auto& order = w.drawn_order();
    for (std::size_t k = 0; k < order.size(); ++k) {
        if (order[k]->name() == name) {
            return static_cast<int>(k);
        }
    }
    return -1;
}

TEST_F(Form1Layout, StackingOrderAfterStartUp) {
    const auto& order = form.drawn_order(); // bottom first
    const std::size_t n = order.size();
    ASSERT_GE(n, 22U);
    // Top: lin8 ... lin1, then lblPicture4 ... lblPicture1, then Image10 ... Image1.
    std::vector<std::string> top;
    for (int k = 8; k >= 1; --k) {
        top.push_back("lin" + std::to_string(k));
    }
    for (int k = 4; k >= 1; --k) {
        top.push_back("lblPicture" + std::to_string(k));
    }
    for (int k = 10; k >= 1; --k) {
        top.push_back("Image" + std::to_string(k));
    }
    for (std::size_t k = 0; k < top.size(); ++k) {
        EXPECT_EQ(order[n - 1 - k]->name(), top[k]) << "from the top, place " << k;
    }
    // Beneath the pictures: the hotspot labels above the grid, the panel at the bottom,
    // with its caption label above it; the white lines lie over the black ones.
    const int image1 = stack_position(form, "Image1");
    EXPECT_LT(stack_position(form, "lbl10"), image1);
    EXPECT_LT(stack_position(form, "linCentreH"), stack_position(form, "lbl1"));
    EXPECT_LT(stack_position(form, "linGridV40"), stack_position(form, "linCentreV"));
    EXPECT_EQ(order[0]->name(), "Label1");
    EXPECT_EQ(order[1]->name(), "lblDisable");
}

TEST_F(Form1Layout, TabOrderAndFocus) {
    std::vector<std::string> names;
    for (const tk::Control* c : form.tab_order()) {
        names.push_back(c->name());
    }
    const std::vector<std::string> expected = {"cmdNewPicture", "cmdDelete",     "cmdHotspot",
                                               "cmdDeleteHS",   "cmdCreateCode", "cmdReset",
                                               "cboDisable"};
    ASSERT_GE(names.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 7), expected);
    form.show();
    ASSERT_NE(form.focus(), nullptr);
    EXPECT_EQ(form.focus()->name(), "cmdNewPicture");
}

TEST_F(Form1Layout, DesignStateStartsEmpty) {
    for (const Variant* v :
         {&form.Lefty, &form.Toppy, &form.i, &form.hs, &form.cX, &form.cY, &form.ccX, &form.ccY,
          &form.movX, &form.movY, &form.hsi, &form.intPic}) {
        EXPECT_TRUE(v->empty());
    }
    for (int n = 1; n <= 9; ++n) {
        EXPECT_TRUE(form.intIDS(n).empty()) << n;
        EXPECT_TRUE(form.intMode(n).empty()) << n;
        EXPECT_TRUE(form.strFileName(n).empty()) << n;
    }
    // Slot 10's status and mode are plain integers: they print "0", not nothing.
    EXPECT_EQ(form.intIDS(10).text(), "0");
    EXPECT_EQ(form.intMode(10).text(), "0");
    EXPECT_EQ(form.intIDS(9).text(), "");
    form.set_intIDS(10, 1);
    form.clear_intIDS(10);
    EXPECT_EQ(form.intIDS(10).text(), "0");
    form.set_intIDS(3, 1);
    form.clear_intIDS(3);
    EXPECT_TRUE(form.intIDS(3).empty());
}

TEST(Form1Design, BeforeStartUpThreeButtonsAreEnabledAndListEmpty) {
    const Form1 form;
    EXPECT_TRUE(form.cmdDelete.enabled);
    EXPECT_TRUE(form.cmdHotspot.enabled);
    EXPECT_TRUE(form.cmdDeleteHS.enabled);
    EXPECT_TRUE(form.cboDisable.items.empty());
    EXPECT_EQ(form.cboDisable.text, "None");
}

} // namespace
