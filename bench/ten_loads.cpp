// SPDX-License-Identifier: GPL-2.0-or-later
// The program as it runs, under the window system, with a file dialog that
// picks the same photograph ten times: each load goes through the real
// decoder helper, the status dialog is confirmed, and the main window is
// painted with the pictures before the next one. Prints the peak resident
// memory, how many pictures were loaded and their decoded bytes.
//
//   ten_loads PATH
#include "fakes.h"
#include "program.h"
#include "program_view.h"
#include "services.h"
#include "slots/status_dialog.h"

#include "decode/client.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

long status_kib(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0) {
            return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
        }
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: ten_loads PATH\n");
        return 2;
    }
    const std::string path = argv[1];
    QApplication::setQuitOnLastWindowClosed(false);
    padscreen_qt::QtServices qt(picture_decode::default_helper_path());
    fakes::FileDialog files;
    platform::Services services{files, qt.messages, *qt.pictures, qt.writer, qt.app};
    Program program(services);
    padscreen_qt::ProgramView view(program, QIcon());
    view.start();
    int loaded = 0;
    long long decoded = 0;
    QTimer::singleShot(0, [&] {
        for (int k = 0; k < 10; ++k) {
            QApplication::processEvents();
            files.choose(path);
            view.dispatch([&] { program.form1()->cmdNewPicture.click(); });
            QApplication::processEvents();
            if (auto* dialog = program.status_dialog()) {
                view.dispatch([dialog] { dialog->cmdReturn.click(); });
            }
            QApplication::processEvents();
        }
        for (int n = 1; n <= 10; ++n) {
            if (const auto& p = program.form1()->Image(n).picture) {
                ++loaded;
                decoded += 4LL * p->width * p->height;
            }
        }
        QApplication::processEvents();
        std::printf("%ld %d %lld\n", status_kib("VmHWM"), loaded, decoded);
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    return QApplication::exec();
}
