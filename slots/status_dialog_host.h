// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

namespace picture_slots {

class FrmImageDisplayStatus;

// Loads the display status dialog on first reference.
class StatusDialogHost {
public:
    virtual ~StatusDialogHost() = default;
    virtual FrmImageDisplayStatus& load_status_dialog() = 0;
};

} // namespace picture_slots
