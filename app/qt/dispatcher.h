// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <functional>

namespace padscreen_qt {

// Runs what the user did against the model, then brings every view up to date.
class Dispatcher {
public:
    virtual ~Dispatcher() = default;
    // gesture: as Program::run takes it.
    virtual void dispatch(const std::function<void()>& action, std::uint64_t gesture = 0) = 0;
    // True while an action runs or the views are being updated: input that
    // arrives then was caused by the program itself, not by the user.
    virtual bool busy() const = 0;
};

} // namespace padscreen_qt
