#pragma once

#include "platform.h"

#include <chrono>
#include <functional>
#include <string>

namespace picture_decode {

// Loads pictures by running the padscreen-decode helper on them, so that no decoder
// ever runs inside the program. Trusts nothing the helper does: a crash, a hang, a
// non-zero exit or an answer of the wrong length all give nullptr.
class HelperPictureLoader : public platform::PictureLoader {
public:
    explicit HelperPictureLoader(std::string helper_path,
                                 std::chrono::milliseconds timeout = std::chrono::seconds(10));

    tk::PicturePtr load(const std::string& path) override;

    // Called at least every idle_interval while a load waits for the helper, so that a
    // window can keep painting. It must not load pictures itself. Default: none.
    void set_idle(std::function<void()> idle) { idle_ = std::move(idle); }
    static constexpr std::chrono::milliseconds idle_interval{10};

private:
    std::string helper_path_;
    std::chrono::milliseconds timeout_;
    std::function<void()> idle_;
};

// The helper's path inside the directory exe_dir.
std::string helper_path_beside(const std::string& exe_dir);
// The helper of a program in exe_dir: beside it when it is there (the build tree),
// else ../libexec/padscreen/padscreen-decode (installed). Nothing else is searched.
std::string helper_path_for(const std::string& exe_dir);
// helper_path_for the running executable; empty when that cannot be found out.
std::string default_helper_path();

} // namespace picture_decode
