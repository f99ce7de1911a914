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
    out_of_memory_ = false;
    try {
        tk::PicturePtr picture = inner_.load(path, budget);
        if (!picture) {
            failure = inner_.last_failure();
        }
        return picture;
    } catch (const std::bad_alloc&) {
        // The handler takes it as a failed load; the pixels did not fit.
        failure = platform::load_failure::kOverBudget;
        out_of_memory_ = true;
        throw;
    }
}

std::vector<tk::PicturePtr> Outcomes::Pictures::load_all(const std::vector<std::string>& paths,
                                                         tk::PictureBudget& budget,
                                                         const platform::LoadProgress& progress) {
    out_of_memory_ = false;
    return inner_.load_all(paths, budget, progress);
}

std::string Outcomes::Pictures::last_failure() const {
    return out_of_memory_ ? platform::load_failure::kOverBudget : inner_.last_failure();
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

void Outcomes::watch_clicks(Form1& form) {
    watched_form_ = form.id();
    form.on_clicked([this, &form](tk::Control& control) {
        if (&control == &form.cmdNewPicture) {
            load_ran_ = true;
        } else if (&control == &form.cmdHotspot) {
            // It stays enabled only when all ten were in use and it made none.
            bool all_shown = form.cmdHotspot.enabled;
            for (int k = 1; k <= Form1::kHotspots; ++k) {
                all_shown = all_shown && form.lbl(k).visible;
            }
            hotspot_refused_ = all_shown;
        }
    });
    form.on_drag_ignored([this, &form](const tk::Window::IgnoredDrag& drag) {
        if (std::string line = ignored_drag_line(form, drag); !line.empty()) {
            say(std::move(line));
        }
    });
}

std::string Outcomes::ignored_drag_line(const Form1& form, const tk::Window::IgnoredDrag& drag) {
    int slot = 0;
    for (int k = 1; k <= Form1::kSlots; ++k) {
        slot = &drag.source == &form.Image(k) ? k : slot;
    }
    if (slot == 0) {
        return {};
    }
    const std::string picture = "Not moved: picture " + std::to_string(slot);
    if (!drag.dragged) {
        return picture + " is selected and does not drag; click it to let it go, or use the "
                         "arrow keys";
    }
    std::string where = "outside the window";
    if (drag.target == &drag.source) {
        where = "on itself";
    } else if (drag.target != nullptr && drag.target->kind() == tk::Kind::Image) {
        for (int k = 1; k <= Form1::kSlots; ++k) {
            where = drag.target == &form.Image(k) ? "on picture " + std::to_string(k) : where;
        }
    } else if (drag.target != nullptr) {
        where = "on the panel";
        for (int j = 1; j <= Form1::kHotspots; ++j) {
            where = drag.target == &form.lbl(j) ? "on a hotspot" : where;
        }
        for (int m = 1; m <= 4; ++m) {
            where = drag.target == &form.lblPicture(m) ? "on a selection marker" : where;
        }
    }
    return picture + " was let go " + where + "; only the bare grid takes a drop";
}

void Outcomes::after_action(Program& program) {
    if (load_ran_ && files_.chosen) { // not cancelled
        const std::string& title = files_.chosen->title;
        if (pictures_.loads == 0) {
            say("Not loaded: " + title + ", all ten slots hold a picture");
        } else if (!pictures_.failure.empty()) {
            say("Not loaded: " + title + " " + pictures_.failure);
        }
    }
    if (hotspot_refused_) {
        say("Hotspot not made: there are ten already");
    }
    // The next action's choices and loads are its own.
    load_ran_ = false;
    hotspot_refused_ = false;
    files_.chosen.reset();
    pictures_.loads = 0;
    pictures_.failure.clear();

    const History& history = program.history();
    if (fresh_) {
        fresh_ = false;
        said_at_taken_ = history.taken();
        said_at_redo_ = history.redo_steps();
    } else if (!notice_.empty() &&
               (history.taken() != said_at_taken_ || history.redo_steps() != said_at_redo_)) {
        notice_.clear();
    }
    // A main window made since: its clicks are seen before anyone can press a button.
    if (Form1* form = program.form1(); form != nullptr && form->id() != watched_form_) {
        watch_clicks(*form);
    }
}

} // namespace assist
