// SPDX-License-Identifier: GPL-2.0-or-later
#include "../slots/canvas_fixture.h"
#include "assist/code_check.h"
#include "assist/outcomes.h"
#include "fakes.h"
#include "program.h"
#include "slots/status_dialog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

namespace lf = platform::load_failure;

class OutcomesTest : public ::testing::Test {
protected:
    OutcomesTest() {
        outcomes.watch(program);
        program.start();
    }
    Form1& form() { return *program.form1(); }
    void press(tk::Button& button) {
        program.run([&button] { button.click(); });
    }
    // "&Load Image" with this file chosen; OK in the dialog when one comes.
    void load(const std::string& path) {
        p.files.choose(path);
        press(form().cmdNewPicture);
        if (auto* dialog = program.status_dialog()) {
            press(dialog->cmdReturn);
        }
    }

    fakes::Platform p;
    assist::Outcomes outcomes{p.services};
    Program program{outcomes.services()};
};

// Each load that gives no picture names its file and the loader's reason; the
// handler itself does what it always did.
TEST_F(OutcomesTest, AFailedLoadSaysWhy) {
    p.pictures.add("/p/logo.bmp", 10, 10);
    p.pictures.refusals["/p/big.bmp"] = lf::kTooLargeForOne;
    p.pictures.too_large.insert("/p/huge.bmp");
    const struct {
        const char* path;
        std::string notice;
    } cases[] = {
        {"/p/notes.png", "Not loaded: notes.png is not a picture this program reads"},
        {"/p/big.bmp", std::string("Not loaded: big.bmp ") + lf::kTooLargeForOne},
        {"/p/huge.bmp", std::string("Not loaded: huge.bmp ") + lf::kOverBudget},
        {"/p/logo.bmp", ""},
    };
    for (const auto& c : cases) {
        load(c.path);
        EXPECT_EQ(outcomes.notice(), c.notice) << c.path;
    }
    EXPECT_TRUE(form().Image(1).has_picture());
    EXPECT_FALSE(form().Image(2).has_picture()) << "failed loads filled nothing";
}

TEST_F(OutcomesTest, FullSlotsAndHotspotsSayWhyAndTheLineGoesAtTheNextStep) {
    p.pictures.add("/p/logo.bmp", 10, 10);
    for (int k = 0; k < Form1::kSlots; ++k) {
        load("/p/logo.bmp");
    }
    load("/p/logo.bmp");
    EXPECT_EQ(outcomes.notice(), "Not loaded: logo.bmp, all ten slots hold a picture");
    p.files.cancel();
    press(form().cmdNewPicture);
    EXPECT_FALSE(outcomes.notice().empty()) << "a cancel is no design step";
    press(form().cmdReset);
    EXPECT_EQ(outcomes.notice(), "");

    for (int k = 0; k <= Form1::kHotspots; ++k) {
        program.run([this, k] {
            const auto x = static_cast<float>(200 * k);
            gestures::drag(form(), 100 + x, 100, 200 + x, 200);
        });
        press(form().cmdHotspot);
        EXPECT_EQ(outcomes.notice().empty(), k < Form1::kHotspots) << k;
    }
    EXPECT_EQ(outcomes.notice(), "Hotspot not made: there are ten already");
    press(form().cmdHotspot); // pressed again: said again
    EXPECT_EQ(outcomes.notice(), "Hotspot not made: there are ten already");
    program.run([this] { gestures::click(form(), form().lbl(3)); });
    EXPECT_EQ(outcomes.notice(), "");
}

