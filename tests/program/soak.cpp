// SPDX-License-Identifier: GPL-2.0-or-later
// Random use of the whole program with fake platform services, checking after
// every action what must always hold. Seeded and deterministic:
//   program_soak [actions [seed]]   (or PADSCREEN_SOAK_ACTIONS / PADSCREEN_SOAK_SEED)
// Exits 1 with the seed, the action number and the recent actions on the
// first broken rule.
#include "codegen/code_window.h"
#include "fakes.h"
#include "program.h"
#include "slots/status_dialog.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <exception>
#include <memory>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::uint64_t setting(int argc, char** argv, int index, const char* variable,
                      std::uint64_t fallback) {
    if (argc > index) {
        return std::strtoull(argv[index], nullptr, 10);
    }
    if (const char* value = std::getenv(variable)) {
        return std::strtoull(value, nullptr, 10);
    }
    return fallback;
}

class Soak {
public:
    explicit Soak(std::uint64_t seed) : random_(seed) { restart(); }

    // One random action and the checks after it; false when a rule broke.
    bool step(std::uint64_t number) {
        number_ = number;
        if (program_->ended()) {
            note("program ended: start again");
            restart();
        }
        // As the window system hands each action to the program.
        program_->run([this] { act(); });
        program_->collect_unloaded();
        return check();
    }

    void report(std::uint64_t seed) const {
        std::fprintf(stderr, "soak: seed %llu, action %llu: %s\nlast actions:\n",
                     static_cast<unsigned long long>(seed),
                     static_cast<unsigned long long>(number_), failure_.c_str());
        for (const std::string& line : recent_) {
            std::fprintf(stderr, "  %s\n", line.c_str());
        }
    }

private:
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    float coordinate(float high) { return static_cast<float>(pick(-300, static_cast<int>(high))); }
    bool chance(int percent) { return pick(1, 100) <= percent; }

    void note(const std::string& what) {
        recent_.push_back(std::to_string(number_) + ": " + what);
        if (recent_.size() > 24) {
            recent_.pop_front();
        }
    }

    void restart() {
        program_.reset();
        platform_ = std::make_unique<fakes::Platform>();
        program_ = std::make_unique<Program>(platform_->services);
        program_->start();
        held_ = 0;
    }

    // --- actions --------------------------------------------------------

    void act() {
        if (auto* dialog = program_->status_dialog(); dialog != nullptr && dialog->visible) {
            // Form1 is hidden while the dialog asks; the code window may be open beside it.
            if (program_->code_window() != nullptr && chance(10)) {
                act_code(*program_->code_window());
            } else {
                act_dialog(*dialog);
            }
            return;
        }
        Form1* form = program_->form1();
        codegen::FrmShowCode* code = program_->code_window();
        if (code != nullptr && (form == nullptr || !form->visible || chance(25))) {
            act_code(*code);
        } else if (form != nullptr) {
            act_form(*form);
        }
    }

    void act_dialog(picture_slots::FrmImageDisplayStatus& dialog) {
        const int what = pick(0, 19);
        if (what == 0) {
            note("dialog: close box");
            dialog.request_close();
        } else if (what < 8) {
            tk::OptionButton* options[] = {
                &dialog.optDisplay,         &dialog.optHiddenBackground,
                &dialog.optModeClear,       &dialog.optModeComplement,
                &dialog.optModeWriteOpaque, &dialog.optModeWriteTransparent};
            tk::OptionButton* option = options[pick(0, 5)];
            note("dialog: choose " + option->caption);
            dialog.set_focus(option);
        } else {
            note("dialog: OK");
            dialog.cmdReturn.click();
        }
    }

