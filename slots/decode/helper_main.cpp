// SPDX-License-Identifier: GPL-2.0-or-later
// padscreen-decode: decodes pictures for the program, each in a locked-down child of its own.
//
// It sets itself up once (Qt, plugins, fonts unless --no-fonts; limits; Landlock) and then
// serves (serve.h): each picture is decoded by a child forked from that state, which finishes
// the lock-down before it reads a byte of the file. A child has:
//   fd 0  the request: "PSQ1", uint64 most pixel bytes, uint64 file size, the file's bytes;
//         or "PSM1", the same, to learn the picture's size only: no pixels are decoded,
//         and the bytes may be the file's first ones only;
//         or "PSB1", uint64 most pixel bytes, uint64 count, then for each of count pictures
//         uint64 size and that many of its first bytes: sizes read from headers alone;
//   fd 3  a pipe for the answer: "PSD1", uint32 width, uint32 height (on success, exit 0);
//         for "PSB1" one such answer a picture, as each is measured, or "PSR1", uint32 the
//         exit status its own child would have ended with, uint32 0;
//   fd 4  an empty memory file that receives width * height uint32 pixels 0xAARRGGBB.
// Integers in the headers are little-endian; the pixels are in the machine's own order,
// since only this machine reads them. On failure: no answer, a reason on stderr, and an exit
// status from decode_limits.h.

#include "decode.h"
#include "helper_io.h"
#include "sandbox.h"
#include "serve.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QtGlobal>

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <vector>

#ifdef PADSCREEN_DECODE_TESTHOOK
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#endif

namespace {

using namespace picture_decode;

void quiet_messages(QtMsgType, const QMessageLogContext&, const QString& message) {
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

// Ends the process without running destructors or exit handlers: after the lock-down they
// could make calls the filter kills, and there is nothing left to clean up.
[[noreturn]] void finish(int code) { ::_exit(code); }

[[noreturn]] void fail(const char* why, int status = picture_decode::exit_unreadable) {
    std::fprintf(stderr, "padscreen-decode: %s\n", why);
    finish(status);
}

int exit_status_for(picture_decode::Refusal refusal) {
    switch (refusal) {
    case picture_decode::Refusal::not_a_picture:
        return picture_decode::exit_not_a_picture;
    case picture_decode::Refusal::too_large:
        return picture_decode::exit_too_large;
    case picture_decode::Refusal::out_of_memory:
        return picture_decode::exit_out_of_memory;
    case picture_decode::Refusal::needs_fonts:
        return picture_decode::exit_needs_fonts;
    case picture_decode::Refusal::takes_decoding:
        return picture_decode::exit_takes_decoding;
    case picture_decode::Refusal::unreadable:
        break;
    }
    return picture_decode::exit_unreadable;
}

// The pixels go straight into the memory file the program will map.
std::uint32_t* map_pixels(int width, int height) {
    const std::size_t bytes =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    if (::ftruncate(pixels_fd, static_cast<off_t>(bytes)) != 0)
        return nullptr;
    // Populated at once: cheaper than a page fault for every 4 KiB the decoder writes.
    void* map =
        ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, pixels_fd, 0);
    return map == MAP_FAILED ? nullptr : static_cast<std::uint32_t*>(map);
}

#ifdef PADSCREEN_DECODE_TESTHOOK
// Test builds only: a file that starts with "testhook:" names something the lock-down
// must stop, by killing the helper or by failing the call. Exit status 42: it was let
// through; 43: the call failed.
[[noreturn]] void let_through(bool done) {
    std::fprintf(stderr, "padscreen-decode: test hook: %s\n", done ? "let through" : "refused");
    finish(done ? 42 : 43);
}

// Asks for SIGKILL to pid whenever the program reads from the answer pipe, filled so that
// the read wakes its writer; stays a while so that the program gets to read.
bool signal_through_descriptor(pid_t pid) {
    bool asked = ::fcntl(answer_fd, F_SETOWN, pid) == 0 &&
                 ::fcntl(answer_fd, F_SETSIG, SIGKILL) == 0 &&
                 ::fcntl(answer_fd, F_SETFL, O_ASYNC | O_NONBLOCK) == 0;
    const std::vector<unsigned char> filler(1 << 16, 'x');
    while (asked && ::write(answer_fd, filler.data(), filler.size()) > 0) {
    }
    const timespec pause{0, 500'000'000};
    ::nanosleep(&pause, nullptr);
    return asked;
}

void test_hook(const std::vector<unsigned char>& file) {
    const std::string text(file.begin(), file.end());
    const std::string prefix = "testhook:";
    if (text.rfind(prefix, 0) != 0)
        return;
    const std::string action = text.substr(prefix.size(), text.find(' ') - prefix.size());
    const std::string argument = text.substr(text.find(' ') + 1);
    if (action == "open-write") {
        ::open(argument.c_str(), O_WRONLY | O_CREAT, 0600);
    } else if (action == "execve") {
        char* const args[] = {const_cast<char*>(argument.c_str()), nullptr};
        ::execve(argument.c_str(), args, nullptr);
    } else if (action == "connect") {
        const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, argument.c_str(), sizeof(address.sun_path) - 1);
        // The sandbox must end it here: there is no result to look at.
        (void)::connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    } else if (action == "hang") {
        for (const timespec pause{1, 0};;)
            ::nanosleep(&pause, nullptr);
    } else if (action == "fork") {
        if (::fork() == 0)
            finish(0);
    } else if (action == "setown") {
        let_through(signal_through_descriptor(std::stoi(argument)));
    } else if (action == "prlimit") {
        const rlimit one_second{1, 1};
        let_through(::prlimit(std::stoi(argument), RLIMIT_CPU, &one_second, nullptr) == 0);
    } else if (action == "open-read") {
        const std::string path =
            argument == "parent-mem" ? "/proc/" + std::to_string(::getppid()) + "/mem" : argument;
        let_through(::open(path.c_str(), O_RDONLY) >= 0);
    } else if (action == "grow") {
        // One byte just past the largest answer.
        const auto past = static_cast<off_t>(picture_decode::max_pixel_bytes);
        let_through(::lseek(pixels_fd, past, SEEK_SET) == past && ::write(pixels_fd, "x", 1) == 1);
    } else {
        return;
    }
    fail("test hook: the filter let it through");
}
#endif

