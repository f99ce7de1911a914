// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

// The main window full of design, for the paint benchmarks: ten pictures of
// one size shown at another, staggered; ten red hotspots, the markers and the
// band's lines, all shown.
#include "fakes.h"
#include "document/document.h"
#include "program.h"
#include "program_view.h"

#include <QCoreApplication>

#include <cstdint>
#include <memory>
#include <string>

struct DesignScene {
    struct Layout {
        int picture_width;
        int picture_height;
        float shown_width; // twips
        float shown_height;
        float step_x; // between one picture's corner and the next
        float step_y;
    };

    fakes::Platform platform;
    document::Document document;
    Program& program = document.program();
    padscreen_qt::ProgramView view{program, QIcon()};

    // recovery_folder: where the program keeps its copies; empty: none.
    explicit DesignScene(const Layout& layout, const std::string& recovery_folder = "")
        : document({platform.services, "bench", recovery_folder}) {
        view.start();
        Form1& form = *program.form1();
        auto picture = std::make_shared<tk::Picture>();
        picture->width = layout.picture_width;
        picture->height = layout.picture_height;
        picture->argb.resize(static_cast<std::size_t>(layout.picture_width) *
                             static_cast<std::size_t>(layout.picture_height));
        for (std::size_t k = 0; k < picture->argb.size(); ++k) {
            picture->argb[k] = 0xFF000000U | static_cast<std::uint32_t>(k * 2654435761U >> 8);
        }
        for (int n = 1; n <= 10; ++n) {
            const auto f = static_cast<float>(n);
            tk::Image& image = form.Image(n);
            image.picture = picture;
            image.tag = "picture" + std::to_string(n) + ".bmp";
            form.strFileName(n) = Variant("picture" + std::to_string(n));
            image.visible = true;
            image.drag_mode = tk::Image::kAutomatic;
            image.left = layout.step_x * f;
            image.top = layout.step_y * f;
            image.width = layout.shown_width;
            image.height = layout.shown_height;
            tk::Label& label = form.lbl(n);
            label.visible = true;
            label.back_color = 0x0000FF; // red: a hotspot, not selected
            label.left = 720.0F * f;
            label.top = 480;
            label.width = 600;
            label.height = 400;
        }
        for (int m = 1; m <= 4; ++m) {
            form.lblPicture(m).visible = true;
            form.lblPicture(m).left = 4500.0F + 600.0F * static_cast<float>(m);
            form.lblPicture(m).top = 3000;
        }
        for (int m = 1; m <= 8; ++m) {
            tk::Line& line = form.lin(m);
            line.visible = true;
            const float y = 600.0F * static_cast<float>(m);
            line.x1 = 300;
            line.x2 = 6000;
            line.y1 = y;
            line.y2 = y;
        }
        view.dispatch([] {});
        settle();
    }
    padscreen_qt::WindowView& form_view() { return *view.view(program.form1()->id()); }

    // One turn of the event loop: input done, pending paints painted.
    static void settle() { QCoreApplication::processEvents(); }
};
