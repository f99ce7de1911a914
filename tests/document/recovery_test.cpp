// SPDX-License-Identifier: GPL-2.0-or-later
#include "codegen/generate.h"
#include "document/design_file.h"
#include "document/recovery.h"
#include "random_design.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>

#include <fcntl.h>
#include <sys/file.h>
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
    EXPECT_TRUE(fs::exists(folder / "design-1-1.padscreen.unreadable")) << "set aside";
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

// A start reads at most the three newest copies of ended programs, setting aside
// those it cannot read; the next three stay for later starts, older ones go, and so
// do the locks no running program holds. A link is never read.
TEST(Recovery, AStartReadsFewCopiesAndSetsAsideWhatItCannotRead) {
    const fs::path folder =
        fs::temp_directory_path() / ("padscreen-start-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    Form1 form;
    form.start_up();
    const std::string valid = document::write_design(form, "", "test");
    enum Fate { Stays, SetAside, Gone };
    const struct {
        std::string name, bytes; // "": a lock alone; "->": a link to a valid copy
        bool held;               // the lock, by a program that runs
        Fate copy;
    } files[] = {{"link", "->", false, Stays},   {"running", "{", true, Stays},
                 {"bad1", "{", false, SetAside}, {"bad2", "[", false, SetAside},
                 {"bad3", " ", false, SetAside}, {"kept1", valid, false, Stays},
                 {"kept2", "{", false, Stays},   {"kept3", valid, false, Stays},
                 {"old", valid, false, Gone},    {"starting", "", true, Gone},
                 {"ended", "", false, Gone}};
    std::vector<int> locks;
    for (std::size_t k = 0; k < std::size(files); ++k) {
        const fs::path copy = folder / (files[k].name + ".padscreen");
        if (files[k].bytes == "->") {
            fs::create_symlink(folder / "kept1.padscreen", copy);
        } else if (!files[k].bytes.empty()) {
            std::ofstream(copy) << files[k].bytes;
            fs::last_write_time(copy, fs::file_time_type::clock::now() - std::chrono::minutes(k));
        }
        locks.push_back(
            ::open((folder / (files[k].name + ".lock")).c_str(), O_RDWR | O_CREAT, 0600));
        ::flock(locks.back(), files[k].held ? LOCK_EX : LOCK_UN);
    }
    std::optional<Instance> start(std::in_place);
    start->recovery.emplace(start->program, start->designs, folder.string(), "test");
    EXPECT_FALSE(start->recovery->offer()) << "three read, none could be";
    for (const auto& f : files) {
        const fs::path copy = folder / (f.name + ".padscreen");
        EXPECT_EQ(fs::exists(fs::symlink_status(copy)), f.copy == Stays) << f.name;
        EXPECT_EQ(fs::exists(copy.string() + ".unreadable"), f.copy == SetAside) << f.name;
        EXPECT_EQ(fs::exists(folder / (f.name + ".lock")), f.held) << f.name;
    }
    start.emplace();
    start->recovery.emplace(start->program, start->designs, folder.string(), "test");
    EXPECT_EQ(fs::path(start->recovery->offer().value().path).filename(), "kept1.padscreen");
    std::for_each(locks.begin(), locks.end(), ::close);
    fs::remove_all(folder);
}

// A link planted where the copy or its temporary goes is replaced, not written
// through; a copy that cannot be written is said once.
TEST(Recovery, CopiesFollowNoLinkAndAFailureIsSaidOnce) {
    const fs::path folder =
        fs::temp_directory_path() / ("padscreen-write-" + std::to_string(::getpid()));
    Instance running;
    running.recovery.emplace(running.program, running.designs, folder.string(), "test");
    Form1& form = *running.program.form1();
    const auto step = [&] {
        running.program.run([&] { form.lbl(1).visible = true, form.lbl(1).left += 15; });
        running.recovery->flush();
        return running.recovery->take_write_failure();
    };
    EXPECT_FALSE(step());
    const fs::path copy = copies(folder).at(0);
    std::ofstream(folder / "victim") << "mine";
    fs::remove(copy);
    fs::create_symlink(folder / "victim", copy);
    fs::create_symlink(folder / "victim", copy.string() + ".new");
    EXPECT_FALSE(step());
    EXPECT_EQ(fs::file_size(folder / "victim"), 4U);
    fs::remove_all(folder);
    EXPECT_EQ(step(), "The recovery copy could not be written: No such file or directory");
    EXPECT_FALSE(step()) << "said once";
}

} // namespace
