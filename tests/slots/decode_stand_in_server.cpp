// SPDX-License-Identifier: GPL-2.0-or-later
// A stand-in padscreen-decode for the client's tests: it serves as the real one does, and
// each picture's child runs the shell script named on its command line.

#include "serve.h"

#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 2)
        return 1;
    picture_decode::serve();
    ::execl("/bin/sh", "sh", argv[1], static_cast<char*>(nullptr));
    ::_exit(127);
}
