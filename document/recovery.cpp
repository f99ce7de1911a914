// SPDX-License-Identifier: GPL-2.0-or-later
#include "document/recovery.h"

#include "document/design_file.h"
#include "document/document.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>
#include <variant>
#include <vector>

namespace fs = std::filesystem;

namespace document {

namespace {

// Copies of ended programs kept for later starts, and read at one start: the
// newest first, so a folder full of old copies costs one listing.
constexpr std::size_t kKept = 3;
constexpr std::size_t kRead = 3;
// Copies and locks of ended programs removed at one start, at most.
constexpr std::size_t kTidy = 256;

// Takes the lock of a program that ended and removes its file; false while the
// program that holds it runs. A lock file is made locked (see the constructor),
// so one that is not held belongs to no one.
bool remove_if_stale(const fs::path& lock) {
    const int fd = ::open(lock.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    ::unlink(lock.c_str());
    if (fd >= 0) {
        ::close(fd);
    }
    return true;
}

std::string failure_text(int error) { return std::generic_category().message(error); }

// Replaces path with bytes: a temporary file beside it, renamed over it. In
// place before it is flushed: a flush can wait long on a busy disk, and a program
// killed meanwhile must still leave the step it took (the rename over an old
// copy is what filesystems order after the data). Neither follows a link planted
// in their place: the temporary is made anew, and a rename replaces a link
// instead of writing through it. The open file, still to be flushed, or the
// failure's reason.
std::variant<int, std::string> write_in_place(const fs::path& path, const std::string& bytes) {
    const fs::path temporary = path.string() + ".new";
    ::unlink(temporary.c_str());
    const int fd =
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        return failure_text(errno);
    }
    int error = 0;
    std::size_t done = 0;
    while (error == 0 && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EINTR) {
            error = errno;
        } else if (n == 0) {
            error = ENOSPC;
        }
    }
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::close(fd);
        ::unlink(temporary.c_str());
        return failure_text(error);
    }
    return fd;
}

// Flushes a copy written in place, and its folder, and closes it.
std::optional<std::string> flush_to_disk(int fd, const std::string& folder) {
    const int error = ::fsync(fd) != 0 ? errno : 0;
    ::close(fd);
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return error != 0 ? std::optional<std::string>(failure_text(error)) : std::nullopt;
}

