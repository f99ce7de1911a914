// SPDX-License-Identifier: GPL-2.0-or-later
#include "app_icon.h"
#include "program.h"
#include "program_view.h"
#include "services.h"

#include "decode/client.h"

#include <QApplication>
#include <fontconfig/fontconfig.h>

#include <thread>

int main(int argc, char* argv[]) {
    // Fontconfig reads its configuration (a few milliseconds) while the toolkit
    // connects to the display, so the first caption laid out finds it ready.
    std::thread fonts([] { FcInit(); });
    QApplication app(argc, argv);
    // Every window without an icon of its own shows the program's; the desktop
    // entry of the same name gives the window its menu name and icon.
    const QIcon icon = padscreen_qt::application_icon();
    QApplication::setWindowIcon(icon);
    QGuiApplication::setDesktopFileName(QString::fromLatin1(padscreen_qt::application_id()));
    // The program ends when its model says so, not when a view closes.
    QApplication::setQuitOnLastWindowClosed(false);
    padscreen_qt::QtServices services(picture_decode::default_helper_path());
    Program program(services.services,
                    static_cast<float>(QApplication::startDragDistance()) * tk::kTwipsPerPixel);
    padscreen_qt::ProgramView view(program, icon);
    fonts.join();
    view.start();
    return QApplication::exec();
}
