// The message queue and timers of the posix layer, driven by the headless virtual clock.

#include "support.h"

#include <vector>

namespace {

class PlatformUser : public test::SaverTest {
  protected:
    void SetUp() override {
        test::SaverTest::SetUp();
        WNDCLASSA wc{};
        wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            return DefWindowProcA(h, m, w, l);
        };
        wc.lpszClassName = "UserTestWindow";
        ASSERT_NE(RegisterClassA(&wc), 0);
        hwnd_ = CreateWindowExA(0, "UserTestWindow", "", WS_POPUP, 0, 0, 16, 16, nullptr, nullptr, nullptr,
                                nullptr);
        ASSERT_NE(hwnd_, nullptr);
    }
    HWND hwnd_ = nullptr;
};

constexpr UINT kPeriod = 213;
constexpr UINT kUser = 0x0400;

TEST_F(PlatformUser, ALateTimerFiresOnceAndThenAFullPeriodLater) {
    ASSERT_EQ(SetTimer(hwnd_, 7, kPeriod, nullptr), 7u);
    headless::advance(10 * kPeriod);
    MSG msg{};
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, UINT(WM_TIMER));
    EXPECT_EQ(msg.hwnd, hwnd_);
    EXPECT_EQ(msg.wParam, 7u);
    const int64_t handed_out = headless::now();

    // No backlog: the next GetMessageA sleeps until the clock is one full period on.
    int waits = 0, sleep = 0;
    headless::script({[&] {
        ++waits;
        sleep = headless::last_wait_ms();
        headless::tick();
    }});
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, UINT(WM_TIMER));
    EXPECT_EQ(waits, 1);
    EXPECT_EQ(sleep, int(kPeriod));
    EXPECT_EQ(headless::now() - handed_out, int64_t(kPeriod));

    // Stopped: ticking the clock brings nothing until the quit message.
    EXPECT_TRUE(KillTimer(hwnd_, 7));
    EXPECT_FALSE(KillTimer(hwnd_, 7));
    headless::script({[] { headless::advance(5 * kPeriod); }, [] { PostQuitMessage(4); }});
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(msg.wParam, 4u);
    EXPECT_FALSE(headless::script_overrun());
}

// Of several late timers the one due first fires first (of two due together, the first made), and the
// queue sleeps until the earliest is due. A timer's procedure gets its window and id. Setting a timer
// again replaces it; a window that is not one gets no timer.
TEST_F(PlatformUser, SeveralTimersFireInTheOrderTheyAreDue) {
    static std::vector<std::pair<HWND, UINT_PTR>> calls;
    calls.clear();
    const TIMERPROC proc = [](HWND h, UINT m, UINT_PTR id, DWORD) {
        if (m == WM_TIMER) calls.emplace_back(h, id);
    };
    int not_a_window = 0;
    EXPECT_EQ(SetTimer(reinterpret_cast<HWND>(&not_a_window), 1, kPeriod, nullptr), 0u);
    const UINT_PTR own = SetTimer(nullptr, 0, kPeriod, nullptr); // without a window: an identifier of its own
    EXPECT_NE(own, 0u);
    EXPECT_TRUE(KillTimer(nullptr, own));
    EXPECT_NE(SetTimer(hwnd_, 0, 9, nullptr), 0u); // identifier 0 of a window: success is not 0
    int shortest = 0;                              // and a period under 10 ms is 10 ms
    headless::script({[&] {
        shortest = headless::last_wait_ms();
        headless::tick();
    }});
    MSG msg{};
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(shortest, 10);
    EXPECT_TRUE(KillTimer(hwnd_, 0));
    ASSERT_EQ(SetTimer(hwnd_, 1, 50, proc), 1u);
    ASSERT_EQ(SetTimer(hwnd_, 1, 300, nullptr), 1u);
    ASSERT_EQ(SetTimer(hwnd_, 2, 100, nullptr), 2u);
    ASSERT_EQ(SetTimer(hwnd_, 3, 100, proc), 3u);
    headless::advance(1000);
    std::vector<WPARAM> order;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
        order.push_back(msg.wParam);
        DispatchMessageA(&msg);
    }
    EXPECT_EQ(order, (std::vector<WPARAM>{2, 3, 1}));
    EXPECT_EQ(calls, (std::vector<std::pair<HWND, UINT_PTR>>{{hwnd_, 3}})); // 1's procedure was replaced
    int sleep = 0;
    headless::script({[&] {
        sleep = headless::last_wait_ms();
        headless::tick();
    }});
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(sleep, 100);
    EXPECT_EQ(msg.wParam, 2u);
}

// A range takes its own messages first, its bounds included; the others wait in their order; the quit
// message comes whatever the range. No message record is an error.
TEST_F(PlatformUser, QuitComesAfterThePostedMessages) {
    PostMessageA(hwnd_, kUser + 2, 22, 0);
    PostQuitMessage(3);
    PostMessageA(hwnd_, kUser + 1, 11, 0);
    PostMessageA(hwnd_, kUser + 3, 33, 0);
    MSG msg{};
    EXPECT_EQ(GetMessageA(nullptr, nullptr, 0, 0), -1);
    ASSERT_EQ(GetMessageA(&msg, nullptr, kUser + 1, kUser + 1), TRUE);
    EXPECT_EQ(msg.message, kUser + 1);
    EXPECT_EQ(msg.wParam, 11u);
    for (UINT left : {kUser + 2, kUser + 3}) {
        ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
        EXPECT_EQ(msg.message, left);
        EXPECT_EQ(msg.wParam, WPARAM(left - kUser) * 11);
    }
    EXPECT_EQ(GetMessageA(&msg, nullptr, kUser + 5, kUser + 9), FALSE);
    EXPECT_EQ(msg.wParam, 3u);
}

