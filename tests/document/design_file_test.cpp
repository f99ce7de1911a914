// SPDX-License-Identifier: GPL-2.0-or-later
#include "codegen/generate.h"
#include "document/command_line.h"
#include "document/design_file.h"
#include "random_design.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <unistd.h>

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

const std::string kFolder = "/d/designs";
const std::string kGolden = GOLDEN_DIR;

// Pictures beside the design, below it, above it and elsewhere; one very wide.
std::vector<std::string> picture_paths(fakes::PictureLoader& loader) {
    std::vector<std::string> paths = {kFolder + "/logo.bmp", kFolder + "/art/ok.button.gif",
                                      "/d/shared/bg.jpg", "/elsewhere/pic one.bmp",
                                      kFolder + "/logo", kFolder + "/banner.png"};
    int size = 7;
    for (const std::string& p : paths) {
        loader.add(p, size, size * 2 + 1);
        size = size * 3 % 301 + 1;
    }
    loader.add(paths.back(), 40000, 2);
    return paths;
}

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Saved, reopened in another program, and driven on by the same actions: the
// reopened design gives the code the saved one (with nothing selected) gives.
TEST(DesignFile, ReopenedDesignsGoOnAsTheSavedOnesDo) {
    int with_pictures = 0;
    int with_hotspots = 0;
    for (std::uint64_t seed = 1; seed <= 300; ++seed) {
        fakes::PictureLoader known;
        RandomDesigner saved(seed, picture_paths(known));
        saved.platform.pictures.pictures = known.pictures;
        saved.act(static_cast<int>(seed % 60) + 1);
        saved.deselect();
        const std::string file = document::write_design(saved.form(), kFolder, "test");

        RandomDesigner reopened(seed, picture_paths(known));
        reopened.platform.pictures.pictures = known.pictures;
        bool applied = false;
        reopened.program.run(
            [&] { applied = reopened.document.apply(file, "saved.padscreen", kFolder); });
        ASSERT_TRUE(applied) << seed << ": " << reopened.platform.messages.shown.back().first;
        ASSERT_EQ(document::write_design(reopened.form(), kFolder, "test"), file) << seed;
        for (const std::uint64_t go_on : {seed * 7919, seed * 104729}) {
            saved.reseed(go_on, false);
            reopened.reseed(go_on, false);
            saved.act(25);
            reopened.act(25);
            ASSERT_EQ(codegen::generate_code(reopened.form()), codegen::generate_code(saved.form()))
                << seed << " after " << go_on;
        }
        with_pictures += file.find("\"slot\"") != std::string::npos ? 1 : 0;
        with_hotspots += file.find("\"number\"") != std::string::npos ? 1 : 0;
    }
    // The designs were not all empty ones.
    EXPECT_GT(with_pictures, 150);
    EXPECT_GT(with_hotspots, 100);
}

// What the program can reach, to the edges of each range, is written and read back exactly.
TEST(DesignFile, EveryReachableValueReadsBack) {
    const int kMax = 1 << 27; // pixels of the largest picture the decoder gives
    for (const auto& [width, height] : std::initializer_list<std::pair<int, int>>{
             {1, 1}, {kMax, 1}, {1, kMax}, {33330, 4000}, {11585, 11585}}) {
        const float w = (static_cast<float>(width) + 4) * 30;
        const float h = (static_cast<float>(height) + 4) * 30;
        for (const auto& [left, top] : {std::pair{std::min(0.0F, 9720 - w), 7315.0F},
                                       std::pair{9720.0F, std::min(0.0F, 7315 - h)},
                                       std::pair{0.1F, -0.0F}}) {
            const document::FileDesign d{
                {{10, "/p/\u00e9 1.bmp", left, top, width, height, "t\u00e9.bmp", "ok, go", 1, 3}},
                {{1, -1e6F, -1e6F, 0, 0},
                 {4, 0.5F, 7315, 9720, 0},
                 {10, Form1::kClientWidth, Form1::kClientHeight, 1e6F, 1e6F}},
                std::vector<std::string>(11, "None"),
                10};
            const auto parsed = document::parse_design(document::write_design(d, "", "test"));
            ASSERT_TRUE(std::holds_alternative<document::Parsed>(parsed))
                << std::get<document::Refusal>(parsed).reason;
            const auto& back = std::get<document::Parsed>(parsed).design;
            ASSERT_EQ(back, d);
            ASSERT_EQ(std::signbit(back.pictures[0].top), std::signbit(top)); // -0 is not 0
        }
    }
}

