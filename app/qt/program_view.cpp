// SPDX-License-Identifier: GPL-2.0-or-later
#include "program_view.h"

#include "accessibility.h"
#include "assist_overlay.h"
#include "form1.h"
#include "program.h"

#include <set>
#include <utility>

namespace padscreen_qt {

namespace {
// Counts a nested run; views are refreshed only when the outermost one ends.
class Depth {
public:
    explicit Depth(int& depth) : depth_(depth) { ++depth_; }
    ~Depth() { --depth_; }
    Depth(const Depth&) = delete;
    Depth& operator=(const Depth&) = delete;

private:
    int& depth_;
};
} // namespace

ProgramView::ProgramView(Program& program, QIcon icon)
    : program_(program), icon_(std::move(icon)),
      assist_(std::make_unique<AssistOverlay>(program, *this)) {
    accessibility::install(*assist_);
}

ProgramView::~ProgramView() {
    for (auto& [id, view] : views_) {
        delete view.data();
    }
}

void ProgramView::start() {
    dispatch([this] { program_.start(); });
}

void ProgramView::dispatch(const std::function<void()>& action, std::uint64_t gesture) {
    {
        const Depth depth(depth_);
        program_.run(action, gesture);
    }
    // A modal dialog inside a handler runs a nested event loop; whatever
    // reaches a view there must not refresh (and so destroy) windows under
    // the running handler.
    if (depth_ == 0) {
        sync();
    }
}

WindowView* ProgramView::view(std::uint64_t window_id) const {
    const auto it = views_.find(window_id);
    return it == views_.end() ? nullptr : it->second.data();
}

std::vector<WindowView*> ProgramView::views() const {
    std::vector<WindowView*> out;
    for (const auto& [id, view] : views_) {
        if (view) {
            out.push_back(view.data());
        }
    }
    return out;
}

void ProgramView::sync() {
    const Depth depth(depth_);
    const std::vector<tk::Window*> windows = program_.loaded_windows();
    std::set<std::uint64_t> loaded;
    for (tk::Window* w : windows) {
        loaded.insert(w->id());
    }
    // Views of unloaded windows go first; their windows die below.
    for (auto it = views_.begin(); it != views_.end();) {
        if (loaded.count(it->first) == 0) {
            if (it->second) {
                it->second->detach();
            }
            it = views_.erase(it);
        } else {
            ++it;
        }
    }
    std::vector<WindowView*> current;
    for (tk::Window* w : windows) {
        QPointer<WindowView>& v = views_[w->id()];
        if (!v) {
            v = new WindowView(*w, *this, icon_);
        }
        v->sync(); // hides what the model hid
        current.push_back(v.data());
    }
    // Showing comes after hiding, so that the window the model shows last
    // ends up active.
    for (WindowView* v : current) {
        v->sync_shown();
    }
    // One user action is over: the drawing of our own.
    const Form1* form = program_.form1();
    assist_->after_action(form != nullptr ? view(form->id()) : nullptr);
    accessibility::announce(form != nullptr ? view(form->id()) : nullptr);
    program_.collect_unloaded();
}

} // namespace padscreen_qt
