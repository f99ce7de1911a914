// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The program as main() puts it together, on the fakes.
#include "document/document.h"
#include "fakes.h"
#include "program.h"
#include "program_view.h"

#include <QIcon>

struct Running {
    Running() { view.assist().set_document(&document); }
    fakes::Platform platform;
    document::Document document{{platform.services, "test"}};
    Program& program = document.program();
    padscreen_qt::ProgramView view{program, QIcon()};
};
