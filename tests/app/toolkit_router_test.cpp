// SPDX-License-Identifier: GPL-2.0-or-later
#include "toolkit/window.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// A window with two overlapping pictures, a label, a line and a button, each
// recording the events it receives.
class Router : public ::testing::Test {
protected:
    Router() : w("w", "test", 6000, 4000) {
        line = &w.add<tk::Line>("line");
        line->x1 = 0;
        line->y1 = 500;
        line->x2 = 6000;
        line->y2 = 500;
        label = &w.add<tk::Label>("label");
        place(*label, 3000, 0, 600, 600);
        lower = &w.add<tk::Image>("lower");
        place(*lower, 1000, 1000, 1000, 1000);
        upper = &w.add<tk::Image>("upper");
        place(*upper, 1500, 1500, 1000, 1000);
        button = &w.add<tk::Button>("button");
        place(*button, 5000, 3000, 900, 400);
        for (tk::Control* c : std::initializer_list<tk::Control*>{label, lower, upper}) {
            record(*c);
        }
        w.on_mouse_down = [this](const tk::MouseArgs& a) { log("window down", a); };
        w.on_mouse_move = [this](const tk::MouseArgs& a) { log("window move", a); };
        w.on_mouse_up = [this](const tk::MouseArgs& a) { log("window up", a); };
        w.on_drag_drop = [this](tk::Control& source, float x, float y) {
            events.push_back("drop " + source.name() + " " + std::to_string(int(x)) + "," +
                             std::to_string(int(y)));
        };
        w.drag_distance = 60;
    }

    static void place(tk::Control& c, float l, float t, float wd, float h) {
        c.left = l;
        c.top = t;
        c.width = wd;
        c.height = h;
    }
    void record(tk::Control& c) {
        const std::string n = c.name();
        c.on_click = [this, n] { events.push_back(n + " click"); };
        c.on_mouse_down = [this, n](const tk::MouseArgs& a) { log(n + " down", a); };
        c.on_mouse_move = [this, n](const tk::MouseArgs& a) { log(n + " move", a); };
        c.on_mouse_up = [this, n](const tk::MouseArgs& a) { log(n + " up", a); };
    }
    void log(const std::string& what, const tk::MouseArgs& a) {
        events.push_back(what + " " + std::to_string(int(a.x)) + "," + std::to_string(int(a.y)));
    }
    // The pointer comes to rest at a point; what that move raised is dropped.
    void arrive(float x, float y) {
        w.mouse_move(0, 0, x, y);
        events.clear();
    }
    void press(std::int16_t button, float x, float y) {
        arrive(x, y);
        w.mouse_press(button, 0, x, y);
    }
    void click(float x, float y) {
        press(tk::kLeftButton, x, y);
        w.mouse_release(tk::kLeftButton, 0, x, y);
    }
    std::vector<std::string> take() { return std::exchange(events, {}); }

    tk::Window w;
    tk::Line* line = nullptr;
    tk::Label* label = nullptr;
    tk::Image* lower = nullptr;
    tk::Image* upper = nullptr;
    tk::Button* button = nullptr;
    std::vector<std::string> events;
};

using Events = std::vector<std::string>;

TEST_F(Router, BareSurfaceAndLinesReachTheWindow) {
    click(100, 500); // on the line: lines are inert
    EXPECT_EQ(take(), (Events{"window down 100,500", "window up 100,500"}));
}

TEST_F(Router, VisibleControlTakesThePressHiddenOrDisabledLetsItThrough) {
    click(1200, 1200); // only the lower picture
    EXPECT_EQ(take(), (Events{"lower down 200,200", "lower up 200,200", "lower click"}));

    click(1700, 1700); // both: the upper one wins
    EXPECT_EQ(take(), (Events{"upper down 200,200", "upper up 200,200", "upper click"}));

    upper->visible = false;
    click(1700, 1700);
    EXPECT_EQ(take(), (Events{"lower down 700,700", "lower up 700,700", "lower click"}));

    lower->enabled = false;
    click(1700, 1700);
    EXPECT_EQ(take(), (Events{"window down 1700,1700", "window up 1700,1700"}));
}

TEST_F(Router, PressWhereNoMoveWasSeenFirstCountsAsTheArrivalOfThePointer) {
    // A picture that appears under a resting pointer learns of it before the press.
    w.mouse_move(0, 0, 100, 100);
    w.mouse_press(tk::kLeftButton, 0, 1200, 1300);
    w.mouse_release(tk::kLeftButton, 0, 1200, 1300);
    EXPECT_EQ(take(), (Events{"window move 100,100", "lower move 200,300", "lower down 200,300",
                              "lower up 200,300", "lower click"}));
    // Pressing again where the pointer already is raises no extra move.
    w.mouse_press(tk::kLeftButton, 0, 1200, 1300);
    w.mouse_release(tk::kLeftButton, 0, 1200, 1300);
    EXPECT_EQ(take(), (Events{"lower down 200,300", "lower up 200,300", "lower click"}));
}

