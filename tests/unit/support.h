// What the headless tests share: a private configuration and runtime directory per test, a fresh
// virtual screen, fresh process-wide records, and running the program with a command line.
#pragma once

#include "fire/fire.h"
#include "common/saver_types.h"
#include "platform/posix/headless/headless.h"
#include "platform/posix/internal.h"
#include "platform/posix/resources.h"
#include "robot/interpreter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
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
        char templ[] = "/tmp/scrwarpvue-test-XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        dir_ = templ;
        std::filesystem::create_directories(dir_ / "config");
        std::filesystem::create_directories(dir_ / "run");
        std::filesystem::permissions(dir_ / "run", std::filesystem::perms::owner_all);
        setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
        posix::set_lock_places(dir_ / "run", dir_ / "home", dir_ / "tmp");
        headless::reset(64, 48);
        ResetProgramState();
    }
    void TearDown() override {
        headless::reset(0, 0);
        ResetProgramState();
        std::error_code ec;
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(dir_, ec);
    }

    std::filesystem::path Profile() const { return dir_ / "config" / "SCRWARPVUE.ini"; }
    std::string ProfileText() const { return ReadFile(Profile()); }
    void SetProfile(const std::string &text) const { WriteFile(Profile(), text); }

    // Runs the program as "scrwarpvue ARGS" would, with the program's own resources.
    static int Run(const std::string &tail, HINSTANCE instance = nullptr) {
        std::vector<char> buf(tail.begin(), tail.end());
        buf.push_back('\0');
        return WinMain(instance ? instance : posix::module_instance(), nullptr, buf.data(), SW_SHOWDEFAULT);
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

    std::filesystem::path dir_;
};

} // namespace test
