// SPDX-License-Identifier: GPL-2.0-or-later
#include "program.h"

#include "codegen/code_window.h"
#include "codegen/handlers.h"
#include "hotspots/handlers.h"
#include "slots/handlers.h"
#include "slots/status_dialog.h"

Program::Program(platform::Services& services, float drag_distance, std::size_t budget_bytes)
    : services_(services), drag_distance_(drag_distance), budget_(budget_bytes) {
    // Pictures that only undo holds give way to a new one.
    budget_.set_reclaimer({[this] { return history_.bytes_held_only_here(); },
                           [this](std::size_t bytes) { history_.give_way(bytes, budget_); }});
}

Program::~Program() = default;

void Program::start() {
    run([this] { load_form1().show(); });
}

void Program::run(const std::function<void()>& action, std::uint64_t gesture) {
    if (depth_ == 0) {
        gesture_ = gesture;
    }
    ++depth_;
    try {
        action();
    } catch (...) {
        --depth_;
        throw;
    }
    if (--depth_ == 0) {
        after_action();
    }
}

void Program::after_action() {
    history_.after_action(form1_.get(), status_ != nullptr, gesture_);
    for (const auto& observer : observers_) {
        observer();
    }
}

bool Program::undo() {
    return form1_ && history_.undo(*form1_, status_ != nullptr);
}

bool Program::redo() {
    return form1_ && history_.redo(*form1_, status_ != nullptr);
}

Form1& Program::load_form1() {
    if (!form1_) {
        form1_ = std::make_unique<Form1>(drag_distance_);
        Form1& form = *form1_;
        form.unloader = [this](tk::Window& w) { unload(w); };
        picture_slots::attach_loading(form, *this, *this);
        picture_slots::attach_placing(form);
        hotspot_handlers::attach(form);
        codegen::attach(form, *this);
        form.start_up();
    }
    return *form1_;
}

Form1& Program::show_form1() {
    Form1& form = load_form1();
    form.show();
    return form;
}

picture_slots::FrmImageDisplayStatus& Program::load_status_dialog() {
    if (!status_) {
        status_ = std::make_unique<picture_slots::FrmImageDisplayStatus>(*this);
        status_->unloader = [this](tk::Window& w) { unload(w); };
    }
    return *status_;
}

codegen::FrmShowCode& Program::load_code_window() {
    if (!code_) {
        code_ = std::make_unique<codegen::FrmShowCode>(*this);
        code_->unloader = [this](tk::Window& w) { unload(w); };
    }
    return *code_;
}

std::vector<tk::Window*> Program::loaded_windows() const {
    std::vector<tk::Window*> out;
    if (form1_) {
        out.push_back(form1_.get());
    }
    if (status_) {
        out.push_back(status_.get());
    }
    if (code_) {
        out.push_back(code_.get());
    }
    return out;
}

template <class T> void Program::retire(std::unique_ptr<T>& slot) {
    if (slot) {
        slot->visible = false;
        unloaded_.push_back(std::move(slot));
    }
}

void Program::unload(tk::Window& window) {
    if (form1_.get() == &window) {
        retire(form1_);
    } else if (status_.get() == &window) {
        retire(status_);
    } else if (code_.get() == &window) {
        retire(code_);
    }
    if (!form1_ && !status_ && !code_ && !ended_) {
        ended_ = true;
        services_.app.quit();
    }
}

void Program::end_program() {
    retire(status_);
    retire(code_);
    retire(form1_);
    if (!ended_) {
        ended_ = true;
        services_.app.quit();
    }
}

void Program::collect_unloaded() { unloaded_.clear(); }