// A picture's drag that moves nothing says why; one the grid takes says nothing.
TEST_F(OutcomesTest, AnIgnoredDragSaysWhy) {
    p.pictures.add("/p/logo.bmp", 40, 40);
    load("/p/logo.bmp");
    load("/p/logo.bmp");
    program.run([this] {
        form().Image(1).left = form().Image(1).top = 1000;
        form().Image(2).left = 4000;
        form().Image(2).top = 1000;
        gestures::drag(form(), 6000, 4000, 7000, 5000);
    });
    press(form().cmdHotspot);
    const std::string picture1 = "Not moved: picture 1 ";
    const std::string grid = "; only the bare grid takes a drop";
    const struct {
        float x, y; // where picture 1, grabbed at (1100, 1100), is let go
        std::string notice;
    } cases[] = {
        {4100, 1100, picture1 + "was let go on picture 2" + grid},
        {1400, 1400, picture1 + "was let go on itself" + grid},
        {6500, 4500, picture1 + "was let go on a hotspot" + grid},
        {10000, 3000, picture1 + "was let go on the panel" + grid},
        {-300, 1100, picture1 + "was let go outside the window" + grid},
        {500, 6000, ""},
    };
    for (const auto& c : cases) {
        program.run([this, &c] { gestures::drag(form(), 1100, 1100, c.x, c.y); });
        EXPECT_EQ(outcomes.notice(), c.notice) << c.x << ", " << c.y;
        program.run([this] { form().Image(1).left = form().Image(1).top = 1000; });
    }
    program.run([this] { gestures::click(form(), form().Image(1)); });
    program.run([this] { gestures::drag(form(), 1100, 1100, 3000, 3000); });
    EXPECT_EQ(outcomes.notice(), picture1 + "is selected and does not drag; click it to let "
                                            "it go, or use the arrow keys");
}

// A design's pictures reach the loader together, to be read side by side.
TEST(OutcomesServices, LoadAllReachesTheInnerLoaderWhole) {
    struct Inner : fakes::PictureLoader {
        std::vector<tk::PicturePtr> load_all(const std::vector<std::string>& paths,
                                             tk::PictureBudget& /*budget*/,
                                             const platform::LoadProgress& /*progress*/) override {
            batches.push_back(paths);
            return {};
        }
        std::vector<std::vector<std::string>> batches;
    } inner;
    fakes::Platform p;
    platform::Services services{p.files, p.messages, inner, p.writer, p.app};
    assist::Outcomes outcomes(services);
    const std::vector<std::string> paths = {"/p/a.bmp", "/p/b.bmp"};
    tk::PictureBudget budget;
    outcomes.services().pictures.load_all(paths, budget, {});
    EXPECT_EQ(inner.batches, std::vector<std::vector<std::string>>{paths});
}

TEST(CodeCheck, NamesTheCodeCannotTake) {
    const struct {
        std::string name;
        bool valid;
    } names[] = {
        {"logo", true},
        {"Logo_2", true},
        {"x", true},
        {"2nd", false},
        {"", false},
        {"_logo", false},
        {"my logo", false},
        {"logo-2", false},
        {"Dim", false},
        {"string", false},
        {"Strings", true},
        {std::string(255, 'a'), true},
        {std::string(256, 'a'), false},
        {"caf\xc3\xa9", false},
    };
    for (const auto& n : names) {
        EXPECT_EQ(assist::is_vb_identifier(n.name), n.valid) << n.name;
    }
}

class CodeProblems : public CanvasTest {};

// Warnings, in order, and the pictures each marks.
TEST_F(CodeProblems, DuplicateAndInvalidNamesAndWhatReachesPastTheLcd) {
    put_picture(1, 0, 0, 600, 600, "logo.bmp");
    put_picture(2, 0, 0, 600, 600, "2nd.bmp");
    put_picture(4, 8000, 0, 600, 600, "LOGO.gif");
    form.strFileName(1) = "logo";
    form.strFileName(2) = "2nd";
    form.strFileName(4) = "LOGO";
    form.lbl(2).visible = true;
    form.lbl(2).left = 2000;
    form.lbl(2).top = 3600;
    form.lbl(2).width = 600;
    form.lbl(2).height = 600;
    std::vector<std::pair<std::string, std::vector<int>>> got;
    for (const auto& problem : assist::code_problems(form)) {
        got.emplace_back(problem.text, problem.pictures);
    }
    const std::vector<std::pair<std::string, std::vector<int>>> expected = {
        {"Not a valid NAME: 2nd", {2}},
        {"Same NAME twice: logo", {1, 4}},
        {"Past the LCD: LOGO, hotspot 0", {}},
    };
    EXPECT_EQ(got, expected);
}

} // namespace