std::string local_time(const timespec& when) {
    const std::time_t t = when.tv_sec;
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

// What a copy holds, for the offer; nullopt when it cannot be read as a design.
std::optional<Offer> read_offer(const fs::path& copy, const timespec& time) {
    try {
        std::string reason;
        const auto bytes = read_file(copy.string(), kMaxDesignFileBytes, reason);
        if (!bytes) {
            return std::nullopt;
        }
        const auto parsed = parse_design(*bytes);
        const auto* p = std::get_if<Parsed>(&parsed);
        if (p == nullptr) {
            return std::nullopt;
        }
        Offer offer{copy.string(), static_cast<int>(p->design.pictures.size()),
                    static_cast<int>(p->design.hotspots.size()), local_time(time)};
        return offer;
    } catch (const std::exception&) {
        return std::nullopt; // no copy stops a start
    }
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
    // This program's copy and the lock that says it runs.
    const std::string name =
        "design-" + std::to_string(::getpid()) + "-" +
        std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    copy_ = (fs::path(folder_) / (name + ".padscreen")).string();
    // Locked before it takes its name: a lock file that is not held is stale.
    const fs::path lock = fs::path(folder_) / (name + ".lock");
    const fs::path unnamed = lock.string() + ".new";
    lock_fd_ = ::open(unnamed.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lock_fd_ >= 0 && (::flock(lock_fd_, LOCK_EX | LOCK_NB) != 0 ||
                          ::rename(unnamed.c_str(), lock.c_str()) != 0)) {
        ::unlink(unnamed.c_str());
        ::close(lock_fd_);
        lock_fd_ = -1;
    }
    writer_ = std::thread([this] { write_loop(); });
    flusher_ = std::thread([this] { flush_loop(); });
    document_.program().on_rest([this] { follow(); });
}

Recovery::~Recovery() {
    if (scanner_.joinable()) {
        scanner_.join();
    }
    flush();
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    wake_flusher_.notify_all();
    writer_.join();
    flusher_.join();
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
        std::string name; // shared with its lock
        timespec time;
    };
    std::vector<Found> left;
    std::vector<std::string> copies; // by the name a copy shares with its lock
    std::vector<std::string> locks;
    // One listing and one stat a copy, relative to the open folder: a folder of
    // thousands costs the start as little as it can.
    const auto stem = [](std::string_view file, std::string_view extension) {
        return file.size() > extension.size() && file.ends_with(extension)
                   ? std::optional<std::string>(file.substr(0, file.size() - extension.size()))
                   : std::nullopt;
    };
    if (DIR* dir = ::opendir(folder_.c_str())) {
        const int fd = ::dirfd(dir);
        while (const dirent* entry = ::readdir(dir)) {
            struct stat info {};
            if (auto lock = stem(entry->d_name, ".lock")) {
                locks.push_back(std::move(*lock));
            } else if (auto copy = stem(entry->d_name, ".padscreen");
                       copy && ::fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                       S_ISREG(info.st_mode)) {
                copies.push_back(*copy);
                left.push_back({std::move(*copy), info.st_mtim});
            }
        }
        ::closedir(dir);
    }
    std::sort(left.begin(), left.end(), [](const Found& a, const Found& b) {
        return a.time.tv_sec != b.time.tv_sec ? a.time.tv_sec > b.time.tv_sec
                                              : a.time.tv_nsec > b.time.tv_nsec;
    });
    std::sort(copies.begin(), copies.end());
    std::sort(locks.begin(), locks.end());
    std::vector<bool> lock_taken(locks.size());
    // Whether the program that wrote a copy ended; its lock then goes.
    const auto ended = [this, &locks, &lock_taken](const std::string& name) {
        const auto it = std::lower_bound(locks.begin(), locks.end(), name);
        const auto k = static_cast<std::size_t>(it - locks.begin());
        if (it == locks.end() || *it != name || lock_taken[k]) {
            return true;
        }
        lock_taken[k] = true;
        return remove_if_stale(fs::path(folder_) / (name + ".lock"));
    };
    // Past the copies it needs a start tidies only so much: a folder that ended
    // programs filled empties over a few starts, none of them slow.
    std::size_t tidy = kTidy;
    std::size_t kept = 0;
    std::size_t read = 0;
    std::error_code error;
    for (const Found& found : left) {
        if (kept == kKept) {
            if (tidy == 0) {
                break;
            }
            --tidy;
        }
        if (!ended(found.name)) {
            continue; // another program's, running now
        }
        const fs::path copy = fs::path(folder_) / (found.name + ".padscreen");
        if (kept == kKept) {
            fs::remove(copy, error);
            continue;
        }
        if (!offer_ && read < kRead) {
            ++read;
            offer_ = read_offer(copy, found.time);
            if (!offer_) {
                // Kept for whoever wants to look, where no start reads it again.
                fs::rename(copy, copy.string() + ".unreadable", error);
                continue;
            }
        }
        ++kept;
    }
    // Locks whose copy is gone.
    for (std::size_t k = 0; k < locks.size() && tidy > 0; ++k) {
        if (!lock_taken[k] && !std::binary_search(copies.begin(), copies.end(), locks[k])) {
            --tidy;
            remove_if_stale(fs::path(folder_) / (locks[k] + ".lock"));
        }
    }
}

void Recovery::look_through() {
    if (!scanner_.joinable()) {
        scanner_ = std::thread([this] { scan(); });
    }
}

std::optional<Offer> Recovery::offer() {
    look_through();
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return scanned_; });
    return offer_;
}

std::optional<Offer> Recovery::offer_if_found() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return scanned_ ? offer_ : std::nullopt;
}

void Recovery::on_offer_found(std::function<void()> found) {
    const std::lock_guard<std::mutex> lock(mutex_);
    found_ = std::move(found);
}

bool Recovery::take_offer(Document& document, std::optional<Belonging>& belonging) {
    if (!offer()) {
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
    } else if (program.history().taken() != steps_at_start_) {
        // The user went on with a design of their own.
        const std::lock_guard<std::mutex> lock(mutex_);
        offer_dropped_ = true;
        if (scanned_) {
            offer_.reset();
        }
    }
    if (form == nullptr) {
        return; // the last design stays in the copy until a window shows another
    }
    // The state the history took at this rest, shared; a design changed in an
    // action not yet over (a load waiting for its dialog) is taken here.
    History::Snapshot state = program.history().resting();
    if (!state) {
        state = std::make_shared<const FormState>(FormState{form->design(), {}});
    }
    Asked asked{std::move(state), document_.belonging(), document_.pending_slot()};
    bool empty = true;
    for (int n = 1; n <= Form1::kSlots; ++n) {
        empty = empty && !form->Image(n).picture;
    }
    for (int k = 1; k <= Form1::kHotspots; ++k) {
        empty = empty && !form->lbl(k).visible;
    }
    const bool keep = !empty && asked.belonging.modified;
    if (asked_ && keep == kept_ && asked_->belonging == asked.belonging &&
        asked_->pending_slot == asked.pending_slot &&
        (asked_->state == asked.state || asked_->state->design == asked.state->design)) {
        return;
    }
    asked_ = asked;
    kept_ = keep;
    if (keep) {
        written_any_ = true;
        post(std::move(asked));
    } else if (written_any_) {
        written_any_ = false;
        post(std::nullopt);
    }
}

