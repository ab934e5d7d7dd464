// The robot of the vertical-sync fault: one whole cycle of the script with the clock held by the test,
// the single-step rules (turns, loops, jumps, facing, movement, the falling step's chance), the pose
// catalogue, the erase rectangle, and a long soak that must never touch the squeezed picture. The pose
// bitmaps are replaced by solid blocks of the catalogue's sizes, each in its own colour, so every pixel
// on the window tells which pose drew it.

#include "support.h"

#include "host/frame_tick.h"
#include "platform/posix/internal.h"
#include "robot/pose_catalogue.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace {

using test::SaverTest;

using test::Size;

// Width and height of every pose, by catalogue index, as the artwork lists its bitmap.
Size PoseSize(int i) {
    return test::ListedSize(kPoseNames[i]);
}

// "DMY-00" is one black pixel; every other pose gets a colour of its own.
uint32_t PoseColour(int i) {
    return PoseSize(i).w == 1 ? 0 : 0x800000u | uint32_t(i + 1);
}

constexpr uint32_t kBackdrop = 0x102030;

void InstallPoses() {
    for (int i = 0; i < kPoseCount; ++i) {
        DeleteObject(g_app.poses[i]);
        g_app.poses[i] = test::SolidBitmap(PoseSize(i).w, PoseSize(i).h, PoseColour(i));
    }
}

void Step() {
    HWND hwnd = GetActiveWindow();
    DrawContext dc = OpenDrawContext(hwnd);
    RobotStep(dc);
    CloseDrawContext(hwnd, dc);
}

void FillWindow(uint32_t colour) {
    HWND hwnd = GetActiveWindow();
    DrawContext dc = OpenDrawContext(hwnd);
    HBITMAP b = test::SolidBitmap(headless::window_width(), headless::window_height(), colour);
    HGDIOBJ old = SelectObject(dc.scratch, b);
    BitBlt(dc.window, 0, 0, headless::window_width(), headless::window_height(), dc.scratch, 0, 0, SRCCOPY);
    SelectObject(dc.scratch, old);
    DeleteObject(b);
    CloseDrawContext(hwnd, dc);
}

// Places the cursor and the robot for a focused step on a cleared window; nothing was drawn before.
void Place(int row, int column, int facing, int x, int y) {
    g_cursor = ScriptCursor{row, column, 0, 0};
    g_actor.facing = facing;
    g_actor.x = x;
    g_actor.y = y;
    g_actor.last_x = g_actor.last_y = g_actor.last_w = g_actor.last_h = 0;
    FillWindow(0);
}

uint32_t FootPixel() {
    const int x = g_actor.x, y = g_actor.y - 1;
    if (x < 0 || y < 0 || x >= headless::window_width() || y >= headless::window_height()) return 0;
    return headless::window_pixel(x, y);
}

class RobotTest : public SaverTest {
  protected:
    // Runs "/s" under the vertical-sync fault with the robot on. `first` runs before the first tick,
    // `after(n)` after tick n; the run ends when it returns false or after `max_ticks`.
    void RunTicks(int w, int h, int max_ticks, const std::function<void()> &first,
                  const std::function<bool(int)> &after) {
        PaintDesktop(w, h);
        SetProfile("[SCRWARPVUE_SECTION]\nDispType=4\nDispRobo=1\n");
        SaverTest::RunTicks(max_ticks, first, after);
    }

    // Runs `body` inside the running saver (robot off, no tick yet: the window is black).
    void WithWindow(int w, int h, const std::function<void()> &body) {
        PaintDesktop(w, h);
        SetProfile("[SCRWARPVUE_SECTION]\nDispType=4\nDispRobo=0\n");
        headless::script({[&] {
            headless::set_local_time(30, 703); // 703 mod 7 = 3: moves are never 0
            InstallPoses();
            body();
            headless::input(WM_KEYDOWN);
        }});
        EXPECT_EQ(Run("/s"), 0);
    }
};

struct Trace {
    int row, column, pose, x, y, facing, counter;
    uint32_t foot;
};

