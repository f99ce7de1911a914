// SPDX-License-Identifier: GPL-2.0-or-later
#include "codegen/generate.h"
#include "document/document.h"
#include "document/recovery.h"
#include "random_design.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <thread>

#include <csignal>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
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
    explicit Instance(const fs::path& folder)
        : document({platform.services, "test", folder.string()}) {
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
    const fs::path folder =
        fs::temp_directory_path() / ("padscreen-recovery-" + std::to_string(::getpid()));
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
    EXPECT_TRUE(fs::exists(folder / "design-1-1.padscreen.unreadable")) << "set aside";
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
    const std::string restored = codegen::generate_code(*next.program.form1());
    EXPECT_EQ(std::count(restored.begin(), restored.end(), '\n'),
              std::count(code.begin(), code.end(), '\n'));

    // Its own copy holds the restored design; "Re&set All" empties the canvas and the copy goes.
    next.document.flush();
    const std::size_t with_own = copies(folder).size();
    next.program.run([&] { next.program.form1()->cmdReset.click(); });
    next.document.flush();
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
    std::optional<Instance> start(std::in_place, folder);
    EXPECT_FALSE(start->document.offer()) << "three read, none could be";
    for (const auto& f : files) {
        const fs::path copy = folder / (f.name + ".padscreen");
        EXPECT_EQ(fs::exists(fs::symlink_status(copy)), f.copy == Stays) << f.name;
        EXPECT_EQ(fs::exists(copy.string() + ".unreadable"), f.copy == SetAside) << f.name;
        EXPECT_EQ(fs::exists(folder / (f.name + ".lock")), f.held) << f.name;
    }
    start.reset();
    start.emplace(folder);
    EXPECT_EQ(fs::path(start->document.offer().value().path).filename(), "kept1.padscreen");
    std::for_each(locks.begin(), locks.end(), ::close);
    fs::remove_all(folder);
}

// A link planted where the copy or its temporary goes is replaced, not written
// through; a copy that cannot be written is said once.
TEST(Recovery, CopiesFollowNoLinkAndAFailureIsSaidOnce) {
    const fs::path folder =
        fs::temp_directory_path() / ("padscreen-write-" + std::to_string(::getpid()));
    Instance running(folder);
    Form1& form = *running.program.form1();
    const auto step = [&] {
        running.program.run([&] { form.lbl(1).visible = true, form.lbl(1).left += 15; });
        running.document.flush();
        return running.document.take_recovery_failure();
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

// A program killed 50 ms after a step has that step in its copy, every time.
TEST(Recovery, AStepIsOnDiskBeforeAKillFiftyMillisecondsLater) {
    const fs::path folder =
        fs::temp_directory_path() / ("padscreen-kill-" + std::to_string(::getpid()));
    for (int attempt = 0; attempt < 20; ++attempt) {
        fs::remove_all(folder);
        int stepped[2];
        ASSERT_EQ(::pipe(stepped), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            Instance running(folder);
            Form1& form = *running.program.form1();
            running.program.run([&] { form.lbl(1).visible = true, form.lbl(1).left += 15; });
            running.program.run([&] { form.lbl(2).visible = true, form.lbl(2).left += 15; });
            (void)!::write(stepped[1], "s", 1);
            for (;;) {
                ::pause();
            }
        }
        ::close(stepped[1]);
        char byte = 0;
        ASSERT_EQ(::read(stepped[0], &byte, 1), 1);
        ::close(stepped[0]);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const std::vector<fs::path> left = copies(folder);
        ASSERT_EQ(left.size(), 1U) << "attempt " << attempt;
        std::ifstream in(left[0]);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        const auto parsed = document::parse_design(bytes);
        ASSERT_TRUE(std::holds_alternative<document::Parsed>(parsed)) << bytes;
        EXPECT_EQ(std::get<document::Parsed>(parsed).design.hotspots.size(), 2U)
            << "attempt " << attempt;
    }
    fs::remove_all(folder);
}

} // namespace