// With nothing to hand out and no timer it may hand out, the loop sleeps until an event.
TEST_F(PlatformUser, WithNoTimerToWaitForTheLoopSleepsUntilAnEvent) {
    for (UINT only : {0u, kUser}) {
        if (only) SetTimer(hwnd_, 7, kPeriod, nullptr); // outside the range asked for
        int sleep = 0;
        headless::script({[&] {
            sleep = headless::last_wait_ms();
            PostMessageA(hwnd_, kUser, 0, 0);
        }});
        MSG msg{};
        ASSERT_EQ(GetMessageA(&msg, nullptr, only, only), TRUE);
        EXPECT_EQ(sleep, -1) << only;
    }
}

// Input the display holds is read before a due timer or a paint is handed out. What is drawn while a
// press waits is held back while the press is handled, and pushed before anything else is handed out;
// the quit takes the window off the screen at once.
TEST_F(PlatformUser, APressComesFirstAndWhatWasDrawnFollowsIt) {
    SetTimer(hwnd_, 7, kPeriod, nullptr);
    ShowWindow(hwnd_, SW_SHOW);
    headless::advance(kPeriod);
    headless::hold_input(WM_KEYDOWN, 0x41);
    HDC dc = GetDC(hwnd_);
    SetPixel(dc, 1, 1, RGB(255, 255, 255));
    ReleaseDC(hwnd_, dc);
    const int held = headless::presents();
    struct {
        UINT message;
        WPARAM wp;
        int presents;
    } const kExpected[] = {{WM_KEYDOWN, 0x41, held}, {WM_PAINT, 0, held + 1}, {WM_TIMER, 7, held + 1}};
    for (const auto &e : kExpected) {
        MSG msg{};
        ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
        EXPECT_EQ(
            (std::vector<uintptr_t>{uintptr_t(msg.hwnd), msg.message, msg.wParam, uintptr_t(msg.lParam)}),
            (std::vector<uintptr_t>{uintptr_t(hwnd_), e.message, e.wp, 0}));
        EXPECT_EQ(headless::presents(), e.presents) << e.message;
        DispatchMessageA(&msg);
    }
    EXPECT_TRUE(headless::window_shown());
    PostQuitMessage(0);
    EXPECT_FALSE(headless::window_shown());
}

TEST_F(PlatformUser, DisplayInputBecomesTheWindowsMessages) {
    // Keys with Alt held (or Alt itself) are system keys; buttons carry the held keys and the window
    // point; the wheel carries its delta and the screen point; a lost display closes the window once.
    using E = posix::InputEvent;
    struct Case {
        E ev;
        UINT msg;
        WPARAM wp;
        LPARAM lp;
    } cases[] = {
        {{E::Key, 0x41, 30}, WM_KEYDOWN, 0x41, LPARAM(1 | 30 << 16)},
        {{E::Key, 0x41, 30, 0, posix::kAltHeld}, WM_SYSKEYDOWN, 0x41, LPARAM(1 | 30 << 16 | 1 << 29)},
        {{E::Key, 0x12, 64}, WM_SYSKEYDOWN, 0x12, LPARAM(1 | 64 << 16 | 1 << 29)},
        {{E::Button, 0, 0, 1, posix::kShiftHeld, 5, 6}, WM_LBUTTONDOWN, 0x0001 | 0x0004, MAKELPARAM(5, 6)},
        {{E::Button, 0, 0, 3, posix::kControlHeld, 5, 6}, WM_RBUTTONDOWN, 0x0002 | 0x0008, MAKELPARAM(5, 6)},
        {{E::Button, 0, 0, 2, 0, 5, 6}, WM_MBUTTONDOWN, 0x0010, MAKELPARAM(5, 6)},
        {{E::Button, 0, 0, 5, posix::kLeftHeld, 5, 6, 50, 60},
         WM_MOUSEWHEEL,
         MAKEWPARAM(1, WORD(-120)),
         MAKELPARAM(50, 60)},
        {{E::Button, 0, 0, 7, 0, 5, 6, 50, 60}, WM_MOUSEHWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(50, 60)},
        {{E::Motion, 0, 0, 0, posix::kRightHeld, 7, 8}, WM_MOUSEMOVE, 0x0002, MAKELPARAM(7, 8)},
    };
    MSG msg{};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.msg);
        posix::input(c.ev);
        ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
        EXPECT_EQ(msg.hwnd, hwnd_);
        EXPECT_EQ(msg.message, c.msg);
        EXPECT_EQ(msg.wParam, c.wp);
        EXPECT_EQ(msg.lParam, c.lp);
    }
    EXPECT_TRUE(posix::display_lost());
    EXPECT_FALSE(posix::display_lost());
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, UINT(WM_CLOSE));
}

} // namespace
