// SPDX-License-Identifier: GPL-2.0-or-later
#include "codegen/handlers.h"

#include "codegen/code_window.h"
#include "codegen/generate.h"
#include "form1.h"

namespace codegen {

namespace {

void cmdCreateCode_Click(const Form1& form, CodeWindowHost& host) {
    FrmShowCode& window = host.load_code_window();
    window.txtCode.text = generate_code(form);
    // Shown again on every run, also when it is already open.
    window.show();
}

} // namespace

void attach(Form1& form, CodeWindowHost& host) {
    form.cmdCreateCode.on_click = [&form, &host] { cmdCreateCode_Click(form, host); };
}

} // namespace codegen
