// SPDX-License-Identifier: GPL-2.0-or-later
#include "app_icon.h"
#include "assist_overlay.h"
#include "program_view.h"
#include "services.h"

#include "decode/client.h"
#include "document/command_line.h"
#include "document/document.h"
#include "document/recovery.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QStringList>
#include <fontconfig/fontconfig.h>

#include <cstdio>
#include <optional>
#include <string>
#include <thread>

namespace {

struct Options {
    std::optional<std::string> open; // a design or code file to open at start
    std::optional<std::string> code; // --code FILE
};

// Parsed before any application object exists: --code needs no display. Exits for
// --help, --version and usage errors.
Options parse(int argc, char** argv) {
    QStringList arguments;
    for (int k = 0; k < argc; ++k) {
        arguments << QString::fromLocal8Bit(argv[k]);
    }
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Designs one screen of a signature pad's 240 x 128 LCD."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption code(
        QStringLiteral("code"),
        QStringLiteral("Write the code of a design or code file to standard output, "
                       "exactly as \"Write To Text File\" saves it, and exit."),
        QStringLiteral("FILE"));
    parser.addOption(code);
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("A design (.padscreen) or code file to open."),
                                 QStringLiteral("[FILE]"));
    // No application object exists yet, so the parser knows no program name.
    const auto help_text = [&parser] {
        return parser.helpText().replace(QStringLiteral("<executable_name>"),
                                         QStringLiteral("padscreen"));
    };
    const auto usage = [&help_text](const QString& error) {
        std::fprintf(stderr, "padscreen: %s\n%s", qPrintable(error), qPrintable(help_text()));
        std::exit(2);
    };
    if (!parser.parse(arguments)) {
        usage(parser.errorText());
    }
    // Qt's own options (--help-all) would need a display to list.
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(qPrintable(help_text()), stdout);
        std::exit(0);
    }
    if (parser.isSet(version)) {
        std::printf("padscreen %s\n", PADSCREEN_VERSION);
        std::exit(0);
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1 || (parser.isSet(code) && !files.isEmpty())) {
        usage(QStringLiteral("one file at most"));
    }
    Options options;
    if (parser.isSet(code)) {
        options.code = parser.value(code).toLocal8Bit().toStdString();
    } else if (!files.isEmpty()) {
        options.open = files.first().toLocal8Bit().toStdString();
    }
    return options;
}

// --code: no application object, no display; pictures are only measured.
int write_code(const std::string& path) {
    const std::string helper = picture_decode::default_helper_path();
    picture_decode::HelperPictureLoader loader(helper);
    loader.set_measure_only(true);
    if (!helper.empty())
        loader.set_measure_helper(picture_decode::measure_helper_beside(helper));
    loader.prepare(); // the decoder sets up while the file is read
    const document::CodeRun run = document::code_of_file(path, loader);
    if (run.status != 0) {
        std::fputs(run.error.c_str(), stderr);
        return run.status;
    }
    if (std::fwrite(run.out.data(), 1, run.out.size(), stdout) != run.out.size() ||
        std::fflush(stdout) != 0) {
        std::perror("padscreen: standard output");
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    const Options options = parse(argc, argv);
    if (options.code) {
        return write_code(*options.code);
    }
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
    document::Document document(
        {services.services, PADSCREEN_VERSION, document::recovery_folder(),
         static_cast<float>(QApplication::startDragDistance()) * tk::kTwipsPerPixel});
    padscreen_qt::ProgramView view(document.program(), icon);
    view.assist().set_document(&document);
    fonts.join();
    view.start();
    if (options.open) {
        view.dispatch([&document, &options] { document.open_path(*options.open); });
    }
    return QApplication::exec();
}
