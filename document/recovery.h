// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "document/design_file.h"
#include "history.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace document {

// $XDG_STATE_HOME/padscreen, or ~/.local/state/padscreen when it is unset.
std::string recovery_folder();

// A copy left by a program that is no longer running.
struct Offer {
    std::string path;
    int pictures = 0;
    int hotspots = 0;
    std::string time; // when it was written, local time
    // "Ctrl+R restores the last design (N pictures, M hotspots, TIME)"
    std::string text() const;
};

// Keeps a recovery copy of the design after every design step (a design file
// with absolute picture paths, one per running program, written atomically on a
// thread of its own) and, at start, offers the newest copy a program that is no
// longer running left behind. A copy whose design was saved, or that holds an
// empty canvas, is removed. Nothing here is ever fatal: a copy that cannot be
// written is said once, a copy that cannot be read is set aside (renamed to
// NAME.padscreen.unreadable), and the lock files of programs that ended go.
class Document;

class Recovery {
public:
    Recovery(Document& document, std::string folder, std::string version);
    ~Recovery();
    Recovery(const Recovery&) = delete;
    Recovery& operator=(const Recovery&) = delete;

    // Looks through the folder on a thread of its own, once: the program asks
    // after its first paint, so that a full folder never holds up the start.
    void look_through();
    // The copy on offer until the first design step, if any. offer() looks
    // through the folder if no one asked yet and waits for that;
    // offer_if_found() does neither.
    std::optional<Offer> offer();
    std::optional<Offer> offer_if_found();
    // Called on that thread once the folder is looked through.
    void on_offer_found(std::function<void()> found);
    // Ctrl+R, inside the running action: the offered design on the canvas and
    // the offer gone; what the copy records of its file goes to belonging.
    // False when the copy could not be used (the program says why).
    bool take_offer(Document& document, std::optional<Belonging>& belonging);
    // Waits until the copies asked for so far are written (tests, the end).
    void flush();
    // Why the copy could not be written, once for each run of copies that could
    // not; nullopt otherwise.
    std::optional<std::string> take_write_failure();

private:
    void scan();
    void find_offer();
    void follow();
    // What a copy holds: the design, its file, and no pixels.
    struct Copy {
        FileDesign design;
        Belonging belonging;
        friend bool operator==(const Copy&, const Copy&) = default;
    };
    // What a step hands the writer: the history's state of the form, shared,
    // which the writer makes the copy of.
    struct Asked {
        History::Snapshot state;
        Belonging belonging;
        int pending_slot = 0;
    };
    void post(std::optional<Asked> asked);
    void write_loop();
    void flush_loop();
    void fail(const std::string& reason); // under mutex_

    Document& document_;
    std::string folder_;
    std::string version_;
    std::string copy_;
    int lock_fd_ = -1;
    std::optional<Offer> offer_; // the scanner's until scanned_, then the program's
    bool scanned_ = false;
    bool offer_dropped_ = false; // a design step came before the folder was looked through
    std::function<void()> found_;
    std::uint64_t steps_at_start_ = 0;
    bool started_ = false;
    std::optional<Asked> asked_; // what the writer was last asked for
    bool kept_ = false;          // whether that is worth a copy
    bool written_any_ = false;   // a copy may be on disk

    // The writer: the newest design asked for (nullopt: remove the copy).
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::optional<std::optional<Asked>> pending_;
    bool busy_ = false;
    bool stop_ = false;
    // A copy in place, not yet flushed: the flusher's.
    std::condition_variable wake_flusher_;
    int unflushed_ = -1;
    std::uint64_t unflushed_write_ = 0; // which write it was
    std::uint64_t writes_ = 0;          // writes tried so far
    bool flushing_ = false;
    bool failing_ = false;               // the last copy could not be written
    std::optional<std::string> failure_; // not yet taken
    std::thread writer_;
    std::thread flusher_;
    std::thread scanner_; // looks through the folder once
};

} // namespace document
