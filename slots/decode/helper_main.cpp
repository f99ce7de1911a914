// padscreen-decode <path>: decodes one picture file and writes its pixels to stdout.
//
// Answer on success (exit 0): "PSD1", uint32 width, uint32 height, then width*height
// uint32 pixels 0xAARRGGBB, all little-endian. On failure: nothing on stdout, a reason
// on stderr, exit 1. The program runs this in a separate process so that a decoder
// crashing, hanging or eating memory on a hostile file cannot take the program down.

#include "decode.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QtGlobal>

#include <sys/resource.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdio>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define PADSCREEN_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PADSCREEN_ASAN 1
#endif
#endif

namespace {

void set_limit(int resource, rlim_t value) {
    const rlimit limit{value, value};
    if (setrlimit(resource, &limit) != 0)
        std::perror("setrlimit");
}

void limit_self() {
#ifndef PADSCREEN_ASAN
    // AddressSanitizer reserves terabytes of address space for its shadow memory.
    set_limit(RLIMIT_AS, rlim_t{1} << 30);
#endif
    set_limit(RLIMIT_CPU, 10);
    set_limit(RLIMIT_CORE, 0);
}

void quiet_messages(QtMsgType, const QMessageLogContext&, const QString& message) {
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

void put_u32(std::vector<unsigned char>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<unsigned char>(value >> shift));
}

bool write_all(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool write_answer(int fd, tk::Picture& picture) {
    std::vector<unsigned char> header{'P', 'S', 'D', '1'};
    put_u32(header, static_cast<std::uint32_t>(picture.width));
    put_u32(header, static_cast<std::uint32_t>(picture.height));
    if constexpr (std::endian::native == std::endian::big) {
        for (auto& pixel : picture.argb)
            pixel = __builtin_bswap32(pixel);
    }
    return write_all(fd, header.data(), header.size()) &&
           write_all(fd, reinterpret_cast<const unsigned char*>(picture.argb.data()),
                     picture.argb.size() * sizeof(std::uint32_t));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: padscreen-decode <path>\n");
        return 1;
    }
    limit_self();

    // stdout carries the answer only: whatever a library prints goes to stderr instead.
    const int answer_fd = ::dup(STDOUT_FILENO);
    if (answer_fd < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        std::perror("padscreen-decode");
        return 1;
    }

    qInstallMessageHandler(quiet_messages);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt sees no arguments: a path like "-platform" must stay a path.
    int qt_argc = 1;
    QGuiApplication app(qt_argc, argv);

    picture_decode::DecodeResult result = picture_decode::decode_file(argv[1]);
    if (!result.ok) {
        std::fprintf(stderr, "padscreen-decode: %s\n", result.error.c_str());
        return 1;
    }
    if (!write_answer(answer_fd, result.picture)) {
        std::perror("padscreen-decode: writing the answer");
        return 1;
    }
    return 0;
}
