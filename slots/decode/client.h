// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "platform.h"

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace picture_decode {

struct Exchange; // what came back from one helper

// Loads pictures by running the padscreen-decode helper on them, so that no decoder
// ever runs inside the program. The program opens the file and hands its bytes over;
// the helper needs no file system. Trusts nothing the helper does: a crash, a hang, a
// non-zero exit or an answer of the wrong size all give nullptr. The pixels arrive in
// a memory file the helper filled, mapped as the picture's own buffer: never copied.
class HelperPictureLoader : public platform::PictureLoader {
public:
    explicit HelperPictureLoader(std::string helper_path,
                                 std::chrono::milliseconds timeout = std::chrono::seconds(10));
    ~HelperPictureLoader() override;
    HelperPictureLoader(const HelperPictureLoader&) = delete;
    HelperPictureLoader& operator=(const HelperPictureLoader&) = delete;

    // Starts a helper now, to be used by the next load: its start-up overlaps with the
    // user choosing a file. It waits, idle and locked down, until then or until this
    // loader goes.
    void prepare() override;
    tk::PicturePtr load(const std::string& path, tk::PictureBudget& budget) override;
    // Side by side, as many helpers at once as there are cores.
    std::vector<tk::PicturePtr> load_all(const std::vector<std::string>& paths,
                                         tk::PictureBudget& budget) override;
    std::string last_failure() const override { return last_failure_; }

    // Called at least every idle_interval while a load waits for the helper, so that a
    // window can keep painting. It must not load pictures itself. Default: none.
    void set_idle(std::function<void()> idle) { idle_ = std::move(idle); }
    static constexpr std::chrono::milliseconds idle_interval{10};

    // From now on a load only learns the picture's size from the helper: the picture it
    // gives has no pixels (for writing code without showing anything).
    void set_measure_only(bool measure_only) { measure_only_ = measure_only; }

    // The helper's wait status at the end of the last load, or -1 when it had to be
    // killed, was never started or could not be reaped.
    int last_status() const { return last_status_; }

    // A started helper and the program's ends of its descriptors.
    struct Helper {
        pid_t pid = -1;
        int request = -1;    // write end of its fd 0
        int answer = -1;     // read end of its fd 3
        int pixels = -1;     // its fd 4, a memory file
        int spawn_error = 0; // errno when it could not be started
    };

private:
    std::shared_ptr<tk::Picture> accept(Helper& helper, const Exchange& ex,
                                        std::size_t room, tk::PictureBudget& budget);
    std::shared_ptr<tk::Picture> run(Helper& helper, const std::vector<unsigned char>& file,
                                     tk::PictureBudget& budget);

    std::string helper_path_;
    std::chrono::milliseconds timeout_;
    std::function<void()> idle_;
    Helper ready_;
    int last_status_ = -1;
    std::string last_failure_;
    bool measure_only_ = false;
};

// The helper's path inside the directory exe_dir.
std::string helper_path_beside(const std::string& exe_dir);
// The helper of a program in exe_dir: beside it when it is there (the build tree),
// else ../libexec/padscreen/padscreen-decode (installed). Nothing else is searched.
std::string helper_path_for(const std::string& exe_dir);
// helper_path_for the running executable; empty when that cannot be found out.
std::string default_helper_path();

} // namespace picture_decode
