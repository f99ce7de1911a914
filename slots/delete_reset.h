// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class Form1;

namespace picture_slots {

// "&Delete Image" and "Re&set All".
void cmdDelete_Click(Form1& form);
void cmdReset_Click(Form1& form);

// Position in cboDisable of the first entry equal to strComboIndex (exact,
// case-sensitive), searching from position `from`; 0 when there is none.
std::int16_t GetComboIndex(const Form1& form, const std::string& strComboIndex,
                           std::size_t from = 0);

} // namespace picture_slots
