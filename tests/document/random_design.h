// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "fakes.h"
#include "program.h"
#include "slots/status_dialog.h"

#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

// Reaches a design the way a user does: random loads, dialog answers, drags,
// bands, hotspots, clicks, deletes and undos through the running program.
class RandomDesigner {
public:
    // paths: the pictures the open dialog may offer, each already known to the
    // platform's loader.
    RandomDesigner(std::uint64_t seed, std::vector<std::string> paths)
        : random_(seed), paths_(std::move(paths)) {
        program.start();
    }

    fakes::Platform platform;
    Program program{platform.services};
    Form1& form() { return *program.form1(); }

    void act(int actions) {
        for (int k = 0; k < actions; ++k) {
            program.run([this] { step(); });
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
            const tk::Rect r = f.lbl(pick(1, Form1::kHotspots)).window_rect();
            drag(r.left + 1, r.top + 1, r.left + 1, r.top + 1);
        } else if (what < 80) {
            click(f.cmdDelete);
        } else if (what < 85) {
            click(f.cmdDeleteHS);
        } else if (what < 92) {
            f.cboDisable.choose(pick(0, static_cast<int>(f.cboDisable.items.size()) - 1));
        } else {
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