TEST_F(Router, BringToTopChangesWhoIsHit) {
    w.bring_to_top(*lower);
    click(1700, 1700);
    EXPECT_EQ(take(), (Events{"lower down 700,700", "lower up 700,700", "lower click"}));
    EXPECT_EQ(w.drawn_order().back(), lower);
}

TEST_F(Router, WindowedControlsLieAboveTheDrawnLayer) {
    place(*lower, 4900, 2900, 1000, 1000); // under the button
    click(5100, 3100);
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(w.input_target(5100, 3100), button);
    button->visible = false;
    EXPECT_EQ(w.input_target(5100, 3100), lower);
}

TEST_F(Router, WindowCapturesWhileHeldEvenOutside) {
    press(tk::kRightButton, 200, 200);
    w.mouse_move(tk::kRightButton, 0, 1200, 1200); // over a picture: still the window's
    w.mouse_move(tk::kRightButton, 0, -300, -45);  // outside the client area
    w.mouse_release(tk::kRightButton, 0, 9000, -10);
    EXPECT_EQ(take(), (Events{"window down 200,200", "window move 1200,1200",
                              "window move -300,-45", "window up 9000,-10"}));
    // After the release, moves go to whatever is under the pointer again.
    w.mouse_move(0, 0, 1200, 1200);
    EXPECT_EQ(take(), (Events{"lower move 200,200"}));
}

TEST_F(Router, HoverMovesReachTheControlUnderThePointer) {
    w.mouse_move(0, 0, 100, 100);
    w.mouse_move(0, 0, 3100, 50);
    w.mouse_move(0, 0, 2400, 2400);
    EXPECT_EQ(take(), (Events{"window move 100,100", "label move 100,50", "upper move 900,900"}));
}

TEST_F(Router, AutomaticImageClickWithoutMovementIsAClick) {
    lower->drag_mode = tk::Image::kAutomatic;
    press(tk::kLeftButton, 1200, 1200);
    w.mouse_move(tk::kLeftButton, 0, 1230, 1220); // within the drag distance
    w.mouse_release(tk::kLeftButton, 0, 1230, 1220);
    EXPECT_EQ(take(), (Events{"lower click"}));
    EXPECT_FALSE(w.drag_outline());
}

TEST_F(Router, AutomaticImageDragDropsOnBareSurfaceOnly) {
    lower->drag_mode = tk::Image::kAutomatic;
    press(tk::kLeftButton, 1200, 1300);
    w.mouse_move(tk::kLeftButton, 0, 3500, 3000);
    // The outline follows the pointer, keeping the grab point; the control stays.
    ASSERT_TRUE(w.drag_outline());
    EXPECT_EQ(w.drag_outline()->left, 3300);
    EXPECT_EQ(w.drag_outline()->top, 2700);
    EXPECT_EQ(w.drag_source(), lower);
    EXPECT_EQ(lower->left, 1000);
    w.mouse_move(tk::kLeftButton, 0, 3700, 3100);
    w.mouse_release(tk::kLeftButton, 0, 3700, 3100);
    EXPECT_EQ(take(), (Events{"drop lower 3700,3100"}));
    EXPECT_FALSE(w.drag_outline());
}

TEST_F(Router, DragReleasedOverAnyControlOrOutsideRaisesNothing) {
    lower->drag_mode = tk::Image::kAutomatic;
    const struct {
        float x, y;
        bool elsewhere; // over another top-level window
        const char* over;
    } targets[] = {{3100, 100, false, "label"},
                   {2400, 2400, false, "upper picture"},
                   {1900, 1100, false, "the dragged picture itself"},
                   {5100, 3100, false, "button"},
                   {6000, 2000, false, "beyond the right edge"},
                   {-15, 2000, false, "beyond the left edge"},
                   {3000, -300, false, "the title bar"},
                   {3000, 4000, false, "below the window"},
                   {4000, 2000, true, "another window over the bare surface"}};
    for (const auto& t : targets) {
        SCOPED_TRACE(t.over);
        press(tk::kLeftButton, 1100, 1100);
        w.mouse_move(tk::kLeftButton, 0, t.x, t.y);
        if (t.elsewhere) {
            w.mouse_release_elsewhere(tk::kLeftButton, 0, t.x, t.y);
        } else {
            w.mouse_release(tk::kLeftButton, 0, t.x, t.y);
        }
        EXPECT_TRUE(take().empty());
        EXPECT_FALSE(w.drag_outline());
    }
    // The window still takes a drop on its bare surface afterwards.
    press(tk::kLeftButton, 1100, 1100);
    w.mouse_move(tk::kLeftButton, 0, 4000, 2000);
    w.mouse_release(tk::kLeftButton, 0, 4000, 2000);
    EXPECT_EQ(take(), (Events{"drop lower 4000,2000"}));
    // A disabled picture lets the drop through to the window.
    upper->enabled = false;
    press(tk::kLeftButton, 1100, 1100);
    w.mouse_move(tk::kLeftButton, 0, 2400, 2400);
    w.mouse_release(tk::kLeftButton, 0, 2400, 2400);
    EXPECT_EQ(take(), (Events{"drop lower 2400,2400"}));
}

