// SPDX-License-Identifier: GPL-2.0-or-later
// The design reader and the code rebuilder on any bytes: a refusal or a
// design, never a crash; and whatever the reader takes, what the writer then
// writes reads back the same. Pictures come from a loader that has none, or
// one small picture for every path.
#include "document/code_file.h"
#include "document/design_file.h"

#include <cstddef>
#include <cstdlib>
#include <cstdint>
#include <memory>
#include <string>

namespace {

class Loader : public platform::PictureLoader {
public:
    bool answers = false;
    tk::PicturePtr load(const std::string& path, tk::PictureBudget& budget) override {
        if (!answers) {
            return nullptr;
        }
        auto p = std::make_shared<tk::Picture>();
        p->width = 3;
        p->height = 2;
        p->argb = tk::Pixels(6, 0xFF000000U, &budget);
        p->path = path;
        return p;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    Loader loader;
    loader.answers = size % 2 == 0;
    tk::PictureBudget budget;
    (void)document::read_design(bytes, "/nonexistent/designs", loader, budget);
    if (const auto parsed = document::parse_design(bytes); auto* p = std::get_if<document::Parsed>(&parsed)) {
        const std::string again = document::write_design(p->design, "", "fuzz", p->unknown, p->belonging);
        const auto back = document::parse_design(again);
        const auto* q = std::get_if<document::Parsed>(&back);
        if (q == nullptr || !(q->design == p->design) || q->unknown != p->unknown ||
            q->belonging != p->belonging) {
            std::abort(); // written, and not read back the same
        }
    }
    (void)document::looks_like_code(bytes);
    (void)document::rebuild_from_code(bytes, "/nonexistent/code", loader, budget);
    return 0;
}
