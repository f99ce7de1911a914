// SPDX-License-Identifier: GPL-2.0-or-later
// The baselines of start-up: the least a Qt program does to show a window of
// the main window's size (831 x 511 pixels); with "controls", the same window
// holding what the main window shows at start (six buttons, an editable combo
// box, a caption, in the same font), so that what the toolkit itself needs for
// those can be told apart from what the program adds.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include <cstring>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(831, 511);
    if (argc > 1 && std::strcmp(argv[1], "controls") == 0) {
        QFont font(QStringLiteral("Liberation Sans Narrow"));
        font.setPixelSize(13);
        window.setFont(font);
        const char* captions[] = {"&Load Image",  "C&reate Hotspot", "&Delete Image",
                                  "D&elete Hotspot", "&Create Code", "Re&set All"};
        for (int k = 0; k < 6; ++k) {
            auto* button = new QPushButton(QString::fromLatin1(captions[k]), &window);
            button->setGeometry(656 + (k % 2) * 88, 8 + (k / 2) * 35, 81, 25);
        }
        auto* caption = new QLabel(QStringLiteral("Image Hotspot Enable"), &window);
        caption->setGeometry(669, 112, 150, 16);
        auto* combo = new QComboBox(&window);
        combo->setEditable(true);
        combo->setGeometry(668, 132, 145, 21);
    }
    window.show();
    return QApplication::exec();
}
