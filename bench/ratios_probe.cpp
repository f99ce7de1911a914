// SPDX-License-Identifier: GPL-2.0-or-later
// The in-process halves of bench/ratios: each measure runs side by side with
// its baseline, alternately, and prints the two medians as "name value" lines
// (milliseconds). Run under QT_QPA_PLATFORM=offscreen: painting is measured
// into the same kind of backing store for the program and for its baseline.
//
//   ratios_probe jpeg PATH            writes the 4000 x 3000 test photograph
//   ratios_probe load PATH HELPER N   a load as the program does it, from the moment the
//                                     file is chosen / QImageReader::read
//   ratios_probe paint N              full repaint / blit; the painting of band and outline
//                                     frames / the whole design drawn again
//   ratios_probe code N               "&Create Code" with the code window open
//   ratios_probe design JPEG DIR      writes DIR/design.padscreen of ten copies of the JPEG
//   ratios_probe open DIR HELPER N    opening that design in the program as main() builds
//                                     it / decoding the ten in process, one after another
//   ratios_probe sizes FILE...        the ten sizes by QImageReader::size(), on a
//                                     QCoreApplication (the baseline of --code)
//   ratios_probe recovery N           a design step with its recovery copy, UI thread;
//                                     the time until the copy is on disk
#include "codegen/code_window.h"
#include "decode/client.h"
#include "design_scene.h"
#include "document/design_file.h"
#include "document/recovery.h"
#include "fakes.h"
#include "program.h"
#include "program_view.h"
#include "services.h"
#include "slots/status_dialog.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double ms_of(const std::function<void()>& f) {
    const auto t0 = Clock::now();
    f();
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void print(const char* name, double value) { std::printf("%s %.4f\n", name, value); }

// Runs the program's measure and its baseline alternately, n times each.
void alternate(int n, const char* name_a, const std::function<double()>& a, const char* name_b,
               const std::function<double()>& b) {
    std::vector<double> va;
    std::vector<double> vb;
    for (int k = 0; k < n; ++k) {
        va.push_back(a());
        vb.push_back(b());
    }
    print(name_a, median(va));
    print(name_b, median(vb));
}

// A photograph-like picture: smooth light with fine grain, so that the JPEG
// carries the detail of a real photograph rather than flat colour.
int write_jpeg(const char* path) {
    QImage image(4000, 3000, QImage::Format_RGB32);
    std::mt19937 noise(7);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grain = static_cast<int>(noise() % 48);
            line[x] = qRgb((x / 16 + grain) & 0xFF, (y / 12 + grain) & 0xFF,
                           ((x + y) / 28 + grain) & 0xFF);
        }
    }
    return image.save(QString::fromLocal8Bit(path), "JPEG", 90) ? 0 : 1;
}

// An open dialog that takes a user's moment to choose, then notes when the
// choice was made: what the user waits for starts there.
class ChoosingDialog : public fakes::FileDialog {
public:
    Clock::time_point chosen;
    std::optional<platform::FileChoice> show_open(const platform::FileDialogOptions& o) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        chosen = Clock::now();
        return fakes::FileDialog::show_open(o);
    }
};

// Platform services with the program's own picture loader.
struct LoadPlatform {
    explicit LoadPlatform(const std::string& helper) : qt(helper) {}
    padscreen_qt::QtServices qt;
    ChoosingDialog files;
    fakes::MessageBox messages;
    fakes::TextFileWriter writer;
    fakes::Application app;
    platform::Services services{files, messages, *qt.pictures, writer, app};
};

int measure_load(const std::string& path, const std::string& helper, int n) {
    LoadPlatform platform(helper);
    bool ok = true;
    alternate(
        n, "load_program_ms",
        [&] {
            Program program(platform.services);
            program.start();
            platform.files.choose(path);
            program.form1()->cmdNewPicture.click();
            const double ms =
                std::chrono::duration<double, std::milli>(Clock::now() - platform.files.chosen)
                    .count();
            ok = ok && program.form1()->Image(1).has_picture();
            return ms;
        },
        "load_read_ms",
        [&] {
            QImage image;
            const double ms = ms_of([&] {
                QImageReader reader(QString::fromStdString(path));
                image = reader.read();
            });
            ok = ok && image.width() == 4000;
            return ms;
        });
    if (!ok) {
        std::fprintf(stderr, "ratios_probe: a load failed\n");
        return 1;
    }
    return 0;
}

