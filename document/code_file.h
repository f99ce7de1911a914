// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "form1.h"
#include "platform.h"

#include <string>
#include <vector>

// Screens rebuilt from the code lines the generator wrote.
namespace document {

// A line that could not be rebuilt, numbered from 1.
struct LineProblem {
    int line = 0;
    std::string reason;
};

// More lines than the code of one screen has (21, and a few blank ones) are
// not read at all.
inline constexpr int kMaxCodeLines = 64;

struct Rebuilt {
    DesignState design; // for Form1::set_design
    std::vector<LineProblem> problems;
    // Lines that went into the design: with none, it is an empty one.
    int rebuilt_lines = 0;
    // Why no line was read at all; empty when they were.
    std::string refusal;
};

// True when bytes look like a code file rather than a design file: its first
// line that is not blank starts with "Penvane1.".
bool looks_like_code(const std::string& bytes);

// Rebuilds a design from a code file's bytes (Windows-1252, CR LF or LF).
// Each bitmap line's NAME names a picture in folder whose file title gives
// NAME as the generator derives it; pictures are read through loader under
// budget, each file once. A NAME no picture there gives is kept as a picture
// without pixels of the line's size (and listed as a problem). "&Create Code"
// on the result writes the same bytes as the file.
Rebuilt rebuild_from_code(const std::string& bytes, const std::string& folder,
                          platform::PictureLoader& loader, tk::PictureBudget& budget);

} // namespace document