    void act_code(codegen::FrmShowCode& code) {
        const int what = pick(0, 19);
        if (what == 0) {
            note("code: close box");
            code.request_close();
        } else if (what < 4) {
            note("code: Return to Form");
            code.cmdReturn.click();
        } else if (what < 10) {
            static const char* const pieces[] = {
                "x", "\r\n", " ", "\xC2\xA0", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xFF", "\t"};
            const char* piece = pieces[pick(0, 7)];
            note("code: type '" + std::string(piece) + "'");
            auto& text = code.txtCode.text;
            text.insert(static_cast<std::size_t>(pick(0, static_cast<int>(text.size()))), piece);
            // A text the encoder refuses is one thing; one of megabytes is another.
            if (text.size() > 4096) {
                text.resize(1024);
            }
        } else {
            const int how = pick(0, 3);
            if (how == 0) {
                platform_->files.cancel();
            } else {
                platform_->files.choose("/saved/code" + std::to_string(pick(1, 3)) + ".txt");
            }
            platform_->writer.failure =
                how == 1 ? std::optional<std::string>("Could not save: the disk is full.")
                         : std::nullopt;
            note(how == 0   ? "code: save, cancelled"
                 : how == 1 ? "code: save, fails"
                            : "code: save");
            const std::size_t shown = platform_->messages.shown.size();
            code.cmdWriteTextFile.click();
            expect_save_outcome(how, shown);
        }
    }

    void act_form(Form1& form) {
        const int what = pick(0, 99);
        if (what < 8) {
            load(form);
        } else if (what < 30) {
            const float x = coordinate(Form1::kCanvasRight);
            const float y = coordinate(Form1::kCanvasBottom);
            note("click at " + place(x, y));
            gesture(form, x, y, x, y, true);
        } else if (what < 55) {
            const float x0 = coordinate(Form1::kCanvasRight);
            const float y0 = coordinate(Form1::kCanvasBottom);
            const float x1 = coordinate(Form1::kClientWidth + 600);
            const float y1 = coordinate(Form1::kClientHeight + 600);
            const int ending = pick(0, 5); // 0: release lost, 1: released elsewhere
            note("drag " + place(x0, y0) + " to " + place(x1, y1) +
                 (ending == 0   ? ", release lost"
                  : ending == 1 ? ", released elsewhere"
                                : ""));
            gesture(form, x0, y0, x1, y1, ending > 1, ending == 1);
        } else if (what < 62) {
            click_shown_picture_or_hotspot(form);
        } else if (what < 70) {
            note("Create Hotspot");
            click_if_enabled(form.cmdHotspot);
        } else if (what < 74) {
            note("Delete Hotspot");
            click_if_enabled(form.cmdDeleteHS);
        } else if (what < 80) {
            const int index = pick(0, static_cast<int>(form.cboDisable.items.size()) - 1);
            note("enable list: " + form.cboDisable.items[static_cast<std::size_t>(index)]);
            form.cboDisable.choose(index);
            // The combo's own click reads the chosen text: nothing else may have changed it.
        } else if (what < 84) {
            note("Delete");
            click_if_enabled(form.cmdDelete);
        } else if (what < 85) {
            note("Reset All");
            click_if_enabled(form.cmdReset);
        } else if (what < 91) {
            note("undo");
            program_->undo();
        } else if (what < 93) {
            note("redo");
            program_->redo();
        } else if (what < 97) {
            note("Create Code");
            click_if_enabled(form.cmdCreateCode);
            if (program_->code_window() != nullptr) {
                check_code(form, program_->code_window()->txtCode.text);
            }
        } else {
            note("main window: close box");
            form.request_close();
        }
    }

    void load(Form1& form) {
        const int how = pick(0, 9);
        const std::string title = "pic" + std::to_string(pick(1, 4)) + (chance(80) ? ".bmp" : "");
        if (how == 0) {
            note("load, cancelled");
            platform_->files.cancel();
        } else if (how < 3) {
            note("load /broken/" + title + ", fails");
            platform_->files.choose("/broken/" + title);
        } else {
            const std::string path = "/pics/" + std::to_string(pick(1, 40)) + "/" + title;
            if (platform_->pictures.pictures.count(path) == 0) {
                platform_->pictures.add(path, pick(1, 400), pick(1, 300));
            }
            note("load " + path);
            platform_->files.choose(path);
        }
        click_if_enabled(form.cmdNewPicture);
        platform_->files.answers.clear();
    }

    void click_shown_picture_or_hotspot(Form1& form) {
        std::vector<tk::Control*> targets;
        for (int n = 1; n <= Form1::kSlots; ++n) {
            if (form.Image(n).visible) {
                targets.push_back(&form.Image(n));
            }
        }
        for (int k = 1; k <= Form1::kHotspots; ++k) {
            if (form.lbl(k).visible) {
                targets.push_back(&form.lbl(k));
            }
        }
        if (targets.empty()) {
            return;
        }
        const tk::Rect r =
            targets[static_cast<std::size_t>(pick(0, static_cast<int>(targets.size()) - 1))]
                ->window_rect();
        const float x = r.left + r.width / 2;
        const float y = r.top + r.height / 2;
        note("click on " + place(x, y));
        gesture(form, x, y, x, y, true);
    }

    void click_if_enabled(tk::Button& button) {
        if (button.enabled && button.visible) {
            button.click();
        }
    }

    // The pointer comes to the first point, presses, moves to the second and
    // releases there, over this window or another; or its release is lost.
    void gesture(Form1& form, float x0, float y0, float x1, float y1, bool release,
                 bool elsewhere = false) {
        form.mouse_move(0, 0, x0, y0); // the button is up, whatever became of its release
        form.mouse_press(tk::kLeftButton, 0, x0, y0);
        held_ = tk::kLeftButton;
        if (x1 != x0 || y1 != y0) {
            form.mouse_move(held_, 0, (x0 + x1) / 2, (y0 + y1) / 2);
            form.mouse_move(held_, 0, x1, y1);
        }
        if (elsewhere) {
            form.mouse_release_elsewhere(tk::kLeftButton, 0, x1, y1);
            held_ = 0;
        } else if (release) {
            form.mouse_release(tk::kLeftButton, 0, x1, y1);
            held_ = 0;
        }
    }

    static std::string place(float x, float y) {
        return "(" + std::to_string(static_cast<int>(x)) + ", " +
               std::to_string(static_cast<int>(y)) + ")";
    }

    // --- rules ----------------------------------------------------------

    bool fail(const std::string& what) {
        failure_ = what;
        return false;
    }

    void expect_save_outcome(int how, std::size_t shown_before) {
        const auto& shown = platform_->messages.shown;
        if (how == 0) {
            if (shown.size() != shown_before) {
                save_failure_ = "a cancelled save showed a message";
            }
            return;
        }
        if (shown.size() != shown_before + 1) {
            save_failure_ =
                "a save showed " + std::to_string(shown.size() - shown_before) + " messages";
        } else if (how == 1 && shown.back().second != "ERROR") {
            save_failure_ = "a failing save did not say ERROR";
        }
    }

    bool check() {
        if (!save_failure_.empty()) {
            return fail(save_failure_);
        }
        if (!code_failure_.empty()) {
            return fail(code_failure_);
        }
        Form1* form = program_->form1();
        if (form == nullptr) {
            return true; // closed while the code window stays: no design to check
        }
        int blue = 0;
        for (int k = 1; k <= Form1::kHotspots; ++k) {
            blue += form->lbl(k).visible && form->lbl(k).back_color == tk::kBlue ? 1 : 0;
        }
        if (blue > 1) {
            return fail(std::to_string(blue) + " blue hotspots");
        }
        std::vector<std::string> titles;
        for (int n = 1; n <= Form1::kSlots; ++n) {
            const tk::Image& image = form->Image(n);
            if (image.visible != image.has_picture()) {
                return fail("Image" + std::to_string(n) +
                            (image.visible ? " shown empty" : " hidden with a picture"));
            }
            if (image.has_picture()) {
                titles.push_back(image.tag);
            }
        }
        const auto& items = form->cboDisable.items;
        if (items.empty() || items.front() != "None") {
            return fail("the enable list does not start with None");
        }
        std::vector<std::string> listed(items.begin() + 1, items.end());
        std::sort(listed.begin(), listed.end());
        std::sort(titles.begin(), titles.end());
        if (listed != titles) {
            return fail("the enable list holds " + std::to_string(listed.size()) + " titles for " +
                        std::to_string(titles.size()) + " pictures");
        }
        return check_markers(*form);
    }

    bool check_markers(const Form1& form) {
        int shown = 0;
        for (int m = 1; m <= 4; ++m) {
            shown += form.lblPicture(m).visible ? 1 : 0;
        }
        if (shown == 0) {
            return true;
        }
        if (shown != 4) {
            return fail(std::to_string(shown) + " of the four markers shown");
        }
        int slot = 0;
        for (int n = 1; n <= Form1::kSlots; ++n) {
            slot = form.intPic.is(n) ? n : slot;
        }
        if (slot == 0 || !form.Image(slot).has_picture()) {
            return fail("markers shown with no picture selected");
        }
        // Around the picture: each marker's corner 75 twips off the picture's.
        const tk::Image& image = form.Image(slot);
        const float sink = held_ != 0 ? 40 : 0; // a held picture sinks by 40 until released
        const float left = image.left - 75;
        const float top = image.top - 75;
        const float right = image.left + image.width - 75;
        const float bottom = image.top + image.height - 75;
        const float expected[4][2] = {{left, top}, {right, top}, {left, bottom}, {right, bottom}};
        for (int m = 1; m <= 4; ++m) {
            const float dx = form.lblPicture(m).left - expected[m - 1][0];
            const float dy = form.lblPicture(m).top - expected[m - 1][1];
            if (!((dx == 0 && dy == 0) || (dx == -sink && dy == -sink))) {
                return fail("marker " + std::to_string(m) + " at " +
                            place(form.lblPicture(m).left, form.lblPicture(m).top) +
                            " is not at a corner of Image" + std::to_string(slot) + " at " +
                            place(image.left, image.top) + " sized " +
                            place(image.width, image.height));
            }
        }
        return true;
    }

    // The text just generated: bitmap lines, an empty line after them, hotspot
    // lines numbered from 0; as many of each as the design holds.
    void check_code(const Form1& form, const std::string& text) {
        static const std::regex bitmap(
            R"(Penvane1\.LCDWriteBitmap (-?\d*), (-?\d*), (-?\d+), (-?\d+), (-?\d+), (-?\d+), ([^.]*)\.Picture\.Handle)");
        static const std::regex hotspot(
            R"(Penvane1\.KeyPadAddHotSpot (\d+), 1, (-?\d+), (-?\d+), (-?\d+), (-?\d+))");
        int pictures = 0;
        int red = 0;
        for (int n = 1; n <= Form1::kSlots; ++n) {
            pictures += form.Image(n).has_picture() ? 1 : 0;
        }
        for (int k = 1; k <= Form1::kHotspots; ++k) {
            red += form.lbl(k).visible && form.lbl(k).back_color == tk::kRed ? 1 : 0;
        }
        if (!text.empty() && (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0)) {
            code_failure_ = "generated text does not end with CR LF";
            return;
        }
        std::vector<std::string> lines;
        for (std::size_t from = 0; from < text.size();) {
            const std::size_t end = text.find("\r\n", from);
            lines.push_back(text.substr(from, end - from));
            from = end + 2;
        }
        std::size_t k = 0;
        int bitmaps = 0;
        for (; k < lines.size() && std::regex_match(lines[k], bitmap); ++k) {
            ++bitmaps;
        }
        if (bitmaps > 0) {
            if (k >= lines.size() || !lines[k].empty()) {
                code_failure_ = "no empty line after the bitmap lines";
                return;
            }
            ++k;
        }
        int number = 0;
        for (; k < lines.size(); ++k, ++number) {
            std::smatch m;
            if (!std::regex_match(lines[k], m, hotspot)) {
                code_failure_ = "line " + std::to_string(k + 1) + " is neither form: " + lines[k];
                return;
            }
            if (std::stoi(m[1].str()) != number) {
                code_failure_ = "hotspot numbers out of sequence at line " + std::to_string(k + 1);
                return;
            }
        }
        if (bitmaps != pictures || number != red) {
            code_failure_ = std::to_string(bitmaps) + " bitmap and " + std::to_string(number) +
                            " hotspot lines for " + std::to_string(pictures) + " pictures and " +
                            std::to_string(red) + " red hotspots";
        }
    }

    std::mt19937_64 random_;
    std::unique_ptr<fakes::Platform> platform_;
    std::unique_ptr<Program> program_;
    std::int16_t held_ = 0;
    std::uint64_t number_ = 0;
    std::deque<std::string> recent_;
    std::string failure_;
    std::string save_failure_;
    std::string code_failure_;
};

} // namespace

int main(int argc, char** argv) try {
    const std::uint64_t actions = setting(argc, argv, 1, "PADSCREEN_SOAK_ACTIONS", 100000);
    const std::uint64_t seed = setting(argc, argv, 2, "PADSCREEN_SOAK_SEED", 1);
    Soak soak(seed);
    for (std::uint64_t n = 1; n <= actions; ++n) {
        if (!soak.step(n)) {
            soak.report(seed);
            return 1;
        }
    }
    std::printf("soak: %llu actions, seed %llu, every rule held\n",
                static_cast<unsigned long long>(actions), static_cast<unsigned long long>(seed));
    return 0;
} catch (const std::exception& e) {
    std::fprintf(stderr, "soak: %s\n", e.what());
    return 1;
}
