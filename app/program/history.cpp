// SPDX-License-Identifier: GPL-2.0-or-later
#include "history.h"

#include <algorithm>
#include <set>
#include <utility>

bool History::at_rest(const Form1& form, bool dialog_open) const {
    return !dialog_open && !form.pointer_captured() && form.id() == form_id_;
}

void History::after_action(const Form1* form, bool dialog_open, std::uint64_t gesture) {
    resting_.reset();
    if (form == nullptr) {
        form_id_ = 0; // closed: the history and the design it held wait for the next window
        gesture_ = 0;
        return;
    }
    if (form->id() != form_id_) {
        gesture_ = 0;
        form_id_ = form->id();
        auto now = std::make_shared<const FormState>(form->state());
        if (known_ && now->design != current_->design) {
            // The window came back empty: what it held when it closed is one step back.
            push(std::move(current_));
        }
        current_ = std::move(now);
        known_ = true;
        resting_ = at_rest(*form, dialog_open) ? current_ : nullptr;
        return;
    }
    if (!at_rest(*form, dialog_open)) {
        return;
    }
    auto now = std::make_shared<const FormState>(form->state());
    // Going on with the newest step's gesture, it keeps its "before" and only
    // current_, its "after", moves on.
    if (now->design != current_->design && (gesture == 0 || gesture != gesture_ || undo_.empty())) {
        push(std::move(current_));
        gesture_ = gesture;
    }
    current_ = std::move(now);
    resting_ = current_;
}

void History::push(Snapshot before) {
    if (undo_.size() == kSteps) {
        undo_.pop_front();
        undo_positions_.pop_front();
    }
    undo_.push_back(std::move(before));
    undo_positions_.push_back(position_);
    redo_.clear();
    redo_positions_.clear();
    ++taken_;
    position_ = taken_;
}

namespace {

std::set<const tk::Picture*> pictures_of(const History::Snapshot& snapshot) {
    if (!snapshot) {
        return {};
    }
    const FormState& s = *snapshot;
    std::set<const tk::Picture*> out;
    for (const auto* part : {&s.design.controls, &s.gesture.controls}) {
        for (const tk::ControlState& c : *part) {
            if (const auto* image = std::get_if<tk::ImageState>(&c.own); image && image->picture) {
                out.insert(image->picture.get());
            } else if (const auto* box = std::get_if<tk::PictureBoxState>(&c.own);
                       box && box->picture) {
                out.insert(box->picture.get());
            }
        }
    }
    return out;
}

} // namespace

std::size_t History::bytes_held_only_here() const {
    const std::set<const tk::Picture*> shown = pictures_of(current_);
    std::set<const tk::Picture*> counted;
    std::size_t bytes = 0;
    for (const auto* steps : {&undo_, &redo_}) {
        for (const Snapshot& step : *steps) {
            for (const tk::Picture* p : pictures_of(step)) {
                if (shown.count(p) == 0 && counted.insert(p).second) {
                    bytes += p->argb.size() * sizeof(std::uint32_t);
                }
            }
        }
    }
    return bytes;
}

void History::give_way(std::size_t bytes, const tk::PictureBudget& budget) {
    const std::set<const tk::Picture*> shown = pictures_of(current_);
    const auto holds_other = [&shown](const Snapshot& step) {
        const std::set<const tk::Picture*> held = pictures_of(step);
        return std::any_of(held.begin(), held.end(),
                           [&shown](const tk::Picture* p) { return shown.count(p) == 0; });
    };
    // Redo steps lie beyond the oldest undo steps: they go last.
    while (!budget.fits(bytes) && std::any_of(undo_.begin(), undo_.end(), holds_other)) {
        undo_.pop_front();
        undo_positions_.pop_front();
    }
    if (!budget.fits(bytes) && std::any_of(redo_.begin(), redo_.end(), holds_other)) {
        redo_.clear();
        redo_positions_.clear();
    }
}

bool History::back_to(Form1& form, std::deque<Snapshot>& from, std::deque<Snapshot>& to) {
    if (from.empty()) {
        return false;
    }
    auto& from_positions = &from == &undo_ ? undo_positions_ : redo_positions_;
    auto& to_positions = &to == &undo_ ? undo_positions_ : redo_positions_;
    to_positions.push_back(position_);
    position_ = from_positions.back();
    from_positions.pop_back();
    to.push_back(std::make_shared<const FormState>(form.state()));
    form.set_state(*from.back());
    current_ = std::move(from.back());
    from.pop_back();
    gesture_ = 0;
    resting_.reset(); // the next action's end finds the form at rest again
    // What lies under the resting pointer may have changed.
    form.forget_pointer();
    return true;
}

bool History::undo(Form1& form, bool dialog_open) {
    return at_rest(form, dialog_open) && back_to(form, undo_, redo_);
}

bool History::redo(Form1& form, bool dialog_open) {
    return at_rest(form, dialog_open) && back_to(form, redo_, undo_);
}
