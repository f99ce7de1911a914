// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "form1.h"
#include "platform.h"

#include <string>
#include <variant>
#include <vector>

// Design files (NAME.padscreen): the design state as JSON, and back.
namespace document {

inline constexpr int kFormatVersion = 1;
inline constexpr std::size_t kMaxDesignFileBytes = std::size_t{1} << 20;

// Why a file cannot be used at all; line and column (from 1) where known, else 0.
struct Refusal {
    std::string reason;
    int line = 0;
    int column = 0;
};

// A picture that could not be read again: it keeps its slot as a picture
// without pixels (its recorded size and path).
struct MissingPicture {
    int slot = 0;
    std::string path; // as resolved against the design file's folder
    std::string reason;
};

struct Opened {
    DesignState design; // for Form1::set_design
    std::vector<MissingPicture> missing;
};

// The design of form as a design file. folder: the file's folder, picture
// paths are written relative to it with '/' separators; empty: absolute.
// program_version goes into the file.
std::string write_design(const Form1& form, const std::string& folder,
                         const std::string& program_version);

// Reads a design file's bytes; pictures are read again through loader, under
// budget, their paths resolved against folder. Touches no window: the caller
// gives the result to Form1::set_design.
std::variant<Opened, Refusal> read_design(const std::string& bytes, const std::string& folder,
                                          platform::PictureLoader& loader,
                                          tk::PictureBudget& budget);

} // namespace document
