#pragma once

#include "platform.h"

#include <chrono>
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

private:
    std::string helper_path_;
    std::chrono::milliseconds timeout_;
};

// The helper's path inside the directory exe_dir.
std::string helper_path_beside(const std::string& exe_dir);
// The helper beside the running executable; empty when that cannot be found out.
std::string default_helper_path();

} // namespace picture_decode
