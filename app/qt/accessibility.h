// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What a screen reader gets beyond the widgets: the main window's pictures,
// hotspots, LCD frame and read-outs as accessible objects, names for boxes
// that have only a label beside them, and events when the selection or the
// read-outs change.

#include "toolkit/window.h"

#include <functional>

class QWidget;

namespace padscreen_qt {

class AssistOverlay;
class WindowView;

namespace accessibility {

// Once, after the application object: the read-outs come from overlay.
void install(const AssistOverlay& overlay);

// Names each box (edit field, list) of window that has no caption of its own
// by the label just above it or to its left, else by the window's caption.
void name_boxes(const tk::Window& window,
                const std::function<QWidget*(const tk::Control&)>& widget_for);

// After every action: tells a screen reader of a new selection on the main
// window's canvas and of read-outs that changed.
void announce(WindowView* form_view);

} // namespace accessibility
} // namespace padscreen_qt
