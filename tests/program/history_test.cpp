// SPDX-License-Identifier: GPL-2.0-or-later
#include "assist/nudge.h"
#include "codegen/code_window.h"
#include "codegen/generate.h"
#include "fakes.h"
#include "form1.h"
#include "gestures.h"
#include "program.h"
#include "slots/status_dialog.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <iomanip>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

// The layout no handler touches: the grid lines.
std::vector<tk::ControlState> fixed_state(const Form1& form) {
    std::vector<tk::ControlState> out;
    for (const auto& c : form.controls()) {
        if (form.part_of(*c) == StatePart::Fixed) {
            out.push_back(c->state());
        }
    }
    return out;
}

// The program with scripted dialogs; every user action runs through it, as
// the window system hands them over.
class HistoryTest : public ::testing::Test {
protected:
    HistoryTest() {
        prog.start();
        for (const char* name : {"a", "b", "c"}) {
            p.pictures.add(std::string("/p/") + name + ".bmp", 20 + 30 * (*name - 'a'), 12);
        }
    }

    Form1& form() { return *prog.form1(); }
    bool dialog_open() const { return prog.status_dialog() != nullptr; }
    void act(const std::function<void()>& action) { prog.run(action); }
    bool undo() {
        bool done = false;
        act([this, &done] { done = prog.undo(); });
        return done;
    }
    bool redo() {
        bool done = false;
        act([this, &done] { done = prog.redo(); });
        return done;
    }
    const History& history() const { return prog.history(); }

    // "&Load Image" with the file, then OK with the status and mode options
    // chosen (0 .. 1 and 0 .. 3; -1 leaves the one shown): two actions.
    void load(const std::string& path, int status = -1, int mode = -1) {
        p.files.choose(path);
        act([this] { form().cmdNewPicture.click(); });
        picture_slots::FrmImageDisplayStatus* d = prog.status_dialog();
        if (d == nullptr) {
            return;
        }
        act([d, status, mode] {
            if (status >= 0) {
                (status == 0 ? d->optDisplay : d->optHiddenBackground).set_value(true);
            }
            tk::OptionButton* modes[] = {&d->optModeClear, &d->optModeComplement,
                                         &d->optModeWriteOpaque, &d->optModeWriteTransparent};
            if (mode >= 0) {
                modes[mode]->set_value(true);
            }
            d->cmdReturn.click();
        });
    }

    fakes::Platform p;
    Program prog{p.services};
};

// The actions the design is made of are one step each; a pointer passing by,
// a band drawn and an action that changes nothing are none.
TEST_F(HistoryTest, EachUserActionIsOneStep) {
    const struct {
        const char* what;
        std::function<void()> action;
        std::size_t steps;
    } script[] = {
        {"load and its answer", [this] { load("/p/a.bmp", 1, 3); }, 1},
        {"cancelled load", [this] { act([this] { form().cmdNewPicture.click(); }); }, 0},
        {"failed load", [this] { load("/p/missing.bmp"); }, 0},
        {"hover", [this] { act([this] { gestures::hover(form(), 3000, 3000); }); }, 0},
        {"drop", [this] { act([this] { gestures::drag(form(), 100, 100, 2000, 1500); }); }, 1},
        {"select picture", [this] { act([this] { gestures::click(form(), form().Image(1)); }); },
         1},
        {"nudge", [this] { act([this] { assist::nudge(form(), 1, 0); }); }, 1},
        {"press and release the selected picture: it deselects",
         [this] { act([this] { gestures::click(form(), form().Image(1)); }); }, 1},
        {"band", [this] { act([this] { gestures::drag(form(), 5000, 300, 6000, 900); }); }, 0},
        {"create hotspot", [this] { act([this] { form().cmdHotspot.click(); }); }, 1},
        {"select hotspot", [this] { act([this] { gestures::click(form(), form().lbl(1)); }); }, 1},
        {"delete hotspot", [this] { act([this] { form().cmdDeleteHS.click(); }); }, 1},
        {"delete hotspot again: nothing to do",
         [this] { act([this] { form().cmdDeleteHS.click(); }); }, 0},
        {"two enable-list choices",
         [this] {
             act([this] { form().cboDisable.choose(1); });
             act([this] { form().cboDisable.choose(0); });
         },
         2},
        {"select and delete image",
         [this] {
             act([this] { gestures::click(form(), form().Image(1)); });
             act([this] { form().cmdDelete.click(); });
         },
         2},
        {"another load", [this] { load("/p/b.bmp"); }, 1},
        {"Reset All", [this] { act([this] { form().cmdReset.click(); }); }, 1},
        {"Reset All again: nothing left", [this] { act([this] { form().cmdReset.click(); }); }, 0},
    };
    for (const auto& s : script) {
        const std::uint64_t before = history().taken();
        s.action();
        EXPECT_EQ(history().taken() - before, s.steps) << s.what;
    }
}

