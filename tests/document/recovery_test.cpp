// SPDX-License-Identifier: GPL-2.0-or-later
#include "codegen/generate.h"
#include "document/document.h"
#include "document/recovery.h"
#include "random_design.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kPaths = {"/p/logo.bmp", "/p/art/ok.gif", "/q/bg.jpg"};

void know_pictures(fakes::PictureLoader& loader) {
    int size = 9;
    for (const std::string& p : kPaths) {
        loader.add(p, size, size + 4);
        size += 17;
    }
}

// A program as main() makes one, with its recovery copies in folder.
struct Instance {
    explicit Instance(const fs::path& folder) : document({platform.services, "test", folder.string()}) {
        know_pictures(platform.pictures);
        document.start();
    }
    fakes::Platform platform;
    document::Document document;
    Program& program = document.program();
};

std::vector<fs::path> copies(const fs::path& folder) {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(folder)) {
        if (e.path().extension() == ".padscreen") {
            out.push_back(e.path());
        }
    }
    return out;
}

// A copy after each design step, restored equal by the next program; never one of a
// program that still runs, never one that cannot be read; gone once saved or emptied.
TEST(Recovery, CopiesComeBackInTheNextProgramOnlyWhenTheirOwnerHasEnded) {
    const fs::path folder = fs::temp_directory_path() / ("padscreen-recovery-" + std::to_string(::getpid()));
    fs::remove_all(folder);

    std::optional<RandomDesigner> first;
    first.emplace(7, kPaths, folder.string());
    know_pictures(first->platform.pictures);
    EXPECT_FALSE(first->document.offer());
    // It belongs to a design file, opened from a folder the next program does not start in.
    first->platform.files.choose("/p/screen.padscreen");
    first->platform.writer.failure.reset();
    first->document.save_as();
    int tries = 0;
    do {
        first->act(40);
    } while (!first->form().Image(1).has_picture() && ++tries < 20);
    // And a load waits for its status.
    first->platform.files.choose(kPaths[0]);
    first->program.run([&] { first->form().cmdNewPicture.click(); });
    const int waiting = static_cast<int>(*first->form().i.number());
    first->document.flush();
    ASSERT_EQ(copies(folder).size(), 1U) << "a copy after the steps";
    const std::string code = codegen::generate_code(first->form());
    int pictures = 0;
    for (int n = 1; n <= Form1::kSlots; ++n) {
        pictures += first->form().Image(n).has_picture() ? 1 : 0;
    }

    {
        Instance running(folder);
        EXPECT_FALSE(running.document.offer()) << "the copy of a running program";
    }

    first.reset(); // the first program ends; its copy stays
    // A newer copy that cannot be read is passed over.
    std::ofstream(folder / "design-1-1.padscreen") << "{ not a design";
    Instance next(folder);
    ASSERT_TRUE(next.document.offer());
    EXPECT_EQ(next.document.offer()->pictures, pictures);
    EXPECT_NE(next.document.offer()->text().find("Ctrl+R restores the last design ("),
              std::string::npos);
    const std::uint64_t steps = next.program.history().taken();
    next.document.restore();
    EXPECT_FALSE(next.document.offer());
    // The file it belonged to, still changed since; the waiting picture asks again.
    EXPECT_EQ(next.document.path(), std::optional<std::string>("/p/screen.padscreen"));
    EXPECT_EQ(next.document.kind(), document::FileKind::Design);
    EXPECT_TRUE(next.document.modified());
    ASSERT_NE(next.program.status_dialog(), nullptr);
    EXPECT_FALSE(next.program.form1()->visible);
    EXPECT_EQ(next.program.form1()->i.number(), waiting);
    next.program.run([&] { next.program.status_dialog()->cmdReturn.click(); });
    EXPECT_EQ(next.program.history().taken(), steps + 1) << "one undo step";
    EXPECT_EQ(codegen::generate_code(*next.program.form1()).find(", , "), std::string::npos);
    const auto bitmaps = [](const std::string& text) {
        std::size_t n = 0;
        for (auto at = text.find("LCDWriteBitmap"); at != std::string::npos;
             at = text.find("LCDWriteBitmap", at + 1)) {
            ++n;
        }
        return n;
    };
    EXPECT_EQ(bitmaps(codegen::generate_code(*next.program.form1())), bitmaps(code));

    // Its own copy holds the restored design; "Re&set All" empties the canvas and the copy goes.
    next.document.flush();
    const std::size_t with_own = copies(folder).size();
    next.program.run([&] { next.program.form1()->cmdReset.click(); });
    next.document.flush();
    EXPECT_EQ(copies(folder).size(), with_own - 1);
    fs::remove_all(folder);
}

} // namespace
