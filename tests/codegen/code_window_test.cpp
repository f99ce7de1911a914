// SPDX-License-Identifier: GPL-2.0-or-later
#include "codegen/code_window.h"
#include "codegen/encoding.h"
#include "fakes.h"
#include "form1.h"
#include "program.h"
#include "slots/status_dialog.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using codegen::FrmShowCode;
using Shown = std::vector<std::pair<std::string, std::string>>;

class CodeWindowTest : public ::testing::Test {
protected:
    CodeWindowTest() { prog.start(); }

    FrmShowCode& create_code() {
        prog.form1()->cmdCreateCode.click();
        FrmShowCode* window = prog.code_window();
        EXPECT_NE(window, nullptr);
        return *window;
    }
    // "Write To Text File" with the given answer of the save dialog.
    void save_as(FrmShowCode& window, const std::string& path) {
        p.files.choose(path);
        window.set_focus(&window.cmdWriteTextFile); // the press takes the focus
        window.cmdWriteTextFile.click();
    }

    fakes::Platform p;
    Program prog{p.services};
};

TEST_F(CodeWindowTest, SavesTheTextAsItStandsAndReports) {
    FrmShowCode& w = create_code();
    EXPECT_EQ(w.caption, "Visual Basic Code");
    w.txtCode.text = "Penvane1.KeyPadAddHotSpot 0, 1, 60, 32, 47, 23\r\n\tedited\r\n";
    save_as(w, "/out/code");

    ASSERT_EQ(p.files.save_requests.size(), 1U);
    EXPECT_EQ(p.files.save_requests[0].filter, "Text Files (*.txt)|*.txt");
    EXPECT_EQ(p.files.save_requests[0].file_name, "");
    // Exactly the text: no extension added, no byte-order mark, nothing after.
    EXPECT_EQ(
        p.writer.files,
        (std::map<std::string, std::string>{
            {"/out/code", "Penvane1.KeyPadAddHotSpot 0, 1, 60, 32, 47, 23\r\n\tedited\r\n"}}));
    EXPECT_EQ(p.messages.shown, (Shown{{"File Saved as /out/code", "Save Status"}}));
    EXPECT_EQ(w.focus(), &w.txtCode);
}

TEST_F(CodeWindowTest, AnEmptyTextGivesAnEmptyFile) {
    FrmShowCode& w = create_code();
    save_as(w, "/out/empty.txt");
    ASSERT_EQ(p.writer.files.count("/out/empty.txt"), 1U);
    EXPECT_EQ(p.writer.files["/out/empty.txt"], "");
    EXPECT_EQ(p.messages.shown, (Shown{{"File Saved as /out/empty.txt", "Save Status"}}));
}

TEST_F(CodeWindowTest, CancelIsSilent) {
    FrmShowCode& w = create_code();
    w.txtCode.text = "x";
    p.files.cancel();
    w.set_focus(&w.cmdWriteTextFile);
    w.cmdWriteTextFile.click();

    EXPECT_EQ(p.files.save_requests.size(), 1U);
    EXPECT_TRUE(p.writer.files.empty());
    EXPECT_TRUE(p.messages.shown.empty());
    EXPECT_EQ(w.focus(), &w.txtCode);
}

TEST_F(CodeWindowTest, OffersThePathAgainWhileLoaded) {
    FrmShowCode& w = create_code();
    save_as(w, "/a/first.txt");
    p.files.cancel(); // a cancel forgets nothing
    w.cmdWriteTextFile.click();
    save_as(w, "/a/second.txt");
    prog.form1()->cmdCreateCode.click(); // a new run keeps the window loaded
    save_as(w, "/a/third.txt");

    ASSERT_EQ(p.files.save_requests.size(), 4U);
    EXPECT_EQ(p.files.save_requests[1].file_name, "/a/first.txt");
    EXPECT_EQ(p.files.save_requests[2].file_name, "/a/first.txt");
    EXPECT_EQ(p.files.save_requests[3].file_name, "/a/second.txt");

    // After "Return to Form" the window comes back fresh.
    w.cmdReturn.click();
    FrmShowCode& again = create_code();
    save_as(again, "/a/fourth.txt");
    EXPECT_EQ(p.files.save_requests[4].file_name, "");
}

