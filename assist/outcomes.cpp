// SPDX-License-Identifier: GPL-2.0-or-later
#include "assist/outcomes.h"

#include "form1.h"
#include "program.h"

#include <new>
#include <utility>

namespace assist {

std::optional<platform::FileChoice>
Outcomes::Files::show_open(const platform::FileDialogOptions& o) {
    chosen = inner_.show_open(o);
    return chosen;
}

tk::PicturePtr Outcomes::Pictures::load(const std::string& path, tk::PictureBudget& budget) {
    ++loads;
    failure.clear();
    try {
        tk::PicturePtr picture = inner_.load(path, budget);
        if (!picture) {
            failure = inner_.last_failure();
        }
        return picture;
    } catch (const std::bad_alloc&) {
        // The handler takes it as a failed load; the pixels did not fit.
        failure = platform::load_failure::kOverBudget;
        throw;
    }
}

Outcomes::Outcomes(platform::Services& services)
    : files_(services.files),
      pictures_(services.pictures), services_{files_, services.messages, pictures_, services.writer,
                                              services.app} {}

void Outcomes::watch(Program& program) {
    program.on_rest([this, &program] { after_action(program); });
}

void Outcomes::say(std::string line) {
    notice_ = std::move(line);
    fresh_ = true;
}

void Outcomes::wrap_buttons(Form1& form) {
    wrapped_form_ = form.id();
    form.cmdNewPicture.on_click = [this, load = std::move(form.cmdNewPicture.on_click)] {
        files_.chosen.reset();
        pictures_.loads = 0;
        pictures_.failure.clear();
        load();
        if (!files_.chosen) {
            return; // cancelled
        }
        const std::string& title = files_.chosen->title;
        if (pictures_.loads == 0) {
            say("Not loaded: " + title + ", all ten slots hold a picture");
        } else if (!pictures_.failure.empty()) {
            say("Not loaded: " + title + " " + pictures_.failure);
        }
    };
    const auto all_shown = [&form] {
        for (int k = 1; k <= Form1::kHotspots; ++k) {
            if (!form.lbl(k).visible) {
                return false;
            }
        }
        return true;
    };
    form.cmdHotspot.on_click = [this, all_shown, make = std::move(form.cmdHotspot.on_click)] {
        const bool full = all_shown();
        make();
        if (full) {
            say("Hotspot not made: there are ten already");
        }
    };
}

void Outcomes::after_action(Program& program) {
    const History& history = program.history();
    if (fresh_) {
        fresh_ = false;
        said_at_taken_ = history.taken();
        said_at_redo_ = history.redo_steps();
    } else if (!notice_.empty() &&
               (history.taken() != said_at_taken_ || history.redo_steps() != said_at_redo_)) {
        notice_.clear();
    }
    // A main window made since: its buttons get wrapped before anyone can press them.
    if (Form1* form = program.form1(); form != nullptr && form->id() != wrapped_form_) {
        wrap_buttons(*form);
    }
}

} // namespace assist
