// SPDX-License-Identifier: GPL-2.0-or-later
#include "history.h"

#include <utility>

bool History::at_rest(const Form1& form, bool dialog_open) const {
    return !dialog_open && !form.pointer_captured() && form.id() == form_id_;
}

void History::after_action(const Form1* form, bool dialog_open) {
    if (form == nullptr) {
        form_id_ = 0;
        undo_.clear();
        redo_.clear();
        return;
    }
    if (form->id() != form_id_) {
        form_id_ = form->id();
        undo_.clear();
        redo_.clear();
        current_ = form->state();
        return;
    }
    if (!at_rest(*form, dialog_open)) {
        return;
    }
    FormState now = form->state();
    if (now.design != current_.design) {
        if (undo_.size() == kSteps) {
            undo_.pop_front();
        }
        undo_.push_back(std::move(current_));
        redo_.clear();
        ++taken_;
    }
    current_ = std::move(now);
}

bool History::back_to(Form1& form, std::deque<FormState>& from, std::deque<FormState>& to) {
    if (from.empty()) {
        return false;
    }
    to.push_back(form.state());
    form.set_state(from.back());
    current_ = std::move(from.back());
    from.pop_back();
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
