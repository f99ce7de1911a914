// SPDX-License-Identifier: GPL-2.0-or-later
#include "assist/lcd.h"
#include "codegen/encoding.h"
#include "codegen/generate.h"
#include "document/code_file.h"
#include "document/command_line.h"
#include "document/design_file.h"
#include "document/document.h"
#include "document/file_read.h"
#include "random_design.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

// A folder of picture files (their bytes do not matter: the fake loader knows them by path).
class CodeFolder : public ::testing::Test {
protected:
    CodeFolder() {
        fs::create_directories(folder);
        int size = 5;
        for (const char* title : {"p1.bmp", "p1.gif", "p1.old.jpg", "p2.bmp", "a, b.bmp",
                                  "caf\xC3\xA9.bmp", "wide.bmp", "tiny.ico"}) {
            std::ofstream(folder / title) << "x";
            const std::string path = (folder / title).string();
            loader.add(path, size, size / 2 + 1);
            paths.push_back(path);
            size = size * 7 % 290 + 1;
        }
    }
    ~CodeFolder() override { fs::remove_all(folder); }

    document::Rebuilt rebuild(const std::string& code) {
        const auto bytes = codegen::to_windows_1252(code);
        return document::rebuild_from_code(std::get<std::string>(bytes), folder.string(), loader,
                                           budget);
    }
    static std::string generate(const DesignState& design) {
        Form1 form;
        form.start_up();
        form.set_design(design);
        return codegen::generate_code(form);
    }