void Recovery::post(std::optional<Asked> asked) {
    bool was_idle = false;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        was_idle = !pending_;
        pending_ = std::move(asked);
    }
    // A design that replaces one not yet taken needs no second call.
    if (was_idle) {
        wake_.notify_one();
    }
}

void Recovery::flush() {
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return !pending_ && !busy_ && unflushed_ < 0 && !flushing_; });
}

std::optional<std::string> Recovery::take_write_failure() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(failure_, std::nullopt);
}

void Recovery::scan() {
    // Behind the start, its first paint and the display server; the offer shows
    // once it is found. The lowest niceness still gets a turn on a busy machine,
    // where Ctrl+R waits for it.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
    find_offer();
    std::unique_lock<std::mutex> lock(mutex_);
    scanned_ = true;
    if (offer_dropped_) {
        offer_.reset();
    }
    idle_.notify_all();
    if (const std::function<void()> found = found_) {
        lock.unlock();
        found();
    }
}

void Recovery::write_loop() {
    // The file's design is made here, off the program's thread, on a form of the
    // writer's own.
    std::unique_ptr<Form1> form;
    std::optional<Copy> written; // what the copy on disk holds
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || pending_; });
        if (!pending_) {
            return;
        }
        std::optional<Asked> asked = std::move(*pending_);
        pending_.reset();
        busy_ = true;
        lock.unlock();
        std::optional<std::variant<int, std::string>> wrote; // the copy to flush, or why not
        if (asked) {
            if (!form) {
                form = std::make_unique<Form1>();
            }
            form->set_design(asked->state->design);
            Copy copy{design_of(*form, asked->pending_slot), asked->belonging};
            // Pixels count against the budget while anyone holds them: none are
            // held here past this point, not while the copy is written.
            asked->state.reset();
            for (int n = 1; n <= Form1::kSlots; ++n) {
                form->Image(n).picture.reset();
            }
            form->picHold.picture.reset();
            // A change the file does not hold (a selection) writes nothing.
            if (!written || !(*written == copy)) {
                written = copy;
                // Absolute paths: the next program may start in any folder.
                for (PictureEntry& p : copy.design.pictures) {
                    p.path = resolve_path(p.path, "");
                }
                wrote = write_in_place(copy_,
                                       write_design(copy.design, "", version_, {}, copy.belonging));
                if (std::holds_alternative<std::string>(*wrote)) {
                    written.reset();
                }
            }
        } else {
            written.reset();
            std::error_code error;
            fs::remove(copy_, error);
        }
        lock.lock();
        if (wrote) {
            ++writes_;
            if (const int* fd = std::get_if<int>(&*wrote)) {
                // A copy replaced before its flush needs none: the newer one has it.
                if (unflushed_ >= 0) {
                    ::close(unflushed_);
                }
                unflushed_ = *fd;
                unflushed_write_ = writes_;
                wake_flusher_.notify_one();
            } else {
                fail(std::get<std::string>(*wrote));
            }
        }
        busy_ = false;
        idle_.notify_all();
    }
}

void Recovery::flush_loop() {
    // The writer's flushes, on a thread of their own: a busy disk can hold a flush
    // back for longer than a frame, and the next step's copy must not wait for it.
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_flusher_.wait(lock, [this] { return stop_ || unflushed_ >= 0; });
        if (unflushed_ < 0) {
            return;
        }
        const int fd = std::exchange(unflushed_, -1);
        const std::uint64_t write = unflushed_write_;
        flushing_ = true;
        lock.unlock();
        const std::optional<std::string> failure = flush_to_disk(fd, folder_);
        lock.lock();
        if (failure) {
            fail(*failure);
        } else if (write == writes_) {
            // Only the newest write ends a run of failures: one that failed
            // after this copy was handed over is still the last word.
            failing_ = false;
        }
        flushing_ = false;
        idle_.notify_all();
    }
}

void Recovery::fail(const std::string& reason) {
    if (!failing_) {
        failure_ = "The recovery copy could not be written: " + reason;
    }
    failing_ = true;
}

} // namespace document
