// SPDX-License-Identifier: GPL-2.0-or-later
#include "fakes.h"
#include "codegen/code_window.h"
#include "program.h"
#include "slots/status_dialog.h"

#include <gtest/gtest.h>

namespace {

class ProgramLife : public ::testing::Test {
protected:
    ProgramLife() { program.start(); }
    fakes::Platform p;
    Program program{p.services};
};

TEST_F(ProgramLife, StartShowsTheMainWindowInItsStartUpState) {
    Form1* form = program.form1();
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->visible);
    EXPECT_FALSE(form->cmdDelete.enabled);
    EXPECT_FALSE(form->cmdHotspot.enabled);
    EXPECT_FALSE(form->cmdDeleteHS.enabled);
    EXPECT_EQ(form->cboDisable.items, std::vector<std::string>{"None"});
    EXPECT_EQ(form->focus(), &form->cmdNewPicture);
    EXPECT_EQ(program.loaded_windows().size(), 1U);
    EXPECT_EQ(p.app.quits, 0);
}

TEST_F(ProgramLife, ClosingTheLastWindowEndsTheProgram) {
    program.form1()->request_close();
    EXPECT_EQ(program.form1(), nullptr);
    EXPECT_TRUE(program.loaded_windows().empty());
    EXPECT_TRUE(program.ended());
    EXPECT_EQ(p.app.quits, 1);
    program.collect_unloaded();
    program.collect_unloaded(); // harmless when nothing is left
}

TEST_F(ProgramLife, MainWindowClosedWhileCodeWindowOpenKeepsRunning) {
    program.form1()->cmdCreateCode.click();
    ASSERT_NE(program.code_window(), nullptr);
    program.form1()->request_close();
    program.collect_unloaded();
    EXPECT_EQ(program.form1(), nullptr);
    EXPECT_FALSE(program.ended());
    EXPECT_EQ(p.app.quits, 0);
    EXPECT_EQ(program.loaded_windows().size(), 1U);
}

TEST_F(ProgramLife, ShowingTheMainWindowAgainStartsItAfresh) {
    Form1& before = *program.form1();
    before.i = Variant(std::int16_t{4});
    before.cmdCreateCode.click();
    before.request_close();
    program.collect_unloaded();

    Form1& after = program.show_form1();
    EXPECT_TRUE(after.visible);
    EXPECT_TRUE(after.i.empty());
    EXPECT_FALSE(after.cmdDelete.enabled);
    EXPECT_EQ(after.cboDisable.items, std::vector<std::string>{"None"});
    // The handlers are wired again: a load and Create Code on the new window work.
    p.pictures.add("/p/a.bmp", 20, 10);
    p.files.choose("/p/a.bmp");
    after.cmdNewPicture.click();
    ASSERT_NE(program.status_dialog(), nullptr);
    program.status_dialog()->cmdReturn.click();
    after.cmdCreateCode.click();
    ASSERT_NE(program.code_window(), nullptr);
    EXPECT_EQ(program.code_window()->txtCode.text,
              "Penvane1.LCDWriteBitmap 0, 2, 0, 0, 19, 10, a.Picture.Handle\r\n\r\n");
}

TEST_F(ProgramLife, EndProgramUnloadsEverythingOnce) {
    program.form1()->cmdCreateCode.click();
    program.end_program();
    EXPECT_TRUE(program.loaded_windows().empty());
    EXPECT_EQ(p.app.quits, 1);
    program.end_program();
    EXPECT_EQ(p.app.quits, 1);
}

} // namespace