// Expands "p*k" (pose p for k ticks) and "(...)*k" (the group k times) into one pose per tick.
std::vector<int> Expand(const char *s) {
    std::vector<int> out;
    std::vector<size_t> groups;
    while (*s) {
        char *end = nullptr;
        if (*s == '(') {
            groups.push_back(out.size());
            ++s;
        } else if (*s == ')') {
            const size_t from = groups.back();
            groups.pop_back();
            const long k = std::strtol(s + 2, &end, 10); // ")*k"
            const std::vector<int> group(out.begin() + long(from), out.end());
            for (long i = 1; i < k; ++i)
                out.insert(out.end(), group.begin(), group.end());
            s = end;
        } else if (*s == ' ') {
            ++s;
        } else {
            const int pose = int(std::strtol(s, &end, 10));
            const long k = *end == '*' ? std::strtol(end + 1, &end, 10) : 1;
            out.insert(out.end(), size_t(k), pose);
            s = end;
        }
    }
    return out;
}

// One whole cycle of the script as it plays on 1024x768 (stage left 256, right 768, top 192) with the
// clock stuck at 30 s 703 ms: 703 mod 512 = 191, mod 7 = 3, mod 6 = 1, band (30/10)/2 = 1, so Walk never
// turns the robot by chance. Each row: the poses shown, one per tick, and x when the row ends. The robot
// starts facing left; the turns ending rows 18, 21, 23, 25 and 27 make the poses 29 to 47 of rows 19 to
// 21, 24, 25, 28, 29 and 33 show as their right-facing twins. Moves per pose: 0 and 1 two pixels, 33
// and 34 seventeen, 38 sixty, all with the facing; 45 forty-seven against it; 2, 3, 51 and 52 walk 3.
struct RowFacts {
    int row;
    const char *poses;
    int x_at_end;
};
const RowFacts kCycle[] = {
    {0, "11 (2 3)*17 (4 5)*6 (6 7)*6 (8 9)*8 10*21", 345}, // respawn at 447, descent lands on tick 34
    {1, "12*5 13*25 14*5 15*5 16*25", 345},
    {2, "17*5 18*10", 345},
    {3, "18 19 20 21 22 22 21 20 19 18", 345},
    {4, "18*5 23 24 25 26 26 25 24 23 18*10", 345},
    {5, "(18 27)*4", 345},
    {6, "18*5 28*7 18*7", 345},
    {7, "(18 27)*4", 345},
    {8, "18*5 28*7 18*7", 345},
    {9, "(0 1)*6 18*5", 321},
    {10, "(0 1)*6 18*5", 297},
    {11, "28 (0 1)*6 18", 273},
    {12, "37 38 39 40*22 41*12", 213},
    {13, "(41*2 42*2)*4 43*3 44*2 41*3", 213},
    {14, "(41*2 42*2)*4 43*3 44*2 41*3", 213},
    {15, "(41*2 42*2)*4 43*3 44*2", 213},
    {16, "45 46*10", 260},
    {17, "16*7 47*15 16*10", 260},
    {18, "17*5 18*5", 260},
    {19, "18*5 64 65 66 67*5", 260},
    {20, "(60 62 61 63)*4", 396},
    {21, "60 62", 413},
    {22, "(33 35 34 36)*9", 107},
    {23, "33 35", 90},
    {24, "(60 62 61 63)*9", 396},
    {25, "60 62", 413},
    {26, "(33 35 34 36)*9", 107},
    {27, "33 35", 90},
    {28, "(60 62 61 63)*4", 226},
    {29, "67 66 65 64", 226},
    {30, "18*10 17*5 16*15", 226},
    {31, "48*5 49*5 50*35", 226},
    {32, "49*5 48*5", 226},
    {33, "16*7 78*15 16*10", 226},
    {34, "16*5 15*5 14*5 13*5 12*10", 226},
    {35, "10*21 (8 9)*8 (6 7)*4 (4 5)*4 (51 52)*51", 532}, // rising 5 a tick from the foot line
};

