// The message queue and timers of the posix layer, driven by the headless virtual clock.

#include "support.h"

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

    // No backlog: the next GetMessageA has to wait for the clock, one full period on.
    int waits = 0;
    headless::script({[&] {
        ++waits;
        headless::tick();
    }});
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, UINT(WM_TIMER));
    EXPECT_EQ(waits, 1);
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

TEST_F(PlatformUser, QuitComesAfterThePostedMessages) {
    PostMessageA(hwnd_, kUser + 1, 11, 0);
    PostQuitMessage(3);
    PostMessageA(hwnd_, kUser + 2, 22, 0);
    MSG msg{};
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, kUser + 1);
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, kUser + 2);
    EXPECT_EQ(msg.wParam, 22u);
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.wParam, 3u);
}

} // namespace
