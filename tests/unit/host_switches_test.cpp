// The Linux host's switches for running inside xscreensaver's window, and the guard they scope.

#include "support.h"

#include "platform/posix/host_switches.h"
#include "platform/saver_switches.h"

namespace {

TEST(HostSwitches, XscreensaverWaysOfNamingAWindowBecomeTheSaverSwitch) {
    struct Case {
        std::vector<const char *> args;
        const char *env;
        bool embedded;
        unsigned long window;
        const char *tail;
    };
    const Case cases[] = {
        {{"-window-id", "0x1a00003"}, nullptr, true, 0x1a00003, "/s"},
        {{"--window-id", "4242"}, "0x77", true, 4242, "/s"}, // the switch wins over the environment
        {{"--window-id=0X2F"}, nullptr, true, 0x2f, "/s"},
        {{"-root"}, nullptr, true, 0, "/s"},
        {{"--root"}, "0x600001", true, 0x600001, "/s"},
        {{"-root"}, "junk", true, 0, "/s"}, // an unreadable environment leaves the root window
        {{}, "0x600001", true, 0x600001, "/s"},
        {{"/c"}, "0x600001", false, 0, "/c"}, // asked for something else: the environment is left alone
        {{"-window-id", "12ab"}, nullptr, false, 0, ""},
        {{"-window-id", "0x"}, nullptr, false, 0, ""},
        {{"-window-id", "0"}, nullptr, false, 0, ""},
        {{"-window-id", "0x123456789"}, nullptr, false, 0, ""},
        {{"-window-id"}, nullptr, false, 0, ""},
        {{}, "nonsense", false, 0, ""},
        {{"/s", "-x"}, "", false, 0, "/s -x"},
        {{"/p", "1234"}, nullptr, false, 0, "/p 1234"},
    };
    for (const Case &c : cases) {
        std::vector<const char *> argv{"scrwarpvue"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const posix::HostStart got = posix::read_host_switches(int(argv.size()), argv.data(), c.env);
        std::string label = c.env ? std::string("env ") + c.env : "no env";
        for (const char *a : c.args)
            label += std::string(" ") + a;
        EXPECT_EQ(got.embedded, c.embedded) << label;
        if (c.embedded) {
            EXPECT_EQ(got.window, c.window) << label;
        }
        EXPECT_EQ(got.tail, c.tail) << label;
    }
}

// The one scan of the entry and of the Linux host.
TEST(HostSwitches, TheHostSeesTheSwitchesTheEntryWillFind) {
    struct Case {
        const char *tail;
        bool configure, saver;
    };
    const Case cases[] = {{"", false, false},      {"/p 1234", false, false}, {"/a", false, false},
                          {"-", false, false},     {"s c", false, false},     {"/c:1234", true, false},
                          {"//s", false, true},    {"-S", false, true},       {"/s /C", true, true},
                          {"--root", false, false}};
    for (const Case &c : cases) {
        const SaverSwitches got = ScanSwitches(c.tail);
        EXPECT_EQ(got.configure, c.configure) << c.tail;
        EXPECT_EQ(got.saver, c.saver) << c.tail;
    }
}

class HostGuard : public test::SaverTest {
  protected:
    void TearDown() override {
        posix::set_guard_scope("");
        test::SaverTest::TearDown();
    }
    static HANDLE Take(const std::string &scope, bool *taken) {
        posix::set_guard_scope(scope);
        HANDLE h = CreateMutexA(nullptr, TRUE, kAppName);
        EXPECT_NE(h, nullptr);
        *taken = GetLastError() == ERROR_ALREADY_EXISTS;
        return h;
    }
};

TEST_F(HostGuard, OneCopyPerTargetWindowBesideTheOrdinaryGuard) {
    bool taken = false;
    HANDLE first = Take(":0-0x600001", &taken);
    EXPECT_FALSE(taken);
    Take(":0-0x600001", &taken);
    EXPECT_TRUE(taken) << "a second copy for the same window";
    HANDLE second = Take(":0-0x600002", &taken);
    EXPECT_FALSE(taken) << "the other monitor's window has its own";
    HANDLE plain = Take("", &taken);
    EXPECT_FALSE(taken) << "/s and /c keep their own guard";
    HANDLE odd = Take("../" + std::string(kAppName), &taken);
    EXPECT_FALSE(taken) << "a scope never names a path";
    auto locks = [this] {
        std::vector<std::string> names;
        for (const auto &e : std::filesystem::directory_iterator(dir_ / "run"))
            names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    };
    EXPECT_TRUE(ReleaseMutex(first) && ReleaseMutex(second) && ReleaseMutex(plain) && ReleaseMutex(odd));
    // The windows' lock files go with their copies; the ordinary one stays, as it is one for good.
    EXPECT_EQ(locks(), std::vector<std::string>({"SCRWARPVUE.lock"}));
    HANDLE again = Take(":0-0x600001", &taken);
    EXPECT_FALSE(taken) << "the window's lock is made afresh";
    EXPECT_TRUE(ReleaseMutex(again));
}

} // namespace