TEST_F(RobotTest, OneCycleFollowsTheScript) {
    std::vector<int> expected_rows, expected_poses;
    for (const RowFacts &r : kCycle)
        for (int pose : Expand(r.poses)) {
            expected_rows.push_back(r.row);
            expected_poses.push_back(pose);
        }
    const int kTicks = int(expected_poses.size()) + 1; // and the first tick of the next cycle
    std::vector<Trace> t(size_t(kTicks) + 1);
    std::vector<uint32_t> after_first, at_end;
    const auto first = [] {
        headless::set_local_time(30, 703);
        InstallPoses();
    };
    RunTicks(1024, 768, kTicks, first, [&](int n) {
        t[size_t(n)] = {g_cursor.row, g_cursor.column, g_actor.current_pose,  g_actor.x,
                        g_actor.y,    g_actor.facing,  g_cursor.loop_counter, FootPixel()};
        if (n == 1) after_first = headless::window_pixels();
        if (n == kTicks) at_end = headless::window_pixels();
        return true;
    });
    ASSERT_EQ(at_end.size(), size_t(1024) * 768);

    using Row = std::vector<int>; // row, column after the step, pose, x, y, loop counter
    auto fields = [&](int n) {
        return Row{t[size_t(n)].row, t[size_t(n)].column, t[size_t(n)].pose,
                   t[size_t(n)].x,   t[size_t(n)].y,      t[size_t(n)].counter};
    };
    // Tick 1: the effect is drawn, then the respawn: x = 256 + 191, y = 30, the black "DMY-00".
    EXPECT_EQ(fields(1), (Row{0, 3, 11, 447, 30, 0}));
    EXPECT_TRUE(std::all_of(after_first.begin(), after_first.begin() + 192 * 1024,
                            [](uint32_t p) { return p == 0; }));
    EXPECT_EQ(after_first[size_t(192) * 1024], Desktop(0, 0)); // the squeezed picture starts on row 192

    // Ticks 2..33: FLY-01/FLY-02 under the loop of 5000, sinking 5 and walking -3 per tick.
    for (int n = 2; n <= 33; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(t[size_t(n)].x, 447 - 3 * (n - 1));
        EXPECT_EQ(t[size_t(n)].y, 30 + 5 * (n - 1));
    }
    // Tick 34: 190 + 5 is held at 192 and the landing sets the counter to 9999; tick 35 lands again;
    // tick 36 reaches the loop entry, which ends (counter back to 0), and FLY-03 shows at once.
    EXPECT_EQ(fields(34), (Row{0, 6, 2, 348, 192, 9999}));
    EXPECT_EQ(fields(35), (Row{0, 9, 3, 345, 192, 9999}));
    EXPECT_EQ(fields(36), (Row{0, 15, 4, 345, 192, 0}));
    // Tick 97 ends the loop 1x20, jumps to row 1 and shows its first pose at once, counter back to 0.
    EXPECT_EQ(fields(97), (Row{1, 0, 12, 345, 192, 0}));

    for (int n = 1; n < kTicks; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(t[size_t(n)].row, expected_rows[size_t(n - 1)]);
        EXPECT_EQ(t[size_t(n)].pose, expected_poses[size_t(n - 1)]);
        EXPECT_LE(t[size_t(n)].y, 192);
        if (t[size_t(n)].y > 0) { // on screen
            EXPECT_EQ(t[size_t(n)].foot, PoseColour(t[size_t(n)].pose));
        }
        if (n == kTicks - 1 || t[size_t(n) + 1].row != t[size_t(n)].row) {
            EXPECT_EQ(t[size_t(n)].x, kCycle[t[size_t(n)].row].x_at_end) << "end of row " << t[size_t(n)].row;
        }
    }
    EXPECT_EQ(t[size_t(kTicks) - 1].y, 192 - 5 * 102);
    EXPECT_EQ(fields(kTicks), (Row{0, 3, 11, 447, 30, 0})); // row 35 jumps back to row 0: a new respawn

    // The robot never touched the picture.
    EXPECT_TRUE(std::equal(after_first.begin() + 192 * 1024, after_first.end(), at_end.begin() + 192 * 1024));
}

