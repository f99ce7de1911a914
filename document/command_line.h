// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "platform.h"

#include <string>

namespace document {

// What `padscreen --code FILE` prints and how it ends.
struct CodeRun {
    int status = 0;    // 0: written; 1: the file or a picture could not be used
    std::string out;   // the bytes "Write To Text File" would save
    std::string error; // one message naming the file and the reason
};

// The code of a design file or code file, exactly as the code window would save
// it (Windows-1252, CR LF); pictures are read through loader.
CodeRun code_of_file(const std::string& path, platform::PictureLoader& loader);

} // namespace document
