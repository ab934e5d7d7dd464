// What the headless tests share: a private configuration and runtime directory per test, a fresh
// virtual screen, fresh process-wide records, and running the program with a command line, once or
// tick by tick.
#pragma once

#include "fire/fire.h"
#include "common/saver_types.h"
#include "platform/posix/headless/headless.h"
#include "platform/posix/internal.h"
#include "platform/posix/resources.h"
#include "robot/interpreter.h"
#include "tests/support/pictures.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace test {

inline std::string ReadFile(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteFile(const std::filesystem::path &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// Forgets everything a previous run left in the process-wide records.
inline void ResetProgramState() {
    g_app = SaverApp{};
    g_cursor = ScriptCursor{};
    g_actor = RobotActor{};
    g_actor.entry_width = 3;
}

class SaverTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sandbox_ = std::make_unique<Sandbox>();
        ASSERT_TRUE(sandbox_->ok());
        dir_ = sandbox_->dir();
        headless::reset(64, 48);
        ResetProgramState();
    }
    void TearDown() override {
        headless::reset(0, 0);
        ResetProgramState();
        sandbox_.reset();
    }

    std::filesystem::path Profile() const { return sandbox_->profile(); }
    std::string ProfileText() const { return ReadFile(Profile()); }
    void SetProfile(const std::string &text) const { WriteFile(Profile(), text); }

    // Runs the program as "scrwarpvue ARGS" would, with the program's own resources.
    static int Run(const std::string &tail, HINSTANCE instance = nullptr) {
        std::vector<char> buf(tail.begin(), tail.end());
        buf.push_back('\0');
        return WinMain(instance ? instance : posix::module_instance(), nullptr, buf.data(), SW_SHOWDEFAULT);
    }

    // Runs "/s" tick by tick: `first` before the first tick, `after(n)` after tick n; the run ends with a
    // key press once `after` returns false or after `ticks`.
    static void RunTicks(int ticks, const std::function<void()> &first,
                         const std::function<bool(int)> &after) {
        const auto *before_first = &first;
        const auto *after_each = &after;
        std::vector<headless::Step> steps;
        steps.push_back([before_first] {
            (*before_first)();
            headless::tick();
        });
        for (int n = 1; n <= ticks; ++n)
            steps.push_back([after_each, n, ticks] {
                if ((*after_each)(n) && n < ticks)
                    headless::tick();
                else
                    headless::input(WM_KEYDOWN);
            });
        headless::script(std::move(steps));
        EXPECT_EQ(Run("/s"), 0);
        EXPECT_FALSE(headless::script_overrun());
    }

    // A desktop whose every pixel differs: red and green carry x and y, blue a mix of both.
    static void PaintDesktop(int w, int h) {
        headless::reset(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                headless::set_screen_pixel(x, y, Desktop(x, y));
    }
    static uint32_t Desktop(int x, int y) {
        return (uint32_t(x & 0xFF) << 16) | (uint32_t(y & 0xFF) << 8) |
               uint32_t(((x >> 8) * 16 + (y >> 8) + 1) & 0xFF);
    }

    std::unique_ptr<Sandbox> sandbox_;
    std::filesystem::path dir_;
};

} // namespace test