// Hostile or broken files: refused with their reason by the reader and by --code,
// nothing printed, nothing held.
TEST(DesignFile, HostileFilesAreRefusedWithTheirReason) {
    fakes::PictureLoader known;
    RandomDesigner designer(11, picture_paths(known));
    designer.platform.pictures.pictures = known.pictures;
    designer.act(40);
    const std::string good = document::write_design(designer.form(), kFolder, "test");
    const auto pic = [](json& j) -> json& { return j["pictures"][0]; };
    const std::vector<std::tuple<const char*, std::function<void(json&)>, std::string>> cases = {
        {"another format", [](json& j) { j["format"] = "other"; }, "not a padscreen design"},
        {"newer", [](json& j) { j["version"] = 3; }, "made by a newer version of padscreen"},
        {"version 0", [](json& j) { j["version"] = 0; }, "version: out of range"},
        {"injection", [&](json& j) { pic(j)["status"] = "0, 0\r\nShell \"calc.exe\"\r\n'"; },
         "status: not a whole number"},
        {"name on two lines", [&](json& j) { pic(j)["name"] = "a\r\nShell"; },
         "name: holds a control character"},
        {"long tag", [&](json& j) { pic(j)["tag"] = std::string(4000, 'x'); },
         "tag: longer than 255 bytes"},
        {"status 2", [&](json& j) { pic(j)["status"] = 2; }, "status: out of range"},
        {"mode 4", [&](json& j) { pic(j)["mode"] = 4; }, "mode: out of range"},
        {"off the canvas", [&](json& j) { pic(j)["left"] = 9721; }, "left: out of range"},
        {"too wide", [&](json& j) { pic(j)["width"] = (1 << 27) + 1; }, "width: out of range"},
        {"too large", [&](json& j) { pic(j)["width"] = 1 << 14, pic(j)["height"] = 1 << 14; },
         "larger than a picture may be"},
        {"slot 11", [&](json& j) { pic(j)["slot"] = 11; }, "slot: out of range"},
        {"two in a slot", [&](json& j) { j["pictures"].push_back(pic(j)); }, "two pictures in slot"},
        {"no path", [&](json& j) { pic(j).erase("path"); }, "missing \"path\""},
        {"a colour", [&](json& j) { pic(j)["back_color"] = 255; }, "unknown member \"back_color\""},
        {"hotspot 0", [](json& j) { j["hotspots"][0]["number"] = 0; }, "number: out of range"},
        {"negative size", [](json& j) { j["hotspots"][0]["width"] = -1; }, "width: out of range"},
        {"disabled 11", [](json& j) { j["enable"]["disabled"] = 11; }, "disabled: out of range"},
        {"twelve entries", [](json& j) { j["enable"]["list"] = json::array(); 
                                         for (int k = 0; k < 12; ++k) j["enable"]["list"].push_back("x"); },
         "enable.list: not a list of at most 11"},
        {"deep", [](json& j) { j["x"] = json::parse("[[[[[[[[1]]]]]]]]"); },
         "nested deeper than a design"},
    };
    const auto refusal_of = [](const std::string& bytes) {
        const auto r = document::parse_design(bytes);
        return std::holds_alternative<document::Refusal>(r) ? std::get<document::Refusal>(r).reason
                                                            : std::string("(opened)");
    };
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& [what, change, reason] : cases) {
        json j = json::parse(good);
        ASSERT_FALSE(j["pictures"].empty() || j["hotspots"].empty()) << what;
        change(j);
        files.emplace_back(j.dump(2), reason);
    }
    const std::string head = R"({"format": "padscreen-design", "version": 2, "pictures": )";
    files.insert(files.end(),
                 {{head + "[{\"slot\": 1e309}]}", "a value out of range"},
                  {head + "[{\"slot\": " + std::string(400, '9') + "}]}", "a value out of range"},
                  {"{\n  \"format\": \n", "not JSON"},
                  {"[1, 2]", "the file: not a design"},
                  {R"({"format": "padscreen-design", "format": 1})", "duplicate key \"format\""},
                  {good + std::string(document::kMaxDesignFileBytes, ' '), "over 1 MiB"}});
    const fs::path folder = fs::temp_directory_path() / ("padscreen-hostile-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    for (const auto& [bytes, reason] : files) {
        EXPECT_NE(refusal_of(bytes).find(reason), std::string::npos)
            << reason << " <- " << refusal_of(bytes);
        std::ofstream(folder / "f.padscreen", std::ios::binary) << bytes;
        const document::CodeRun run = document::code_of_file((folder / "f.padscreen").string(), known);
        EXPECT_EQ(run.status, 1) << reason;
        EXPECT_TRUE(run.out.empty()) << reason;
        EXPECT_NE(run.error.find(reason), std::string::npos) << run.error;
    }
    fs::remove_all(folder);
}

