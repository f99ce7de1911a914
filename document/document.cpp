// SPDX-License-Identifier: GPL-2.0-or-later
#include "document/document.h"

#include "document/code_file.h"
#include "document/recovery.h"
#include "slots/load.h"
#include "slots/status_dialog.h"

#include <filesystem>
#include <utility>

namespace document {

namespace {

constexpr const char* kOpenTitle = "Open Design";
constexpr const char* kDesignFilter = "Designs (*.padscreen)|*.padscreen";
constexpr const char* kOpenFilter = "Designs (*.padscreen)|*.padscreen|"
                                    "Code Files (*.txt)|*.txt|"
                                    "All Files (*.*)|*.*";

std::string where(const Refusal& r) {
    if (r.line <= 0) {
        return "";
    }
    return "line " + std::to_string(r.line) +
           (r.column > 0 ? ", column " + std::to_string(r.column) : "") + ": ";
}

} // namespace

const char* kind_name(FileKind kind) {
    switch (kind) {
    case FileKind::Design:
        return "design";
    case FileKind::Code:
        return "code";
    case FileKind::None:
        break;
    }
    return "none";
}

std::string caption_for(const std::string& path, bool modified) {
    return (modified ? "*" : "") + std::filesystem::path(path).filename().string() +
           " \u2014 Position Window";
}

Document::Document(const Setup& setup)
    : outcomes_(setup.services),
      program_(outcomes_.services(), setup.drag_distance, setup.budget_bytes),
      version_(setup.program_version) {
    // In this order: the notices, then the file's caption and clean mark, then
    // the recovery copy that records both.
    outcomes_.watch(program_);
    program_.on_rest([this] { follow(); });
    if (!setup.recovery_folder.empty()) {
        recovery_ = std::make_unique<Recovery>(*this, setup.recovery_folder, version_);
    }
}

Document::~Document() = default;

std::optional<Offer> Document::offer() const {
    return recovery_ ? recovery_->offer() : std::nullopt;
}

std::optional<Offer> Document::offer_if_found() const {
    return recovery_ ? recovery_->offer_if_found() : std::nullopt;
}

void Document::look_for_recovery() {
    if (recovery_) {
        recovery_->look_through();
    }
}

void Document::on_offer_found(std::function<void()> found) {
    if (recovery_) {
        recovery_->on_offer_found(std::move(found));
    }
}

void Document::flush() {
    if (recovery_) {
        recovery_->flush();
    }
}

std::string Document::notice() const { return outcomes_.notice(); }

std::optional<std::string> Document::take_recovery_failure() {
    return recovery_ ? recovery_->take_write_failure() : std::nullopt;
}

bool Document::modified() const {
    if (program_.form1() == nullptr) {
        return false;
    }
    return !clean_ || *clean_ != program_.history().position();
}

int Document::pending_slot() const {
    const auto* dialog = program_.status_dialog();
    const Form1* form = program_.form1();
    if (dialog == nullptr || !dialog->visible || form == nullptr) {
        return 0;
    }
    const auto n = form->i.number();
    return n && *n >= 1 && *n <= Form1::kSlots ? static_cast<int>(*n) : 0;
}

Belonging Document::belonging() const {
    return {path_.value_or(""), kind_name(kind_), !path_ || modified()};
}

void Document::follow() {
    Form1* form = program_.form1();
    if (form == nullptr) {
        return;
    }
    if (form->id() != form_id_) {
        // The main window came back with an empty design: no file is open.
        form_id_ = form->id();
        path_.reset();
        kind_ = FileKind::None;
        clean_.reset();
        unknown_.clear();
    }
    if (clean_after_action_) {
        clean_after_action_ = false;
        mark_clean();
    }
    const std::string caption = path_ ? caption_for(*path_, modified()) : "Position Window";
    if (form->caption != caption) {
        form->caption = caption;
    }
}

void Document::save() {
    program_.run([this] { save_to(kind_ == FileKind::Design ? path_ : std::nullopt); });
}

void Document::save_as() {
    program_.run([this] { save_to(std::nullopt); });
}

void Document::save_to(std::optional<std::string> path) {
    Form1* form = program_.form1();
    if (form == nullptr || program_.status_dialog() != nullptr) {
        return;
    }
    platform::Services& services = program_.services();
    if (!path) {
        platform::FileDialogOptions options;
        options.title = "Save Design";
        options.filter = kDesignFilter;
        options.default_suffix = "padscreen";
        options.confirm_overwrite = true;
        if (path_) {
            // A design rebuilt from code is offered beside it, never over it.
            options.file_name =
                kind_ == FileKind::Code
                    ? std::filesystem::path(*path_).replace_extension(".padscreen").string()
                    : *path_;
        }
        const auto choice = services.files.show_save(options);
        if (!choice) {
            return;
        }
        path = choice->path;
    }
    const std::string bytes = write_design(design_of(*form), folder_of(*path), version_, unknown_);
    if (const auto failure = services.writer.write(*path, bytes)) {
        services.messages.show(*failure, "ERROR");
        return;
    }
    path_ = std::move(path);
    kind_ = FileKind::Design;
    clean_after_action_ = true;
}

void Document::open() {
    program_.run([this] {
        if (program_.form1() == nullptr || program_.status_dialog() != nullptr) {
            return;
        }
        platform::FileDialogOptions options;
        options.title = kOpenTitle;
        options.filter = kOpenFilter;
        if (const auto choice = program_.services().files.show_open(options)) {
            open_file(choice->path);
        }
    });
}

void Document::open_path(const std::string& path) {
    program_.run([this, &path] {
        if (program_.form1() != nullptr && program_.status_dialog() == nullptr) {
            open_file(path);
        }
    });
}

void Document::open_file(const std::string& path) {
    platform::Services& services = program_.services();
    std::string reason;
    const auto bytes = read_file(path, kMaxDesignFileBytes, reason);
    if (!bytes) {
        services.messages.show("Cannot open " + path + ": " + reason + ".", kOpenTitle);
        return;
    }
    const std::string folder = folder_of(path);
    Form1& form = *program_.form1();
    if (looks_like_code(*bytes)) {
        Rebuilt rebuilt =
            rebuild_from_code(*bytes, folder, services.pictures, program_.picture_budget());
        if (!rebuilt.refusal.empty()) {
            services.messages.show("Cannot open " + path + ": " + rebuilt.refusal + ".",
                                   kOpenTitle);
            return;
        }
        std::string text;
        for (const LineProblem& p : rebuilt.problems) {
            text += "\nline " + std::to_string(p.line) + ": " + p.reason;
        }
        // With no line rebuilt the canvas stays as it was; the message says why.
        if (rebuilt.rebuilt_lines == 0) {
            services.messages.show("No line of " + path + " could be rebuilt:" + text, kOpenTitle);
            return;
        }
        form.set_design(rebuilt.design);
        form.forget_pointer();
        unknown_.clear();
        path_ = path;
        kind_ = FileKind::Code;
        clean_after_action_ = true;
        if (!text.empty()) {
            services.messages.show("Some lines of " + path + " could not be rebuilt:" + text,
                                   kOpenTitle);
        }
        return;
    }
    if (apply(*bytes, path, folder)) {
        path_ = path;
        kind_ = FileKind::Design;
        clean_after_action_ = true;
    }
}

bool Document::apply(const std::string& bytes, const std::string& file, const std::string& folder,
                     std::optional<Belonging>* belonging) {
    platform::Services& services = program_.services();
    Form1* form = program_.form1();
    if (form == nullptr) {
        return false;
    }
    auto result = read_design(bytes, folder, services.pictures, program_.picture_budget());
    if (const auto* refusal = std::get_if<Refusal>(&result)) {
        if (refusal->stopped) {
            return false;
        }
        services.messages.show(
            "Cannot open " + file + ": " + where(*refusal) + refusal->reason + ".", kOpenTitle);
        return false;
    }
    Opened& opened = std::get<Opened>(result);
    form->set_design(opened.design);
    form->forget_pointer();
    // The list shows the choice that disabled a picture, as choosing it left it.
    const int disabled = opened.file.disabled;
    form->cboDisable.text =
        disabled != 0 && !form->Image(disabled).tag.empty() ? form->Image(disabled).tag : "None";
    unknown_ = std::move(opened.unknown);
    if (belonging != nullptr) {
        *belonging = opened.belonging;
    }
    path_.reset();
    kind_ = FileKind::None;
    clean_.reset();
    if (!opened.missing.empty()) {
        std::string text = "These pictures could not be read; they keep their places:";
        for (const MissingPicture& m : opened.missing) {
            text += "\n" + m.path + ": " + m.reason;
        }
        services.messages.show(text, kOpenTitle);
    }
    ask_pending(opened.file);
    return true;
}

// A picture whose status dialog never got its OK gets it now: no code line is
// ever written without a status and a mode.
void Document::ask_pending(const FileDesign& design) {
    for (const PictureEntry& p : design.pictures) {
        if (!p.status || !p.mode) {
            picture_slots::ask_display_status(*program_.form1(), program_, p.slot, p.tag);
            return;
        }
    }
}

void Document::restore() {
    if (!recovery_ || !recovery_->offer()) {
        return;
    }
    program_.run([this] {
        if (program_.form1() == nullptr || program_.status_dialog() != nullptr) {
            return;
        }
        std::optional<Belonging> belonging;
        if (!recovery_->take_offer(*this, belonging) || !belonging) {
            return;
        }
        if (!belonging->file.empty() && belonging->kind != "none") {
            path_ = belonging->file;
            kind_ = belonging->kind == "code" ? FileKind::Code : FileKind::Design;
            // The copy's design differs from its file unless it said otherwise.
            clean_after_action_ = !belonging->modified;
        }
    });
}

} // namespace document
