// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

namespace codegen {

class FrmShowCode;

// Loads the code window on first reference.
class CodeWindowHost {
public:
    virtual ~CodeWindowHost() = default;
    virtual FrmShowCode& load_code_window() = 0;
};

} // namespace codegen
