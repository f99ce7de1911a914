// SPDX-License-Identifier: GPL-2.0-or-later
// The views against the real program with scripted dialogs: where the focus
// goes, what Tab and the arrows choose, where a drag may end, how the prompt,
// the code editor and the thin lines come out, and whether captions fit.
#include "codegen/code_window.h"
#include "document/document.h"
#include "fakes.h"
#include "program.h"
#include "program_view.h"
#include "prompt_text.h"
#include "services.h"
#include "slots/status_dialog.h"
#include "view_input.h"

#include <QApplication>
#include <QFontInfo>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <functional>
#include <memory>
#include <string>

namespace {

using view_input::centre_of;
using view_input::click_at;
using view_input::px;
using view_input::send_move;

// Counts the paints a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(int& paints) : paints_(paints) {}
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints_;
        }
        return false;
    }

private:
    int& paints_;
};

} // namespace

class BehaviourTest : public QObject {
    Q_OBJECT

    // Runs `during` in the middle of every load, as a decode that takes a while.
    struct SlowLoader : platform::PictureLoader {
        explicit SlowLoader(platform::PictureLoader& inner) : inner_(inner) {}
        tk::PicturePtr load(const std::string& path, tk::PictureBudget& budget) override {
            if (during) {
                during();
            }
            return inner_.load(path, budget);
        }
        std::string last_failure() const override { return inner_.last_failure(); }
        std::function<void()> during;

    private:
        platform::PictureLoader& inner_;
    };
    struct Running {
        fakes::Platform platform;
        SlowLoader pictures{platform.pictures};
        platform::Services services{platform.files, platform.messages, pictures, platform.writer,
                                    platform.app};
        document::Document document{{services, "test"}};
        Program& program = document.program();
        padscreen_qt::ProgramView view{program, QIcon()};
    };
    std::unique_ptr<Running> run_;

    Form1& form() { return *run_->program.form1(); }
    padscreen_qt::WindowView& view_of(const tk::Window& w) { return *run_->view.view(w.id()); }
    QWidget* widget(const tk::Window& w, const tk::Control& c) { return view_of(w).widget_for(c); }

    // A key as the keyboard sends it: to whatever has the focus.
    static void key(Qt::Key k, Qt::KeyboardModifiers mods = {}) {
        QWidget* target = QApplication::focusWidget();
        QVERIFY(target != nullptr);
        QTest::keyClick(target, k, mods);
    }
    static QImage render(QWidget& w, qreal ratio) {
        QImage image(w.size() * ratio, QImage::Format_ARGB32);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::magenta);
        w.render(&image);
        return image;
    }
    picture_slots::FrmImageDisplayStatus& open_dialog(const std::string& path) {
        run_->platform.pictures.add(path, 20, 10);
        run_->platform.files.choose(path);
        click_at(view_of(form()), centre_of(form().cmdNewPicture));
        return *run_->program.status_dialog();
    }

