// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "platform.h"
#include "toolkit/window.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class Form1;
class Program;

namespace assist {

// Says on the panel why "&Load Image" loaded nothing, "C&reate Hotspot" made
// nothing or a picture's drag moved nothing, where the program's own handlers stay silent. It
// stands between the program and its services, to learn which picture file was chosen and why its
// load failed, and is told of the main window's clicks; it decides once the
// action is over. No handler is replaced.
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
    // Forwards every call, counting single loads and keeping the last one's
    // failure; several at once go on to the inner loader whole, which may read
    // them side by side.
    class Pictures : public platform::PictureLoader {
    public:
        explicit Pictures(platform::PictureLoader& inner) : inner_(inner) {}
        void prepare() override { inner_.prepare(); }
        tk::PicturePtr load(const std::string& path, tk::PictureBudget& budget) override;
        std::vector<tk::PicturePtr> load_all(const std::vector<std::string>& paths,
                                             tk::PictureBudget& budget,
                                             const platform::LoadProgress& progress) override;
        std::string last_failure() const override;
        int loads = 0;
        std::string failure; // of the last single load

    private:
        platform::PictureLoader& inner_;
        bool out_of_memory_ = false; // the last load threw
    };

    void watch_clicks(Form1& form);
    // Why a picture's drag moved nothing; empty for other controls.
    static std::string ignored_drag_line(const Form1& form, const tk::Window::IgnoredDrag& drag);
    void after_action(Program& program);
    void say(std::string line);

    Files files_;
    Pictures pictures_;
    platform::Services services_;
    std::uint64_t watched_form_ = 0; // the main window whose clicks are seen
    // What the action now ending did: "&Load Image" ran; "C&reate Hotspot" made nothing.
    bool load_ran_ = false;
    bool hotspot_refused_ = false;
    std::string notice_;
    bool fresh_ = false; // said during the action now ending
    // The history's steps when the notice was said: any change lets it go.
    std::uint64_t said_at_taken_ = 0;
    std::size_t said_at_redo_ = 0;
};

} // namespace assist
