// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "toolkit/picture.h"

#include <cstddef>
#include <functional>
#include <new>
#include <optional>
#include <string>
#include <vector>

// The services the handlers call. Tests use fakes; the Qt build supplies the real ones.
namespace platform {

struct FileDialogOptions {
    std::string filter;    // "Description|pattern|Description|pattern..."
    int filter_index = 1;  // 1-based, as the filter string counts
    std::string file_name; // offered as the initial choice
    std::string title;     // empty: the dialog's own
    // Saving: added to a name typed without an extension; and whether to ask
    // before an existing file is replaced.
    std::string default_suffix;
    bool confirm_overwrite = false;
};

struct FileChoice {
    std::string path;  // full path, exactly as chosen
    std::string title; // the name with its extension, without the folder
};

class FileDialog {
public:
    virtual ~FileDialog() = default;
    // Modal; std::nullopt when the user cancels.
    virtual std::optional<FileChoice> show_open(const FileDialogOptions& options) = 0;
    virtual std::optional<FileChoice> show_save(const FileDialogOptions& options) = 0;
};

class MessageBox {
public:
    virtual ~MessageBox() = default;
    // Modal, a single OK button and no icon.
    virtual void show(const std::string& text, const std::string& title) = 0;
};

// Why a load gave no picture, in the words the panel shows after the file's name.
namespace load_failure {
inline constexpr const char* kNotAPicture = "is not a picture this program reads";
inline constexpr const char* kUnreadable = "cannot be read as a picture";
inline constexpr const char* kCannotOpen = "cannot be opened";
inline constexpr const char* kNotAFile = "is not a plain file";
inline constexpr const char* kEmpty = "is empty";
inline constexpr const char* kFileTooLarge = "is a larger file than a picture may be (256 MiB)";
inline constexpr const char* kTooLargeForOne = "is too large for one picture (512 MiB of pixels)";
inline constexpr const char* kOverBudget = "does not fit in the 1 GiB all pictures share";
inline constexpr const char* kTooSlow = "took the decoder too long";
inline constexpr const char* kTooMuchMemory = "needs more memory than the decoder may use";
inline constexpr const char* kDecoderStopped = "stopped the decoder";
inline constexpr const char* kNoDecoder = "was not read: the picture decoder cannot start";
} // namespace load_failure

// How a load of several pictures goes on: done of total taken so far; false stops it.
struct LoadProgress {
    std::function<bool(std::size_t done, std::size_t total)> step;
    bool go_on(std::size_t done, std::size_t total) const { return !step || step(done, total); }
};

class PictureLoader {
public:
    virtual ~PictureLoader() = default;
    // A load may follow soon (the open dialog is about to show): a loader may get ready.
    virtual void prepare() {}
    // nullptr when the file cannot be read as a picture, for whatever reason. The
    // picture's pixels count against budget, and a picture that does not fit is refused.
    virtual tk::PicturePtr load(const std::string& path, tk::PictureBudget& budget) = 0;
    // Several at once (a design opening), in order; a loader may read them side by side.
    // A picture too large for the memory left comes back as nullptr. progress hears of
    // each picture taken and is asked now and then whether to go on: a load it stops gives
    // back no pictures at all.
    virtual std::vector<tk::PicturePtr> load_all(const std::vector<std::string>& paths,
                                                 tk::PictureBudget& budget,
                                                 const LoadProgress& progress) {
        std::vector<tk::PicturePtr> out;
        for (const std::string& path : paths) {
            if (!progress.go_on(out.size(), paths.size()))
                return {};
            try {
                out.push_back(load(path, budget));
            } catch (const std::bad_alloc&) {
                out.emplace_back();
            }
        }
        return out;
    }
    // Why the last load gave nullptr, worded to follow the file's name ("notes.png is
    // not a picture this program reads"); empty after a load that gave a picture.
    virtual std::string last_failure() const { return load_failure::kUnreadable; }
};

class TextFileWriter {
public:
    virtual ~TextFileWriter() = default;
    // Replaces the file with exactly these bytes, all or nothing. Returns the
    // failure's description, or std::nullopt on success.
    virtual std::optional<std::string> write(const std::string& path, const std::string& bytes) = 0;
};

class Application {
public:
    virtual ~Application() = default;
    // Ends the event loop; the process then exits.
    virtual void quit() = 0;
};

struct Services {
    FileDialog& files;
    MessageBox& messages;
    PictureLoader& pictures;
    TextFileWriter& writer;
    Application& app;
};

} // namespace platform
