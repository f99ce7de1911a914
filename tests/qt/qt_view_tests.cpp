// SPDX-License-Identifier: GPL-2.0-or-later
// The views against the real program with scripted dialogs: what they paint,
// and real mouse and key input reaching the handlers through them.
#include "assist/read_out.h"
#include "assist_overlay.h"
#include "codegen/code_window.h"
#include "document/document.h"
#include "fakes.h"
#include "program.h"
#include "program_view.h"
#include "running.h"
#include "slots/status_dialog.h"
#include "view_input.h"

#include <QApplication>
#include <QComboBox>
#include <QHelpEvent>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QToolTip>

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace {

constexpr QRgb kGridBlack = 0xFF000000;
constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kFace = 0xFFF0F0F0;
constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kYellow = 0xFFFFFF00;
constexpr QRgb kPictureGrey = 0xFF808080; // what the fake loader fills pictures with
constexpr QRgb kBlue = 0xFF0000FF;
constexpr QRgb kLcdFrame = 0xFF009646;
constexpr QRgb kLcdCentre = 0xFF82CDA0;
constexpr QRgb kHatch = 0xFF006E32;

using view_input::centre_of;
using view_input::click_at;
using view_input::px;
using view_input::send_move;

} // namespace

// Collects the regions a widget is asked to paint.
class PaintSpy : public QObject {
public:
    PaintSpy(QWidget& widget, QRegion& painted) : widget_(widget), painted_(painted) {
        widget_.installEventFilter(this);
    }
    ~PaintSpy() override { widget_.removeEventFilter(this); }
    PaintSpy(const PaintSpy&) = delete;
    PaintSpy& operator=(const PaintSpy&) = delete;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            painted_ += static_cast<QPaintEvent*>(event)->region();
        }
        return false;
    }

private:
    QWidget& widget_;
    QRegion& painted_;
};

class ViewTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Running> run_;

    Form1& form() { return *run_->program.form1(); }
    padscreen_qt::WindowView* view_of(const tk::Window* w) {
        return w == nullptr ? nullptr : run_->view.view(w->id());
    }
    padscreen_qt::WindowView& form_view() { return *view_of(run_->program.form1()); }
    QImage shot(QWidget& w) { return w.grab().toImage().convertToFormat(QImage::Format_ARGB32); }

    // "&Load Image" through the fake open dialog, then OK in the status dialog.
    void load_picture(const std::string& path, int width, int height) {
        run_->platform.pictures.add(path, width, height);
        run_->platform.files.choose(path);
        click_at(form_view(), centre_of(form().cmdNewPicture));
        auto* dialog = run_->program.status_dialog();
        QVERIFY(dialog != nullptr);
        click_at(*view_of(dialog), centre_of(dialog->cmdReturn));
        QVERIFY(run_->program.status_dialog() == nullptr);
    }

