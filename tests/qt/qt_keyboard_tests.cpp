// SPDX-License-Identifier: GPL-2.0-or-later
// The properties panel and the keys against the real program: what a typed
// number becomes in the code, and a design made and saved with keys alone.
#include "assist_overlay.h"
#include "codegen/code_window.h"
#include "codegen/generate.h"
#include "document/document.h"
#include "fakes.h"
#include "program.h"
#include "program_view.h"
#include "properties_panel.h"
#include "running.h"
#include "slots/status_dialog.h"
#include "view_input.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>

#include <functional>
#include <memory>

class KeyboardTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Running> run_;

    Form1& form() { return *run_->program.form1(); }
    padscreen_qt::WindowView& main_view() { return *run_->view.view(form().id()); }
    padscreen_qt::PropertiesPanel& panel() { return *run_->view.assist().properties(); }
    template <class T> T* field(const char* name) {
        return panel().findChild<T*>(QString::fromLatin1(name));
    }
    std::size_t steps() const { return run_->program.history().undo_steps(); }
    QString code() { return QString::fromStdString(codegen::generate_code(form())); }

    static void key(Qt::Key k, Qt::KeyboardModifiers mods = {}) {
        if (QWidget* target = QApplication::focusWidget()) {
            QTest::keyClick(target, k, mods);
        }
    }
    // The window has the keyboard (the window system may say so a little before Qt does).
    static bool active(QWidget* window) {
        return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; });
    }
    // Tab until `to` has the focus, as a user would.
    static bool tab_to(QWidget* to) {
        for (int k = 0; k < 20 && QApplication::focusWidget() != to; ++k) {
            key(Qt::Key_Tab);
        }
        return QApplication::focusWidget() == to;
    }
    static bool type(QWidget* to, const QString& text) {
        const bool there = tab_to(to);
        key(Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(to, text);
        key(Qt::Key_Return);
        return there;
    }
    // A button's access key: it clicks once its pressed look has shown.
    static bool access_key(Qt::Key k, const std::function<bool()>& done) {
        key(k, Qt::AltModifier);
        return QTest::qWaitFor(done);
    }
    // "&Load Image" by its key, then OK in the status dialog.
    bool load_by_keys(const std::string& path) {
        run_->platform.pictures.add(path, 20, 10);
        run_->platform.files.choose(path);
        const auto dialog = [this] { return run_->program.status_dialog(); };
        const bool ok = access_key(Qt::Key_L, [&] { return dialog() != nullptr; }) &&
                        active(run_->view.view(dialog()->id())) &&
                        tab_to(run_->view.view(dialog()->id())->widget_for(dialog()->cmdReturn));
        key(Qt::Key_Return);
        return ok && active(&main_view());
    }
    // A band typed into the panel, then "C&reate Hotspot".
    bool band_by_keys(const QList<QPair<const char*, int>>& sides) {
        key(Qt::Key_F4);
        bool ok = active(&panel());
        for (const auto& [side, value] : sides) {
            ok = ok && type(field<QSpinBox>(side), QString::number(value));
        }
        ok =
            ok && access_key(Qt::Key_W, [this] { return panel().note().startsWith("Band drawn"); });
        key(Qt::Key_F4);
        return ok && active(&main_view()) &&
               access_key(Qt::Key_R, [this] { return !form().cmdHotspot.enabled; });
    }

private Q_SLOTS:
    void init() {
        run_ = std::make_unique<Running>();
        run_->view.start();
        QVERIFY(active(&main_view()));
    }
    void cleanup() {
        run_.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void a_typed_number_is_the_one_in_the_code_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("line"); // the line in the code, as a pattern
        QTest::addColumn<QString>("note");
        const QString bitmap = "LCDWriteBitmap 0, 2, %1, %2, 19, 10, a.Picture";
        const QString spot = "KeyPadAddHotSpot 0, 1, %1, %2, %3, %4\r";
        const auto row = [](const char* field, const char* typed, const QString& line,
                            const char* note = "") {
            QTest::addRow("%s %s", field, typed) << field << typed << line << note;
        };
        const QString zero = bitmap.arg(0).arg(0);
        row("picture x", "100", bitmap.arg(100).arg(0));
        row("picture y", "127", bitmap.arg(0).arg(127));
        row("picture x", "400", bitmap.arg(298).arg(0),
            "x 400 cannot be reached: the picture stays on the canvas: x 298 at most here");
        row("picture y", "-3", zero, "y -3 cannot be reached: LCD numbers start at 0");
        row("hotspot x", "239", spot.arg(239).arg(20).arg(40).arg(20));
        row("hotspot w", "7", spot.arg(20).arg(20).arg(7).arg(20));
        row("hotspot h", "300", spot.arg(20).arg(20).arg(40).arg(218),
            "h 300 cannot be reached: the hotspot ends at the canvas's edge: h 218 at most here");
        row("status", "Hidden Background", "LCDWriteBitmap 1, 2, 0, 0, 19, 10, a.Picture");
        row("mode", "Complement", "LCDWriteBitmap 0, 1, 0, 0, 19, 10, a.Picture");
        row("name", "okButton", QString(zero).replace("a.", "okButton."));
        row("name", "my ok", zero, "NAME not changed: no spaces");
        row("name", "Print", zero, "NAME not changed: \"Print\" is a word of Visual Basic");
    }
    // A picture at (0, 0) and a hotspot at x 20, y 20, w 40, h 20, drawn by
    // numbers; the one edited is selected by key, the hotspot let go for the code.
    void a_typed_number_is_the_one_in_the_code() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, line);
        QFETCH(QString, note);
        QVERIFY(load_by_keys("/pics/a.bmp"));
        QVERIFY(band_by_keys({{"band x", 20}, {"band y", 20}}));
        key(Qt::Key_F6);
        if (field.startsWith("hotspot")) {
            key(Qt::Key_F6);
        }
        key(Qt::Key_F4);
        QVERIFY(active(&panel()));
        const std::size_t before = steps();
        QWidget* edited = this->field<QWidget>(field.toLatin1().constData());
        QVERIFY(edited != nullptr && edited->isEnabled());
        QVERIFY(tab_to(edited));
        if (auto* combo = qobject_cast<QComboBox*>(edited)) {
            const int to = combo->findText(typed);
            for (int k = 0; k < 4 && combo->currentIndex() != to; ++k) {
                key(combo->currentIndex() < to ? Qt::Key_Down : Qt::Key_Up);
            }
            QCOMPARE(combo->currentText(), typed);
        } else {
            QVERIFY(type(edited, typed));
        }
        QVERIFY2(note.isEmpty() ? panel().note().isEmpty() : panel().note().startsWith(note),
                 qPrintable(panel().note()));
        const bool refused = note.startsWith("NAME not") || typed == "-3";
        QCOMPARE(steps(), before + (refused ? 0 : 1));
        key(Qt::Key_F4);
        QVERIFY(active(&main_view()));
        if (!refused) {
            key(Qt::Key_Z, Qt::ControlModifier); // one step
            QCOMPARE(steps(), before);
            key(Qt::Key_Y, Qt::ControlModifier);
        }
        key(Qt::Key_F6); // let the hotspot go: a selected one has no line
        QVERIFY2(code().contains(line), qPrintable(code()));
    }

    // The panel is made when it first shows: it shows what is selected then.
    void the_panel_shows_the_selection_when_first_opened() {
        QVERIFY(load_by_keys("/pics/a.bmp"));
        key(Qt::Key_F6);
        for (int k = 0; k < 3; ++k) {
            key(Qt::Key_Right);
        }
        key(Qt::Key_F4);
        QVERIFY(active(&panel()));
        QCOMPARE(field<QSpinBox>("picture x")->value(), 3);
        QCOMPARE(field<QLineEdit>("name")->text(), QString("a"));
        QVERIFY(!field<QSpinBox>("hotspot x")->isEnabled());
    }

    // Load, place, hotspot, code and save with keys alone.
    void the_whole_road_by_keyboard() {
        QVERIFY(load_by_keys("/pics/logo.bmp"));
        key(Qt::Key_F6); // the picture, as its click selects it
        QVERIFY(form().lblPicture(1).visible && form().intPic.is(1));
        for (int k = 0; k < 5; ++k) {
            key(Qt::Key_Right);
        }
        key(Qt::Key_Down, Qt::ShiftModifier);
        QVERIFY(band_by_keys({{"band x", 100}, {"band y", 60}, {"band w", 50}, {"band h", 30}}));
        // A second hotspot, selected by key and deleted by key as its button does.
        QVERIFY(band_by_keys({{"band x", 10}}));
        QVERIFY(form().lbl(2).visible);
        key(Qt::Key_F6);
        key(Qt::Key_F6);
        key(Qt::Key_F6, Qt::ShiftModifier); // back to the first hotspot
        key(Qt::Key_F6);
        QCOMPARE(form().lbl(2).back_color, tk::kBlue);
        QTRY_VERIFY(run_->view.assist().painted_lines().contains("Arrows move hotspot 1"));
        key(Qt::Key_Delete);
        QVERIFY(!form().lbl(2).visible);
        QVERIFY(access_key(Qt::Key_C, [this] { return run_->program.code_window() != nullptr; }));
        auto* code = run_->program.code_window();
        padscreen_qt::WindowView& code_view = *run_->view.view(code->id());
        QVERIFY(QTest::qWaitForWindowActive(&code_view));
        run_->platform.files.choose("/out/road.txt");
        QVERIFY(tab_to(code_view.widget_for(code->cmdWriteTextFile)));
        key(Qt::Key_Space);
        QCOMPARE(run_->platform.writer.files.at("/out/road.txt"),
                 "Penvane1.LCDWriteBitmap 0, 2, 5, 8, 19, 10, logo.Picture.Handle\r\n\r\n"
                 "Penvane1.KeyPadAddHotSpot 0, 1, 100, 60, 50, 30\r\n");
    }

    // Escape takes back a band in progress; the rectangle drawn before comes back.
    void escape_cancels_a_band() {
        auto& view = main_view();
        QTest::mousePress(view.windowHandle(), Qt::LeftButton, {}, QPoint(40, 40));
        view_input::send_move(view, QPoint(120, 100), Qt::LeftButton);
        QTest::mouseRelease(view.windowHandle(), Qt::LeftButton, {}, QPoint(120, 100));
        const FormState drawn = form().state();
        QTest::mousePress(view.windowHandle(), Qt::LeftButton, {}, QPoint(300, 300));
        view_input::send_move(view, QPoint(400, 380), Qt::LeftButton);
        QVERIFY(form().lin(1).visible && !form().lin(5).visible);
        key(Qt::Key_Escape);
        QVERIFY(!form().lin(1).visible && form().lin(5).visible);
        QTest::mouseRelease(view.windowHandle(), Qt::LeftButton, {}, QPoint(400, 380));
        QCOMPARE(form().state().design, drawn.design);
        QVERIFY(access_key(Qt::Key_R, [this] { return form().lbl(1).visible; }));
        QCOMPARE(form().lbl(1).width, 80.0F * tk::kTwipsPerPixel);
    }
};

QTEST_MAIN(KeyboardTest)
#include "qt_keyboard_tests.moc"
