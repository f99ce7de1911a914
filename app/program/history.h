// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "form1.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>

// Undo and redo of whole design steps of one Form1. Each step keeps the
// form's whole state as a value; pictures are shared, not copied.
class History {
public:
    static constexpr std::size_t kSteps = 200;

    // Called after every user action, when the program is at rest. A change
    // to the design since the last call makes one step; a change to the
    // gesture part alone makes none. While a button is held or the status
    // dialog is open the action is not over (a load ends with the dialog's
    // answer), so nothing is taken then. The history outlives its window: when
    // the main window comes back empty after a close, the design it held at the
    // close is one step back. gesture: nonzero when the action goes on with
    // one begun before (a held key's repeats); a change it makes right after a
    // step of the same gesture, no other step, undo or redo between, joins that
    // step instead of making one.
    void after_action(const Form1* form, bool dialog_open, std::uint64_t gesture = 0);

    // Back to the state before the last step, or forward again. Refused while
    // the action is not over, as above.
    bool undo(Form1& form, bool dialog_open);
    bool redo(Form1& form, bool dialog_open);

    std::size_t undo_steps() const { return undo_.size(); }
    std::size_t redo_steps() const { return redo_.size(); }
    // Steps taken since the history began, also those no longer kept.
    std::uint64_t taken() const { return taken_; }
    // Names the design at rest: the same name after undo and redo bring it back,
    // a new one for every step taken. A clean mark is one of these.
    std::uint64_t position() const { return position_; }

    // Pixel bytes of the pictures that only undo and redo steps hold (none of
    // them in the design at rest), and dropping the oldest steps that hold such
    // pictures until bytes more fit the budget or none is left.
    std::size_t bytes_held_only_here() const;
    void give_way(std::size_t bytes, const tk::PictureBudget& budget);

    // The form's state as the last after_action found it at rest, shared (the
    // recovery copy is made of it on another thread); null when that action was
    // not over, or the window gone.
    using Snapshot = std::shared_ptr<const FormState>;
    const Snapshot& resting() const { return resting_; }

private:
    bool at_rest(const Form1& form, bool dialog_open) const;
    void push(Snapshot before);
    bool back_to(Form1& form, std::deque<Snapshot>& from, std::deque<Snapshot>& to);

    std::uint64_t form_id_ = 0; // 0: no main window now
    bool known_ = false;        // current_ holds a window's state
    std::uint64_t taken_ = 0;
    std::uint64_t gesture_ = 0; // of the newest step, while it may still grow
    Snapshot current_;
    Snapshot resting_;
    // The oldest step goes when a new one comes to a full history.
    std::deque<Snapshot> undo_;
    std::deque<Snapshot> redo_;
    // The positions of the states above, and of the current one.
    std::deque<std::uint64_t> undo_positions_;
    std::deque<std::uint64_t> redo_positions_;
    std::uint64_t position_ = 0;
};
