// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "assist/outcomes.h"
#include "document/design_file.h"
#include "document/file_read.h"
#include "program.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace document {

class Recovery;
struct Offer;

enum class FileKind { None, Design, Code };
const char* kind_name(FileKind kind);

// How a program is put together; main() and every test fill it in.
struct Setup {
    platform::Services& services;
    std::string program_version;
    std::string recovery_folder = {}; // empty: no recovery copies
    float drag_distance = tk::kDefaultDragDistance;
    std::size_t budget_bytes = tk::kPictureBudgetBytes;
};

// The one design a running program edits: its windows and their history (undo,
// redo), the file it belongs to and whether it differs from it, its recovery
// copy, the notices of what a handler did not do, and the pictures' memory under
// one budget (only undo steps hold pictures beside the windows, and they give
// way to a new load). Reading a file never touches the canvas until the whole
// file has passed its checks; opening is one undo step.
class Document {
public:
    explicit Document(const Setup& setup);
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    Program& program() { return program_; }
    const Program& program() const { return program_; }
    // Shows the main window (the offer of a recovery copy is found before).
    void start() { program_.start(); }

    bool undo() { return program_.undo(); }
    bool redo() { return program_.redo(); }

    // Each runs as one user action.
    void save();
    void save_as();
    void open();
    void open_path(const std::string& path);
    // Ctrl+R: the design a program that ended left behind, as one undo step.
    void restore();

    const std::optional<std::string>& path() const { return path_; }
    FileKind kind() const { return kind_; }
    // Whether the design differs from the file's: the history moved from its clean mark.
    bool modified() const;

    // The recovery copy on offer until the first design step, if any.
    // Waits until the recovery folder is looked through (and starts that if no one
    // did); offer_if_found() does not, and on_offer_found's call (on another
    // thread) says when it is.
    std::optional<Offer> offer() const;
    std::optional<Offer> offer_if_found() const;
    // Starts looking through the recovery folder, if no one did: after the first paint.
    void look_for_recovery();
    void on_offer_found(std::function<void()> found);
    // The panel's line about what did not happen; empty when there is nothing to say.
    std::string notice() const;
    // Waits until the recovery copies asked for so far are written.
    void flush();
    // Why the recovery copy could not be written, once for each run of failures.
    std::optional<std::string> take_recovery_failure();

    // Puts a design file's bytes on the canvas as one step of the running action;
    // file names it in messages, folder resolves its pictures. False when refused
    // (a message says why). A recovery copy's record goes to belonging.
    bool apply(const std::string& bytes, const std::string& file, const std::string& folder,
               std::optional<Belonging>* belonging = nullptr);

    // What a recovery copy records besides the design.
    Belonging belonging() const;
    // The slot whose status dialog waits for its OK; 0: none.
    int pending_slot() const;

private:
    void save_to(std::optional<std::string> path);
    void open_file(const std::string& path);
    void follow();
    void mark_clean() { clean_ = program_.history().position(); }
    void ask_pending(const FileDesign& design);

    assist::Outcomes outcomes_;
    Program program_;
    std::string version_;
    std::optional<std::string> path_;
    FileKind kind_ = FileKind::None;
    // The history's place when the design was last saved or opened.
    std::optional<std::uint64_t> clean_;
    bool clean_after_action_ = false;
    std::uint64_t form_id_ = 0;
    Unknown unknown_; // members of the open file this version does not know
    std::unique_ptr<Recovery> recovery_;
};

// "NAME.padscreen — Position Window", with a leading '*' while modified.
std::string caption_for(const std::string& path, bool modified);

} // namespace document
