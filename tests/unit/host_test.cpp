// The saver from start to dismissal, as a user and the file system see it: the command line, the
// single-instance guard, the messages that end it, what it gives back, and the gates of the frame tick.

#include "support.h"

#include "effects/snapshot.h"

#include <sys/wait.h>
#include <unistd.h>

namespace {

using headless::Step;
using test::SaverTest;

constexpr uint32_t kWhite = 0xFFFFFF;

class HostTest : public SaverTest {
  protected:
    // Runs "/s" with the given steps and a final key press; returns the exit code.
    int RunSaver(std::vector<Step> steps, const std::string &tail = "/s") {
        steps.push_back([] { headless::input(WM_KEYDOWN, 'A'); });
        headless::script(std::move(steps));
        return Run(tail);
    }
    void ExpectEverythingGivenBack() {
        EXPECT_EQ(posix::live_gdi_objects(), 0u);
        EXPECT_EQ(posix::live_dcs(), 0u);
        EXPECT_EQ(posix::cursor_count(), 0);
        EXPECT_TRUE(headless::cursor_visible());
        EXPECT_EQ(posix::next_timer_due_ms(), -1) << "the frame timer is stopped";
        EXPECT_FALSE(headless::script_overrun());
    }
};

TEST_F(HostTest, WholeLifecycleLeavesTheDesktopAndProfileAsExpected) {
    PaintDesktop(40, 30);
    std::vector<uint32_t> before, first_tick;
    bool hidden_while_running = false, covers_the_screen = false;
    int first_wait = 0, next_wait = 0;
    int rc = RunSaver({
        [&] {
            first_wait = headless::last_wait_ms();
            covers_the_screen = headless::window_x() == 0 && headless::window_y() == 0 &&
                                headless::window_width() == 40 && headless::window_height() == 30;
            before = headless::window_pixels(); // shown and erased, no tick yet
            hidden_while_running = !headless::cursor_visible() && posix::cursor_count() == -1;
            headless::tick();
        },
        [&] {
            first_tick = headless::window_pixels();
            next_wait = headless::last_wait_ms();
        },
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(first_wait, 213); // the ticks come every 213 ms from the start
    EXPECT_EQ(next_wait, 213);
    EXPECT_TRUE(hidden_while_running);
    EXPECT_TRUE(covers_the_screen);
    ASSERT_EQ(before.size(), 40u * 30u);
    for (uint32_t px : before)
        ASSERT_EQ(px, 0u) << "the first erase paints the window black";
    // No settings file: display type 1, the picture turned by half a turn.
    ASSERT_EQ(first_tick.size(), 40u * 30u);
    EXPECT_EQ(first_tick[0], Desktop(39, 29));
    EXPECT_EQ(first_tick[29 * 40 + 39], Desktop(0, 0));
    EXPECT_EQ(ProfileText(), "[SCRWARPVUE_SECTION]\nEternalFire=0\n");
    EXPECT_TRUE(headless::message_boxes().empty());
    ExpectEverythingGivenBack();
}

TEST_F(HostTest, CommandLinesThatStartNothing) {
    for (const char *tail : {"", "/p 1234", "-p 5678", "/a", "-x", "/", "-", "s", "c", "x /"}) {
        SCOPED_TRACE(tail);
        headless::reset(16, 12);
        test::ResetProgramState();
        EXPECT_EQ(Run(tail), 0);
        EXPECT_FALSE(headless::has_window());
        EXPECT_FALSE(std::filesystem::exists(Profile()));
    }
    // A previous instance, which would have registered the class, but no class: no window, and still 0.
    char saver[] = "/s";
    EXPECT_EQ(WinMain(posix::module_instance(), posix::module_instance(), saver, SW_SHOWDEFAULT), 0);
    EXPECT_FALSE(headless::has_window());
    // The class cannot be registered (the name is taken): no window, and still 0.
    WNDCLASSA taken{};
    taken.lpfnWndProc = DefWindowProcA;
    taken.hInstance = posix::module_instance();
    taken.lpszClassName = kAppName;
    ASSERT_NE(RegisterClassA(&taken), 0);
    EXPECT_EQ(Run("/s"), 0);
    EXPECT_FALSE(headless::has_window());
}

// A lock that cannot be taken (here the lock file is a link, which the layer does not follow) starts
// nothing either.
TEST_F(HostTest, NoLockNoSaver) {
    std::filesystem::create_symlink(dir_ / "elsewhere", dir_ / "run" / "SCRWARPVUE.lock");
    EXPECT_EQ(Run("/s"), 0);
    EXPECT_FALSE(headless::has_window());
}

TEST_F(HostTest, SaverSwitches) {
    for (const char *tail : {"/s", "-S", "//s", "-/S", "/x/s", "/S:1234"}) {
        SCOPED_TRACE(tail);
        headless::reset(16, 12);
        test::ResetProgramState();
        bool ran = false;
        EXPECT_EQ(RunSaver({[&] { ran = headless::window_shown(); }}, tail), 0);
        EXPECT_TRUE(ran);
    }
}

TEST_F(HostTest, ConfigurationWinsOverTheSaver) {
    for (const char *tail : {"/c", "-C", "/c:1234", "/s /c", "-c -s"}) {
        SCOPED_TRACE(tail);
        headless::reset(16, 12);
        test::ResetProgramState();
        int opened = 0;
        headless::set_dialog_driver([&](HWND) {
            ++opened;
            headless::dialog_enter();
        });
        EXPECT_EQ(Run(tail), 0);
        EXPECT_EQ(opened, 1);
        EXPECT_FALSE(headless::dialog_left_open()) << "confirming closes the dialog";
        EXPECT_FALSE(headless::has_window()) << "no saver window alongside the dialog";
    }
}

// Whichever copy runs, saver or dialog, holds the lock until it ends.
TEST_F(HostTest, SecondCopyReturnsAtOnceWhileOneRuns) {
    auto second_copy = [] {
        int status = -1;
        pid_t pid = fork();
        if (pid == 0) {
            // The second copy: whatever it is asked, it leaves at once with 0, showing nothing.
            bool dialog = false;
            headless::set_dialog_driver([&](HWND) { dialog = true, headless::dialog_escape(); });
            int a = Run("/s"), b = Run("/c");
            _exit(a == 0 && b == 0 && !dialog && !headless::script_overrun() ? 42 : 1);
        }
        waitpid(pid, &status, 0);
        return status;
    };
    int child_status = -1, beside_dialog = -1;
    headless::set_dialog_driver([&](HWND) {
        beside_dialog = second_copy();
        headless::dialog_escape();
    });
    EXPECT_EQ(Run("/c"), 0);
    EXPECT_TRUE(WIFEXITED(beside_dialog) && WEXITSTATUS(beside_dialog) == 42);
    int rc = RunSaver({[&] { child_status = second_copy(); }});
    EXPECT_EQ(rc, 0);
    ASSERT_TRUE(WIFEXITED(child_status));
    EXPECT_EQ(WEXITSTATUS(child_status), 42);
    // Once it has ended, the next copy runs.
    headless::reset(16, 12);
    test::ResetProgramState();
    bool ran = false;
    EXPECT_EQ(RunSaver({[&] { ran = headless::window_shown(); }}), 0);
    EXPECT_TRUE(ran);
}

struct InputCase {
    const char *name;
    UINT msg;
    bool dismisses;
};

TEST_F(HostTest, WhichInputEndsTheSaver) {
    const InputCase cases[] = {
        {"key", WM_KEYDOWN, true},
        {"system key (Alt+Tab)", WM_SYSKEYDOWN, true},
        {"left button", WM_LBUTTONDOWN, true},
        {"right button", WM_RBUTTONDOWN, true},
        {"frame mouse move", WM_NCMOUSEMOVE, true},
        {"frame left button", WM_NCLBUTTONDOWN, true},
        {"frame right button", WM_NCRBUTTONDOWN, true},
        {"middle button", WM_MBUTTONDOWN, false},
        {"wheel", WM_MOUSEWHEEL, false},
        {"horizontal wheel", WM_MOUSEHWHEEL, false},
        {"key release", WM_KEYUP, false},
    };
    for (const InputCase &c : cases) {
        SCOPED_TRACE(c.name);
        headless::reset(16, 12);
        test::ResetProgramState();
        // When the input dismisses, the loop ends before the next step can run.
        bool still_running = false;
        int rc =
            RunSaver({[&] { headless::input(c.msg, MAKEWPARAM(0, 120)); }, [&] { still_running = true; }});
        EXPECT_EQ(rc, 0);
        EXPECT_EQ(!still_running, c.dismisses);
        EXPECT_TRUE(g_app.dismissed);
        ExpectEverythingGivenBack();
    }
}

TEST_F(HostTest, PointerMustChangeBothCoordinatesToDismiss) {
    headless::set_pointer(5, 7);
    std::vector<bool> after;
    auto probe = [&] { after.push_back(g_app.dismissed); };
    auto unseen = [] { headless::set_pointer(9, 9), headless::tick(); }; // another program holds the pointer
    int rc = RunSaver({
        [] { headless::move_pointer(5, 7); }, probe, // the move the platform sends on showing
        [] { headless::move_pointer(9, 7); }, probe, // purely horizontal
        [] { headless::move_pointer(5, 2); }, probe, // purely vertical
        unseen, probe,                               // moved with no message: a tick ignores it
        [] { headless::move_pointer(6, 8); }, probe, // both changed
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(after, (std::vector<bool>{false, false, false, false}))
        << "the last move ended the run at once";
    EXPECT_TRUE(g_app.dismissed);
    EXPECT_FALSE(headless::script_overrun());
}

TEST_F(HostTest, TerminationRequestEndsLikeADismissal) {
    int rc = RunSaver({[] { headless::tick(); }, [] { headless::terminate(); }, [] {}});
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(g_app.dismissed);
    ExpectEverythingGivenBack();
}

TEST_F(HostTest, QueuedDismissalsReleaseEverythingOnce) {
    PaintDesktop(24, 16);
    SetProfile("[SCRWARPVUE_SECTION]\nDispType=7\n");
    int rc = RunSaver({[] { headless::tick(); },
                       [] {
                           headless::input(WM_KEYDOWN);
                           headless::input(WM_LBUTTONDOWN);
                           headless::input(WM_RBUTTONDOWN);
                           headless::move_pointer(20, 10);
                           headless::terminate();
                       }});
    EXPECT_EQ(rc, 0);
    ExpectEverythingGivenBack();
}

TEST_F(HostTest, LaterErasesRepaintTheScene) {
    PaintDesktop(10, 8);
    SetProfile("[SCRWARPVUE_SECTION]\nDispType=5\n");
    std::vector<uint32_t> repainted_before_tick, repainted_after_tick, first_tick;
    int rc = RunSaver({
        [] { headless::expose(); }, // covered and uncovered before the first tick: the scene at once
        [&] {
            repainted_before_tick = headless::window_pixels();
            headless::tick();
        },
        [&] {
            first_tick = headless::window_pixels();
            headless::expose();
        },
        [&] { repainted_after_tick = headless::window_pixels(); },
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(first_tick[0], Desktop(9, 0));
    EXPECT_EQ(repainted_before_tick, first_tick);
    EXPECT_EQ(repainted_after_tick, first_tick);
}

TEST_F(HostTest, TheScreenStaysBlackWhenThePictureCannotBeMade) {
    PaintDesktop(400, 300);
    posix::set_max_bitmap_pixels(400 * 300 - 1); // the poses still load, the desktop picture does not
    SetProfile("[SCRWARPVUE_SECTION]\nDispType=8\n");
    std::vector<uint32_t> shown;
    int rc = RunSaver({[] { headless::tick(); }, [&] { shown = headless::window_pixels(); }});
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(headless::message_boxes().empty());
    EXPECT_EQ(g_app.stage.right, 300) << "the stage is computed as usual";
    ASSERT_EQ(shown.size(), 400u * 300u);
    // The colour-shift fault inverts whatever the empty memory surface gives: at most its one pixel.
    size_t changed = 0;
    for (uint32_t px : shown)
        changed += px != 0;
    EXPECT_LE(changed, 1u);
    ExpectEverythingGivenBack();
}

TEST_F(HostTest, AScreenWithNoWidthShowsNeitherRobotNorFire) {
    for (int type : {4, 7}) {
        SCOPED_TRACE(type);
        headless::reset(0, 48);
        test::ResetProgramState();
        SetProfile("[SCRWARPVUE_SECTION]\nDispType=" + std::to_string(type) + "\nDispRobo=1\n");
        int rc = RunSaver({[] { headless::tick(); }, [] { headless::tick(); }, [] { headless::tick(); },
                           [] { headless::terminate(); }});
        EXPECT_EQ(rc, 0);
        EXPECT_EQ(g_cursor.row, 0);
        EXPECT_EQ(g_cursor.column, 0);
        EXPECT_EQ(g_app.fire_state.tick_count, 0);
        EXPECT_EQ(posix::live_gdi_objects(), 0u);
    }
}

TEST(StageBounds, QuarterMarginsAreEqualOnBothSides) {
    struct Case {
        int w, h, left, top, right, bottom;
    } cases[] = {
        {1024, 768, 256, 192, 768, 576}, {1366, 768, 341, 192, 1025, 576}, {1023, 767, 255, 191, 768, 576}};
    for (const Case &c : cases) {
        g_app.screen = ScreenSize{c.w, c.h};
        ComputeStageBounds();
        EXPECT_EQ(g_app.stage.left, c.left);
        EXPECT_EQ(g_app.stage.top, c.top);
        EXPECT_EQ(g_app.stage.right, c.right);
        EXPECT_EQ(g_app.stage.bottom, c.bottom);
        EXPECT_TRUE(StageHasArea());
    }
    for (ScreenSize empty : {ScreenSize{0, 768}, ScreenSize{1024, 0}}) {
        g_app.screen = empty;
        ComputeStageBounds();
        EXPECT_FALSE(StageHasArea()) << empty.width << "x" << empty.height;
    }
    g_app = SaverApp{};
}

// The gates of the frame tick: the robot only under type 4 with the switch at exactly 1, the fire only
// under type 7.
TEST_F(HostTest, RobotAndFireGates) {
    struct Case {
        const char *profile;
        bool robot, fire;
    } cases[] = {
        {"DispType=4\nDispRobo=1\n", true, false},
        {"DispType=4\nDispRobo=2\n", false, false},
        {"DispType=4\nDispRobo=0\n", false, false},
        {"DispType=7\nDispRobo=1\n", false, true},
        {"DispType=1\n", false, false},
        {"DispType=9\n", false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.profile);
        PaintDesktop(200, 160);
        test::ResetProgramState();
        SetProfile(std::string("[SCRWARPVUE_SECTION]\n") + c.profile);
        std::vector<uint32_t> after_first, after_many;
        std::vector<Step> steps{[] { headless::tick(); }, [&] { after_first = headless::window_pixels(); }};
        for (int i = 0; i < 40; ++i)
            steps.push_back([] { headless::tick(); });
        steps.push_back([&] { after_many = headless::window_pixels(); });
        EXPECT_EQ(RunSaver(steps), 0);
        EXPECT_EQ(g_cursor.row != 0 || g_cursor.column != 0, c.robot);
        EXPECT_EQ(g_app.fire_state.tick_count != 0, c.fire);
        EXPECT_EQ(after_first != after_many, c.robot || c.fire) << "later ticks draw only robot or fire";
    }
}

TEST_F(HostTest, TypeOutsideOneToEightKeepsTheScreenBlack) {
    for (const char *type : {"0", "9", "-1"}) {
        SCOPED_TRACE(type);
        headless::reset(12, 10);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 12; ++x)
                headless::set_screen_pixel(x, y, kWhite);
        test::ResetProgramState();
        SetProfile(std::string("[SCRWARPVUE_SECTION]\nDispType=") + type + "\n");
        std::vector<uint32_t> ticked, repainted;
        RunSaver({[] { headless::tick(); }, [&] { ticked = headless::window_pixels(); },
                  [] { headless::expose(); }, [&] { repainted = headless::window_pixels(); }});
        EXPECT_EQ(ticked, std::vector<uint32_t>(120, 0u));
        EXPECT_EQ(repainted, std::vector<uint32_t>(120, 0u));
    }
}

} // namespace
