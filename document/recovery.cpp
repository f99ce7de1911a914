// SPDX-License-Identifier: GPL-2.0-or-later
#include "document/recovery.h"

#include "document/design_file.h"
#include "document/document.h"

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

Recovery::Recovery(Document& document, std::string folder, std::string version)
    : document_(document), folder_(std::move(folder)), version_(std::move(version)) {
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
    document_.program().on_rest([this] { follow(); });
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
    for (std::size_t k = 0; k < std::min(kKept, left.size()); ++k) {
        std::string reason;
        const auto bytes = read_file(left[k].copy.string(), kMaxDesignFileBytes, reason);
        if (!bytes) {
            continue;
        }
        const auto parsed = parse_design(*bytes);
        if (const auto* p = std::get_if<Parsed>(&parsed)) {
            offer_ = Offer{left[k].copy.string(), static_cast<int>(p->design.pictures.size()),
                           static_cast<int>(p->design.hotspots.size()), local_time(left[k].time)};
            return;
        }
    }
}

bool Recovery::take_offer(Document& document, std::optional<Belonging>& belonging) {
    if (!offer_) {
        return false;
    }
    const std::string path = offer_->path;
    std::string reason;
    const auto bytes = read_file(path, kMaxDesignFileBytes, reason);
    if (!bytes || !document.apply(*bytes, path, "", &belonging)) {
        return false;
    }
    std::error_code error;
    // Its design lives on in this program's own copy.
    fs::remove(path, error);
    fs::remove(fs::path(path).replace_extension(".lock"), error);
    offer_.reset();
    return true;
}

void Recovery::follow() {
    const Program& program = document_.program();
    const Form1* form = program.form1();
    if (!started_) {
        started_ = true;
        steps_at_start_ = program.history().taken();
    } else if (offer_ && program.history().taken() != steps_at_start_) {
        offer_.reset(); // the user went on with a design of their own
    }
    if (form == nullptr) {
        return; // the last design stays in the copy until a window shows another
    }
    Copy copy{design_of(*form, document_.pending_slot()), document_.belonging()};
    const bool empty = copy.design.pictures.empty() && copy.design.hotspots.empty();
    const bool keep = !empty && copy.belonging.modified;
    if (last_ && *last_ == copy && keep == kept_) {
        return;
    }
    last_ = copy;
    kept_ = keep;
    if (keep) {
        written_any_ = true;
        post(std::move(copy));
    } else if (written_any_) {
        written_any_ = false;
        post(std::nullopt);
    }
}

void Recovery::post(std::optional<Copy> design) {
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
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait_for(lock, kLooks, [this] { return stop_ || pending_; });
        if (!pending_ && !stop_) {
            continue;
        }
        if (!pending_) {
            return;
        }
        std::optional<Copy> design = std::move(*pending_);
        pending_.reset();
        busy_ = true;
        lock.unlock();
        if (design) {
            // Absolute paths: the next program may start in any folder.
            for (PictureEntry& p : design->design.pictures) {
                p.path = resolve_path(p.path, "");
            }
            write_atomically(copy_,
                             write_design(design->design, "", version_, {}, design->belonging));
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
