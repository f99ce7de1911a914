// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class Form1;

namespace assist {

// The keys, in lines at the foot of the right column, below the line that
// says what the arrows move (arrows_line).
inline constexpr std::array<const char*, 3> kKeysLines = {
    "F6 next \u00b7 Del delete \u00b7 F4 panel", "Esc cancel \u00b7 Ctrl+Z undo",
    "Ctrl+S save \u00b7 Ctrl+O open"};
inline constexpr std::size_t kKeysRows = kKeysLines.size() + 1;

// Short of room, lines of a lower rank give way first.
inline constexpr int kRankPointer = 0;   // the pointer, the band
inline constexpr int kRankSelection = 1; // the selected picture and hotspot
inline constexpr int kRankWarning = 2;   // code that would not work
inline constexpr int kRankNotice = 3;    // what an action did not do, offers

struct ReadOutLine {
    std::string text;
    int rank = kRankPointer;
    int group = 0; // the lines of one thing (a title, its numbers) go together
    friend bool operator==(const ReadOutLine&, const ReadOutLine&) = default;
};

// The read-out lines for the design as it stands, top to bottom, in LCD
// pixels: the pointer over the canvas or the rubber band (while drawn and
// until made or gone), the selected picture and the selected hotspot with the
// numbers of their lines and by how much each reaches past the LCD, warnings
// where the code would not work, and `notice` when there is one. `pointer` is
// where the pointer rests in window twips, if it is over the window.
std::vector<ReadOutLine> read_out(const Form1& form, std::optional<std::pair<float, float>> pointer,
                                  const std::string& notice = {});

// The lines shown in `room` rows, line k taking rows[k]: when they do not all
// fit, whole groups of the lowest rank give way (the topmost first among
// equals) and the last row tells how many lines did.
struct Fitted {
    std::vector<std::size_t> shown; // indexes, top to bottom
    std::size_t hidden = 0;
};
Fitted fit(const std::vector<ReadOutLine>& lines, const std::vector<int>& rows, int room);
// "+2 more"
std::string more_line(std::size_t hidden);

} // namespace assist