// One falling step (pose 2) on 1024x768, stage 256..768 with the foot line at 192. The clock's seconds
// pick the band: under 20 a left-facing robot may turn right, from 20 a right-facing one may turn left,
// either when the milliseconds are a multiple of 6. Past the stage's edge it turns back. It walks
// milliseconds mod 7 and sinks that plus 2, no further than the foot line.
TEST_F(RobotTest, FallingStepTurnsWalksAndSinks) {
    constexpr int L = 0, R = 1;
    struct Case {
        int second, ms, facing, x, y, want_facing, want_x, want_y;
    } const kCases[] = {
        {0, 6, L, 500, 100, R, 506, 108},   {19, 6, R, 500, 100, R, 506, 108},
        {20, 6, R, 500, 100, L, 494, 108},  {20, 6, L, 500, 100, L, 494, 108},
        {59, 12, R, 500, 100, L, 495, 107}, {0, 1, L, 500, 100, L, 499, 103},
        {30, 1, L, 255, 100, R, 256, 103},  {30, 1, L, 256, 100, L, 255, 103},
        {30, 6, L, 255, 100, R, 261, 108}, // turned at the edge after the band's rule, not undone by it
        {0, 1, R, 769, 100, L, 768, 103},   {0, 1, R, 768, 100, R, 769, 103},
        {30, 1, L, 500, 190, L, 499, 192},
    };
    WithWindow(1024, 768, [&] {
        for (const Case &c : kCases) {
            SCOPED_TRACE(testing::Message() << c.second << " s " << c.ms << " ms, x " << c.x);
            headless::set_local_time(c.second, c.ms);
            Place(0, 3, c.facing, c.x, c.y);
            Step();
            EXPECT_EQ((std::vector<int>{g_actor.facing, g_actor.x, g_actor.y}),
                      (std::vector<int>{c.want_facing, c.want_x, c.want_y}));
            EXPECT_EQ(g_cursor.loop_counter, c.want_y == 192 ? 9999 : 0); // landing ends the descent loop
        }
        // A cursor that strayed outside the script starts the show again: the respawn at row 0. Nothing is
        // read where it strayed to, not even the turn that lies 56 entries into row 17.
        const std::pair<int, int> kStrays[] = {{-1, 0}, {37, 0}, {1, -1}, {0, 48}, {17, 56}};
        for (const auto &[row, column] : kStrays) {
            Place(row, column, L, 500, 192);
            Step();
            EXPECT_EQ((std::vector<int>{g_cursor.row, g_cursor.column, g_actor.current_pose, g_actor.y,
                                        g_actor.facing}),
                      (std::vector<int>{0, 3, 11, 30, L}))
                << row << ", " << column;
        }
        // On a stage with no width the respawn lands on its left edge.
        g_app.stage.right = g_app.stage.left;
        Place(0, 0, L, 500, 192);
        Step();
        EXPECT_EQ((std::vector<int>{g_actor.current_pose, g_actor.x, g_actor.y}),
                  (std::vector<int>{11, 256, 30}));
    });
}

// Each rule that takes one clock reading answers from that one reading, though the clock moves on 7 ms
// at every reading: the walk's band and milliseconds, the respawn's place and the fire's two
// coordinates; the descent reads afresh after the walk. Stage 256..768 by 192..576.
TEST_F(RobotTest, EachRuleAnswersFromOneReading) {
    constexpr int L = 0, R = 1;
    auto robot = [](int row, int column, int facing) {
        return [=] {
            Place(row, column, facing, 500, 100);
            Step();
            return std::vector<int>{g_actor.facing, g_actor.x, g_actor.y};
        };
    };
    auto fire = [] {
        g_app.fire_state.phase = 1;
        HWND hwnd = GetActiveWindow();
        DrawContext dc = OpenDrawContext(hwnd);
        FireStep(dc);
        CloseDrawContext(hwnd, dc);
        return std::vector<int>{g_app.fire_state.origin_x, g_app.fire_state.origin_y};
    };
    struct Case {
        const char *rule;
        int at; // the first reading's seconds and milliseconds, as milliseconds into the minute
        std::function<std::vector<int>()> run;
        std::vector<int> want;
    } const kCases[] = {
        // 996 mod 6 = 0 turns the robot, 996 mod 7 = 2 walks it; the descent reads 3: 3 mod 7 + 2 = 5.
        {"falling under 20 s", 19996, robot(0, 3, L), {R, 502, 105}},
        {"falling from 20 s", 25996, robot(0, 3, R), {L, 498, 105}},
        {"flying off", 10996, robot(35, 33, L), {R, 502, 95}},
        {"respawn", 30700, robot(0, 0, L), {L, 444, 30}}, // 256 + 700 mod 512
        {"fire's origin", 30700, fire, {307, 350}},       // 256 + 188 - 137, 192 + 316 - 158
    };
    WithWindow(1024, 768, [&] {
        headless::set_local_time_source(nullptr); // the local time follows the virtual clock
        headless::set_clock_step(7);
        for (const Case &c : kCases) {
            SCOPED_TRACE(c.rule);
            headless::advance(c.at - headless::now() % 60000);
            EXPECT_EQ(c.run(), c.want);
        }
    });
}