TEST_F(CodeWindowTest, AWriteFailureShowsItsDescription) {
    FrmShowCode& w = create_code();
    p.writer.failure = "Permission denied";
    save_as(w, "/ro/code.txt");
    EXPECT_EQ(p.messages.shown, (Shown{{"Permission denied", "ERROR"}}));
    EXPECT_EQ(w.focus(), &w.txtCode);
    EXPECT_EQ(prog.code_window(), &w);
}

TEST_F(CodeWindowTest, RefusesACharacterTheCodePageCannotHold) {
    FrmShowCode& w = create_code();
    w.txtCode.text = "line one\r\nOhm \xCE\xA9 sign\r\n";
    save_as(w, "/a/code.txt");

    EXPECT_TRUE(p.writer.files.empty());
    ASSERT_EQ(p.messages.shown.size(), 1U);
    EXPECT_EQ(p.messages.shown[0].second, "ERROR");
    EXPECT_EQ(p.messages.shown[0].first,
              "Line 2 holds the character \"\xCE\xA9\" (U+03A9), which a Windows-1252 text file "
              "cannot hold. Nothing was written.");
    EXPECT_EQ(w.focus(), &w.txtCode);
}

TEST_F(CodeWindowTest, WritesTheEuroSignAsOneByte) {
    FrmShowCode& w = create_code();
    w.txtCode.text = "\xE2\x82\xAC 5, caf\xC3\xA9\r\n";
    save_as(w, "/a/euro.txt");
    EXPECT_EQ(p.writer.files["/a/euro.txt"], "\x80 5, caf\xE9\r\n");
}

TEST_F(CodeWindowTest, ReturnShowsForm1AgainWhenALoadHidIt) {
    FrmShowCode& w = create_code();
    p.pictures.add("/p.bmp", 2, 2);
    p.files.choose("/p.bmp");
    prog.form1()->cmdNewPicture.click();
    ASSERT_FALSE(prog.form1()->visible);
    w.cmdReturn.click();
    EXPECT_TRUE(prog.form1()->visible);
    EXPECT_TRUE(prog.form1()->Image(1).has_picture()); // the same Form1
    EXPECT_EQ(prog.code_window(), nullptr);
    EXPECT_EQ(p.app.quits, 0);
}

TEST_F(CodeWindowTest, TheCloseBoxEndsTheProgram) {
    create_code().request_close();
    EXPECT_EQ(p.app.quits, 1);
    EXPECT_TRUE(prog.loaded_windows().empty());
}

TEST_F(CodeWindowTest, ReturnAfterForm1WasClosedBringsItBackAsAtStartUp) {
    Form1& old_form = *prog.form1();
    p.pictures.add("/p.bmp", 2, 2);
    p.files.choose("/p.bmp");
    old_form.cmdNewPicture.click();
    prog.status_dialog()->cmdReturn.click();
    FrmShowCode& w = create_code();

    old_form.request_close();
    EXPECT_EQ(prog.form1(), nullptr);
    EXPECT_EQ(p.app.quits, 0); // the code window is still open

    w.cmdReturn.click();
    Form1* form = prog.form1();
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->visible);
    EXPECT_FALSE(form->Image(1).has_picture());
    EXPECT_TRUE(form->i.empty());
    EXPECT_TRUE(form->intIDS(1).empty());
    EXPECT_EQ(form->cboDisable.items, std::vector<std::string>{"None"});
    EXPECT_FALSE(form->cmdDelete.enabled);
    EXPECT_EQ(form->focus(), &form->cmdNewPicture);
    EXPECT_EQ(prog.code_window(), nullptr);
    EXPECT_EQ(p.app.quits, 0);

    form->request_close();
    EXPECT_EQ(p.app.quits, 1);
}

} // namespace