TEST_F(HistoryTest, LoadIsUndoneWithItsAnswerAndRedoneWithoutReadingTheFile) {
    const FormState start = form().state();
    p.files.choose("/p/b.bmp");
    act([this] { form().cmdNewPicture.click(); });
    EXPECT_FALSE(undo()); // not while the status dialog is open
    EXPECT_FALSE(redo());
    ASSERT_TRUE(dialog_open());
    act([this] { prog.status_dialog()->cmdReturn.click(); });
    const FormState loaded = form().state();
    const std::string code = codegen::generate_code(form());
    const tk::PicturePtr picture = form().Image(1).picture;

    ASSERT_TRUE(undo());
    EXPECT_EQ(form().state(), start);
    EXPECT_EQ(codegen::generate_code(form()), "");
    ASSERT_TRUE(redo());
    EXPECT_EQ(form().state(), loaded);
    EXPECT_EQ(codegen::generate_code(form()), code);
    EXPECT_EQ(form().Image(1).picture, picture); // the same picture, shared
    EXPECT_EQ(p.pictures.loads.size(), 1U);
}

TEST_F(HistoryTest, KeepsTheLastTwoHundredSteps) {
    load("/p/a.bmp");
    act([this] { gestures::click(form(), form().Image(1)); });
    std::vector<FormState> states;
    for (int k = 0; k < 250; ++k) {
        states.push_back(form().state());
        act([this, k] { assist::nudge(form(), k % 3 == 0 ? -1 : 1, k % 2); });
    }
    const FormState last = form().state();
    int undone = 0;
    while (undo()) {
        ++undone;
        ASSERT_EQ(form().state(), states[states.size() - undone]);
    }
    EXPECT_EQ(undone, 200);
    int redone = 0;
    while (redo()) {
        ++redone;
    }
    EXPECT_EQ(redone, 200);
    EXPECT_EQ(form().state(), last);
}

// A held arrow's press and repeats are one step, however long; separate presses,
// or a gesture broken by an undo (~0) or another step, make their own.
TEST_F(HistoryTest, AGestureGoingOnIsOneStep) {
    load("/p/a.bmp");
    act([this] { gestures::click(form(), form().Image(1)); });
    const std::vector<std::uint64_t> held(250, 7);
    const std::pair<std::vector<std::uint64_t>, std::size_t> cases[] = {
        {held, 1}, {{0, 0}, 2}, {{8, 9}, 2}, {{10, 0, 10}, 3}, {{11, 11, ~0U, 11, 11}, 1}};
    for (const auto& [keys, steps] : cases) {
        const FormState before = form().state();
        const std::size_t at = history().undo_steps();
        for (const std::uint64_t key : keys) {
            key == ~0U ? void(undo()) : prog.run([this] { assist::nudge(form(), 1, 0); }, key);
        }
        ASSERT_EQ(history().undo_steps() - at, steps) << keys.size();
        for (std::size_t k = 0; k < steps; ++k) {
            undo();
        }
        EXPECT_EQ(form().state(), before) << keys.size();
    }
    EXPECT_EQ(history().undo_steps(), 2U) << "the load and the selection, a step each";
    EXPECT_TRUE(undo() && undo() && !form().Image(1).has_picture());
}