// The heaviest design: ten pictures of 1000 x 600 at twice their size.
struct Scene : DesignScene {
    explicit Scene(const std::string& recovery_folder = "")
        : DesignScene({1000, 600, 30000, 18000, 450, 300}, recovery_folder) {}
};

// A window of the same size that only blits one full-window pixmap.
class BlitWindow : public QWidget {
public:
    explicit BlitWindow(QPixmap pixmap) : pixmap_(std::move(pixmap)) {
        resize(pixmap_.deviceIndependentSize().toSize());
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.drawPixmap(0, 0, pixmap_);
    }

private:
    QPixmap pixmap_;
};

// What a repaint costs through the backing store, as the window system asks for it.
double repaint_ms(QWidget& widget) {
    widget.update();
    return ms_of(Scene::settle);
}

void send_mouse(QWidget& view, QEvent::Type type, QPoint at, Qt::MouseButton button,
                Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(at), view.mapToGlobal(QPointF(at)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(&view, &event);
}

// Frames while the pointer drags from start: each move reaches the model and
// the view asks for a repaint of what changed (handling), then the backing
// store repaints it (painting). Prints the medians of both and of their sum.
bool follow_frames(Scene& scene, QPoint start, int n, const std::string& name) {
    padscreen_qt::WindowView& view = scene.form_view();
    send_mouse(view, QEvent::MouseMove, start, Qt::NoButton, Qt::NoButton);
    send_mouse(view, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    Scene::settle();
    QPoint at = start;
    int step = 0;
    std::vector<double> handling;
    std::vector<double> painting;
    std::vector<double> frames;
    // Small steps to and fro, as a hand moves; the first steps pass the drag distance.
    const auto next = [&] {
        ++step;
        const int dx = (step / 40) % 2 == 0 ? 3 : -3;
        at += QPoint(dx, 2 * ((step / 20) % 2 == 0 ? 1 : -1));
        return at;
    };
    for (int k = 0; k < 10; ++k) {
        send_mouse(view, QEvent::MouseMove, next(), Qt::NoButton, Qt::LeftButton);
        Scene::settle();
    }
    for (int k = 0; k < n; ++k) {
        handling.push_back(ms_of(
            [&] { send_mouse(view, QEvent::MouseMove, next(), Qt::NoButton, Qt::LeftButton); }));
        painting.push_back(ms_of(Scene::settle));
        frames.push_back(handling.back() + painting.back());
    }
    const bool following =
        scene.program.form1()->drag_outline().has_value() || scene.program.form1()->lin(1).visible;
    send_mouse(view, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    Scene::settle();
    if (!following) {
        std::fprintf(stderr, "ratios_probe: nothing followed the pointer for %s\n", name.c_str());
        return false;
    }
    print((name + "_frame_ms").c_str(), median(frames));
    print((name + "_paint_ms").c_str(), median(painting));
    return true;
}

int measure_paint(int n) {
    Scene scene;
    padscreen_qt::WindowView& view = scene.form_view();
    BlitWindow blit(view.grab());
    blit.show();
    Scene::settle();
    alternate(
        n, "repaint_ms", [&] { return repaint_ms(view); }, "blit_ms",
        [&] { return repaint_ms(blit); });
    // Everything drawn again: a change that touches the whole drawn layer,
    // what every frame would cost if it did not repaint only what changed.
    Form1& form = *scene.program.form1();
    std::vector<double> redraw;
    std::vector<double> redraw_paint;
    for (int k = 0; k < n; ++k) {
        const double handling = ms_of([&] { scene.view.dispatch([&] { form.back_color ^= 1U; }); });
        redraw_paint.push_back(ms_of(Scene::settle));
        redraw.push_back(handling + redraw_paint.back());
    }
    print("redraw_ms", median(redraw));
    print("redraw_paint_ms", median(redraw_paint));
    // The band: a press on the bare canvas, beside the pictures.
    const bool band = follow_frames(scene, QPoint(6, 6), n, "band");
    // The outline: a press on the topmost picture, which drags it.
    const bool outline = follow_frames(scene, QPoint(330, 230), n, "outline");
    return band && outline ? 0 : 1;
}

int measure_code(int n) {
    Scene scene;
    Form1& form = *scene.program.form1();
    scene.view.dispatch([&] { form.cmdCreateCode.click(); });
    Scene::settle();
    codegen::FrmShowCode* code = scene.program.code_window();
    if (code == nullptr || !code->visible) {
        std::fprintf(stderr, "ratios_probe: no code window\n");
        return 1;
    }
    std::vector<double> v;
    v.reserve(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) {
        // A hotspot moved two LCD pixels between runs, so that the code window's text changes.
        scene.view.dispatch([&] { form.lbl(1).left += k % 2 == 0 ? 60.0F : -60.0F; });
        Scene::settle();
        v.push_back(ms_of([&] {
            scene.view.dispatch([&] { form.cmdCreateCode.click(); });
            Scene::settle();
        }));
    }
    print("create_code_ms", median(v));
    print("create_code_lines", static_cast<double>(std::count(code->txtCode.text.begin(),
                                                              code->txtCode.text.end(), '\n')));
    return 0;
}

// Ten copies of the photograph, each a file of its own, placed as a user would.
int write_design(const std::string& jpeg, const std::string& dir) {
    Form1 form;
    form.start_up();
    for (int n = 1; n <= 10; ++n) {
        const std::string path = dir + "/photo" + std::to_string(n) + ".jpg";
        QFile::remove(QString::fromStdString(path));
        if (!QFile::copy(QString::fromStdString(jpeg), QString::fromStdString(path))) {
            return 1;
        }
        auto picture = std::make_shared<tk::Picture>();
        picture->width = 4000;
        picture->height = 3000;
        picture->path = path;
        tk::Image& image = form.Image(n);
        image.picture = picture;
        image.tag = "photo" + std::to_string(n) + ".jpg";
        image.visible = true;
        image.drag_mode = tk::Image::kAutomatic;
        image.left = 300.0F * static_cast<float>(n);
        image.width = 120120;
        image.height = 90120;
        form.strFileName(n) = Variant("photo" + std::to_string(n));
        form.set_intIDS(n, 0);
        form.set_intMode(n, 2);
        form.cboDisable.items.push_back(image.tag);
    }
    QFile out(QString::fromStdString(dir + "/design.padscreen"));
    const std::string bytes = document::write_design(form, dir, "bench");
    return out.open(QIODevice::WriteOnly) &&
                   out.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
                       static_cast<qint64>(bytes.size())
               ? 0
               : 1;
}

int measure_open(const std::string& dir, const std::string& helper, int n) {
    QFile file(QString::fromStdString(dir + "/design.padscreen"));
    if (!file.open(QIODevice::ReadOnly)) {
        return 1;
    }
    file.close();
    bool ok = true;
    LoadPlatform platform(helper);
    alternate(
        n, "open_design_ms",
        [&] {
            // Built as main() builds it: the program's services, helpers and all.
            document::Document document({platform.services, "bench"});
            padscreen_qt::ProgramView view{document.program(), QIcon()};
            view.start();
            const double ms = ms_of([&] { document.open_path(dir + "/design.padscreen"); });
            for (int k = 1; k <= 10; ++k) {
                ok = ok && document.program().form1()->Image(k).has_picture() &&
                     !document.program().form1()->Image(k).picture->argb.empty();
            }
            return ms;
        },
        "decode_ten_ms",
        [&] {
            return ms_of([&] {
                for (int k = 1; k <= 10; ++k) {
                    QImageReader reader(
                        QString::fromStdString(dir + "/photo" + std::to_string(k) + ".jpg"));
                    const QImage image = reader.read();
                    ok = ok && image.width() == 4000;
                }
            });
        });
    if (!ok) {
        std::fprintf(stderr, "ratios_probe: opening the design failed\n");
        return 1;
    }
    return 0;
}

// The sizes only, as the least a process reading ten headers does.
int print_sizes(int argc, char** argv) {
    const QCoreApplication app(argc, argv);
    for (int k = 2; k < argc; ++k) {
        const QSize size = QImageReader(QString::fromLocal8Bit(argv[k])).size();
        std::printf("%d %d\n", size.width(), size.height());
    }
    return 0;
}

// Watches a folder for a copy put in place: the writer renames each finished copy
// over the last one, so the rename into NAME.padscreen says it is on disk.
class CopyWatch {
public:
    explicit CopyWatch(const std::string& folder)
        : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
          ok_(fd_ >= 0 && ::inotify_add_watch(fd_, folder.c_str(), IN_MOVED_TO) >= 0) {}
    ~CopyWatch() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    CopyWatch(const CopyWatch&) = delete;
    CopyWatch& operator=(const CopyWatch&) = delete;
    bool ok() const { return ok_; }

    // Drops what came before; the next copy is the one asked for after this.
    void clear() {
        while (::read(fd_, buffer_.data(), buffer_.size()) > 0) {
        }
    }
    // Blocks until a copy is put in place, or the time is up; false then.
    bool wait(std::chrono::milliseconds limit) {
        const Clock::time_point end = Clock::now() + limit;
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            pollfd ready{fd_, POLLIN, 0};
            if (left <= 0 || ::poll(&ready, 1, static_cast<int>(left)) <= 0) {
                return false;
            }
            const ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
            for (ssize_t at = 0; at < n;) {
                inotify_event event{};
                std::memcpy(&event, buffer_.data() + at, sizeof event);
                const std::string name =
                    event.len > 0 ? std::string(buffer_.data() + at + sizeof event) : std::string();
                if (name.size() > 10 && name.compare(name.size() - 10, 10, ".padscreen") == 0) {
                    return true;
                }
                at += static_cast<ssize_t>(sizeof event + event.len);
            }
        }
    }

private:
    int fd_;
    bool ok_;
    std::array<char, 4096> buffer_{};
};

// What a design step costs the UI thread once the program keeps a recovery copy:
// the step itself and handing the design to the writer; the writing is not on it.
int measure_recovery(int n) {
    const QString folder = QDir::tempPath() + QStringLiteral("/padscreen-bench-recovery");
    QDir(folder).removeRecursively();
    Scene scene(folder.toStdString());
    CopyWatch watch(folder.toStdString());
    if (!watch.ok()) {
        std::fprintf(stderr, "ratios_probe: cannot watch the recovery folder\n");
        return 1;
    }
    scene.document.flush(); // the scene's own copy is not one of the steps'
    Form1& form = *scene.program.form1();
    std::vector<double> v;
    std::vector<double> on_disk;
    for (int k = 0; k < n; ++k) {
        watch.clear();
        const Clock::time_point begin = Clock::now();
        v.push_back(ms_of([&] {
            scene.program.run([&] { form.Image(1).left += k % 2 == 0 ? 15.0F : -15.0F; });
        }));
        if (!watch.wait(std::chrono::seconds(2))) {
            std::fprintf(stderr, "ratios_probe: no recovery copy after a step\n");
            return 1;
        }
        on_disk.push_back(std::chrono::duration<double, std::milli>(Clock::now() - begin).count());
        scene.document.flush(); // the next step finds the writer idle, as a user's pace does
    }
    print("recovery_step_ms", median(v));
    print("copy_on_disk_ms", median(on_disk));
    QDir(folder).removeRecursively();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "sizes") {
        return print_sizes(argc, argv);
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (mode == "jpeg" && argc == 3) {
        return write_jpeg(argv[2]);
    }
    if (mode == "load" && argc == 5) {
        return measure_load(argv[2], argv[3], std::max(1, std::atoi(argv[4])));
    }
    if (mode == "paint" && argc == 3) {
        return measure_paint(std::max(1, std::atoi(argv[2])));
    }
    if (mode == "band" && argc == 3) {
        Scene scene;
        follow_frames(scene, QPoint(6, 6), std::atoi(argv[2]), "band");
        return 0;
    }
    if (mode == "code" && argc == 3) {
        return measure_code(std::max(1, std::atoi(argv[2])));
    }
    if (mode == "design" && argc == 4) {
        return write_design(argv[2], argv[3]);
    }
    if (mode == "open" && argc == 5) {
        return measure_open(argv[2], argv[3], std::max(1, std::atoi(argv[4])));
    }
    if (mode == "recovery" && argc == 3) {
        return measure_recovery(std::max(1, std::atoi(argv[2])));
    }
    std::fprintf(stderr, "usage: ratios_probe jpeg PATH | load PATH HELPER N | paint N | code N"
                         " | design JPEG DIR | open DIR HELPER N | sizes FILE... | recovery N\n");
    return 2;
}
