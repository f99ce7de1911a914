// SPDX-License-Identifier: GPL-2.0-or-later
#include "codegen/generate.h"
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

// A program as main() makes one: its design files and its recovery copy.
struct Instance {
    Instance() {
        know_pictures(platform.pictures);
        program.start();
    }
    fakes::Platform platform;
    Program program{platform.services};
    document::Designs designs{program, "test"};
    std::optional<document::Recovery> recovery;
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

    RandomDesigner first(7, kPaths);
    know_pictures(first.platform.pictures);
    document::Designs designs(first.program, "test");
    std::optional<document::Recovery> recovery;
    recovery.emplace(first.program, designs, folder.string(), "test");
    EXPECT_FALSE(recovery->offer());
    int tries = 0;
    do {
        first.act(40);
    } while (!first.form().Image(1).has_picture() && ++tries < 20);
    recovery->flush();
    ASSERT_EQ(copies(folder).size(), 1U) << "a copy after the steps";
    const DesignState design = first.form().design();
    const std::string code = codegen::generate_code(first.form());

    {
        Instance running;
        running.recovery.emplace(running.program, running.designs, folder.string(), "test");
        EXPECT_FALSE(running.recovery->offer()) << "the copy of a running program";
    }

    recovery.reset(); // the first program ends; its copy stays
    // A newer copy that cannot be read is passed over.
    std::ofstream(folder / "design-1-1.padscreen") << "{ not a design";
    Instance next;
    next.recovery.emplace(next.program, next.designs, folder.string(), "test");
    ASSERT_TRUE(next.recovery->offer());
    int pictures = 0;
    for (int n = 1; n <= Form1::kSlots; ++n) {
        pictures += first.form().Image(n).has_picture() ? 1 : 0;
    }
    EXPECT_EQ(next.recovery->offer()->pictures, pictures);
    EXPECT_NE(next.recovery->offer()->text().find("Ctrl+R restores the last design ("),
              std::string::npos);
    const std::uint64_t steps = next.program.history().taken();
    next.recovery->restore();
    EXPECT_EQ(next.program.history().taken(), steps + 1) << "one undo step";
    EXPECT_EQ(without_pictures(next.program.form1()->design()), without_pictures(design));
    EXPECT_EQ(codegen::generate_code(*next.program.form1()), code);
    EXPECT_FALSE(next.recovery->offer());

    // Its own copy holds the restored design; "Re&set All" empties the canvas and the copy goes.
    next.recovery->flush();
    const std::size_t with_own = copies(folder).size();
    next.program.run([&] { next.program.form1()->cmdReset.click(); });
    next.recovery->flush();
    EXPECT_EQ(copies(folder).size(), with_own - 1);
    fs::remove_all(folder);
}

} // namespace
