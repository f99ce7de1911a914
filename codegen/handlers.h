// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "codegen/code_window_host.h"

class Form1;

namespace codegen {

// "&Create Code".
void attach(Form1& form, CodeWindowHost& host);

} // namespace codegen
