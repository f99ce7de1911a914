// SPDX-License-Identifier: GPL-2.0-or-later
#include "document/command_line.h"

#include "codegen/encoding.h"
#include "codegen/generate.h"
#include "document/code_file.h"
#include "document/design_file.h"
#include "document/file_read.h"

namespace document {

CodeRun code_of_file(const std::string& path, platform::PictureLoader& loader) {
    const auto refuse = [&path](const std::string& reason) {
        return CodeRun{1, {}, "padscreen: " + path + ": " + reason + "\n"};
    };
    std::string reason;
    const auto bytes = read_file(path, kMaxDesignFileBytes, reason);
    if (!bytes) {
        return refuse(reason);
    }
    const std::string folder = folder_of(path);
    tk::PictureBudget budget;
    Form1 form;
    form.start_up();
    if (looks_like_code(*bytes)) {
        const Rebuilt rebuilt = rebuild_from_code(*bytes, folder, loader, budget);
        if (!rebuilt.refusal.empty()) {
            return refuse(rebuilt.refusal);
        }
        // A placeholder is a problem too: its code names a picture that is not there.
        if (!rebuilt.problems.empty()) {
            const LineProblem& p = rebuilt.problems.front();
            return refuse("line " + std::to_string(p.line) + ": " + p.reason);
        }
        if (rebuilt.rebuilt_lines == 0) {
            return refuse("no line to rebuild");
        }
        form.set_design(rebuilt.design);
    } else {
        auto result = read_design(*bytes, folder, loader, budget);
        if (const auto* refusal = std::get_if<Refusal>(&result)) {
            return refuse((refusal->line > 0
                               ? "line " + std::to_string(refusal->line) + ", column " +
                                     std::to_string(refusal->column) + ": "
                               : std::string()) +
                          refusal->reason);
        }
        const Opened& opened = std::get<Opened>(result);
        if (!opened.missing.empty()) {
            const MissingPicture& m = opened.missing.front();
            return refuse("picture " + m.path + ": " + m.reason);
        }
        for (const PictureEntry& p : opened.file.pictures) {
            if (!p.status || !p.mode) {
                return refuse("the picture in slot " + std::to_string(p.slot) +
                              " has no display status and mode yet");
            }
        }
        form.set_design(opened.design);
    }
    auto encoded = codegen::to_windows_1252(codegen::generate_code(form));
    if (const auto* error = std::get_if<codegen::EncodingError>(&encoded)) {
        return refuse(codegen::describe(*error));
    }
    return {0, std::get<std::string>(encoded), {}};
}

} // namespace document
