// SPDX-License-Identifier: GPL-2.0-or-later
#include "document/recovery.h"

#include "document/design_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace document {

namespace {

constexpr std::size_t kKept = 3;
// How often the writer looks for a design to copy.
constexpr std::chrono::milliseconds kLooks{100};

// Loads nothing: a copy is read for what it holds, not for its pixels.
class NoPictures : public platform::PictureLoader {
public:
    tk::PicturePtr load(const std::string&, tk::PictureBudget&) override { return nullptr; }
};

// Whether the program that wrote a copy still runs: it holds the lock file's lock.
bool owner_alive(const fs::path& lock) {
    const int fd = ::open(lock.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

bool empty_canvas(const Form1& form) {
    for (int n = 1; n <= Form1::kSlots; ++n) {
        if (form.Image(n).has_picture()) {
            return false;
        }
    }
    for (int n = 1; n <= Form1::kHotspots; ++n) {
        if (form.lbl(n).visible) {
            return false;
        }
    }
    return true;
}

// Replaces path with bytes: a temporary file beside it, flushed, renamed over it,
// the folder flushed. False on any failure, the old copy then whole.
bool write_atomically(const fs::path& path, const std::string& bytes) {
    const fs::path temporary = path.string() + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    const bool ok = done == bytes.size() && ::fsync(fd) == 0;
    ::close(fd);
    if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    const int dir = ::open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

std::string local_time(fs::file_time_type when) {
    const auto system = std::chrono::time_point_cast<std::chrono::system_clock::duration>(
        when - fs::file_time_type::clock::now() + std::chrono::system_clock::now());
    const std::time_t t = std::chrono::system_clock::to_time_t(system);
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    std::tm today{};
    ::localtime_r(&t, &parts);
    ::localtime_r(&now, &today);
    // The panel is narrow: the day only when it is not today.
    const bool same_day = parts.tm_yday == today.tm_yday && parts.tm_year == today.tm_year;
    char text[32];
    std::strftime(text, sizeof text, same_day ? "%H:%M" : "%e %b %H:%M", &parts);
    return text[0] == ' ' ? text + 1 : text;
}

} // namespace

std::string recovery_folder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && *state == '/') {
        return (fs::path(state) / "padscreen").string();
    }
    const char* home = std::getenv("HOME");
    return (fs::path(home != nullptr ? home : "/") / ".local/state/padscreen").string();
}

std::string Offer::text() const {
    return "Ctrl+R restores the last design (" + std::to_string(pictures) +
           (pictures == 1 ? " picture, " : " pictures, ") + std::to_string(hotspots) +
           (hotspots == 1 ? " hotspot, " : " hotspots, ") + time + ")";
}

Recovery::Recovery(Program& program, Designs& designs, std::string folder, std::string version)
    : program_(program), designs_(designs), folder_(std::move(folder)),
      version_(std::move(version)) {
    std::error_code error;
    fs::create_directories(folder_, error);
    find_offer();
    // This program's copy and the lock that says it runs.
    const std::string name = "design-" + std::to_string(::getpid()) + "-" +
                             std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    copy_ = (fs::path(folder_) / (name + ".padscreen")).string();
    lock_fd_ = ::open((fs::path(folder_) / (name + ".lock")).c_str(),
                      O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock_fd_ >= 0 && ::flock(lock_fd_, LOCK_EX | LOCK_NB) != 0) {
        ::close(lock_fd_);
        lock_fd_ = -1;
    }
    writer_ = std::thread([this] { write_loop(); });
    program_.on_rest([this] { follow(); });
}

Recovery::~Recovery() {
    flush();
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    writer_.join();
    if (lock_fd_ >= 0) {
        const fs::path lock = fs::path(copy_).replace_extension(".lock");
        std::error_code error;
        // With no copy left, nothing needs the lock file either.
        if (!fs::exists(copy_, error)) {
            fs::remove(lock, error);
        }
        ::close(lock_fd_);
    }
}

void Recovery::find_offer() {
    struct Found {
        fs::path copy;
        fs::file_time_type time;
    };
    std::vector<Found> left;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder_, error)) {
        const fs::path& p = entry.path();
        if (p.extension() != ".padscreen" || !entry.is_regular_file(error)) {
            continue;
        }
        if (owner_alive(fs::path(p).replace_extension(".lock"))) {
            continue; // another program's, running now
        }
        left.push_back({p, entry.last_write_time(error)});
    }
    std::sort(left.begin(), left.end(),
              [](const Found& a, const Found& b) { return a.time > b.time; });
    for (std::size_t k = kKept; k < left.size(); ++k) {
        fs::remove(left[k].copy, error);
        fs::remove(fs::path(left[k].copy).replace_extension(".lock"), error);
    }
    NoPictures none;
    tk::PictureBudget budget;
    for (std::size_t k = 0; k < std::min(kKept, left.size()); ++k) {
        std::string reason;
        const auto bytes = read_file(left[k].copy.string(), kMaxDesignFileBytes, reason);
        if (!bytes) {
            continue;
        }
        auto result = read_design(*bytes, "", none, budget);
        if (const auto* opened = std::get_if<Opened>(&result)) {
            Form1 scratch;
            scratch.start_up();
            scratch.set_design(opened->design);
            Offer offer{left[k].copy.string(), 0, 0, local_time(left[k].time)};
            for (int n = 1; n <= Form1::kSlots; ++n) {
                offer.pictures += scratch.Image(n).has_picture() ? 1 : 0;
            }
            for (int n = 1; n <= Form1::kHotspots; ++n) {
                offer.hotspots += scratch.lbl(n).visible ? 1 : 0;
            }
            offer_ = offer;
            return;
        }
    }
}

