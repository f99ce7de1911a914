// SPDX-License-Identifier: GPL-2.0-or-later
#include "codegen/code_window.h"

#include "codegen/encoding.h"
#include "windows.h"

#include <variant>

namespace codegen {

FrmShowCode::FrmShowCode(Windows& windows)
    : tk::Window("frmShowCode", "Visual Basic Code", 7695, 3615),
      txtCode(add<tk::TextBox>("txtCode", {120, 120, 7455, 2895}, 0)),
      cmdWriteTextFile(add_captioned<tk::Button>("cmdWriteTextFile", "Write To Text File",
                                                 {120, 3165, 3615, 375}, 1)),
      cmdReturn(
          add_captioned<tk::Button>("cmdReturn", "Return to Form", {4080, 3165, 3495, 375}, 2)),
      windows_(windows) {
    // Fixed single border, no min/max, no icon of its own, but in the taskbar.
    resizable = false;
    minimize_button = false;
    maximize_button = false;
    has_icon = false;
    show_in_taskbar = true;

    txtCode.multi_line = true;
    txtCode.vertical_scroll_bar = true;

    cmdWriteTextFile.on_click = [this] { cmdWriteTextFile_Click(); };
    cmdReturn.on_click = [this] { cmdReturn_Click(); };
    on_query_unload = [this](bool& cancel) { Form_QueryUnload(cancel); };
    Form_Load();
}

void FrmShowCode::Form_Load() { blnClosedByReturn = false; }

void FrmShowCode::cmdWriteTextFile_Click() {
    platform::Services& services = windows_.services();
    platform::FileDialogOptions options;
    options.filter = "Text Files (*.txt)|*.txt";
    options.file_name = file_name_;
    const auto choice = services.files.show_save(options);
    if (choice) {
        file_name_ = choice->path;
    }
    if (choice && !file_name_.empty()) {
        auto encoded = to_windows_1252(txtCode.text);
        if (const auto* refused = std::get_if<EncodingError>(&encoded)) {
            services.messages.show(describe(*refused), "ERROR");
        } else if (const auto failure =
                       services.writer.write(file_name_, std::get<std::string>(encoded))) {
            services.messages.show(*failure, "ERROR");
        } else {
            services.messages.show("File Saved as " + file_name_, "Save Status");
        }
    }
    set_focus(&txtCode);
}

void FrmShowCode::cmdReturn_Click() {
    blnClosedByReturn = true;
    // Form1 comes back before this window goes: were it closed, the program
    // would otherwise find itself without a window and end.
    windows_.show_form1();
    request_close();
}

void FrmShowCode::Form_QueryUnload(bool& /*cancel*/) {
    if (!blnClosedByReturn) {
        windows_.end_program();
    }
}

} // namespace codegen
