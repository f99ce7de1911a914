// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <optional>
#include <string>
#include <vector>

class Form1;
struct FormState;

namespace assist {

// A picture (by slot) or a hotspot (by label), or nothing.
struct Selected {
    enum Kind { None, Picture, Hotspot };
    Kind kind = None;
    int number = 0;
    friend bool operator==(const Selected&, const Selected&) = default;
};

// The selected hotspot as the handlers show it: a shown blue label.
std::optional<int> selected_hotspot(const Form1& form);

// Which of the two selections came last: the arrow keys and Delete act on it.
class LastSelected {
public:
    // After every action: a picture or hotspot selected anew becomes the last.
    void follow(const Form1& form);
    // The last one while it is still selected, else the other one if it is.
    Selected target(const Form1& form) const;

private:
    std::optional<int> picture_;
    std::optional<int> hotspot_;
    Selected::Kind last_ = Selected::None;
};

// What the selection keys walk through: the pictures a click can select in
// slot order, then the hotspots in label order.
std::vector<Selected> walk_order(const Form1& form);

// Moves the selection from `from` to the next (step 1) or previous (step -1)
// of walk_order, by the clicks a user makes: whatever is selected is clicked
// off, the next one clicked on. Past either end nothing is selected. Nothing
// happens while a mouse button is held, nor on Delete below.
void walk(Form1& form, const Selected& from, int step);

// Delete: "&Delete Image" or "D&elete Hotspot", through the button, as a click does.
void delete_selected(Form1& form, const Selected& target);

// Moves the target by whole LCD pixels, as nudging moves a picture; a hotspot
// keeps its size and stays on the canvas.
bool nudge_selected(Form1& form, const Selected& target, int dx, int dy);

// Escape: the press in progress (a band, a drag, a held picture) is forgotten
// and the window goes back to `before`, taken when it began. False when no
// button is held.
bool cancel_press(Form1& form, const FormState& before);

// The keys' line that says what the arrows move now.
std::string arrows_line(const Form1& form, const Selected& target, bool list_has_focus);

} // namespace assist