// A long random session: after every undo and redo the controls, the
// variables and the generated code are exactly those of the moment the
// history says it goes back to.
TEST_F(HistoryTest, RandomSessionRoundTripsExactly) {
    std::mt19937 rng(20261208);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto point = [&pick] {
        return std::make_pair(static_cast<float>(pick(-30, 700) * 15),
                              static_cast<float>(pick(-30, 520) * 15));
    };
    struct State {
        FormState fingerprint;
        std::string code;
    };
    auto now = [this] { return State{form().state(), codegen::generate_code(form())}; };
    const auto grid = fixed_state(form());
    std::deque<State> undo_states;
    std::vector<State> redo_states;
    int undos = 0;
    int redos = 0;
    int run = 0; // undo or redo several times in a row now and then

    for (int step = 0; step < 10000; ++step) {
        const State before = now();
        const std::size_t loads = p.pictures.loads.size();
        const int kind = run > 0 ? 12 + (run-- % 2) : pick(0, 15);
        if (kind == 12 || kind == 13) {
            const bool back = kind == 12;
            const bool done = back ? undo() : redo();
            if (back) {
                ASSERT_EQ(done, !undo_states.empty()) << step;
                if (done) {
                    ++undos;
                    ASSERT_EQ(form().state(), undo_states.back().fingerprint) << step;
                    ASSERT_EQ(codegen::generate_code(form()), undo_states.back().code) << step;
                    undo_states.pop_back();
                    redo_states.push_back(before);
                }
            } else {
                ASSERT_EQ(done, !redo_states.empty()) << step;
                if (done) {
                    ++redos;
                    ASSERT_EQ(form().state(), redo_states.back().fingerprint) << step;
                    ASSERT_EQ(codegen::generate_code(form()), redo_states.back().code) << step;
                    redo_states.pop_back();
                    undo_states.push_back(before);
                }
            }
            ASSERT_EQ(history().undo_steps(), undo_states.size()) << step;
            ASSERT_EQ(p.pictures.loads.size(), loads) << step; // never read again
            continue;
        }
        const std::uint64_t taken = history().taken();
        const auto at = point();
        const float x = at.first;
        const float y = at.second;
        const int slot = pick(1, Form1::kSlots);
        const tk::Image& image = form().Image(slot);
        switch (kind) {
        case 0:
            load("/p/" + std::string(1, static_cast<char>('a' + pick(0, 3))) + ".bmp", pick(0, 1),
                 pick(0, 3));
            break;
        case 1:
        case 2:
            if (image.visible) { // drag it by a point inside
                const float gx = image.left + image.width / 3;
                const float gy = image.top + image.height / 2;
                act([&] { gestures::drag(form(), gx, gy, x, y); });
            }
            break;
        case 3:
            if (image.visible) {
                act([&] { gestures::click(form(), image); });
            }
            break;
        case 4: {
            const int by = pick(0, 1) == 0 ? 1 : 8;
            const int dir = pick(0, 3);
            act([&] {
                assist::nudge(form(),
                              dir == 0   ? by
                              : dir == 1 ? -by
                                         : 0,
                              dir == 2   ? by
                              : dir == 3 ? -by
                                         : 0);
            });
            break;
        }
        case 5: {
            const auto to = point();
            act([&] { gestures::drag(form(), x, y, to.first, to.second); });
            break;
        }
        case 6:
            act([this] { form().cmdHotspot.click(); });
            break;
        case 7: {
            const tk::Label& label = form().lbl(pick(1, Form1::kHotspots));
            if (label.visible) {
                act([&] { gestures::click(form(), label); });
            }
            break;
        }
        case 8:
            act([this] { form().cmdDeleteHS.click(); });
            break;
        case 9:
            act([this] { form().cmdDelete.click(); });
            break;
        case 10:
            if (pick(0, 9) == 0) {
                act([this] { form().cmdReset.click(); });
            }
            break;
        case 11:
            act([&] {
                form().cboDisable.choose(
                    pick(0, static_cast<int>(form().cboDisable.items.size()) - 1));
            });
            break;
        case 14:
            act([&] { gestures::hover(form(), x, y); });
            break;
        default:
            run = pick(1, 6);
            break;
        }
        if (history().taken() != taken) {
            // A step was taken: the moment before the action is the one to go back to.
            if (undo_states.size() == History::kSteps) {
                undo_states.pop_front();
            }
            undo_states.push_back(before);
            redo_states.clear();
        }
        ASSERT_EQ(history().undo_steps(), undo_states.size()) << step;
    }
    EXPECT_EQ(fixed_state(form()), grid);
    // The session went deep both ways.
    EXPECT_GT(undos, 1000);
    EXPECT_GT(redos, 300);
}