// One picture's size, or the exit status that tells why there is none, and why.
struct Outcome {
    int status = 0;
    std::string why;
    int width = 0;
    int height = 0;
};

// Reads a picture of size bytes from fd into file and decodes or measures it.
Outcome take(int fd, std::uint64_t size, std::vector<unsigned char>& file, std::uint64_t max_bytes,
             bool measure, bool header_only = false) {
    if (size > picture_decode::max_file_bytes)
        fail("file too large", picture_decode::exit_too_large);
    file.resize(static_cast<std::size_t>(size));
    if (!read_all(fd, file.data(), file.size()))
        fail("the file's bytes ended short");
#ifdef PADSCREEN_DECODE_TESTHOOK
    test_hook(file);
#endif
    const auto* bytes = reinterpret_cast<const std::byte*>(file.data());
    picture_decode::Decoded decoded;
    try {
        decoded =
            measure ? picture_decode::measure(bytes, file.size(),
                                              static_cast<std::size_t>(max_bytes), header_only)
                    : picture_decode::decode_into(bytes, file.size(),
                                                  static_cast<std::size_t>(max_bytes), map_pixels);
    } catch (const std::bad_alloc&) {
        return {picture_decode::exit_out_of_memory, "out of memory"};
    }
    if (!decoded.ok)
        return {exit_status_for(decoded.refusal), decoded.error};
    return {0, {}, decoded.width, decoded.height};
}

void answer_or_fail(const char (&tag)[5], int first, int second) {
    if (!picture_decode::answer(tag, first, second))
        fail("cannot write the answer");
}

} // namespace

int main(int argc, char** argv) {
    const bool serving = argc >= 2 && std::strcmp(argv[1], picture_decode::serve_argument) == 0;
    const bool no_fonts = argc == 3 && std::strcmp(argv[2], picture_decode::no_fonts_argument) == 0;
    if (!serving || (argc == 3 && !no_fonts) || argc > 3) {
        std::fprintf(stderr, "padscreen-decode: the program runs it as: padscreen-decode %s [%s]\n",
                     picture_decode::serve_argument, picture_decode::no_fonts_argument);
        return 1;
    }
    limit_server();

    qInstallMessageHandler(quiet_messages);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qt_argc = 1;
    // Without fonts nothing draws: the display integration and the font database stay out.
    std::optional<QCoreApplication> core;
    std::optional<QGuiApplication> gui;
    if (no_fonts)
        core.emplace(qt_argc, argv);
    else
        gui.emplace(qt_argc, argv);
    picture_decode::prepare_decoders(!no_fonts);
    if (!picture_decode::restrict_files(no_fonts ? std::vector<std::string>{}
                                                 : picture_decode::readable_folders()))
        fail("cannot lock itself down");
    picture_decode::prepare_restrict_calls();
    picture_decode::serve(); // from here on, one picture's child
    limit_child();
    if (!picture_decode::restrict_calls())
        fail("cannot lock itself down");

    unsigned char request[20];
    if (!read_all(request_fd, request, sizeof request))
        fail("no request");
    const bool together = std::memcmp(request, "PSB1", 4) == 0;
    const bool measure = together || std::memcmp(request, "PSM1", 4) == 0;
    if (!measure && std::memcmp(request, "PSQ1", 4) != 0)
        fail("no request");
    const std::uint64_t max_bytes = le64(request + 4);
    std::vector<unsigned char> file;
    if (!together) {
        const Outcome outcome = take(request_fd, le64(request + 12), file, max_bytes, measure);
        if (outcome.status != 0)
            fail(outcome.why.c_str(), outcome.status);
        answer_or_fail("PSD1", outcome.width, outcome.height);
        finish(0);
    }
    const char* stopped = answer_each(le64(request + 12), [&](std::uint64_t size) {
        const Outcome outcome = take(request_fd, size, file, max_bytes, true, true);
        return Measured{outcome.status, outcome.width, outcome.height};
    });
    if (stopped)
        fail(stopped);
    finish(0);
}