void Recovery::restore() {
    if (!offer_) {
        return;
    }
    const Offer offer = *offer_;
    program_.run([this, &offer] {
        if (program_.form1() == nullptr || program_.status_dialog() != nullptr) {
            return;
        }
        std::string reason;
        const auto bytes = read_file(offer.path, kMaxDesignFileBytes, reason);
        if (bytes && designs_.apply(*bytes, offer.path, "")) {
            std::error_code error;
            // Its design lives on in this program's own copy.
            fs::remove(offer.path, error);
            fs::remove(fs::path(offer.path).replace_extension(".lock"), error);
            offer_.reset();
        }
    });
}

void Recovery::follow() {
    const Form1* form = program_.form1();
    if (!started_) {
        started_ = true;
        steps_at_start_ = program_.history().taken();
    } else if (offer_ && program_.history().taken() != steps_at_start_) {
        offer_.reset(); // the user went on with a design of their own
    }
    if (form == nullptr) {
        return; // the last design stays in the copy until a window shows another
    }
    DesignState design = form->design();
    const bool keep = !empty_canvas(*form) && (!designs_.path() || designs_.modified());
    if (last_ && *last_ == design && keep == kept_) {
        return;
    }
    last_ = design;
    kept_ = keep;
    if (keep) {
        written_any_ = true;
        post(std::move(design));
    } else if (written_any_) {
        written_any_ = false;
        post(std::nullopt);
    }
}

void Recovery::post(std::optional<DesignState> design) {
    // No wake-up call: waking a thread costs the UI thread more than the whole step
    // (measured); the writer looks on its own, often enough that a copy lags a moment.
    const std::lock_guard<std::mutex> lock(mutex_);
    pending_ = std::move(design);
}

void Recovery::flush() {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.notify_all();
    idle_.wait(lock, [this] { return !pending_ && !busy_; });
}

void Recovery::write_loop() {
    Form1 scratch; // the writer's own: the program's windows belong to the UI thread
    scratch.start_up();
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait_for(lock, kLooks, [this] { return stop_ || pending_; });
        if (!pending_ && !stop_) {
            continue;
        }
        if (!pending_) {
            return;
        }
        std::optional<DesignState> design = std::move(*pending_);
        pending_.reset();
        busy_ = true;
        lock.unlock();
        if (design) {
            scratch.set_design(*design);
            write_atomically(copy_, write_design(scratch, "", version_));
        } else {
            std::error_code error;
            fs::remove(copy_, error);
        }
        lock.lock();
        busy_ = false;
        idle_.notify_all();
    }
}

} // namespace document