private Q_SLOTS:
    void init() {
        run_ = std::make_unique<Running>();
        run_->view.start();
        QVERIFY(QTest::qWaitForWindowActive(&view_of(form())));
    }
    void cleanup() {
        run_.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void focus_comes_back_where_it_was() {
        QWidget* load = widget(form(), form().cmdNewPicture);
        QCOMPARE(QApplication::focusWidget(), load);
        for (int n = 1; n <= 3; ++n) {
            run_->platform.pictures.add("/pics/p.bmp", 8, 8);
            run_->platform.files.choose("/pics/p.bmp");
            key(Qt::Key_Space); // "&Load Image"
            auto* dialog = run_->program.status_dialog();
            QVERIFY(dialog != nullptr);
            QVERIFY(QTest::qWaitForWindowActive(&view_of(*dialog)));
            // As under a window manager, Qt moves the hidden window's focus on
            // to the next control; it gives it back there on activation.
            widget(form(), form().cmdDelete)->setFocus(Qt::ActiveWindowFocusReason);
            key(Qt::Key_Tab);
            key(Qt::Key_Space); // OK
            QVERIFY(run_->program.status_dialog() == nullptr);
            QVERIFY(QTest::qWaitForWindowActive(&view_of(form())));
            QTRY_COMPARE(QApplication::focusWidget(), load);
            QCOMPARE(form().focus(), &form().cmdNewPicture);
        }
        // "Return to Form" gives the main window back with its focus.
        click_at(view_of(form()), centre_of(form().cmdCreateCode));
        auto* code = run_->program.code_window();
        QVERIFY(code != nullptr);
        QVERIFY(QTest::qWaitForWindowActive(&view_of(*code)));
        widget(form(), form().cmdReset)->setFocus(Qt::ActiveWindowFocusReason);
        click_at(view_of(*code), centre_of(code->cmdReturn));
        QVERIFY(QTest::qWaitForWindowActive(&view_of(form())));
        QTRY_COMPARE(QApplication::focusWidget(), widget(form(), form().cmdCreateCode));
        QCOMPARE(form().focus(), &form().cmdCreateCode);
    }

    void tab_and_arrows_in_the_status_dialog_data() {
        QTest::addColumn<QString>("keys"); // T Tab, S Shift+Tab, D/U arrow down/up, E Enter
        QTest::addColumn<int>("ids");
        QTest::addColumn<int>("mode");
        QTest::newRow("Tab Tab Shift+Tab Enter") << "TTSE" << 0 << 2;
        QTest::newRow("round backwards") << "STTE" << 0 << 2;
        QTest::newRow("arrow to Hidden Background") << "DTE" << 1 << 2;
        QTest::newRow("arrows up to Clear") << "TTUUSE" << 0 << 0;
        QTest::newRow("down to Write Transparent, round again") << "TTDTTTSE" << 0 << 3;
        QTest::newRow("both groups") << "UTTDSSTE" << 1 << 3;
        // On the button the arrows walk as Tab does, into a group at its choice.
        QTest::newRow("down on OK, back") << "TDSE" << 0 << 2;
        QTest::newRow("up on OK, on") << "TUTE" << 0 << 2;
    }
    void tab_and_arrows_in_the_status_dialog() {
        QFETCH(QString, keys);
        QFETCH(int, ids);
        QFETCH(int, mode);
        auto& dialog = open_dialog("/pics/a.bmp");
        QVERIFY(QTest::qWaitForWindowActive(&view_of(dialog)));
        QCOMPARE(QApplication::focusWidget(), widget(dialog, dialog.optDisplay));
        for (const QChar k : keys) {
            switch (k.toLatin1()) {
            case 'T':
                key(Qt::Key_Tab);
                break;
            case 'S':
                key(Qt::Key_Backtab, Qt::ShiftModifier);
                break;
            case 'D':
                key(Qt::Key_Down);
                break;
            case 'U':
                key(Qt::Key_Up);
                break;
            default:
                QCOMPARE(QApplication::focusWidget(), widget(dialog, dialog.cmdReturn));
                key(Qt::Key_Return);
            }
        }
        QVERIFY(run_->program.status_dialog() == nullptr);
        QVERIFY(form().intIDS(1).is(ids));
        QVERIFY(form().intMode(1).is(mode));
    }

    void a_drag_released_off_the_window_moves_nothing_data() {
        QTest::addColumn<QPoint>("release");
        QTest::addColumn<bool>("under_code_window");
        QTest::newRow("beyond the right edge") << QPoint(900, 100) << false;
        QTest::newRow("over the title bar") << QPoint(300, -10) << false;
        QTest::newRow("below the window") << QPoint(300, 560) << false;
        QTest::newRow("over another window") << QPoint(300, 200) << true;
    }
    void a_drag_released_off_the_window_moves_nothing() {
        QFETCH(QPoint, release);
        QFETCH(bool, under_code_window);
        auto& dialog = open_dialog("/pics/a.bmp");
        click_at(view_of(dialog), centre_of(dialog.cmdReturn));
        auto& view = view_of(form());
        if (under_code_window) {
            click_at(view, centre_of(form().cmdCreateCode));
            QWidget& code = view_of(*run_->program.code_window());
            code.move(view.mapToGlobal(QPoint(200, 100)));
            QTRY_COMPARE(QApplication::topLevelAt(view.mapToGlobal(release)), &code);
        }
        const QPoint grab(10, 10);
        QTest::mouseMove(view.windowHandle(), grab);
        QTest::mousePress(view.windowHandle(), Qt::LeftButton, {}, grab);
        send_move(view, QPoint(60, 40), Qt::LeftButton);
        send_move(view, release, Qt::LeftButton);
        QVERIFY(view.window()->drag_outline().has_value());
        QMouseEvent up(QEvent::MouseButtonRelease, QPointF(release),
                       view.mapToGlobal(QPointF(release)), Qt::LeftButton, Qt::NoButton,
                       Qt::NoModifier);
        QApplication::sendEvent(&view, &up);
        QVERIFY(!view.window()->drag_outline().has_value());
        QCOMPARE(form().Image(1).left, 0.0F);
        QCOMPARE(form().Image(1).top, 0.0F);
    }

    void the_prompt_shows_the_whole_title_or_its_middle_elided_data() {
        QTest::addColumn<QString>("title");
        QTest::newRow("40 characters") << "quarterly_report_signature_pad_logo2.bmp";
        QTest::newRow("40 with spaces") << "the new logo for the front desk pad1.bmp";
        QTest::newRow("120 characters") << QString(116, u'x') + ".jpg";
    }
    void the_prompt_shows_the_whole_title_or_its_middle_elided() {
        QFETCH(QString, title);
        auto& dialog = open_dialog("/pics/" + title.toStdString());
        auto& view = view_of(dialog);
        const tk::Label& label = dialog.lblImageDisplayStatus;
        const QString caption = QString::fromStdString(label.caption);
        const QString prefix = caption.left(caption.size() - title.size());
        // The label's own lines and the free room down to the frame.
        const QFontMetrics metrics(view.font());
        const int lines_room =
            (px(dialog.fraDest.top) - px(label.top)) / metrics.lineSpacing();
        render(view, 1);
        const QStringList lines = view.caption_lines(label); // as drawn
        QVERIFY(!lines.isEmpty());
        QVERIFY(lines.size() <= lines_room);
        const QString shown = lines.join(QString());
        for (const QString& line : lines) {
            QVERIFY(metrics.horizontalAdvance(line.trimmed()) <= px(label.width));
        }
        QVERIFY(shown.startsWith(prefix));
        if (shown != caption) {
            const QString rest = shown.mid(prefix.size());
            const qsizetype dots = rest.indexOf(QChar(0x2026));
            QVERIFY(dots > 0);
            QVERIFY(title.startsWith(rest.left(dots)));
            QVERIFY(title.endsWith(rest.mid(dots + 1)));
            QVERIFY(rest.endsWith(title.mid(title.lastIndexOf(u'.'))));
        } else {
            QVERIFY(title.size() == 40); // a 40-character title is shown whole
        }
        // Drawn below the label's own height too, never into the frame.
        const QImage image = render(view, 1);
        const auto ink_in_rows = [&image](int from, int to) {
            for (int y = from; y < to; ++y) {
                for (int x = 16; x < 233; ++x) {
                    if (qGray(image.pixel(x, y)) < 128) {
                        return true;
                    }
                }
            }
            return false;
        };
        QVERIFY(ink_in_rows(px(label.top + label.height), px(dialog.fraDest.top)));
    }

    void a_caption_without_room_to_wrap_stays_one_line() {
        // "Image Hotspot Enable" fills its label; the combo box lies just below.
        const tk::Label& label = form().lblDisable;
        const QImage image = render(view_of(form()), 1);
        const int top = px(label.top);
        const int right = px(label.left + label.width);
        bool ink = false;
        for (int y = top; y < top + 14 && !ink; ++y) {
            for (int x = right - 20; x < right && !ink; ++x) {
                ink = qGray(image.pixel(x, y)) < 128;
            }
        }
        QVERIFY(ink); // the end of "Enable" on the label's first line
    }

    void a_click_on_a_window_being_activated_counts_data() {
        QTest::addColumn<bool>("press_first");
        QTest::newRow("activated between press and release") << true;
        QTest::newRow("activated just before the press") << false;
    }
    void a_click_on_a_window_being_activated_counts() {
        // Without a window manager the window system activates a window in its
        // own time, also between the press that asked for it and the release.
        QFETCH(bool, press_first);
        click_at(view_of(form()), centre_of(form().cmdCreateCode));
        codegen::FrmShowCode& code = *run_->program.code_window();
        QWidget& view = view_of(code);
        QWidget elsewhere;
        elsewhere.show();
        elsewhere.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
        QCOMPARE(code.focus(), &code.txtCode);
        // Qt's own pick on activation is another control.
        widget(code, code.cmdWriteTextFile)->setFocus(Qt::ActiveWindowFocusReason);
        const QPoint at = centre_of(code.cmdReturn);
        const auto press = [&] { QTest::mousePress(view.windowHandle(), Qt::LeftButton, {}, at); };
        const auto activate = [&] {
            view.activateWindow();
            QCoreApplication::processEvents(); // the activation, not what it queues
            QCOMPARE(QApplication::activeWindow(), &view);
        };
        press_first ? (press(), activate()) : (activate(), press());
        QCoreApplication::processEvents();
        QTest::mouseRelease(view.windowHandle(), Qt::LeftButton, {}, at);
        QVERIFY(run_->program.code_window() == nullptr); // "Return to Form" ran
    }

    void the_code_editor_saves_what_is_typed() {
        click_at(view_of(form()), centre_of(form().cmdCreateCode));
        auto* code = run_->program.code_window();
        QVERIFY(code != nullptr);
        auto* editor = qobject_cast<QPlainTextEdit*>(widget(*code, code->txtCode));
        QVERIFY(editor != nullptr);
        QCOMPARE(QFontInfo(editor->font()).fixedPitch(), true);
        const std::string generated = code->txtCode.text;
        editor->moveCursor(QTextCursor::End);
        QTest::keyClicks(editor, QStringLiteral("a\u00A0b"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTest::keyClicks(editor, QStringLiteral("\u00A0"));
        run_->platform.files.choose("/out/code.txt");
        click_at(view_of(*code), centre_of(code->cmdWriteTextFile));
        QCOMPARE(run_->platform.writer.files.at("/out/code.txt"), generated + "a\xA0"
                                                                              "b\r\n\xA0");
    }

    void thin_lines_are_one_logical_pixel_at_scale_2() {
        auto& dialog = open_dialog("/pics/a.bmp");
        click_at(view_of(dialog), centre_of(dialog.cmdReturn));
        auto& view = view_of(form());
        // A band from (100, 100) to (200, 180) and the grid line at x = 8.
        QTest::mouseMove(view.windowHandle(), QPoint(100, 100));
        QTest::mousePress(view.windowHandle(), Qt::LeftButton, {}, QPoint(100, 100));
        send_move(view, QPoint(200, 180), Qt::LeftButton);
        QImage image = render(view, 2);
        const QRgb black = 0xFF000000;
        const QRgb red = 0xFFFF0000;
        QCOMPARE(image.pixel(15, 408), 0xFFF0F0F0);
        QCOMPARE(image.pixel(16, 408), black);
        QCOMPARE(image.pixel(17, 408), black);
        QCOMPARE(image.pixel(18, 408), 0xFFF0F0F0);
        QCOMPARE(image.pixel(300, 199) == red, false);
        QCOMPARE(image.pixel(300, 200), red);
        QCOMPARE(image.pixel(300, 201), red);
        QCOMPARE(image.pixel(300, 202) == red, false);
        QTest::mouseRelease(view.windowHandle(), Qt::LeftButton, {}, QPoint(200, 180));

        // The drag outline: two device pixels, black and white dashes in turn.
        QTest::mouseMove(view.windowHandle(), QPoint(10, 10));
        QTest::mousePress(view.windowHandle(), Qt::LeftButton, {}, QPoint(10, 10));
        send_move(view, QPoint(300, 200), Qt::LeftButton);
        const auto outline = view.window()->drag_outline();
        QVERIFY(outline.has_value());
        image = render(view, 2);
        const int top = 2 * static_cast<int>(std::lround(outline->top / tk::kTwipsPerPixel));
        const int left = 2 * static_cast<int>(std::lround(outline->left / tk::kTwipsPerPixel));
        int blacks = 0;
        int whites = 0;
        for (int x = left; x < left + 32; ++x) {
            QCOMPARE(image.pixel(x, top), image.pixel(x, top + 1));
            blacks += image.pixel(x, top) == black ? 1 : 0;
            whites += image.pixel(x, top) == 0xFFFFFFFF ? 1 : 0;
        }
        QCOMPARE(blacks, 16);
        QCOMPARE(whites, 16);
        QVERIFY(image.pixel(left + 2, top + 2) != black); // just inside: neither edge nor grid
        QTest::mouseRelease(view.windowHandle(), Qt::LeftButton, {}, QPoint(300, 200));
    }

    void the_window_paints_while_a_picture_loads_and_a_close_waits_for_its_end() {
        click_at(view_of(form()), centre_of(form().cmdCreateCode));
        QWidget* code = &view_of(*run_->program.code_window());
        auto& main = view_of(form());
        int paints = 0;
        bool ended_during_load = true;
        run_->pictures.during = [&] {
            const auto counter = std::make_unique<PaintCounter>(paints);
            main.installEventFilter(counter.get());
            code->close(); // the close box, while the helper decodes
            main.update();
            for (int k = 0; k < 5; ++k) {
                padscreen_qt::keep_painting();
                QTest::qWait(20);
            }
            main.removeEventFilter(counter.get());
            ended_during_load = run_->program.ended();
            QVERIFY(run_->program.code_window() != nullptr);
        };
        run_->platform.pictures.add("/pics/a.bmp", 8, 8);
        run_->platform.files.choose("/pics/a.bmp");
        click_at(main, centre_of(form().cmdNewPicture));
        QVERIFY(paints > 0);
        QVERIFY(!ended_during_load);
        QCOMPARE(run_->platform.pictures.loads.size(), std::size_t{1});
        QTRY_VERIFY(run_->program.ended()); // the close, once the load has ended
        QCOMPARE(run_->platform.app.quits, 1);
    }

    void every_button_caption_clears_its_edges_by_3_pixels() {
        int buttons = 0;
        const auto check = [this, &buttons](const tk::Window& w) {
            for (const auto& c : w.controls()) {
                if (c->kind() != tk::Kind::Button) {
                    continue;
                }
                auto* button = qobject_cast<QPushButton*>(widget(w, *c));
                QVERIFY(button != nullptr);
                const QFontInfo info(button->font());
                QCOMPARE(info.family(), QStringLiteral("Liberation Sans Narrow"));
                QVERIFY(info.pixelSize() >= 12);
                const QString caption =
                    QString::fromStdString(static_cast<tk::Button&>(*c).caption).remove(u'&');
                const int text = QFontMetrics(button->font()).horizontalAdvance(caption);
                QVERIFY2((px(c->width) - text) / 2 >= 3, qPrintable(caption));
                ++buttons;
            }
        };
        auto& dialog = open_dialog("/pics/a.bmp");
        check(dialog);
        click_at(view_of(dialog), centre_of(dialog.cmdReturn));
        check(form());
        click_at(view_of(form()), centre_of(form().cmdCreateCode));
        QVERIFY(run_->program.code_window() != nullptr);
        check(*run_->program.code_window());
        QCOMPARE(buttons, 9);
    }
};

QTEST_MAIN(BehaviourTest)
#include "qt_behaviour_tests.moc"