// Files of every version open and give the code they were saved for; a version 1
// file gives only its design, whatever it says of the window.
TEST(DesignFile, GoldenFilesOfEveryVersionGiveTheirCode) {
    fakes::PictureLoader sizes; // the golden pictures' sizes
    for (const auto& [path, w, h] : {std::tuple{"bg.bmp", 120, 64}, {"pictures/logo.bmp", 40, 20},
                                     {"pictures/ok.button.bmp", 30, 12},
                                     {"pictures/Cancel.bmp", 31, 13}}) {
        sizes.add(document::resolve_path(path, kGolden + "/v1"), w, h);
    }
    int opened = 0;
    for (const char* version : {"v1", "v2"}) {
        for (const auto& e : fs::directory_iterator(fs::path(kGolden) / version)) {
            if (e.path().extension() != ".padscreen") {
                continue;
            }
            const document::CodeRun run = document::code_of_file(e.path().string(), sizes);
            ASSERT_EQ(run.error, "") << e.path();
            EXPECT_EQ(run.out, slurp(fs::path(e.path()).replace_extension(".code.txt")))
                << e.path();
            ++opened;
        }
    }
    EXPECT_GE(opened, 4);
    // The one step there is: version 1 to 2, and the chain it ends.
    const auto design = [](const std::string& bytes, const std::string& folder) {
        auto parsed = std::get<document::Parsed>(document::parse_design(bytes));
        for (auto& p : parsed.design.pictures) {
            p.path = document::resolve_path(p.path, folder);
        }
        return std::pair{parsed.design, parsed.version};
    };
    const std::string v1 = slurp(kGolden + "/v1/screen.padscreen");
    const auto v2 = design(slurp(kGolden + "/v2/screen.padscreen"), kGolden + "/v2");
    EXPECT_EQ(design(document::migrate_1_to_2(v1), kGolden + "/v1").first, v2.first);
    EXPECT_EQ(design(v1, kGolden + "/v1"), std::pair(v2.first, 1));

    // Buttons renamed, hidden and a panel painted red in a version 1 file: the program's own stay.
    RandomDesigner fresh(1, {});
    bool applied = false;
    fresh.program.run([&] {
        applied = fresh.document.apply(slurp(kGolden + "/v1/hostile-buttons.padscreen"), "h",
                                       kGolden + "/v1");
    });
    ASSERT_TRUE(applied);
    EXPECT_EQ(fresh.form().cmdCreateCode.caption, "&Create Code");
    EXPECT_TRUE(fresh.form().cmdNewPicture.visible);
    EXPECT_EQ(fresh.form().Label1.back_color, tk::kButtonFace);
    EXPECT_EQ(codegen::generate_code(fresh.form()), slurp(kGolden + "/v1/screen.code.txt"));
}

// Members a newer version added are written back unchanged; paths are kept relative
// to the file, absolute in memory.
TEST(DesignFile, UnknownMembersAndPathsSurviveASave) {
    fakes::PictureLoader known;
    RandomDesigner designer(7, picture_paths(known));
    designer.platform.pictures.pictures = known.pictures;
    for (const char* p : {"/d/designs/logo.bmp", "/d/shared/bg.jpg"}) {
        designer.platform.files.choose(p);
        designer.program.run([&] { designer.form().cmdNewPicture.click(); });
        designer.program.run([&] { designer.program.status_dialog()->cmdReturn.click(); });
    }
    json file = json::parse(document::write_design(designer.form(), kFolder, "9.9"));
    EXPECT_EQ(file["pictures"][0]["path"], "logo.bmp");
    EXPECT_EQ(file["pictures"][1]["path"], "../shared/bg.jpg");
    file["layers"] = {{"names", {"top", "bottom"}}, {"count", 2}};
    const std::string path = kFolder + "/more.padscreen";
    designer.program.run([&] { designer.document.apply(file.dump(), path, kFolder); });
    designer.platform.files.choose(path);
    designer.document.save_as();
    const std::string text = designer.platform.writer.files.at(path);
    EXPECT_EQ(json::parse(text)["layers"], file["layers"]);
    EXPECT_EQ(json::parse(text)["pictures"], file["pictures"]);
    EXPECT_EQ(text.rfind("{\n  \"format\": \"padscreen-design\",\n  \"version\": 2,", 0), 0U);
}

} // namespace
