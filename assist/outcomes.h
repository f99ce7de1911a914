// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "platform.h"

#include <cstdint>
#include <optional>
#include <string>

class Form1;
class Program;

namespace assist {

// Says on the panel why "&Load Image" loaded nothing or "C&reate Hotspot" made
// nothing, where the program's own handlers stay silent. It stands between the
// program and its services, to learn which picture file was chosen and why its
// load failed, and wraps the two buttons' handlers, which run unchanged.
class Outcomes {
public:
    explicit Outcomes(platform::Services& services);
    Outcomes(const Outcomes&) = delete;
    Outcomes& operator=(const Outcomes&) = delete;

    // What the program is to be given instead of the services themselves.
    platform::Services& services() { return services_; }
    // Follows the program's actions; call once, before it starts.
    void watch(Program& program);

    // The line for the panel; empty when there is nothing to say. It goes at the
    // next design step after the one it was said at.
    const std::string& notice() const { return notice_; }

private:
    // Forwards every call, remembering the last file the open dialog gave.
    class Files : public platform::FileDialog {
    public:
        explicit Files(platform::FileDialog& inner) : inner_(inner) {}
        std::optional<platform::FileChoice>
        show_open(const platform::FileDialogOptions& o) override;
        std::optional<platform::FileChoice>
        show_save(const platform::FileDialogOptions& o) override {
            return inner_.show_save(o);
        }
        std::optional<platform::FileChoice> chosen;

    private:
        platform::FileDialog& inner_;
    };
    // Forwards every call, counting loads and keeping the last failure's reason.
    class Pictures : public platform::PictureLoader {
    public:
        explicit Pictures(platform::PictureLoader& inner) : inner_(inner) {}
        void prepare() override { inner_.prepare(); }
        tk::PicturePtr load(const std::string& path, tk::PictureBudget& budget) override;
        std::string last_failure() const override { return failure; }
        int loads = 0;
        std::string failure;

    private:
        platform::PictureLoader& inner_;
    };

    void wrap_buttons(Form1& form);
    void after_action(Program& program);
    void say(std::string line);

    Files files_;
    Pictures pictures_;
    platform::Services services_;
    std::uint64_t wrapped_form_ = 0; // the main window whose buttons are wrapped
    std::string notice_;
    bool fresh_ = false; // said during the action now ending
    // The history's steps when the notice was said: any change lets it go.
    std::uint64_t said_at_taken_ = 0;
    std::size_t said_at_redo_ = 0;
};

} // namespace assist
