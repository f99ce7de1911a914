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

// Loads pictures through the padscreen-decode helper, so that no decoder ever runs inside
// the program. The helper sets itself up once and then decodes each picture in a child of
// its own, forked from that state and locked down before it reads the picture; the helper
// stays for the next load. The program opens the file and hands its bytes over; the helper
// needs no file system. Trusts nothing the helper does: a crash, a hang, a non-zero exit or
// an answer of the wrong size all give nullptr, and a helper that misses the deadline or
// misbehaves is killed (the next load starts another). The pixels arrive in a memory file
// the child filled, mapped as the picture's own buffer: never copied.
class HelperPictureLoader : public platform::PictureLoader {
public:
    explicit HelperPictureLoader(std::string helper_path,
                                 std::chrono::milliseconds timeout = std::chrono::seconds(10));
    ~HelperPictureLoader() override;
    HelperPictureLoader(const HelperPictureLoader&) = delete;
    HelperPictureLoader& operator=(const HelperPictureLoader&) = delete;

    // Starts the helper now, if it is not running: its set-up overlaps with the user
    // choosing a file. It waits, idle, until a load or until this loader goes.
    void prepare() override;
    tk::PicturePtr load(const std::string& path, tk::PictureBudget& budget) override;
    // Side by side, through as many helpers as there are cores (each decodes one picture
    // at a time); the helpers stay for later loads. While measuring: through one helper,
    // most of them in one child (measure_all).
    std::vector<tk::PicturePtr> load_all(const std::vector<std::string>& paths,
                                         tk::PictureBudget& budget,
                                         const platform::LoadProgress& progress) override;
    std::string last_failure() const override { return last_failure_; }

    // Called at least every idle_interval while a load waits for the helper, so that a
    // window can keep painting. It must not load pictures itself. Default: none.
    void set_idle(std::function<void()> idle) { idle_ = std::move(idle); }
    static constexpr std::chrono::milliseconds idle_interval{10};

    // From now on a load only learns the picture's size from the helper: the picture it
    // gives has no pixels (for writing code without showing anything). The helper then
    // sets up without fonts; a picture whose size needs them goes to one that has them.
    void set_measure_only(bool measure_only) { measure_only_ = measure_only; }
    // While measuring, pictures go first to this padscreen-measure (none: empty), which
    // reads the usual headers without Qt and starts much sooner; what it cannot measure
    // goes on to the helper, started only then.
    void set_measure_helper(std::string path) { measure_helper_ = std::move(path); }

    // The wait status of the child that decoded the last picture, or -1 when it had to
    // be killed or never ran.
    int last_status() const { return last_status_; }

    // A started helper and the program's end of its socket.
    struct Server {
        pid_t pid = -1;
        int control = -1;
        bool fonts = true;   // set up with fonts
        int spawn_error = 0; // errno when it could not be started
    };

private:
    // Measures: the pictures whose headers tell their sizes together in one child, each
    // other one in a child of its own.
    std::vector<tk::PicturePtr> measure_all(const std::vector<std::string>& paths,
                                            tk::PictureBudget& budget,
                                            const platform::LoadProgress& progress);
    std::shared_ptr<tk::Picture> accept(const Exchange& ex, std::size_t room,
                                        tk::PictureBudget& budget);

    std::string helper_path_;
    std::string measure_helper_;
    Server measurer_; // the running padscreen-measure
    std::chrono::milliseconds timeout_;
    std::function<void()> idle_;
    // servers_[k] serves the k-th of the pictures loaded side by side, [0] single loads.
    std::vector<Server> servers_;
    Server fonted_; // while measuring: for the pictures whose size needs fonts
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
// padscreen-measure, installed beside the helper at helper_path.
std::string measure_helper_beside(const std::string& helper_path);

} // namespace picture_decode
