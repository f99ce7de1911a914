// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "document/document.h"
#include "fakes.h"
#include "hotspots/create_delete.h"
#include "slots/placing.h"
#include "slots/status_dialog.h"

#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

// Reaches a design the way a user does: random loads, dialog answers, drags,
// bands, hotspots, clicks, deletes and undos through the running program, built
// as main() builds it.
class RandomDesigner {
public:
    // paths: the pictures the open dialog may offer, each already known to the
    // platform's loader.
    RandomDesigner(std::uint64_t seed, std::vector<std::string> paths,
                   const std::string& recovery_folder = "")
        : document({platform.services, "test", recovery_folder}), random_(seed),
          paths_(std::move(paths)) {
        program.start();
    }

    fakes::Platform platform;
    document::Document document;
    Program& program = document.program();
    Form1& form() { return *program.form1(); }
    // Goes on from here with another sequence; without undo, two programs that
    // began apart can follow the same one.
    void reseed(std::uint64_t seed, bool with_undo) {
        random_.seed(seed);
        undo_ = with_undo;
    }
    // Nothing selected, the way a user gets there: a second click on each; and no
    // gesture in progress (a band "C&reate Hotspot" could still use).
    void deselect() {
        Form1& f = form();
        Form1 fresh;
        fresh.start_up();
        f.set_state({f.design(), fresh.state().gesture});
        if (const auto n = f.intPic.number(); n && *n >= 1 && *n <= Form1::kSlots &&
                                              f.lblPicture(1).visible) {
            program.run([&] { picture_slots::Image_Click(f, static_cast<int>(*n)); });
        }
        for (int k = 1; k <= Form1::kHotspots; ++k) {
            if (f.lbl(k).visible && f.lbl(k).back_color != tk::kRed) {
                program.run([&] { hotspot_handlers::lbl_Click(f, k); });
            }
        }
    }

    void act(int actions, bool settle = true) {
        for (int k = 0; k < actions; ++k) {
            program.run([this] { step(); });
        }
        if (!settle) {
            return;
        }
        // Leave no dialog waiting.
        if (auto* dialog = program.status_dialog(); dialog != nullptr && dialog->visible) {
            program.run([dialog] { dialog->cmdReturn.click(); });
        }
    }

private:
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    float x() { return static_cast<float>(pick(-200, 9900)); }
    float y() { return static_cast<float>(pick(-200, 7500)); }

    void step() {
        if (auto* dialog = program.status_dialog(); dialog != nullptr && dialog->visible) {
            tk::OptionButton* status[] = {&dialog->optDisplay, &dialog->optHiddenBackground};
            tk::OptionButton* mode[] = {&dialog->optModeClear, &dialog->optModeComplement,
                                        &dialog->optModeWriteOpaque,
                                        &dialog->optModeWriteTransparent};
            dialog->set_focus(status[pick(0, 1)]);
            dialog->set_focus(mode[pick(0, 3)]);
            dialog->cmdReturn.click();
            return;
        }
        Form1& f = form();
        const int what = pick(0, 99);
        if (what < 20) {
            platform.files.choose(
                paths_[static_cast<std::size_t>(pick(0, static_cast<int>(paths_.size()) - 1))]);
            f.cmdNewPicture.click();
            platform.files.answers.clear();
        } else if (what < 45) {
            const int n = pick(1, Form1::kSlots);
            if (f.Image(n).visible) {
                const tk::Rect r = f.Image(n).window_rect();
                drag(r.left + r.width / 2, r.top + r.height / 2, x(), y());
            }
        } else if (what < 65) {
            drag(x(), y(), x(), y());
            if (f.cmdHotspot.enabled) {
                f.cmdHotspot.click();
            }
        } else if (what < 75) {
            // A click on a hotspot; where it is hidden, on a point of the canvas
            // (a hidden label's place is not the design's).
            const tk::Label& label = f.lbl(pick(1, Form1::kHotspots));
            const float px = x();
            const float py = y();
            const tk::Rect r = label.visible ? label.window_rect() : tk::Rect{px, py, 0, 0};
            drag(r.left + 1, r.top + 1, r.left + 1, r.top + 1);
        } else if (what < 80) {
            click(f.cmdDelete);
        } else if (what < 85) {
            click(f.cmdDeleteHS);
        } else if (what < 92) {
            f.cboDisable.choose(pick(0, static_cast<int>(f.cboDisable.items.size()) - 1));
        } else if (undo_) {
            program.undo();
        }
    }

    static void click(tk::Button& b) {
        if (b.enabled) {
            b.click();
        }
    }

    void drag(float x0, float y0, float x1, float y1) {
        Form1& f = form();
        f.mouse_move(0, 0, x0, y0);
        f.mouse_press(tk::kLeftButton, 0, x0, y0);
        f.mouse_move(tk::kLeftButton, 0, x1, y1);
        f.mouse_release(tk::kLeftButton, 0, x1, y1);
    }

    std::mt19937_64 random_;
    std::vector<std::string> paths_;
    bool undo_ = true;
};

// A design with its pictures taken out, as "path w h" per picture, so that
// designs whose pictures were read again compare equal.
inline std::pair<DesignState, std::vector<std::string>> without_pictures(DesignState d) {
    std::vector<std::string> pictures;
    for (tk::ControlState& c : d.controls) {
        std::visit(
            [&](auto& own) {
                if constexpr (requires { own.picture; }) {
                    if (own.picture) {
                        pictures.push_back(own.picture->path + " " +
                                           std::to_string(own.picture->width) + " " +
                                           std::to_string(own.picture->height));
                    }
                    own.picture.reset();
                }
            },
            c.own);
    }
    return {std::move(d), std::move(pictures)};
}
