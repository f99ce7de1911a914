// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "form1.h"

#include <cstddef>
#include <cstdint>
#include <deque>

// Undo and redo of whole design steps of one Form1. Each step keeps the
// form's whole state as a value; pictures are shared, not copied.
class History {
public:
    static constexpr std::size_t kSteps = 200;

    // Called after every user action, when the program is at rest. A change
    // to the design since the last call makes one step; a change to the
    // gesture part alone makes none. While a button is held or the status
    // dialog is open the action is not over (a load ends with the dialog's
    // answer), so nothing is taken then. A new Form1 (the window was closed
    // and comes back) starts a new history.
    void after_action(const Form1* form, bool dialog_open);

    // Back to the state before the last step, or forward again. Refused while
    // the action is not over, as above.
    bool undo(Form1& form, bool dialog_open);
    bool redo(Form1& form, bool dialog_open);

    std::size_t undo_steps() const { return undo_.size(); }
    std::size_t redo_steps() const { return redo_.size(); }
    // Steps taken since the history began, also those no longer kept.
    std::uint64_t taken() const { return taken_; }

private:
    bool at_rest(const Form1& form, bool dialog_open) const;
    bool back_to(Form1& form, std::deque<FormState>& from, std::deque<FormState>& to);

    std::uint64_t form_id_ = 0;
    std::uint64_t taken_ = 0;
    FormState current_;
    // The oldest step goes when a new one comes to a full history.
    std::deque<FormState> undo_;
    std::deque<FormState> redo_;
};