// The main window closed and came back empty, as the code window's "Return to
// Form" brings it: one undo brings back the design it held.
TEST_F(HistoryTest, UndoReachesAcrossAClosedMainWindow) {
    load("/p/a.bmp", 1, 3);
    act([this] { gestures::drag(form(), 100, 100, 2000, 1500); });
    const FormState held = form().state();
    const std::string code = codegen::generate_code(form());
    act([this] { form().cmdCreateCode.click(); });
    act([this] { form().request_close(); });
    ASSERT_EQ(prog.form1(), nullptr);
    act([this] { prog.code_window()->cmdReturn.click(); });
    ASSERT_NE(prog.form1(), nullptr);
    EXPECT_EQ(codegen::generate_code(form()), "");
    ASSERT_TRUE(undo());
    EXPECT_EQ(form().state().design, held.design);
    EXPECT_EQ(codegen::generate_code(form()), code);
    ASSERT_TRUE(redo());
    EXPECT_EQ(codegen::generate_code(form()), "");
}

// Pictures that only undo steps hold give way to a new load; the pictures on the
// canvas never do.
TEST(HistoryBudget, PicturesHeldOnlyByUndoGiveWayToANewLoad) {
    fakes::Platform p;
    constexpr std::size_t kBudget = 1 << 20; // 256 Ki pixels
    Program prog(p.services, tk::kDefaultDragDistance, kBudget);
    prog.start();
    const auto load = [&](const std::string& path, int w, int h) {
        p.pictures.decoded[path] = {w, h};
        p.files.choose(path);
        prog.run([&] { prog.form1()->cmdNewPicture.click(); });
        if (auto* d = prog.status_dialog()) {
            prog.run([d] { d->cmdReturn.click(); });
            return true;
        }
        return false;
    };
    const auto delete_selected = [&](int slot) {
        prog.run([&] { gestures::click(*prog.form1(), prog.form1()->Image(slot)); });
        prog.run([&] { prog.form1()->cmdDelete.click(); });
    };
    // Loaded and deleted, three times over: twice the budget in all, each one
    // loaded while the one before lay in undo.
    for (int k = 0; k < 3; ++k) {
        ASSERT_TRUE(load("/big" + std::to_string(k) + ".bmp", 400, 400)) << k; // 625 KiB
        delete_selected(1);
        EXPECT_EQ(prog.history().bytes_held_only_here(), 640000U) << k;
    }
    ASSERT_TRUE(load("/small.bmp", 200, 200)); // 156 KiB on the canvas
    EXPECT_TRUE(load("/fits.bmp", 400, 400)) << "undo gave way";
    EXPECT_LT(prog.picture_budget().bytes_in_use(), kBudget);
    EXPECT_FALSE(load("/too.bmp", 400, 400)) << "the canvas's pictures never give way";
    EXPECT_TRUE(prog.form1()->Image(1).has_picture());
    EXPECT_TRUE(prog.form1()->Image(2).has_picture());
    EXPECT_FALSE(prog.form1()->Image(3).has_picture());
}

} // namespace
