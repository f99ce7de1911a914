// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "window_view.h"

#include <QIcon>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class Program;

namespace padscreen_qt {

class AssistOverlay;

// Keeps one WindowView per loaded model window. After every user action it
// brings all of them up to date: views for windows loaded meanwhile, views of
// unloaded windows dropped, widgets and drawings refreshed, windows shown or
// hidden; only then are the unloaded windows destroyed.
class ProgramView : public Dispatcher {
public:
    ProgramView(Program& program, QIcon icon);
    ~ProgramView() override;
    ProgramView(const ProgramView&) = delete;
    ProgramView& operator=(const ProgramView&) = delete;

    // Starts the program and shows its first window.
    void start();

    void dispatch(const std::function<void()>& action, std::uint64_t gesture = 0) override;
    bool busy() const override { return depth_ > 0; }

    // The view of a loaded window, by the window's identity.
    WindowView* view(std::uint64_t window_id) const;
    std::vector<WindowView*> views() const;
    const AssistOverlay& assist() const { return *assist_; }
    AssistOverlay& assist() { return *assist_; }

private:
    void sync();

    Program& program_;
    QIcon icon_;
    std::map<std::uint64_t, QPointer<WindowView>> views_;
    std::unique_ptr<AssistOverlay> assist_; // frame, read-outs, nudging, undo on Form1
    int depth_ = 0;
};

} // namespace padscreen_qt
