// SPDX-License-Identifier: GPL-2.0-or-later
#include "document/designs.h"

#include "document/code_file.h"
#include "document/design_file.h"

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

std::string caption_for(const std::string& path, bool modified) {
    return (modified ? "*" : "") + std::filesystem::path(path).filename().string() +
           " \u2014 Position Window";
}

Designs::Designs(Program& program, std::string program_version)
    : program_(program), version_(std::move(program_version)) {
    program_.on_rest([this] { follow(); });
}

bool Designs::modified() const {
    const Form1* form = program_.form1();
    return form != nullptr && path_ && !(form->design() == saved_);
}

void Designs::follow() {
    Form1* form = program_.form1();
    if (form == nullptr) {
        return;
    }
    if (form->id() != form_id_) {
        // The main window came back with an empty design: no file is open.
        form_id_ = form->id();
        path_.reset();
    }
    const std::string caption = path_ ? caption_for(*path_, modified()) : "Position Window";
    if (form->caption != caption) {
        form->caption = caption;
    }
}

void Designs::save() {
    program_.run([this] { save_to(path_); });
}

void Designs::save_as() {
    program_.run([this] { save_to(std::nullopt); });
}

void Designs::save_to(std::optional<std::string> path) {
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
        options.file_name = path_.value_or("");
        const auto choice = services.files.show_save(options);
        if (!choice) {
            return;
        }
        path = choice->path;
    }
    const std::string bytes = write_design(*form, folder_of(*path), version_);
    if (const auto failure = services.writer.write(*path, bytes)) {
        services.messages.show(*failure, "ERROR");
        return;
    }
    path_ = std::move(path);
    saved_ = form->design();
}

void Designs::open() {
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

void Designs::open_path(const std::string& path) {
    program_.run([this, &path] {
        if (program_.form1() != nullptr && program_.status_dialog() == nullptr) {
            open_file(path);
        }
    });
}

void Designs::open_file(const std::string& path) {
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
        // With no line rebuilt the canvas stays as it was; the message says why.
        if (rebuilt.rebuilt_lines > 0) {
            form.set_design(rebuilt.design);
            form.forget_pointer();
            // Saved anew as a design, never over the code it came from.
            path_.reset();
        }
        if (!rebuilt.problems.empty()) {
            std::string text = rebuilt.rebuilt_lines > 0
                                   ? "Some lines of " + path + " could not be rebuilt:"
                                   : "No line of " + path + " could be rebuilt:";
            for (const LineProblem& p : rebuilt.problems) {
                text += "\nline " + std::to_string(p.line) + ": " + p.reason;
            }
            services.messages.show(text, kOpenTitle);
        }
        return;
    }
    if (apply(*bytes, path, folder)) {
        path_ = path;
        form_id_ = form.id();
        saved_ = form.design();
    }
}

bool Designs::apply(const std::string& bytes, const std::string& file, const std::string& folder) {
    platform::Services& services = program_.services();
    Form1* form = program_.form1();
    if (form == nullptr) {
        return false;
    }
    auto result = read_design(bytes, folder, services.pictures, program_.picture_budget());
    if (const auto* refusal = std::get_if<Refusal>(&result)) {
        services.messages.show("Cannot open " + file + ": " + where(*refusal) + refusal->reason +
                                   ".",
                               kOpenTitle);
        return false;
    }
    Opened& opened = std::get<Opened>(result);
    form->set_design(opened.design);
    form->forget_pointer();
    path_.reset();
    if (!opened.missing.empty()) {
        std::string text = "These pictures could not be read; they keep their places:";
        for (const MissingPicture& m : opened.missing) {
            text += "\n" + m.path + ": " + m.reason;
        }
        services.messages.show(text, kOpenTitle);
    }
    return true;
}

} // namespace document
