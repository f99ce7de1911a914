// SPDX-License-Identifier: GPL-2.0-or-later
// The baseline of start-up: the least a Qt program does to show a window of
// the main window's size (831 x 511 pixels).
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(831, 511);
    window.show();
    return QApplication::exec();
}
