// SPDX-License-Identifier: GPL-2.0-or-later
#include "codegen/code_window.h"
#include "codegen/generate.h"
#include "fakes.h"
#include "form1.h"
#include "program.h"
#include "slots/status_dialog.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using codegen::generate_code;

void place(tk::Control& c, float left, float top, float width, float height) {
    c.left = left;
    c.top = top;
    c.width = width;
    c.height = height;
}

// The worked example, driven from the open dialog to the saved file.
TEST(GenerateByHandlersTest, ReproducesTheWorkedExampleByteForByte) {
    fakes::Platform p;
    Program prog{p.services};
    prog.start();
    Form1& form = *prog.form1();
    p.pictures.add("/d/background.bmp", 240, 128);
    p.pictures.add("/d/filler.bmp", 5, 5);
    p.pictures.add("/d/okbutton.bmp", 48, 24);

    p.files.choose("/d/background.bmp");
    form.cmdNewPicture.click();
    prog.status_dialog()->cmdReturn.click(); // status 0, mode 2
    p.files.choose("/d/filler.bmp");
    form.cmdNewPicture.click();
    prog.status_dialog()->cmdReturn.click();
    p.files.choose("/d/okbutton.bmp");
    form.cmdNewPicture.click();
    prog.status_dialog()->optHiddenBackground.set_value(true);
    prog.status_dialog()->optModeWriteTransparent.set_value(true);
    prog.status_dialog()->cmdReturn.click();
    form.Image(2).picture.reset(); // slot 2 empty again
    form.Image(2).visible = false;

    place(form.Image(1), 0, 0, 7200, 3840);
    place(form.Image(3), 1815, 960, 1440, 720);
    for (int j : {2, 3, 4}) {
        form.lbl(j).visible = true;
    }
    place(form.lbl(2), 1815, 960, 1440, 720);
    form.lbl(3).back_color = tk::kBlue;
    place(form.lbl(3), 3000, 3000, 600, 600);
    place(form.lbl(4), 4320, 960, 1440, 720);

    form.cmdCreateCode.click();

    const std::string expected =
        "Penvane1.LCDWriteBitmap 0, 2, 0, 0, 233, 124, background.Picture.Handle\r\n"
        "Penvane1.LCDWriteBitmap 1, 3, 60, 32, 43, 19, okbutton.Picture.Handle\r\n"
        "\r\n"
        "Penvane1.KeyPadAddHotSpot 0, 1, 60, 32, 47, 23\r\n"
        "Penvane1.KeyPadAddHotSpot 1, 1, 143, 32, 47, 23\r\n";
    codegen::FrmShowCode* window = prog.code_window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->visible);
    EXPECT_TRUE(form.visible);
    EXPECT_EQ(window->txtCode.text, expected);

    p.files.choose("/out/screen.txt");
    window->cmdWriteTextFile.click();
    EXPECT_EQ(p.writer.files["/out/screen.txt"], expected);
}

class GenerateTest : public ::testing::Test {
protected:
    GenerateTest() { form.start_up(); }

    tk::Image& picture(int k, float left, float top, float width, float height) {
        tk::Image& image = form.Image(k);
        image.picture = std::make_shared<tk::Picture>();
        place(image, left, top, width, height);
        return image;
    }
    void named(int k, const char* name, std::int16_t ids, std::int16_t mode) {
        form.strFileName(k) = name;
        form.set_intIDS(k, ids);
        form.set_intMode(k, mode);
    }
    tk::Label& hotspot(int j, float left, float top, float width, float height,
                       tk::Color color = tk::kRed) {
        tk::Label& label = form.lbl(j);
        label.visible = true;
        label.back_color = color;
        place(label, left, top, width, height);
        return label;
    }

    Form1 form;
};

TEST_F(GenerateTest, AnEmptyDesignGivesAnEmptyText) { EXPECT_EQ(generate_code(form), ""); }

TEST_F(GenerateTest, PicturesWithoutHotspotsEndInTwoLineBreaks) {
    picture(2, 0, 0, 1440, 720).visible = false; // hidden or not, a picture is written
    named(2, "a", 0, 2);
    picture(5, 0, 0, 1440, 720);
    named(5, "b", 1, 0);
    EXPECT_EQ(generate_code(form),
              "Penvane1.LCDWriteBitmap 0, 2, 0, 0, 43, 19, a.Picture.Handle\r\n"
              "Penvane1.LCDWriteBitmap 1, 0, 0, 0, 43, 19, b.Picture.Handle\r\n"
              "\r\n");
}

TEST_F(GenerateTest, HotspotsWithoutPicturesHaveNoSeparator) {
    // A name and codes without a picture leave no trace.
    named(1, "ghost", 0, 2);
    hotspot(7, 1815, 960, 1440, 720);
    EXPECT_EQ(generate_code(form), "Penvane1.KeyPadAddHotSpot 0, 1, 60, 32, 47, 23\r\n");
}

