// SPDX-License-Identifier: GPL-2.0-or-later
#include "codegen/generate.h"
#include "document/design_file.h"
#include "random_design.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstring>
#include <functional>

namespace {

using nlohmann::json;

const std::string kFolder = "/d/designs";

// Pictures beside the design, below it, above it and elsewhere.
std::vector<std::string> picture_paths(fakes::PictureLoader& loader) {
    std::vector<std::string> paths = {kFolder + "/logo.bmp", kFolder + "/art/ok.button.gif",
                                      "/d/shared/bg.jpg", "/elsewhere/pic one.bmp",
                                      kFolder + "/logo"};
    int size = 7;
    for (const std::string& p : paths) {
        loader.add(p, size, size * 2 + 1);
        size = size * 3 % 301 + 1;
    }
    return paths;
}

std::variant<document::Opened, document::Refusal>
open(const std::string& bytes, fakes::PictureLoader& loader, tk::PictureBudget& budget) {
    return document::read_design(bytes, kFolder, loader, budget);
}

TEST(DesignFile, RandomDesignsComeBackExactlyInAFreshProgram) {
    int with_pictures = 0;
    int with_hotspots = 0;
    for (std::uint64_t seed = 1; seed <= 1000; ++seed) {
        fakes::PictureLoader known;
        RandomDesigner designer(seed, picture_paths(known));
        designer.platform.pictures.pictures = known.pictures;
        designer.act(static_cast<int>(seed % 60) + 1);
        const Form1& before = designer.form();
        const std::string file = document::write_design(before, kFolder, "test");

        fakes::PictureLoader loader;
        picture_paths(loader);
        tk::PictureBudget budget;
        auto result = open(file, loader, budget);
        ASSERT_TRUE(std::holds_alternative<document::Opened>(result))
            << seed << ": " << std::get<document::Refusal>(result).reason;
        const auto& opened = std::get<document::Opened>(result);
        EXPECT_TRUE(opened.missing.empty());
        Form1 after;
        after.start_up();
        after.set_design(opened.design);
        ASSERT_EQ(without_pictures(after.design()), without_pictures(before.design())) << seed;
        ASSERT_EQ(codegen::generate_code(after), codegen::generate_code(before)) << seed;
        // Floats bit for bit, where equality would let -0 pass for 0.
        for (int n = 1; n <= Form1::kSlots; ++n) {
            ASSERT_EQ(std::signbit(after.Image(n).left), std::signbit(before.Image(n).left));
        }
        ASSERT_EQ(document::write_design(after, kFolder, "test"), file) << seed;
        with_pictures += before.cmdDelete.enabled ? 1 : 0;
        with_hotspots += before.cmdDeleteHS.enabled ? 1 : 0;
    }
    // The designs were not all empty ones.
    EXPECT_GT(with_pictures, 500);
    EXPECT_GT(with_hotspots, 300);
}

TEST(DesignFile, PathsAreRelativeToTheFileAndFloatsKeepEveryBit) {
    fakes::PictureLoader known;
    RandomDesigner designer(7, picture_paths(known));
    designer.platform.pictures.pictures = known.pictures;
    Form1& form = designer.form();
    for (const char* p : {"/d/designs/logo.bmp", "/d/shared/bg.jpg"}) {
        designer.platform.files.choose(p);
        designer.program.run([&] { form.cmdNewPicture.click(); });
        designer.program.run([&] { designer.program.status_dialog()->cmdReturn.click(); });
    }
    form.Image(1).left = 0.1F;
    form.Image(2).top = -0.0F;
    form.Image(2).width = std::nextafter(3000.0F, 0.0F);
    form.hsi = 2.5F;
    const json file = json::parse(document::write_design(form, kFolder, "9.9"));
    EXPECT_EQ(file["format"], "padscreen-design");
    EXPECT_EQ(file["version"], 1);
    EXPECT_EQ(file["program"], "9.9");
    EXPECT_EQ(file["controls"]["Image1"]["picture"]["path"], "logo.bmp");
    EXPECT_EQ(file["controls"]["Image2"]["picture"]["path"], "../shared/bg.jpg");
    EXPECT_EQ(file["controls"]["Image1"]["left"].dump(), "0.1");

    fakes::PictureLoader loader;
    picture_paths(loader);
    tk::PictureBudget budget;
    const auto opened = std::get<document::Opened>(open(file.dump(), loader, budget));
    Form1 after;
    after.start_up();
    after.set_design(opened.design);
    const float got[] = {after.Image(1).left, after.Image(2).top, after.Image(2).width};
    const float want[] = {0.1F, -0.0F, std::nextafter(3000.0F, 0.0F)};
    EXPECT_EQ(std::memcmp(got, want, sizeof got), 0);
    EXPECT_TRUE(after.hsi.is_float());
    EXPECT_EQ(loader.loads, (std::vector<std::string>{"/d/designs/logo.bmp", "/d/shared/bg.jpg"}));
}

TEST(DesignFile, APictureThatIsGoneKeepsItsSlotAndIsWrittenAgainUnchanged) {
    fakes::PictureLoader known;
    RandomDesigner designer(3, picture_paths(known));
    designer.platform.pictures.pictures = known.pictures;
    Form1& form = designer.form();
    designer.platform.files.choose("/elsewhere/pic one.bmp");
    designer.program.run([&] { form.cmdNewPicture.click(); });
    designer.program.run([&] { designer.program.status_dialog()->cmdReturn.click(); });
    const std::string file = document::write_design(form, kFolder, "test");

    fakes::PictureLoader empty;
    tk::PictureBudget budget;
    const auto opened = std::get<document::Opened>(open(file, empty, budget));
    ASSERT_EQ(opened.missing.size(), 1U);
    EXPECT_EQ(opened.missing[0].slot, 1);
    EXPECT_EQ(opened.missing[0].path, "/elsewhere/pic one.bmp");
    EXPECT_EQ(opened.missing[0].reason, "does not exist");
    Form1 after;
    after.start_up();
    after.set_design(opened.design);
    ASSERT_TRUE(after.Image(1).has_picture());
    EXPECT_TRUE(after.Image(1).picture->missing());
    EXPECT_EQ(codegen::generate_code(after), codegen::generate_code(form));
    EXPECT_EQ(document::write_design(after, kFolder, "test"), file);
}

TEST(DesignFile, BrokenAndHostileFilesAreRefusedWithTheirReason) {
    fakes::PictureLoader known;
    RandomDesigner designer(11, picture_paths(known));
    designer.platform.pictures.pictures = known.pictures;
    designer.act(40);
    const std::string good = document::write_design(designer.form(), kFolder, "test");
    const auto edit = [&](const std::function<void(json&)>& change) {
        json j = json::parse(good);
        change(j);
        return j.dump(2);
    };
    struct Case {
        std::string file;
        std::string reason;
        int line = 0;
        int column = 0;
    };
    const std::vector<Case> cases = {
        {"{\n  \"format\": \n", "not JSON", 3, 1},
        {"", "not JSON", 1, 1},
        {"[1, 2]", "the file: not a design"},
        {edit([](json& j) { j["format"] = "other"; }), "not a padscreen design"},
        {edit([](json& j) { j.erase("format"); }), "not a padscreen design"},
        {edit([](json& j) { j["version"] = 2; }), "made by a newer padscreen (version 2)"},
        {edit([](json& j) { j["version"] = "1"; }), "version: not a whole number"},
        {edit([](json& j) { j["controls"]["Image1"]["left"] = 1e7; }), "Image1.left: out of range"},
        {edit([](json& j) { j["controls"]["lbl3"]["height"] = -2e6; }),
         "lbl3.height: out of range"},
        {edit([](json& j) { j["variables"]["status_10"] = 40000; }),
         "variables.status_10: out of range"},
        {edit([](json& j) { j["variables"]["mode_1_to_9"][0] = -32769; }),
         "variables.mode_1_to_9: out of range"},
        {edit([](json& j) { j["controls"]["lbl1"]["back_color"] = 0x1000000; }),
         "lbl1.back_color: out of range"},
        {edit([](json& j) { j["controls"]["Image11"] = j["controls"]["Image1"]; }),
         "slot 11 is outside 1 to 10"},
        {edit([](json& j) { j["variables"]["intPic"] = 11; }), "slot 11 is outside 1 to 10"},
        {edit([](json& j) { j["variables"]["hsi"] = -1; }), "hotspot -1 is outside 1 to 10"},
        {edit([](json& j) { j["controls"]["lbl0"] = 1; }), "hotspot 0 is outside 1 to 10"},
        {edit([](json& j) { j["controls"]["Image3"].erase("tag"); }),
         "Image3: missing key \"tag\""},
        {edit([](json& j) { j.erase("variables"); }), "the file: missing key \"variables\""},
        {edit([](json& j) { j["controls"]["lbl2"]["visible"] = "yes"; }),
         "lbl2.visible: not true or false"},
        {edit([](json& j) { j["variables"]["file_names"] = json::array(); }),
         "variables.file_names: not a list of 10"},
        {edit([](json& j) { j["variables"]["hs"] = json::array(); }),
         "variables.hs: not a number, a text or null"},
        {edit([](json& j) { j["controls"]["cmdDelete"]["colour"] = 1; }),
         "cmdDelete: unknown key \"colour\""},
        {edit([](json& j) { j["extra"] = 1; }), "the file: unknown key \"extra\""},
        {edit([](json& j) {
             j["controls"]["Image2"]["picture"] = {{"path", "x.bmp"}};
         }),
         "Image2.picture: missing key \"width\""},
        {edit([](json& j) { j["program"] = json::parse("[[[[1]]]]"); }),
         "nested deeper than a design", -1},
        {"{\n  \"format\": \"padscreen-design\",\n  \"format\": 1}", "duplicate key \"format\"", 3,
         11},
        {good + std::string(document::kMaxDesignFileBytes, ' '), "over 1 MiB"},
    };
    for (const Case& c : cases) {
        fakes::PictureLoader loader;
        picture_paths(loader);
        tk::PictureBudget budget;
        const auto result = open(c.file, loader, budget);
        ASSERT_TRUE(std::holds_alternative<document::Refusal>(result)) << c.reason;
        const auto& refusal = std::get<document::Refusal>(result);
        EXPECT_EQ(refusal.reason, c.reason);
        if (c.line < 0) { // somewhere in the file
            EXPECT_GT(refusal.line, 1) << c.reason;
            EXPECT_GT(refusal.column, 1) << c.reason;
        } else {
            EXPECT_EQ(refusal.line, c.line) << c.reason;
            EXPECT_EQ(refusal.column, c.column) << c.reason;
        }
        // Nothing read for it stays.
        EXPECT_EQ(budget.bytes_in_use(), 0U) << c.reason;
    }
}

} // namespace
