// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "toolkit/controls.h"
#include "variant.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class Form1;

namespace assist {

// One control's state as the handlers read and write it. Pictures are shared.
struct ControlState {
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
    bool visible = false;
    bool enabled = false;
    std::string text; // tag, caption or text
    std::vector<std::string> items;
    tk::PicturePtr picture;
    std::int16_t drag_mode = 0;
    tk::Color color = 0;
    std::array<float, 4> ends{}; // a line's X1, Y1, X2, Y2
    bool value = false;          // an option's
    friend bool operator==(const ControlState&, const ControlState&) = default;
};

// Everything of Form1 that one user action can change: its controls but the
// fixed grid, and every window-level variable. The part a gesture in progress
// keeps (band lines, hidden text boxes, pointer variables, "C&reate
// Hotspot"'s enabled state, what is typed into the combo box) is kept apart:
// it is restored with the rest but alone it makes no design step.
struct Snapshot {
    std::vector<ControlState> design;
    std::vector<ControlState> scratch;
    std::vector<Variant> design_variables;
    std::vector<Variant> scratch_variables;
    std::string combo_text;
    friend bool operator==(const Snapshot&, const Snapshot&) = default;
};

Snapshot capture(const Form1& form);
void restore(Form1& form, const Snapshot& snapshot);
// True when the two differ in nothing but the scratch part.
bool same_design(const Snapshot& a, const Snapshot& b);

// Undo and redo of whole design steps of one Form1.
class History {
public:
    static constexpr std::size_t kSteps = 200;

    // Called after every user action, when the program is at rest. A change
    // to the design since the last call makes one step. While a button is
    // held or the status dialog is open the action is not over (a load ends
    // with the dialog's answer), so nothing is taken then. A new Form1 (the
    // window was closed and comes back) starts a new history.
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
    bool back_to(Form1& form, std::vector<Snapshot>& from, std::vector<Snapshot>& to);

    std::uint64_t form_id_ = 0;
    std::uint64_t taken_ = 0;
    Snapshot current_;
    std::vector<Snapshot> undo_;
    std::vector<Snapshot> redo_;
};

} // namespace assist