TEST_F(Router, ManualImageGetsPressMoveReleaseAndClick) {
    press(tk::kLeftButton, 1100, 1100);
    w.mouse_move(tk::kLeftButton, 0, 1400, 1300);
    w.mouse_move(tk::kLeftButton, 0, 4000, 3500); // held: still the picture's
    w.mouse_release(tk::kLeftButton, 0, 4000, 3500);
    // Released away from the picture: no click.
    EXPECT_EQ(take(), (Events{"lower down 100,100", "lower move 400,300", "lower move 3000,2500",
                              "lower up 3000,2500"}));
}

TEST_F(Router, ClickIsJudgedAfterTheReleaseHandlerRan) {
    // A picture that sinks while held and comes back on release still gets its click.
    lower->on_mouse_down = [this](const tk::MouseArgs&) { lower->left += 400; };
    lower->on_mouse_up = [this](const tk::MouseArgs&) { lower->left -= 400; };
    click(1100, 1100);
    EXPECT_EQ(take(), (Events{"lower click"}));
}

TEST_F(Router, OnlyTheCapturingButtonEndsTheCapture) {
    press(tk::kLeftButton, 100, 100);
    w.mouse_press(tk::kRightButton, 0, 200, 200);   // ignored while held
    w.mouse_release(tk::kRightButton, 0, 200, 200); // not the capturing button
    w.mouse_release(tk::kLeftButton, 0, 300, 300);
    EXPECT_EQ(take(), (Events{"window down 100,100", "window up 300,300"}));
}

TEST_F(Router, APressOfTheHeldButtonMeansItsReleaseWasLost) {
    press(tk::kLeftButton, 100, 100);
    w.mouse_move(tk::kLeftButton, 0, 1200, 1200);
    w.mouse_press(tk::kLeftButton, 0, 1200, 1200); // no release came in between
    w.mouse_release(tk::kLeftButton, 0, 1200, 1200);
    EXPECT_EQ(take(), (Events{"window down 100,100", "window move 1200,1200", "lower down 200,200",
                              "lower up 200,200", "lower click"}));
}

// A control that took a press hears it end however its release was lost, and
// no click follows.
TEST_F(Router, ALostReleaseStillEndsAControlsPress) {
    const struct {
        const char* how;
        std::function<void(tk::Window&)> lose;
        Events after;
    } cases[] = {
        {"the held button goes down again",
         [](tk::Window& w) { w.mouse_press(tk::kLeftButton, 0, 1300, 1300); },
         {"lower up 300,300", "lower down 300,300"}},
        {"the pointer moves with the button up",
         [](tk::Window& w) { w.mouse_move(0, 0, 1400, 1400); },
         {"lower up 300,300", "lower move 400,400"}},
        {"the window is hidden", [](tk::Window& w) { w.hide(); }, {"lower up 300,300"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        press(tk::kLeftButton, 1200, 1200);
        w.mouse_move(tk::kLeftButton, 0, 1300, 1300);
        EXPECT_EQ(take(), (Events{"lower down 200,200", "lower move 300,300"}));
        c.lose(w);
        EXPECT_EQ(take(), c.after);
        w.mouse_release(tk::kLeftButton, 0, 1300, 1300);
        w.mouse_release(tk::kLeftButton, 0, 1300, 1300);
        take();
        w.show();
    }
}

TEST_F(Router, OptionTakingFocusIsSelectedAndGroupsAreExclusive) {
    auto& frame_a = w.add<tk::Frame>("a");
    auto& frame_b = w.add<tk::Frame>("b");
    auto& a1 = w.add<tk::OptionButton>("a1");
    auto& a2 = w.add<tk::OptionButton>("a2");
    auto& b1 = w.add<tk::OptionButton>("b1");
    a1.container = a2.container = &frame_a;
    b1.container = &frame_b;
    b1.set_value(true);
    w.set_focus(&a2);
    EXPECT_TRUE(a2.value());
    a1.set_value(true);
    EXPECT_FALSE(a2.value());
    EXPECT_TRUE(b1.value()); // another frame is another group
    frame_a.left = 100;
    a1.left = 20;
    EXPECT_EQ(a1.window_rect().left, 120);
    frame_a.visible = false;
    EXPECT_FALSE(a1.shown());
}

} // namespace