TEST_F(RobotTest, SingleSteps) {
    WithWindow(1024, 768, [] {
        // Row 18's turn and the go-to behind it are taken in one step: row 19's first entry (18 for 5
        // ticks) shows with the new facing.
        Place(18, 6, 0, 500, 192);
        Step();
        EXPECT_EQ((std::vector<int>{g_cursor.row, g_cursor.column, g_cursor.remaining, g_actor.facing}),
                  (std::vector<int>{19, 0, 4, 1}));
        EXPECT_EQ(g_actor.current_pose, 18);
        EXPECT_EQ(FootPixel(), PoseColour(18));
        // Row 21 turns left to right and jumps to row 22, whose 33 shows as GENKIR-01 (60), moving +17.
        Place(21, 6, 0, 500, 192);
        Step();
        EXPECT_EQ((std::vector<int>{g_cursor.row, g_cursor.column, g_actor.facing, g_actor.current_pose,
                                    g_actor.x}),
                  (std::vector<int>{22, 3, 1, 60, 517}));
        EXPECT_EQ(FootPixel(), PoseColour(60));

        // Running facing right: 33 -> 60 and 34 -> 61 move +17; 35 -> 62 and 36 -> 63 stand still.
        Place(20, 0, 1, 400, 192);
        const int kRightPoses[] = {60, 62, 61, 63, 60}, kRightX[] = {417, 417, 434, 434, 451};
        for (int i = 0; i < 5; ++i) {
            Step();
            EXPECT_EQ(g_actor.current_pose, kRightPoses[i]) << i;
            EXPECT_EQ(g_actor.x, kRightX[i]) << i;
            EXPECT_EQ(FootPixel(), PoseColour(kRightPoses[i])) << i;
        }
        EXPECT_EQ(g_cursor.loop_counter, 1); // the fifth step went back through loop 4x3
        // Facing left the script's own poses show, moving -17.
        Place(20, 0, 0, 400, 192);
        const int kLeftPoses[] = {33, 35, 34, 36}, kLeftX[] = {383, 383, 366, 366};
        for (int i = 0; i < 4; ++i) {
            Step();
            EXPECT_EQ(g_actor.current_pose, kLeftPoses[i]) << i;
            EXPECT_EQ(g_actor.x, kLeftX[i]) << i;
        }

        // Pose 45 is thrown back against the facing; pose 38 moves 60 with it.
        Place(16, 0, 1, 400, 192);
        Step();
        EXPECT_EQ(g_actor.current_pose, 76);
        EXPECT_EQ(g_actor.x, 353);
        Place(16, 0, 0, 400, 192);
        Step();
        EXPECT_EQ(g_actor.current_pose, 45);
        EXPECT_EQ(g_actor.x, 447);
        Place(12, 3, 1, 400, 192);
        Step();
        EXPECT_EQ(g_actor.current_pose, 69);
        EXPECT_EQ(g_actor.x, 460);

        // Row 5: 18, 27 under loop 2x3 play four times; the ending loop and the go-to to row 6 share
        // the ninth step, and the shared counter is back at 0.
        Place(5, 0, 0, 400, 192);
        for (int i = 0; i < 8; ++i) {
            Step();
            EXPECT_EQ(g_actor.current_pose, i % 2 == 0 ? 18 : 27) << i;
            EXPECT_EQ(g_cursor.loop_counter, i / 2) << i;
        }
        Step();
        EXPECT_EQ((std::vector<int>{g_cursor.row, g_actor.current_pose, g_cursor.loop_counter}),
                  (std::vector<int>{6, 18, 0}));
    });
}

