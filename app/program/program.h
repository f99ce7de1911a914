// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "codegen/code_window_host.h"
#include "form1.h"
#include "history.h"
#include "slots/status_dialog_host.h"
#include "windows.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace picture_slots {
class FrmImageDisplayStatus;
}
namespace codegen {
class FrmShowCode;
}

// The running program: owns its three windows, loads them on first
// reference, wires their handlers, and ends when the last one is gone. Every
// user action runs through it, and it keeps the undo history of the design.
class Program : public Windows,
                public picture_slots::StatusDialogHost,
                public codegen::CodeWindowHost {
public:
    // drag_distance: the desktop's, in twips, given to every window made.
    // budget_bytes: what all pictures may take together.
    explicit Program(platform::Services& services, float drag_distance = tk::kDefaultDragDistance,
                     std::size_t budget_bytes = tk::kPictureBudgetBytes);
    ~Program() override;
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Creates the main window, runs its start-up steps and shows it.
    void start();

    Form1* form1() override { return form1_.get(); }
    const Form1* form1() const { return form1_.get(); }
    Form1& show_form1() override;
    void end_program() override;
    platform::Services& services() override { return services_; }
    tk::PictureBudget& picture_budget() override { return budget_; }

    // Runs one user action; when it is the outermost one (a modal dialog
    // inside a handler may run others), takes the design step after it.
    // gesture: nonzero when the action goes on with the one before it (a held
    // arrow key's repeats); see History::after_action.
    void run(const std::function<void()>& action, std::uint64_t gesture = 0);
    // Back one design step, or forward again; false when there is none or
    // the action in progress is not over (a held button, the status dialog).
    bool undo();
    bool redo();
    const History& history() const { return history_; }
    // Called after every outermost action, once its design step is taken.
    void on_rest(std::function<void()> observer) { observers_.push_back(std::move(observer)); }

    picture_slots::FrmImageDisplayStatus& load_status_dialog() override;
    picture_slots::FrmImageDisplayStatus* status_dialog() const { return status_.get(); }
    codegen::FrmShowCode& load_code_window() override;
    codegen::FrmShowCode* code_window() const { return code_.get(); }

    // Loaded windows, main window first.
    std::vector<tk::Window*> loaded_windows() const;
    // Destroys the windows unloaded since the last call. Call it only when no
    // handler is running: a window may unload itself from its own handler.
    void collect_unloaded();
    bool ended() const { return ended_; }

private:
    Form1& load_form1();
    void unload(tk::Window& window);
    template <class T> void retire(std::unique_ptr<T>& slot);

    void after_action();

    platform::Services& services_;
    float drag_distance_;
    // Before the windows: pictures they hold count against it until they go.
    tk::PictureBudget budget_;
    History history_;
    int depth_ = 0;
    std::uint64_t gesture_ = 0; // the outermost action's
    std::vector<std::function<void()>> observers_;
    std::unique_ptr<Form1> form1_;
    std::unique_ptr<picture_slots::FrmImageDisplayStatus> status_;
    std::unique_ptr<codegen::FrmShowCode> code_;
    std::vector<std::unique_ptr<tk::Window>> unloaded_;
    bool ended_ = false;
};
