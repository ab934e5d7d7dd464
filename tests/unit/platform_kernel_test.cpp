// The single-instance lock of the posix layer: a named mutex held between processes.

#include "support.h"

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class PlatformKernel : public test::SaverTest {
  protected:
    void TearDown() override {
        unsetenv("TMPDIR");
        unsetenv("XDG_RUNTIME_DIR");
        test::SaverTest::TearDown();
    }
    // True when a CreateMutexA made now finds the lock taken.
    static bool Taken() {
        HANDLE h = CreateMutexA(nullptr, TRUE, kAppName);
        EXPECT_NE(h, nullptr);
        bool taken = GetLastError() == ERROR_ALREADY_EXISTS;
        if (!taken) ReleaseMutex(h);
        CloseHandle(h);
        return taken;
    }
};

TEST_F(PlatformKernel, ALockHeldByAnotherProcessDiesWithIt) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    struct Reaper { // the child goes whatever happens to the checks below
        pid_t pid;
        ~Reaper() {
            if (pid > 0) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
        }
    } reaper{child};
    if (child == 0) {
        HANDLE h = CreateMutexA(nullptr, TRUE, kAppName);
        char ok = h && GetLastError() == ERROR_SUCCESS ? 'y' : 'n';
        if (write(ready[1], &ok, 1) != 1) _exit(1);
        for (;;)
            pause();
    }
    close(ready[1]);
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    close(ready[0]);
    EXPECT_EQ(ok, 'y');
    HANDLE h = CreateMutexA(nullptr, TRUE, kAppName);
    EXPECT_NE(h, nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(ReleaseMutex(h)); // not ours to release
    CloseHandle(h);

    kill(child, SIGKILL);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    reaper.pid = 0;
    SetLastError(99);
    EXPECT_FALSE(Taken()); // no stale lock
}

TEST_F(PlatformKernel, ReleasingLetsAnotherCopyIn) {
    HANDLE first = CreateMutexA(nullptr, TRUE, kAppName);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
    EXPECT_TRUE(Taken());
    EXPECT_TRUE(ReleaseMutex(first));
    EXPECT_FALSE(ReleaseMutex(first));
    EXPECT_FALSE(Taken());
    CloseHandle(first);
}

TEST_F(PlatformKernel, ALockFileThatIsASymlinkIsNotFollowed) {
    fs::create_directories(dir_ / "elsewhere");
    const fs::path link = dir_ / "run" / "SCRWARPVUE.lock";
    for (bool target_exists : {false, true}) {
        const fs::path target = dir_ / "elsewhere" / (target_exists ? "present" : "absent");
        if (target_exists) test::WriteFile(target, "x");
        fs::remove(link);
        fs::create_symlink(target, link);
        EXPECT_EQ(CreateMutexA(nullptr, TRUE, kAppName), nullptr);
        EXPECT_EQ(fs::exists(target), target_exists);
        if (target_exists) { // and nothing holds a lock on it
            int fd = open(target.c_str(), O_RDONLY);
            EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
            close(fd);
        }
        EXPECT_TRUE(fs::is_symlink(link));
    }
}

// The lock's place depends on the user alone: however a copy's environment names its runtime and
// temporary directories, every copy meets the same lock, and nothing another user made blocks it.
TEST_F(PlatformKernel, TheLocksPlaceDependsOnTheUserAlone) {
    const bool root = geteuid() == 0;
    const fs::path run = dir_ / "run", mine = dir_ / "mine", tmp = dir_ / "envtmp";
    const fs::path fallback = dir_ / "home" / ".cache" / "scrwarpvue";
    fs::create_directories(dir_ / "home");
    fs::create_directories(mine);
    fs::permissions(mine, fs::perms::owner_all);
    fs::create_directories(tmp);
    setenv("TMPDIR", tmp.c_str(), 1);
    // Another user got to the temporary directory's per-user name first.
    const fs::path squatted = tmp / ("scrwarpvue-" + std::to_string(getuid()));
    if (root) {
        fs::create_directories(squatted);
        ASSERT_EQ(chown(squatted.c_str(), 65534, 65534), 0);
    } else {
        fs::create_symlink("/", squatted);
    }
    enum { Usable, Missing, Foreign, Link };
    for (int place : {Usable, Missing, Foreign, Link}) {
        fs::remove_all(run);
        if (place == Usable || place == Foreign) {
            fs::create_directories(run);
            fs::permissions(run, place == Usable ? fs::perms::owner_all : fs::perms::all);
            if (place == Foreign && root) {
                ASSERT_EQ(chown(run.c_str(), 65534, 65534), 0);
            }
        }
        if (place == Link) fs::create_symlink(mine, run);
        const char *environments[] = {nullptr, mine.c_str()};
        for (const char *held : environments) {
            for (const char *other : environments) {
                held ? setenv("XDG_RUNTIME_DIR", held, 1) : unsetenv("XDG_RUNTIME_DIR");
                HANDLE h = CreateMutexA(nullptr, TRUE, kAppName);
                ASSERT_NE(h, nullptr) << place;
                EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
                other ? setenv("XDG_RUNTIME_DIR", other, 1) : unsetenv("XDG_RUNTIME_DIR");
                EXPECT_TRUE(Taken()) << place << (held ? held : " unset") << (other ? other : " unset");
                ReleaseMutex(h);
                CloseHandle(h);
            }
        }
        EXPECT_EQ(fs::exists(run / "SCRWARPVUE.lock"), place == Usable) << place;
        EXPECT_EQ(fs::exists(fallback / "SCRWARPVUE.lock"), place != Usable) << place;
        EXPECT_FALSE(fs::exists(mine / "SCRWARPVUE.lock")) << place;
    }
    struct stat st {};
    ASSERT_EQ(lstat(fallback.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // A fallback directory others can add names to is not used.
    fs::permissions(fallback, fs::perms::owner_all | fs::perms::group_all);
    EXPECT_EQ(CreateMutexA(nullptr, TRUE, kAppName), nullptr);

    // Without a home directory: a private directory under the system's temporary directory (for tests,
    // dir_/tmp), whatever TMPDIR says.
    fs::remove_all(dir_ / "home");
    fs::create_directories(dir_ / "tmp");
    HANDLE h = CreateMutexA(nullptr, TRUE, kAppName);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(fs::exists(dir_ / "tmp" / ("scrwarpvue-" + std::to_string(getuid())) / "SCRWARPVUE.lock"));
    ReleaseMutex(h);
    CloseHandle(h);
}

} // namespace