private Q_SLOTS:
    void init() {
        run_ = std::make_unique<Running>();
        run_->view.start();
        QVERIFY(QTest::qWaitForWindowExposed(&form_view()));
    }
    void cleanup() {
        run_.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void main_window_has_its_client_area() {
        auto& view = form_view();
        QCOMPARE(view.size(), QSize(831, 511));
        QCOMPARE(view.windowTitle(), QStringLiteral("Position Window"));
        QVERIFY(view.isVisible());
        QVERIFY(!(view.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(view.windowFlags() & Qt::WindowMinimizeButtonHint);
    }

    void grid_is_painted_as_laid_out_data() {
        QTest::addColumn<QPoint>("pixel");
        QTest::addColumn<uint>("colour");
        QTest::newRow("white centre line, off the black lines") << QPoint(320, 4) << uint(kWhite);
        QTest::newRow("white centre line below the grid") << QPoint(320, 500) << uint(kWhite);
        QTest::newRow("white middle line over the panel") << QPoint(660, 240) << uint(kWhite);
        QTest::newRow("black vertical grid line") << QPoint(8, 4) << uint(kGridBlack);
        QTest::newRow("black horizontal grid line") << QPoint(4, 8) << uint(kGridBlack);
        QTest::newRow("inside a cell") << QPoint(4, 4) << uint(kFace);
        QTest::newRow("below the grid") << QPoint(8, 500) << uint(kFace);
    }
    void grid_is_painted_as_laid_out() {
        QFETCH(QPoint, pixel);
        QFETCH(uint, colour);
        QCOMPARE(shot(form_view()).pixel(pixel), QRgb(colour));
    }

    void clicking_a_button_runs_its_handler() {
        click_at(form_view(), centre_of(form().cmdNewPicture));
        QCOMPARE(run_->platform.files.open_requests.size(), std::size_t{1});
        // A disabled button takes the click and runs nothing.
        QVERIFY(!form().cmdDelete.enabled);
        click_at(form_view(), centre_of(form().cmdDelete));
        QCOMPARE(run_->platform.files.open_requests.size(), std::size_t{1});
    }

    void access_key_presses_its_button() {
        auto& view = form_view();
        view.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&view));
        QTest::keyClick(&view, Qt::Key_L, Qt::AltModifier);
        QTRY_COMPARE(run_->platform.files.open_requests.size(), std::size_t{1});
    }

    void status_dialog_comes_and_goes_with_its_choices() {
        run_->platform.pictures.add("/pics/a.bmp", 20, 10);
        run_->platform.files.choose("/pics/a.bmp");
        click_at(form_view(), centre_of(form().cmdNewPicture));

        auto* dialog = run_->program.status_dialog();
        QVERIFY(dialog != nullptr);
        auto* dialog_view = view_of(dialog);
        QVERIFY(dialog_view != nullptr && dialog_view->isVisible());
        QVERIFY(!form_view().isVisible());
        QCOMPARE(dialog_view->size(), QSize(246, 385));
        QVERIFY(dialog_view->windowFlags() & Qt::Tool); // out of the task bar
        // The focus selected "Display Foreground"; "Write Opaque" is designed in.
        auto* foreground = qobject_cast<QRadioButton*>(dialog_view->widget_for(dialog->optDisplay));
        auto* opaque =
            qobject_cast<QRadioButton*>(dialog_view->widget_for(dialog->optModeWriteOpaque));
        QVERIFY(foreground && foreground->isChecked() && opaque && opaque->isChecked());

        click_at(*dialog_view, centre_of(dialog->optHiddenBackground));
        QVERIFY(dialog->optHiddenBackground.value());
        QVERIFY(!foreground->isChecked());
        click_at(*dialog_view, centre_of(dialog->cmdReturn));

        QVERIFY(run_->program.status_dialog() == nullptr);
        QVERIFY(form_view().isVisible());
        QVERIFY(form().intIDS(1).is_integer() && form().intIDS(1).is(1));
        QVERIFY(form().intMode(1).is_integer() && form().intMode(1).is(2));
        // The picture (20 x 10, framed, doubled) stands at the canvas corner.
        const QImage image = shot(form_view());
        QCOMPARE(image.pixel(1, 1), kPictureGrey);
        QCOMPARE(image.pixel(47, 27), kPictureGrey);
        QVERIFY(image.pixel(49, 29) != kPictureGrey);
    }

    void closing_the_dialog_ends_the_program() {
        run_->platform.pictures.add("/pics/a.bmp", 4, 4);
        run_->platform.files.choose("/pics/a.bmp");
        click_at(form_view(), centre_of(form().cmdNewPicture));
        QPointer<QWidget> dialog_view = view_of(run_->program.status_dialog());
        QPointer<QWidget> main_view = &form_view();
        QVERIFY(dialog_view);
        dialog_view->close();
        QCOMPARE(run_->platform.app.quits, 1);
        QVERIFY(run_->program.loaded_windows().empty());
        QVERIFY(run_->view.views().empty());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!dialog_view && !main_view);
    }

    void code_window_shows_and_takes_back_crlf_text() {
        load_picture("/pics/logo.bmp", 8, 8);
        click_at(form_view(), centre_of(form().cmdCreateCode));
        auto* code = run_->program.code_window();
        QVERIFY(code != nullptr);
        auto* code_view = view_of(code);
        QVERIFY(code_view != nullptr && code_view->isVisible());
        QVERIFY(form_view().isVisible()); // stays usable beside it
        auto* editor = qobject_cast<QPlainTextEdit*>(code_view->widget_for(code->txtCode));
        QVERIFY(editor != nullptr);
        QVERIFY(editor->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn);

        const std::string generated = code->txtCode.text;
        QVERIFY(generated.find("\r\n") != std::string::npos);
        QCOMPARE(editor->toPlainText(), QString::fromStdString(generated).replace("\r\n", "\n"));
        QCOMPARE(code->txtCode.text, generated); // showing it changed nothing

        editor->moveCursor(QTextCursor::End);
        QTest::keyClicks(editor, "X");
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(code->txtCode.text, generated + "X\r\n");
    }

    void combo_fires_only_on_a_choice_from_its_list() {
        load_picture("/pics/a.bmp", 4, 4);
        QCOMPARE(form().cboDisable.items.size(), std::size_t{2});
        int clicks = 0;
        auto original = form().cboDisable.on_click;
        form().cboDisable.on_click = [&] {
            ++clicks;
            if (original) {
                original();
            }
        };
        auto* combo = qobject_cast<QComboBox*>(form_view().widget_for(form().cboDisable));
        QVERIFY(combo != nullptr);
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(1), QStringLiteral("a.bmp"));

        // Typing an item's name and pressing Enter is not a choice.
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo->lineEdit(), "a.bmp");
        QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
        QCOMPARE(form().cboDisable.text, std::string("a.bmp"));
        QCOMPARE(clicks, 0);
        QCOMPARE(combo->count(), 2); // and adds no item

        // Stepping through the list is.
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo->lineEdit(), "None");
        combo->setCurrentIndex(0);
        QTest::keyClick(combo, Qt::Key_Down);
        QCOMPARE(clicks, 1);
        QCOMPARE(form().cboDisable.text, std::string("a.bmp"));
    }

    void dragging_on_the_grid_draws_the_band_and_leaves_the_rectangle() {
        auto& view = form_view();
        const QPoint from(100, 100);
        const QPoint to(200, 180);
        QTest::mouseMove(view.windowHandle(), from);
        QTest::mousePress(view.windowHandle(), Qt::LeftButton, {}, from);
        send_move(view, QPoint(150, 140), Qt::LeftButton);
        send_move(view, to, Qt::LeftButton);
        // The band while the button is held: red across the top edge.
        QVERIFY(form().lin(1).visible);
        QCOMPARE(shot(view).pixel(150, 100), kRed);
        QTest::mouseRelease(view.windowHandle(), Qt::LeftButton, {}, to);

        float left = 1e9F, top = 1e9F, right = -1e9F, bottom = -1e9F;
        const QImage image = shot(view);
        for (int n = 5; n <= 8; ++n) {
            const tk::Line& line = form().lin(n);
            QVERIFY(line.visible);
            left = std::min({left, line.x1, line.x2});
            right = std::max({right, line.x1, line.x2});
            top = std::min({top, line.y1, line.y2});
            bottom = std::max({bottom, line.y1, line.y2});
            const QPoint mid(px((line.x1 + line.x2) / 2), px((line.y1 + line.y2) / 2));
            QCOMPARE(image.pixel(mid), kRed);
        }
        QCOMPARE(left, 1500.0F);
        QCOMPARE(top, 1500.0F);
        QCOMPARE(right, 3000.0F);
        QCOMPARE(bottom, 2700.0F);
        QVERIFY(!form().lin(1).visible);
        QVERIFY(form().cmdHotspot.enabled);
    }

    void dragging_a_picture_puts_the_grabbed_point_under_the_pointer() {
        load_picture("/pics/a.bmp", 20, 10); // 48 x 28 pixels at the corner
        auto& view = form_view();
        const QPoint grab(10, 10);
        const QPoint drop(200, 150);
        QTest::mouseMove(view.windowHandle(), grab); // hover: the picture notes the point
        QTest::mousePress(view.windowHandle(), Qt::LeftButton, {}, grab);
        send_move(view, QPoint(60, 40), Qt::LeftButton);
        send_move(view, drop, Qt::LeftButton);
        QVERIFY(view.window()->drag_outline().has_value());
        QTest::mouseRelease(view.windowHandle(), Qt::LeftButton, {}, drop);

        QCOMPARE(form().Image(1).left, 2850.0F);
        QCOMPARE(form().Image(1).top, 2100.0F);
        const QImage image = shot(view);
        QCOMPARE(image.pixel(drop), kPictureGrey);
        QCOMPARE(image.pixel(190, 140), kPictureGrey);
        QVERIFY(image.pixel(189, 140) != kPictureGrey);
        QVERIFY(image.pixel(5, 5) != kPictureGrey); // gone from the corner
    }

    void clicking_a_picture_shows_its_markers() {
        load_picture("/pics/a.bmp", 20, 10);
        auto& view = form_view();
        QTest::mouseMove(view.windowHandle(), QPoint(20, 12));
        QTest::mouseClick(view.windowHandle(), Qt::LeftButton, {}, QPoint(20, 12));
        const QImage image = shot(view);
        for (int n = 1; n <= 4; ++n) {
            QVERIFY(form().lblPicture(n).visible);
            QCOMPARE(image.pixel(centre_of(form().lblPicture(n))), kYellow);
        }
        QVERIFY(form().cmdDelete.enabled);
    }

    void a_disabled_picture_lets_the_hotspots_beneath_it_show() {
        load_picture("/pics/a.bmp", 20, 10); // 48 x 28 pixels at the corner
        form().lbl(1).left = 150;
        form().lbl(1).top = 150;
        form().lbl(1).width = 300;
        form().lbl(1).height = 150;
        form().lbl(1).visible = true;
        auto& view = form_view();
        const QPoint inside(15, 13); // on the hotspot, under the picture
        view.update();
        QCOMPARE(shot(view).pixel(inside), kPictureGrey);

        run_->view.dispatch([this] { form().cboDisable.choose(1); }); // "a.bmp"
        QVERIFY(!form().Image(1).enabled);
        const QRgb faded = shot(view).pixel(inside);
        QVERIFY(qRed(faded) > qGreen(faded) + 60); // the red hotspot shows through
    }

    // The view repaints only what each change touched, and keeps what it drew
    // while it shows a picture: after every step of a session, what the window
    // shows must equal the whole canvas drawn anew.
    void the_screen_keeps_up_with_every_change() {
        auto& view = form_view();
        QWindow* w = view.windowHandle();
        const QRect canvas(0, 0, 656, 511); // the drawn layer left of the buttons
        const auto pointer = [&](QPoint p, Qt::MouseButtons held) { send_move(view, p, held); };
        const std::vector<std::pair<const char*, std::function<void()>>> steps = {
            {"load a picture", [&] { load_picture("/pics/a.bmp", 20, 10); }},
            {"load a half-transparent picture",
             [&] {
                 run_->platform.pictures.add("/pics/b.png", 30, 20);
                 auto p = std::make_shared<tk::Picture>(
                     *run_->platform.pictures.pictures["/pics/b.png"]);
                 std::fill(p->argb.begin(), p->argb.begin() + 300, 0x80FF0000U);
                 run_->platform.pictures.pictures["/pics/b.png"] = p;
                 load_picture("/pics/b.png", 30, 20);
             }},
            {"press on the grid",
             [&] {
                 QTest::mouseMove(w, QPoint(300, 200));
                 QTest::mousePress(w, Qt::LeftButton, {}, QPoint(300, 200));
             }},
            {"band grows", [&] { pointer(QPoint(360, 260), Qt::LeftButton); }},
            {"band shrinks", [&] { pointer(QPoint(330, 220), Qt::LeftButton); }},
            {"band ends", [&] { QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(330, 220)); }},
            {"hotspot", [&] { click_at(view, centre_of(form().cmdHotspot)); }},
            {"select the picture",
             [&] {
                 QTest::mouseMove(w, QPoint(10, 10));
                 QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(10, 10));
             }},
            {"unselect it", [&] { QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(10, 10)); }},
            {"grab it", [&] { QTest::mousePress(w, Qt::LeftButton, {}, QPoint(10, 10)); }},
            {"outline moves", [&] { pointer(QPoint(80, 60), Qt::LeftButton); }},
            {"outline moves on", [&] { pointer(QPoint(310, 215), Qt::LeftButton); }},
            {"drop over the hotspot",
             [&] { QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(310, 215)); }},
            {"disable it", [&] { run_->view.dispatch([&] { form().cboDisable.choose(1); }); }},
            {"delete all", [&] { click_at(view, centre_of(form().cmdReset)); }},
        };
        for (const auto& [name, step] : steps) {
            step();
            QCoreApplication::processEvents();
            const QImage shown = view.screen()->grabWindow(view.winId()).toImage().copy(canvas);
            view.invalidate(view.rect()); // the kept layer too: everything drawn anew
            const QImage whole = view.grab().toImage().copy(canvas);
            QVERIFY2(shown.convertToFormat(QImage::Format_RGB32) ==
                         whole.convertToFormat(QImage::Format_RGB32),
                     name);
        }
    }

    // A pointer move over the bare canvas repaints the read-out's row, never
    // the hatching of a picture that reaches past the LCD elsewhere.
    void a_pointer_move_leaves_the_hatching_alone() {
        load_picture("/pics/a.bmp", 100, 50);
        run_->view.dispatch([this] {
            form().Image(1).left = 6000; // 400 px: past the LCD's right edge at 482
            form().Image(1).top = 3000;
        });
        auto& view = form_view();
        QCoreApplication::processEvents();
        QRegion painted;
        PaintSpy spy(view, painted);
        send_move(view, QPoint(100, 300), Qt::NoButton);
        QCoreApplication::processEvents();
        QVERIFY(!painted.isEmpty()); // the pointer's line of the read-out
        QVERIFY(!painted.intersects(QRect(482, 200, 118, 100)));
    }

    // The view keeps each button's look; it must be the toolkit's own, in
    // every state the buttons take.
    void buttons_look_as_the_toolkit_draws_them() {
        auto& view = form_view();
        const auto buttons = view.findChildren<QPushButton*>();
        QVERIFY(buttons.size() >= 6);
        for (const bool enabled : {true, false}) {
            for (QPushButton* button : buttons) {
                if (button->hasFocus()) {
                    continue; // a focus frame the plain button cannot have
                }
                button->setEnabled(enabled);
                QPushButton plain(button->text(), button->parentWidget());
                plain.setGeometry(button->geometry());
                plain.setAutoDefault(button->autoDefault());
                plain.setEnabled(enabled);
                plain.show();
                const QImage kept = button->grab().toImage();
                const QImage drawn = plain.grab().toImage();
                QVERIFY2(kept == drawn, qPrintable(button->text()));
            }
        }
    }

    static int count(const QImage& image, QRect area, const std::function<bool(QRgb)>& is) {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                n += is(image.pixel(x, y)) ? 1 : 0;
            }
        }
        return n;
    }
    static int count(const QImage& image, QRect area, QRgb colour) {
        return count(image, area, [colour](QRgb p) { return p == colour; });
    }

    // The LCD's frame and centre mark lie above the grid and beneath the
    // pictures; the read-outs name the selected picture and hotspot; a
    // hotspot below the LCD is hatched, a picture within it is not.
    void lcd_frame_read_outs_and_overhang() {
        auto& view = form_view();
        QImage image = shot(view);
        QCOMPARE(image.pixel(482, 100), kLcdFrame); // twips 7233: position 240
        QCOMPARE(image.pixel(100, 257), kLcdFrame); // twips 3851: position 128
        QCOMPARE(image.pixel(481, 100), kFace);
        QCOMPARE(image.pixel(100, 256), kGridBlack);
        QCOMPARE(image.pixel(242, 129), kLcdCentre); // LCD pixel (120, 64)
        QCOMPARE(image.pixel(246, 129), kLcdCentre);
        QCOMPARE(image.pixel(247, 129), kFace);

        // 3120 x 1620 twips at (4200, 600): it crosses the frame, its line
        // (139 + 97 = 236 across) does not.
        load_picture("/pics/a.bmp", 100, 50);
        run_->view.dispatch([this] {
            form().Image(1).left = 4200;
            form().Image(1).top = 600;
        });
        click_at(view, QPoint(300, 80));
        // A hotspot at (900, 4500) - (1800, 5100), below the LCD, selected.
        QTest::mouseMove(view.windowHandle(), QPoint(60, 300));
        QTest::mousePress(view.windowHandle(), Qt::LeftButton, {}, QPoint(60, 300));
        send_move(view, QPoint(120, 340), Qt::LeftButton);
        QTest::mouseRelease(view.windowHandle(), Qt::LeftButton, {}, QPoint(120, 340));
        click_at(view, centre_of(form().cmdHotspot));
        click_at(view, QPoint(90, 320));
        QCOMPARE(form().lbl(1).back_color, tk::kBlue);

        image = shot(view);
        QCOMPARE(image.pixel(482, 60), kPictureGrey); // the frame lies beneath
        // The whole column has room for the pointer, both selections and the warnings.
        const QStringList expected = {"Pointer  x 45  y 159",
                                      "Picture 1: a.bmp",
                                      "x 139  y 20  w 97  h 48",
                                      "Hotspot 0 in the code",
                                      "x 30  y 149  w 29  h 19",
                                      "Past LCD: 40 down",
                                      "Left out of the code while",
                                      "selected",
                                      "Past the LCD: hotspot 0",
                                      "Arrows move hotspot 0",
                                      QString::fromUtf8(assist::kKeysLines[0]),
                                      QString::fromUtf8(assist::kKeysLines[1]),
                                      QString::fromUtf8(assist::kKeysLines[2])};
        QCOMPARE(run_->view.assist().painted_lines(), expected);
        const auto dark = [](QRgb p) { return qGray(p) < 100; };
        QVERIFY(count(image, QRect(669, 156, 160, 100), dark) > 200); // the text is drawn
        const QRect hotspot(60, 300, 60, 40);
        QVERIFY(count(image, hotspot, kHatch) > 100);
        QVERIFY(count(image, hotspot, kBlue) > 1000);
        QCOMPARE(count(image, QRect(281, 41, 206, 106), kHatch), 0); // the picture

        // The picture laid over the hotspot: only its outline, 2 pixels wide, shows.
        run_->view.dispatch([this] {
            form().Image(1).left = 600;
            form().Image(1).top = 4200;
        });
        image = shot(view);
        QCOMPARE(count(image, hotspot, kBlue), 2 * (60 + 40) * 2 - 16);
    }

    // The read-out names hotspots by their code number, warns of what the code
    // cannot use and says why a load did nothing; every line is shown whole.
    void read_out_lines_agree_with_the_code() {
        const auto make_hotspot = [this](int x) {
            auto& view = form_view();
            QTest::mousePress(view.windowHandle(), Qt::LeftButton, {}, QPoint(x, 100));
            send_move(view, QPoint(x + 30, 130), Qt::LeftButton);
            QTest::mouseRelease(view.windowHandle(), Qt::LeftButton, {}, QPoint(x + 30, 130));
            click_at(view, centre_of(form().cmdHotspot));
        };
        const struct {
            const char* what;
            std::function<void()> act;
            QStringList shown;
        } cases[] = {
            {"the code's number, the selected one left out",
             [&] {
                 for (const int x : {20, 80, 140}) {
                     make_hotspot(x);
                 }
                 click_at(form_view(), QPoint(35, 115)); // hotspot 1: selected, deleted
                 click_at(form_view(), centre_of(form().cmdDeleteHS));
                 click_at(form_view(), QPoint(155, 115)); // label 3, the code's second line
             },
             {"Hotspot 1 in the code", "Left out of the code while selected"}},
            {"the same NAME twice",
             [&] {
                 load_picture("/a/logo.bmp", 10, 10);
                 load_picture("/b/logo.gif", 10, 10);
             },
             {"Same NAME twice: logo"}},
            {"a NAME that is no identifier",
             [&] { load_picture("/a/2nd.bmp", 10, 10); },
             {"Not a valid NAME: 2nd"}},
            {"a load that failed",
             [&] {
                 run_->platform.files.choose("/a/notes.png");
                 click_at(form_view(), centre_of(form().cmdNewPicture));
             },
             {"Not loaded: notes.png is not a picture this program reads"}},
            {"every kind of line at once",
             [&] {
                 load_picture("/a/logo.bmp", 10, 10);
                 load_picture("/b/logo.gif", 10, 10);
                 load_picture("/a/2nd.bmp", 10, 10);
                 load_picture("/a/3rd.bmp", 10, 10);
                 load_picture("/a/wide.bmp", 200, 10);
                 run_->view.dispatch([this] { form().Image(5).left = 9000; });
                 auto& view = form_view();
                 QTest::mousePress(view.windowHandle(), Qt::LeftButton, {}, QPoint(60, 300));
                 send_move(view, QPoint(120, 340), Qt::LeftButton);
                 QTest::mouseRelease(view.windowHandle(), Qt::LeftButton, {}, QPoint(120, 340));
                 click_at(view, centre_of(form().cmdHotspot));
                 const tk::Image& wide = form().Image(5); // selected, past the LCD
                 click_at(view, QPoint(px(wide.left) + 5, px(wide.top) + 5));
                 click_at(view, QPoint(90, 320));
                 run_->platform.files.choose("/a/notes.png");
                 click_at(view, centre_of(form().cmdNewPicture));
                 QTest::mouseMove(view.windowHandle(), QPoint(200, 200));
             },
             {"Pointer", "Picture 5: wide.bmp", "Past LCD: 256 right", "Hotspot 0 in the code",
              "Past LCD: 40 down", "Left out of the code while selected", "Same NAME twice: logo",
              "Not a valid NAME: 2nd", "Not a valid NAME: 3rd", "Past the LCD: wide, hotspot 0",
              "Not loaded: notes.png"}},
        };
        for (const auto& c : cases) {
            cleanup();
            init();
            c.act();
            QCoreApplication::processEvents();
            form_view().repaint();
            // Wrapped rows joined again, as one reads them.
            const QString text = run_->view.assist().painted_lines().join(QLatin1Char(' '));
            for (const QString& line : c.shown) {
                QVERIFY2(text.contains(line), qPrintable(QString::fromUtf8(c.what) + ": " + text));
            }
            // Nothing hidden: every line the read-out holds is painted whole.
            const QString whole = text.simplified();
            for (const QString& line : run_->view.assist().full_text().split(QLatin1Char('\n'))) {
                QVERIFY2(whole.contains(line.simplified()), qPrintable(line + " in " + text));
            }
        }
    }

    // A line cut short on the panel is whole in the read-outs' tooltip.
    void a_cut_line_is_whole_in_the_tooltip() {
        const QString name = QStringLiteral("a_file_name_longer_than_the_panel_is_wide.png");
        run_->platform.files.choose("/a/" + name.toStdString());
        click_at(form_view(), centre_of(form().cmdNewPicture));
        const QRect area = run_->view.assist().readout_rect();
        QHelpEvent help(QEvent::ToolTip, area.center(), form_view().mapToGlobal(area.center()));
        QApplication::sendEvent(&form_view(), &help);
        QTRY_VERIFY(QToolTip::isVisible());
        QVERIFY2(QToolTip::text().contains(name), qPrintable(QToolTip::text()));
    }

    // Arrows move the selected picture by one LCD pixel (Shift: 8), Ctrl+Z
    // and Ctrl+Y go back and forth; in the combo box's edit field the arrows
    // and Ctrl+Z stay the field's.
    void keys_nudge_undo_and_redo() {
        load_picture("/pics/a.bmp", 20, 10);
        auto& view = form_view();
        click_at(view, QPoint(20, 12));
        view.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&view));
        const float& left = form().Image(1).left;
        const struct {
            Qt::Key key;
            Qt::KeyboardModifiers mods;
            float left;
        } keys[] = {
            {Qt::Key_Right, {}, 16},                                   // position 1
            {Qt::Key_Right, Qt::ShiftModifier, 257},                   // position 9
            {Qt::Key_Z, Qt::ControlModifier, 16},                      // undone
            {Qt::Key_Y, Qt::ControlModifier, 257},                     // redone
            {Qt::Key_Left, {}, 256},                                   // position 8
            {Qt::Key_Z, Qt::ControlModifier, 257},                     // undone
            {Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, 256}, // redone
        };
        for (const auto& k : keys) {
            QTest::keyClick(QApplication::focusWidget(), k.key, k.mods);
            QCOMPARE(left, k.left);
        }
        auto* combo = qobject_cast<QComboBox*>(view.widget_for(form().cboDisable));
        combo->setFocus(); // an editable box: the focus is in its edit field
        QTRY_COMPARE(QApplication::focusWidget(), combo);
        QTest::keyClick(combo, Qt::Key_Right);
        QTest::keyClick(combo, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(left, 256.0F);
        QCOMPARE(form().lblPicture(1).left, 256.0F - 75);
    }
};

QTEST_MAIN(ViewTest)
#include "qt_view_tests.moc"
