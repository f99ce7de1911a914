// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "document/file_read.h"
#include "program.h"

#include <optional>
#include <string>

namespace document {

// The design files of one running program: saving (Ctrl+S, Ctrl+Shift+S),
// opening (Ctrl+O, or a path from the command line) and the main window's
// caption that names the file. Used only when the user asks; until then the
// program is exactly as without it.
class Designs {
public:
    Designs(Program& program, std::string program_version);

    // Each runs as one user action of the program.
    void save();
    void save_as();
    void open();
    void open_path(const std::string& path);

    // Puts a design file's bytes on the canvas as one step of the running action;
    // file names it in messages, folder resolves its pictures. False when refused
    // (a message says why). The design is then one not saved anywhere.
    bool apply(const std::string& bytes, const std::string& file, const std::string& folder);

    // The file the design was last saved to or opened from.
    const std::optional<std::string>& path() const { return path_; }
    // Whether the design differs from what that file holds.
    bool modified() const;

private:
    void save_to(std::optional<std::string> path);
    void open_file(const std::string& path);
    // Keeps the caption current after every action.
    void follow();

    Program& program_;
    std::string version_;
    std::optional<std::string> path_;
    std::uint64_t form_id_ = 0;
    DesignState saved_;
};

// "NAME.padscreen — Position Window", with a leading '*' while modified.
std::string caption_for(const std::string& path, bool modified);

} // namespace document
