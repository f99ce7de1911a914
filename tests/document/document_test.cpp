// SPDX-License-Identifier: GPL-2.0-or-later
#include "codegen/generate.h"
#include "document/document.h"
#include "fakes.h"
#include "gestures.h"
#include "slots/status_dialog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// The keys of the main window as the program runs them: save, save under another
// name, open; the caption that names the file; opening as one undo step.
class DocumentTest : public ::testing::Test {
public:
    ~DocumentTest() override { fs::remove_all(folder); }

protected:
    DocumentTest() {
        fs::create_directories(folder);
        program.start();
        p.pictures.add(folder + "/logo.bmp", 20, 10);
        p.files.choose(folder + "/logo.bmp");
        program.run([this] { form().cmdNewPicture.click(); });
        program.run([this] { program.status_dialog()->cmdReturn.click(); });
    }

    Form1& form() { return *program.form1(); }
    // What the fake writer saved, put on the disk where opening reads it.
    void to_disk(const std::string& path) { std::ofstream(path) << p.writer.files.at(path); }
    void drag_logo() { // by 600 twips right and down
        const tk::Image& logo = form().Image(1);
        const float x = logo.left + 30;
        const float y = logo.top + 30;
        program.run([&] { gestures::drag(form(), x, y, x + 600, y + 600); });
    }

    const std::string folder =
        (fs::temp_directory_path() / ("padscreen-designs-" + std::to_string(::getpid()))).string();
    fakes::Platform p;
    document::Document designs{{p.services, "test"}};
    Program& program = designs.program();
};

TEST_F(DocumentTest, SavingNamesTheFileInTheCaptionAndOpeningIsOneStep) {
    const std::string path = folder + "/screen.padscreen";
    EXPECT_EQ(form().caption, "Position Window");
    p.files.choose(path);
    designs.save();
    ASSERT_EQ(p.files.save_requests.size(), 1U);
    EXPECT_EQ(p.files.save_requests[0].title, "Save Design");
    EXPECT_EQ(p.files.save_requests[0].filter, "Designs (*.padscreen)|*.padscreen");
    EXPECT_EQ(p.files.save_requests[0].default_suffix, "padscreen");
    EXPECT_TRUE(p.files.save_requests[0].confirm_overwrite);
    EXPECT_EQ(form().caption, "screen.padscreen \u2014 Position Window");
    const std::string code = codegen::generate_code(form());

    drag_logo();
    EXPECT_EQ(form().caption, "*screen.padscreen \u2014 Position Window");
    designs.save(); // the file is known: no dialog
    EXPECT_EQ(p.files.save_requests.size(), 1U);
    EXPECT_EQ(form().caption, "screen.padscreen \u2014 Position Window");
    const std::string moved = codegen::generate_code(form());
    ASSERT_NE(moved, code);
    // The mark is a place in the history: undo back to it and the design is clean again.
    drag_logo();
    EXPECT_TRUE(designs.modified());
    program.undo();
    EXPECT_FALSE(designs.modified());
    program.redo();
    EXPECT_TRUE(designs.modified());
    program.undo();

    // A failing save says why and leaves the design marked as not saved.
    drag_logo();
    p.writer.failure = "Could not save " + path + ": the disk is full.";
    designs.save();
    EXPECT_EQ(p.messages.shown.back(), std::make_pair(*p.writer.failure, std::string("ERROR")));
    EXPECT_EQ(form().caption, "*screen.padscreen \u2014 Position Window");
    p.writer.failure.reset();

    // Opening the saved file: one step, undone by one Ctrl+Z.
    to_disk(path);
    program.run([this] { form().cmdReset.click(); });
    const FormState before = form().state();
    const std::uint64_t steps = program.history().taken();
    p.files.choose(path);
    designs.open();
    EXPECT_EQ(p.files.open_requests.back().title, "Open Design");
    EXPECT_EQ(program.history().taken(), steps + 1);
    EXPECT_EQ(codegen::generate_code(form()), moved);
    EXPECT_EQ(form().caption, "screen.padscreen \u2014 Position Window");
    program.run([this] { program.undo(); });
    EXPECT_EQ(form().state().design, before.design);
}

TEST_F(DocumentTest, WhatCannotBeOpenedLeavesTheDesignAsItWas) {
    const struct {
        const char* what;
        std::string bytes; // written to the file; empty: no file at all
        const char* says;
    } cases[] = {
        {"no file", "", "Cannot open "},
        {"not JSON", "{\n  \"format\": ", "line 2"},
        {"another format", "{\"format\": \"something else\"}", "not a padscreen design"},

    };
    for (const auto& c : cases) {
        const std::string path = folder + "/case.padscreen";
        fs::remove(path);
        if (!c.bytes.empty()) {
            std::ofstream(path) << c.bytes;
        }
        const DesignState before = form().design();
        const std::size_t shown = p.messages.shown.size();
        designs.open_path(path);
        ASSERT_EQ(p.messages.shown.size(), shown + 1) << c.what;
        EXPECT_EQ(p.messages.shown.back().second, "Open Design") << c.what;
        EXPECT_NE(p.messages.shown.back().first.find(c.says), std::string::npos)
            << c.what << ": " << p.messages.shown.back().first;
        EXPECT_EQ(form().design(), before) << c.what;
    }
    // Nothing is opened while the status dialog asks.
    p.files.choose(folder + "/logo.bmp");
    program.run([this] { form().cmdNewPicture.click(); });
    ASSERT_NE(program.status_dialog(), nullptr);
    const std::size_t asked = p.files.open_requests.size();
    designs.open();
    EXPECT_EQ(p.files.open_requests.size(), asked);
}

} // namespace

namespace {

// Two pictures of more than half the budget, one after the other, around a save
// and a recovery copy: only undo holds the first, and it gives way.
TEST(DocumentBudget, UndoGivesWayToANewLoadAfterASaveAndARecoveryCopy) {
    constexpr std::size_t kBudget = std::size_t{64} << 20;
    const fs::path folder =
        fs::temp_directory_path() / ("padscreen-budget-" + std::to_string(::getpid()));
    fakes::Platform p;
    document::Document doc({p.services, "test", folder.string(), tk::kDefaultDragDistance, kBudget});
    doc.start();
    Program& program = doc.program();
    Form1& form = *program.form1();
    const int side = 3000; // 36 MB of pixels
    const auto load = [&](const std::string& path) {
        p.pictures.decoded[path] = {side, side};
        p.files.choose(path);
        program.run([&] { form.cmdNewPicture.click(); });
        if (program.status_dialog() != nullptr) {
            program.run([&] { program.status_dialog()->cmdReturn.click(); });
        }
    };
    load("/p/first.png");
    ASSERT_TRUE(form.Image(1).has_picture());
    p.files.choose("/p/screen.padscreen");
    doc.save_as();
    program.run([&] { form.cmdReset.click(); }); // the first lives on in undo
    doc.flush();
    load("/p/second.png");
    ASSERT_TRUE(form.Image(1).has_picture()) << doc.notice();
    EXPECT_EQ(form.Image(1).picture->path, "/p/second.png");
    EXPECT_LE(program.picture_budget().bytes_in_use(), kBudget);
    EXPECT_TRUE(doc.modified());
    doc.flush(); // the writer is done with the folder
    fs::remove_all(folder);
}

} // namespace