TEST_F(GenerateTest, NeverSetValuesAreWrittenAsNothingExceptSlotTensCodes) {
    picture(1, 0, 0, 1440, 720);
    picture(10, 0, 0, 1440, 720);
    EXPECT_EQ(generate_code(form), "Penvane1.LCDWriteBitmap , , 0, 0, 43, 19, .Picture.Handle\r\n"
                                   "Penvane1.LCDWriteBitmap 0, 0, 0, 0, 43, 19, .Picture.Handle\r\n"
                                   "\r\n");
}

// Converted sizes around the reduction limits: widths up to 180 and heights up
// to 96 lose 4, also down into negative numbers.
TEST_F(GenerateTest, ReducesSmallPictureSizesByFour) {
    const struct {
        float width, height; // twips
        const char* w;
        const char* h;
    } cases[] = {
        {5562, 2966, "176", "92"}, // exactly 180 and 96
        {5593, 2997, "181", "97"}, // 181 and 97
        {0, 62, "-4", "-2"},       // 0 and 2
        {92, 123, "-1", "0"},      // 3 and 4
        {32767, 32767, "1060", "1060"},
    };
    for (const auto& c : cases) {
        picture(1, 0, 0, c.width, c.height);
        named(1, "p", 0, 0);
        const std::string expected = std::string("Penvane1.LCDWriteBitmap 0, 0, 0, 0, ") + c.w +
                                     ", " + c.h + ", p.Picture.Handle\r\n\r\n";
        EXPECT_EQ(generate_code(form), expected) << c.width << " x " << c.height;
    }
}

// Twips are rounded halves-to-even before conversion, and clamped to 16 bits.
TEST_F(GenerateTest, RoundsAndClampsTwipsBeforeConverting) {
    const struct {
        float left, top, width, height;
        const char* fields; // x, y, w, h
    } cases[] = {
        {166.5F, 75.5F, 1440, 720, "5, 3, 43, 19"}, // 166.5 -> 166, 75.5 -> 76
        {-40, -1, 1440, 720, "0, 0, 43, 19"},       // left of and above the canvas
        {-40000, 40000, 70000, 40000, "0, 1085, 1060, 1060"},
        {9720, 7315, 1440, 720, "322, 242, 43, 19"}, // beyond the LCD, as it comes
    };
    for (const auto& c : cases) {
        picture(1, c.left, c.top, c.width, c.height);
        named(1, "p", 0, 0);
        EXPECT_EQ(generate_code(form), std::string("Penvane1.LCDWriteBitmap 0, 0, ") + c.fields +
                                           ", p.Picture.Handle\r\n\r\n")
            << c.left << ", " << c.top;
    }
}

TEST_F(GenerateTest, NumbersOnlyShownRedHotspots) {
    hotspot(1, 0, 0, 1440, 720);
    hotspot(2, 0, 0, 1440, 720, tk::kBlue); // selected
    hotspot(3, 4320, 0, 1440, 720);
    hotspot(5, 0, 4320, 1440, 720).visible = false;
    hotspot(6, 0, 0, 1440, 720, tk::kYellow);
    hotspot(9, 1815, 960, 1440, 720);
    EXPECT_EQ(generate_code(form), "Penvane1.KeyPadAddHotSpot 0, 1, 0, 0, 47, 23\r\n"
                                   "Penvane1.KeyPadAddHotSpot 1, 1, 143, 0, 47, 23\r\n"
                                   "Penvane1.KeyPadAddHotSpot 2, 1, 60, 32, 47, 23\r\n");

    form.lbl(1).visible = false;
    form.lbl(3).back_color = tk::kBlue;
    EXPECT_EQ(generate_code(form), "Penvane1.KeyPadAddHotSpot 0, 1, 60, 32, 47, 23\r\n");
}

TEST_F(GenerateTest, NamesAreWrittenUnchanged) {
    picture(1, 0, 0, 1440, 720);
    named(1, "my pic-1", 0, 1);
    EXPECT_EQ(generate_code(form),
              "Penvane1.LCDWriteBitmap 0, 1, 0, 0, 43, 19, my pic-1.Picture.Handle\r\n\r\n");
}

// Through the button: the window comes on every run, with a fresh text.
TEST(CreateCodeTest, EachRunReplacesTheTextInTheSameWindow) {
    fakes::Platform p;
    Program prog{p.services};
    prog.start();
    Form1& form = *prog.form1();

    form.cmdCreateCode.click();
    codegen::FrmShowCode* window = prog.code_window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->visible);
    EXPECT_EQ(window->txtCode.text, ""); // an empty design: the window all the same

    window->txtCode.text = "edited";
    form.lbl(4).visible = true;
    place(form.lbl(4), 4320, 960, 1440, 720);
    form.cmdCreateCode.click();
    EXPECT_EQ(prog.code_window(), window);
    EXPECT_EQ(window->txtCode.text, "Penvane1.KeyPadAddHotSpot 0, 1, 143, 32, 47, 23\r\n");
    form.cmdCreateCode.click(); // numbering starts afresh
    EXPECT_EQ(window->txtCode.text, "Penvane1.KeyPadAddHotSpot 0, 1, 143, 32, 47, 23\r\n");
    EXPECT_TRUE(form.visible);
}

} // namespace