// The catalogue as built into the program: the names run in numbered families, each pose loads at its
// size, and each right-facing twin bears its left pose's name with R for L.
TEST(PoseCatalogue, NamesRunInFamiliesAndLoadAtTheirSizes) {
    struct Family {
        const char *prefix;
        int first, last, times; // numbers first..last, the run repeated `times` times
    } const kFamilies[] = {
        {"SOK-TAN", 0, 1, 1}, {"FLY-", 1, 9, 1},     {"DMY-", 0, 0, 1},    {"OPEN-", 1, 5, 1},
        {"TATU-", 1, 2, 1},   {"RIGH-", 1, 4, 1},    {"LEFT-", 1, 4, 1},   {"TEBURI-", 1, 1, 1},
        {"WARAI-", 1, 1, 1},  {"MUKUL-", 1, 4, 1},   {"GENKIL-", 1, 2, 2}, {"TENTOL-", 1, 11, 1},
        {"NERU-", 1, 3, 1},   {"FLY-", 1, 2, 1},     {"DMY-", 0, 0, 7},    {"GENKIR-", 1, 2, 2},
        {"MUKUR-", 1, 4, 1},  {"TENTOR-", 1, 11, 1},
    };
    std::vector<std::string> names;
    for (const Family &f : kFamilies)
        for (int k = 0; k < f.times; ++k)
            for (int n = f.first; n <= f.last; ++n) {
                char name[16];
                std::snprintf(name, sizeof name, "%s%02d", f.prefix, n);
                names.push_back(name);
            }
    ASSERT_EQ(names.size(), size_t(kPoseCount));
    for (int i = 0; i < kPoseCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(kPoseNames[i], names[size_t(i)]);
        HBITMAP b = LoadBitmapA(posix::module_instance(), kPoseNames[i]);
        BITMAP bm{};
        ASSERT_TRUE(b && GetObjectA(b, sizeof bm, &bm));
        EXPECT_EQ(bm.bmWidth, PoseSize(i).w);
        EXPECT_EQ(bm.bmHeight, PoseSize(i).h);
        DeleteObject(b);
        std::string twin = names[size_t(i)];
        if (i >= 29 && i <= 47) twin[twin.find('-') - 1] = 'R';
        EXPECT_EQ(kPoseNames[RightFacingTwin(i)], twin);
    }
}

// Checks that exactly the pixels of [x0, x1) x [y0, y1) (clipped) are black and all others kBackdrop.
::testing::AssertionResult OnlyRectBlack(int x0, int y0, int x1, int y1) {
    for (int y = 0; y < headless::window_height(); ++y)
        for (int x = 0; x < headless::window_width(); ++x) {
            const bool inside = x >= x0 && x < x1 && y >= y0 && y < y1;
            if (headless::window_pixel(x, y) != (inside ? 0u : kBackdrop))
                return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ")";
        }
    return ::testing::AssertionSuccess();
}

// The erase fills exactly last x - w/2 .. last x + w - w/2 - 1 by last y - h .. last y - 1. The step
// itself shows the respawn's black pixel, which ORed over the backdrop changes nothing.
TEST_F(RobotTest, EraseCoversExactlyTheLastRectangle) {
    WithWindow(320, 240, [] {
        struct Case {
            int last_x, last_y, last_w, last_h, x0, y0, x1, y1;
        } const kCases[] = {
            {101, 90, 55, 75, 74, 15, 129, 90},  // odd width: 27 to the left, 28 to the right
            {-3, 10, 46, 66, -26, -56, 20, 10},  // off the top left
            {310, 60, 73, 69, 274, -9, 347, 60}, // off the right: 310 - 36 .. 310 + 37
        };
        for (const Case &c : kCases) {
            g_cursor = ScriptCursor{};
            g_actor.last_x = c.last_x;
            g_actor.last_y = c.last_y;
            g_actor.last_w = c.last_w;
            g_actor.last_h = c.last_h;
            FillWindow(kBackdrop);
            Step();
            EXPECT_TRUE(OnlyRectBlack(c.x0, c.y0, c.x1, c.y1)) << "last x " << c.last_x;
        }
    });
}

