// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QIcon>

namespace padscreen_qt {

// The program's icon at 16, 24, 32, 48, 64 and 128 pixels, built into the program.
QIcon application_icon();

// The program's reverse-DNS name: its desktop entry, icon and metainfo are named by it.
const char* application_id();

} // namespace padscreen_qt
