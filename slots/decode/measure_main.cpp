// SPDX-License-Identifier: GPL-2.0-or-later
// padscreen-measure: reads the sizes of pictures measured together from their headers, with
// none of padscreen-decode's libraries: it starts in a fraction of that one's time.
//
// Set up, lock-down, serving and the "PSB1" request are padscreen-decode's (helper_main.cpp);
// every other request is refused. Each picture it answers with "PSD1" and its size, exactly
// what padscreen-decode would measure, or with "PSR1" exit_takes_decoding: whatever it does
// not know for sure, refusals included, goes on to padscreen-decode.

#include "decode_limits.h"
#include "header_size.h"
#include "helper_io.h"
#include "sandbox.h"
#include "serve.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace picture_decode;

[[noreturn]] void fail(const char* why) {
    std::fprintf(stderr, "padscreen-measure: %s\n", why);
    ::_exit(exit_unreadable);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::strcmp(argv[1], serve_argument) != 0) {
        std::fprintf(stderr, "padscreen-measure: the program runs it as: padscreen-measure %s\n",
                     serve_argument);
        return 1;
    }
    limit_server();
    if (!restrict_files({}))
        fail("cannot lock itself down");
    prepare_restrict_calls();
    serve(); // from here on, one request's child
    limit_child();
    if (!restrict_calls())
        fail("cannot lock itself down");

    unsigned char request[20];
    if (!read_all(request_fd, request, sizeof request) || std::memcmp(request, "PSB1", 4) != 0)
        fail("no request");
    const std::uint64_t max_bytes = le64(request + 4);
    std::vector<unsigned char> file;
    const char* stopped = answer_each(le64(request + 12), [&](std::uint64_t bytes) {
        if (bytes > max_file_bytes)
            fail("file too large"); // the rest go to padscreen-decode
        file.resize(static_cast<std::size_t>(bytes));
        if (!read_all(request_fd, file.data(), file.size()))
            fail("the file's bytes ended short");
        const auto found =
            header_size(reinterpret_cast<const std::byte*>(file.data()), file.size(),
                        static_cast<std::size_t>(std::min<std::uint64_t>(max_bytes, SIZE_MAX)));
        return found ? Measured{0, found->width, found->height} : Measured{exit_takes_decoding};
    });
    if (stopped)
        fail(stopped);
    ::_exit(0);
}