    fs::path folder =
        fs::temp_directory_path() /
        ("padscreen-code-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fakes::PictureLoader loader;
    tk::PictureBudget budget;
    std::vector<std::string> paths;
};

TEST_F(CodeFolder, RandomDesignsRebuiltFromTheirCodeWriteTheSameCode) {
    int lines = 0;
    for (std::uint64_t seed = 1; seed <= 1000; ++seed) {
        RandomDesigner designer(seed, paths);
        designer.platform.pictures.pictures = loader.pictures;
        designer.act(static_cast<int>(seed % 60) + 1);
        const std::string code = codegen::generate_code(designer.form());
        const document::Rebuilt rebuilt = rebuild(code);
        ASSERT_TRUE(rebuilt.problems.empty()) << seed << ": line " << rebuilt.problems[0].line
                                              << ": " << rebuilt.problems[0].reason << "\n"
                                              << code;
        ASSERT_EQ(generate(rebuilt.design), code) << seed;
        // And what it rebuilt can be saved as a design and read back.
        Form1 form;
        form.start_up();
        form.set_design(rebuilt.design);
        const auto parsed = document::parse_design(document::write_design(form, "", "test"));
        ASSERT_TRUE(std::holds_alternative<document::Parsed>(parsed))
            << seed << ": " << std::get<document::Refusal>(parsed).reason;
        lines += static_cast<int>(std::count(code.begin(), code.end(), '\n'));
    }
    EXPECT_GT(lines, 3000); // the designs were not all empty
}

TEST_F(CodeFolder, ARebuiltScreenIsWhatLoadingAndDrawingLeave) {
    RandomDesigner designer(1, paths);
    designer.platform.pictures.pictures = loader.pictures;
    Form1& form = designer.form();
    designer.platform.files.choose(paths[3]);
    designer.program.run([&] { form.cmdNewPicture.click(); });
    auto* dialog = designer.program.status_dialog();
    designer.program.run([&] {
        dialog->set_focus(&dialog->optHiddenBackground);
        dialog->set_focus(&dialog->optModeWriteOpaque);
        dialog->cmdReturn.click();
    });
    // A band from the first twips of (150, 90) to the first twips that make it 30 x 12.
    const auto x = static_cast<float>(assist::first_twip(150));
    const auto y = static_cast<float>(assist::first_twip(90));
    designer.program.run([&] {
        form.mouse_move(0, 0, x, y);
        form.mouse_press(tk::kLeftButton, 0, x, y);
        form.mouse_move(tk::kLeftButton, 0, x + 912, y + 356);
        form.mouse_release(tk::kLeftButton, 0, x + 912, y + 356);
        form.cmdHotspot.click();
    });
    const std::string code = codegen::generate_code(form);
    ASSERT_NE(code.find("KeyPadAddHotSpot 0, 1, 150, 90, 30, 12"), std::string::npos) << code;
    const document::Rebuilt rebuilt = rebuild(code);
    EXPECT_TRUE(rebuilt.problems.empty());
    const auto [want, want_pictures] = without_pictures(form.design());
    const auto [got, got_pictures] = without_pictures(rebuilt.design);
    EXPECT_EQ(got_pictures, want_pictures);
    EXPECT_EQ(got.variables, want.variables);
    ASSERT_EQ(got.controls.size(), want.controls.size());
    for (std::size_t k = 0; k < got.controls.size(); ++k) {
        EXPECT_EQ(got.controls[k], want.controls[k]) << "design control " << k;
    }
}

TEST_F(CodeFolder, LinesThatCannotBeRebuiltAreNamedAndTheRestOpens) {
    const std::string code =
        "Penvane1.LCDWriteBitmap 1, 3, 0, 0, 1, 1, p1.Picture.Handle\r\n"
        "Penvane1.LCDWriteBitmap 0, 0, 0, 0, 9, 1, gone.Picture.Handle\r\n"
        "Penvane1.LCDWriteBitmap 0, 0, 5, 5, -1, .Picture.Handle\r\n"
        "Penvane1.LCDWriteBitmap 1, 2, 3, 4, 5, 6, p1\r\n"
        "\r\n"
        "Penvane1.KeyPadAddHotSpot 1, 1, 0, 0, 5, 5\r\n"
        "Penvane1.KeyPadAddHotSpot 0, 2, 0, 0, 5, 5\n"
        "Penvane1.KeyPadAddHotSpot 0, 1, 5000, 0, 5, 5\r\n" // no twip reaches 5000
        "Penvane1.KeyPadAddHotSpot 0, 1, 7, 8, 9, 10\r\n"
        "Dim x\r\n";
    const document::Rebuilt rebuilt = rebuild(code);
    std::vector<int> lines;
    for (const auto& p : rebuilt.problems) {
        lines.push_back(p.line);
    }
    EXPECT_EQ(lines, (std::vector<int>{1, 2, 3, 4, 6, 7, 8, 10}));
    EXPECT_EQ(rebuilt.problems[0].reason, "no picture named \"p1\" has a size that gives 1, 1");
    EXPECT_EQ(rebuilt.problems[1].reason,
              "no picture file in the folder gives the name \"gone\", kept as a placeholder");
    EXPECT_EQ(rebuilt.problems[4].reason, "hotspot 1 out of order: 0 comes next");
    EXPECT_EQ(generate(rebuilt.design),
              "Penvane1.LCDWriteBitmap 0, 0, 0, 0, 9, 1, gone.Picture.Handle"
              "\r\n\r\nPenvane1.KeyPadAddHotSpot 0, 1, 7, 8, 9, 10\r\n");
    EXPECT_EQ(rebuilt.problems[0].line, 1);
}

// Status and mode are the dialog's codes: nothing else goes into a design.
TEST_F(CodeFolder, StatusAndModeAreTheStatusDialogsCodes) {
    std::string code;
    std::string kept;
    for (const char* sm : {", ", "0, 3", "-7, 2.5", "x y, 70000", "1, 0", "2, 1", "1, 4", "0, 0"}) {
        const std::string line =
            "Penvane1.LCDWriteBitmap " + std::string(sm) + ", 0, 0, 31, 16, p2.Picture.Handle\r\n";
        code += line;
        const bool code_pair = std::string(sm).size() == 4 && sm[0] <= '1' && sm[3] <= '3';
        kept += code_pair ? line : "";
    }
    const document::Rebuilt rebuilt = rebuild(code + "\r\n");
    EXPECT_EQ(rebuilt.problems.size(), 5U);
    EXPECT_EQ(rebuilt.problems[0].reason, "status and mode are not codes the status dialog gives");
    EXPECT_EQ(generate(rebuilt.design), kept + "\r\n");
    EXPECT_TRUE(rebuilt.design.variables.status_1_to_9[0].is_integer());
    EXPECT_TRUE(document::looks_like_code("\r\n  Penvane1.KeyPadAddHotSpot"));
    EXPECT_FALSE(document::looks_like_code("{\"format\": \"padscreen-design\"}"));
}

// A NAME no file gives keeps its line's place and size, as a picture without
// pixels named after the folder and NAME.
TEST_F(CodeFolder, APictureThatIsNotThereIsKeptAsAPlaceholderOfTheLinesSize) {
    for (int w = 0; w <= 260; ++w) {
        const int h = w * 37 % 130;
        const std::string line = "Penvane1.LCDWriteBitmap 1, 2, 3, 4, " + std::to_string(w) + ", " +
                                 std::to_string(h) + ", ghost.Picture.Handle\r\n";
        const document::Rebuilt rebuilt = rebuild(line);
        const bool never_written = (w > 176 && w <= 180) || (h > 92 && h <= 96);
        EXPECT_EQ(rebuilt.problems.at(0).reason,
                  "no picture file in the folder gives the name \"ghost\"" +
                      std::string(never_written ? "" : ", kept as a placeholder"));
        ASSERT_EQ(rebuilt.rebuilt_lines, never_written ? 0 : 1) << line;
        if (!never_written) {
            Form1 form;
            form.start_up();
            form.set_design(rebuilt.design);
            EXPECT_TRUE(form.Image(1).picture->missing());
            EXPECT_EQ(form.Image(1).picture->path, (folder / "ghost").string());
            EXPECT_EQ(codegen::generate_code(form), line + "\r\n");
        }
    }
}

// Lines of one NAME read each of its files once; the folder is listed once,
// before any is read, so a file the reading adds is not seen.
TEST_F(CodeFolder, EachPictureFileIsReadOnceAndTheFolderListedOnce) {
    struct Adding : fakes::PictureLoader {
        fs::path late;
        tk::PicturePtr load(const std::string& path, tk::PictureBudget& budget) override {
            std::ofstream(late) << "x";
            return fakes::PictureLoader::load(path, budget);
        }
    } adding;
    adding.pictures = loader.pictures;
    adding.late = folder / "late.bmp";
    std::string code;
    for (const char* name : {"p1", "p1", "p1", "p1", "late"}) {
        code +=
            "Penvane1.LCDWriteBitmap 0, 0, 0, 0, 1, 1, " + std::string(name) + ".Picture.Handle\n";
    }
    document::rebuild_from_code(code, folder.string(), adding, budget);
    EXPECT_EQ(adding.loads, (std::vector<std::string>{paths[0], paths[1], paths[2]}));
}

// A code file too long for one screen, or none of whose lines can be rebuilt,
// leaves the canvas as it was and says why; `padscreen code.txt` finds its
// pictures in the folder it runs in.
TEST_F(CodeFolder, CodeThatCannotBeOpenedLeavesTheCanvasAndABareNameFindsItsPictures) {
    const std::string hotspot = "Penvane1.KeyPadAddHotSpot 0, 1, 7, 8, 9, 10\r\n";
    const std::pair<std::string, const char*> cases[] = {
        // code, what the message says
        {hotspot + std::string(document::kMaxCodeLines - 1, '\n'), ""}, // opens
        {"Penvane1.LCDWriteBitmap 0, 0, 0, 0, 9, 9, p1.Picture.Handle\n" + hotspot +
             std::string(document::kMaxCodeLines - 1, '\n'),
         ": over 64 lines, more than "},
        {"Penvane1.Bad\r\nPenvane1.LCDWriteBitmap 0, 0, 5000, 0, 9, 9, p1.Picture.Handle",
         "No line of "},
    };
    fakes::Platform p;
    document::Document designs{{p.services, "test"}};
    Program& program = designs.program();
    program.start();
    for (const auto& [code, says] : cases) {
        std::ofstream(folder / "code.txt") << code;
        const DesignState before = program.form1()->design();
        designs.open_path((folder / "code.txt").string());
        EXPECT_EQ(program.form1()->design() == before, *says != '\0') << says;
        const std::string said = p.messages.shown.empty() ? "" : p.messages.shown.back().first;
        EXPECT_NE(said.find(says), std::string::npos) << said;
        EXPECT_TRUE(p.pictures.loads.empty());
    }
    const std::string p2 = "Penvane1.LCDWriteBitmap 0, 3, 0, 0, 31, 16, p2.Picture.Handle\r\n\r\n";
    std::ofstream(folder / "code.txt", std::ios::trunc) << p2;
    const fs::path was = fs::current_path();
    fs::current_path(folder);
    loader.add((fs::current_path() / "p2.bmp").string(), 32, 17);
    const document::CodeRun run = document::code_of_file("code.txt", loader);
    fs::current_path(was);
    EXPECT_EQ(run.error + run.out, p2);
}

// What is no file to read is refused with its reason, at once (a pipe would hang a
// plain open), through read_file and through `padscreen --code`.
TEST_F(CodeFolder, WhatIsNoRegularFileOrIsTooLongIsRefusedBeforeItIsRead) {
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
    fs::create_symlink(folder / "loop", folder / "loop");
    std::ofstream(folder / "long") << std::string((1 << 20) + 1, 'x');
    const std::pair<fs::path, std::string> cases[] = {
        {folder / "pipe", "it is a pipe, not a file"},
        {"/dev/null", "it is a device, not a file"},
        {folder, "it is a folder"},

        {folder / "loop", "its symbolic links form a loop"},
        {folder / "long", "over 1 MiB"},
        {folder / "none", "No such file or directory"},
    };
    std::string reason;
    for (const auto& [path, why] : cases) {
        EXPECT_FALSE(document::read_file(path.string(), 1 << 20, reason)) << path;
        EXPECT_EQ(reason, why);
        const document::CodeRun run = document::code_of_file(path.string(), loader);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out + run.error, "padscreen: " + path.string() + ": " + why + "\n");
    }
    fs::resize_file(folder / "long", 1 << 20); // exactly the limit is read
    EXPECT_EQ(document::read_file((folder / "long").string(), 1 << 20, reason),
              std::string(1 << 20, 'x'));
}

} // namespace
