// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

class Form1;

namespace codegen {

// The source lines for the developer's own form: one bitmap line per slot that
// holds a picture, an empty line after them, then one hotspot line per shown,
// unselected hotspot; every line ends in CR LF. Reads the design only.
std::string generate_code(const Form1& form);

} // namespace codegen