// A pose without a bitmap draws nothing and leaves nothing to erase at the next step.
TEST_F(RobotTest, MissingPoseDrawsNothing) {
    WithWindow(640, 480, [] {
        DeleteObject(g_app.poses[18]);
        g_app.poses[18] = nullptr;
        FillWindow(kBackdrop);
        g_cursor = ScriptCursor{2, 3, 0, 0}; // 18 for 10 ticks
        g_actor.x = 300;
        g_actor.y = 120;
        g_actor.last_x = 300, g_actor.last_y = 120, g_actor.last_w = 55, g_actor.last_h = 72; // TATU-01
        Step();
        EXPECT_TRUE(OnlyRectBlack(273, 48, 328, 120));
        EXPECT_EQ(g_actor.last_w * g_actor.last_h, 0);
        Step();
        EXPECT_TRUE(OnlyRectBlack(273, 48, 328, 120)); // nothing erased, nothing drawn
        // Back with its bitmap, pose 18 (55x76) shows again, its top four rows over the backdrop.
        g_app.poses[18] = test::SolidBitmap(PoseSize(18).w, PoseSize(18).h, PoseColour(18));
        Step();
        EXPECT_EQ(headless::window_pixel(300, 119), PoseColour(18));
        EXPECT_EQ(headless::window_pixel(273, 44), PoseColour(18) | kBackdrop);
        EXPECT_EQ(headless::window_pixel(272, 119), kBackdrop);
        EXPECT_EQ(headless::window_pixel(327, 119), PoseColour(18)); // its whole width, 273 to 327
        EXPECT_EQ(headless::window_pixel(328, 119), kBackdrop);
    });
}

// Ten whole cycles of the script (row 35 back to row 0) with a clock that jumps about: the robot walks
// and runs wherever it likes, but rows from H/4 down keep the squeezed picture, and above it nothing is
// left behind outside the rectangle drawn last.
TEST_F(RobotTest, TenCyclesNeverTouchThePicture) {
    const int w = 400, h = 300, top = h / 4;
    uint32_t seed = 12345;
    const auto first = [&seed] {
        headless::set_local_time_source([&seed] {
            seed = seed * 1103515245u + 12345u;
            SYSTEMTIME t{};
            t.wSecond = WORD((seed >> 8) % 60);
            t.wMilliseconds = WORD((seed >> 16) % 1000);
            return t;
        });
        InstallPoses();
    };
    std::vector<uint32_t> picture;
    int cycles = 0, prev_row = 0, lowest = 0;
    auto check = [&] {
        const std::vector<uint32_t> now = headless::window_pixels();
        EXPECT_TRUE(std::equal(picture.begin() + top * w, picture.end(), now.begin() + top * w))
            << "after " << cycles << " cycles";
        const int x0 = g_actor.last_x - g_actor.last_w / 2, x1 = x0 + g_actor.last_w;
        const int y0 = g_actor.last_y - g_actor.last_h, y1 = g_actor.last_y;
        for (int y = 0; y < top; ++y)
            for (int x = 0; x < w; ++x)
                if (now[size_t(y) * w + size_t(x)] != 0 && !(x >= x0 && x < x1 && y >= y0 && y < y1))
                    ADD_FAILURE() << "left behind at (" << x << ", " << y << ")";
    };
    RunTicks(w, h, 15000, first, [&](int n) {
        if (n == 1) picture = headless::window_pixels();
        lowest = std::max(lowest, g_actor.y);
        if (prev_row == 35 && g_cursor.row == 0) {
            ++cycles;
            check();
        }
        prev_row = g_cursor.row;
        return cycles < 10 && !HasFailure();
    });
    EXPECT_EQ(cycles, 10);
    EXPECT_EQ(lowest, top);
}

} // namespace
